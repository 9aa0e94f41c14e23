#include "content/catalogue.h"
#include "content/contentpaths.h"

#include <gtest/gtest.h>

namespace {

TEST(ContentPaths, BuiltUnderTheProgramDirectory) {
    const QString dir = QStringLiteral("/opt/orvessa");
    const QString title = QStringLiteral("新概念英语第一册");
    EXPECT_EQ(lessonTextPath(dir, title, 12),
              QStringLiteral("/opt/orvessa/book/新概念英语第一册/12.dat"));
    EXPECT_EQ(bookListPath(dir, title),
              QStringLiteral("/opt/orvessa/SETTING/BookList/新概念英语第一册.dat"));
    EXPECT_EQ(resultsPath(dir, title),
              QStringLiteral("/opt/orvessa/SETTING/Results/新概念英语第一册.dat"));
    EXPECT_EQ(soundDir(dir, title), QStringLiteral("/opt/orvessa/Sound/新概念英语第一册"));
    EXPECT_EQ(settingsPath(dir, false), QStringLiteral("/opt/orvessa/SETTING/set.dat"));
    EXPECT_EQ(settingsPath(dir, true), QStringLiteral("/opt/orvessa/SETTING/mnset.dat"));
    EXPECT_EQ(clickSoundPath(dir, QStringLiteral("MouDown.wav")),
              QStringLiteral("/opt/orvessa/SETTING/Sound/MouDown.wav"));
    EXPECT_EQ(bitmapPath(dir, QStringLiteral("a1.jpg")),
              QStringLiteral("/opt/orvessa/bitmap/a1.jpg"));
}

TEST(IsSafeBookTitle, EveryCatalogueTitleIsSafe) {
    for (const QString &title : bookTitles(Program::Orvessa)) {
        EXPECT_TRUE(isSafeBookTitle(title)) << title.toStdString();
    }
    EXPECT_TRUE(isSafeBookTitle(initialBookTitle()));
}

TEST(IsSafeBookTitle, RefusesWhatCouldLeaveOrMisnameTheFolder) {
    QString controlChar = QStringLiteral("a");
    controlChar.append(QChar(0x1f));
    QString loneSurrogate = QStringLiteral("a");
    loneSurrogate.append(QChar(0xdc00));
    const QString refused[] = {
        QString(),
        QStringLiteral("."),
        QStringLiteral(".."),
        QStringLiteral("../etc"),
        QStringLiteral("a/b"),
        QStringLiteral("a\\b"),
        QStringLiteral("..\\..\\windows"),
        QStringLiteral("C:"),
        QStringLiteral("C:book"),
        QStringLiteral("a:b"),
        QStringLiteral("a*"),
        QStringLiteral("a?"),
        QStringLiteral("a\"b"),
        QStringLiteral("a<b>"),
        QStringLiteral("a|b"),
        QStringLiteral("tab\there"),
        QStringLiteral("line\nbreak"),
        QStringLiteral("del\x7f"),
        controlChar,
        loneSurrogate,
        QStringLiteral(" leading"),
        QStringLiteral("trailing "),
        QStringLiteral("dot."),
        QStringLiteral("CON"),
        QStringLiteral("nul"),
        QStringLiteral("com1"),
        QStringLiteral("LPT9"),
        QStringLiteral("aux.txt"),
        QString(201, u'书'),
    };
    for (const QString &title : refused) {
        EXPECT_FALSE(isSafeBookTitle(title)) << title.toStdString();
    }
}

TEST(IsSafeBookTitle, AcceptsOrdinaryTitles) {
    const QString accepted[] = {
        QStringLiteral("a"),           QStringLiteral("Book 2"),  QStringLiteral("a..b"),
        QStringLiteral(".hidden"),     QStringLiteral("CONTENT"), QStringLiteral("COM10"),
        QStringLiteral("英语 900 句"), QStringLiteral("😀 emoji"), QString(200, u'书'),
    };
    for (const QString &title : accepted) {
        EXPECT_TRUE(isSafeBookTitle(title)) << title.toStdString();
    }
}

} // namespace
