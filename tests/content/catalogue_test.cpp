#include "content/catalogue.h"
#include "content/dataplaces.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void makeBook(const QString &root, const QString &title, bool withList) {
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/book/") + title));
    if (!withList)
        return;
    QDir().mkpath(root + QStringLiteral("/SETTING/BookList"));
    QFile list(root + QStringLiteral("/SETTING/BookList/") + title + QStringLiteral(".dat"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("^1^");
}

// Books beside the catalogue come from both places, once each, in pinyin order (then Latin,
// numbers by value) after the catalogue; catalogue titles, unsafe names and folders without a
// lesson-name list stay out.
TEST(OwnBooks, ListedAfterTheCatalogueFromBothPlaces) {
    QTemporaryDir program, user;
    ASSERT_TRUE(program.isValid() && user.isValid());
    makeBook(program.path(), QStringLiteral("英语900句"), true); // in the catalogue
    makeBook(program.path(), QStringLiteral("我的播客"), true);
    makeBook(program.path(), QStringLiteral("没有目录"), false); // no lesson-name list
    makeBook(program.path(), QStringLiteral("bad."), true);      // not a safe title
    makeBook(user.path(), QStringLiteral("听力"), true);
    makeBook(user.path(), QStringLiteral("我的播客"), false); // its list is in the program dir
    makeBook(user.path(), QStringLiteral("Podcast 10"), true);
    makeBook(user.path(), QStringLiteral("Podcast 9"), true);

    const DataPlaces places = DataPlaces::withUserFolder(program.path(), user.path());
    const QStringList own{QStringLiteral("听力"), QStringLiteral("我的播客"),
                          QStringLiteral("Podcast 9"), QStringLiteral("Podcast 10")};
    EXPECT_EQ(ownBookTitles(places), own);
    const QStringList selector = bookSelectorTitles(Program::Orvessa, places);
    EXPECT_EQ(selector.mid(0, 15), bookTitles(Program::Orvessa));
    EXPECT_EQ(selector.mid(15), own);
    EXPECT_TRUE(
        ownBookTitles(DataPlaces::portable(user.path() + QStringLiteral("/none"))).isEmpty());
}

} // namespace
