#include "content/contentpaths.h"
#include "content/dataplaces.h"
#include "content/richtext.h"
#include "study/pure/lettercheck.h"
#include "study/pure/wrongword.h"
#include "study/resultsstore.h"
#include "study/reviewlist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QString s(const char *utf8) {
    return QString::fromUtf8(utf8);
}

const QString bookA = s("甲书");
const QString bookB = s("乙书");

QByteArray readBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray gbk(const QString &text) {
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

TEST(WrongWord, NamesTheWordOfTheFirstWrongOrMissingLetter) {
    struct Case {
        const char *name, *sentence, *typing, *expected;
    } cases[] = {
        {"wrong letter", "Good morning, sir.", "good mornink", "morning"},
        {"first letter of a word", "Good morning, sir.", "good x", "morning"},
        {"missing letters", "Good morning, sir.", "good morning", "sir"},
        {"nothing typed", "Good morning.", "", "Good"},
        {"apostrophe joins", "I don't know.", "i dont", "know"},
        {"wrong inside an apostrophe word", "I don't know.", "i dob", "don't"},
        {"hyphen joins", "It is twenty-one.", "it is twentyx", "twenty-one"},
        {"surplus past the end", "Hi.", "hix", ""},
        {"an extra letter shifts no blame", "Thank you.", "thanks you", "Thank"},
        {"a word left out", "Thank you very much.", "thank very much", "you"},
        {"words run together", "Good morning, sir.", "goodmornink", "morning"},
        {"right", "Hi.", "hi", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString sentence = s(c.sentence);
        EXPECT_EQ(wrongWord(sentence, checkTyping(sentence, s(c.typing))), s(c.expected));
    }
}

class StoresTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(programDir.isValid() && userDir.isValid());
        writeBytes(program(ContentFile::results(bookA)), gbk(s("^☆Lesson 1^☆Lesson 10^")));
        QDir().mkpath(program(QStringLiteral("SETTING/Results")));
        places = DataPlaces::withUserFolder(programDir.path(), userDir.path());
    }
    QString program(const QString &relative) const { return programDir.path() + u'/' + relative; }
    QString user(const QString &relative) const { return userDir.path() + u'/' + relative; }
    QString userText(const QString &relative) const {
        return plainTextFromFileBytes(readBytes(user(relative)));
    }
    void track(ResultsStore &store) {
        store.show = [this, &store] { shown << store.entries().join(u'|'); };
        store.tellLearner = [this](const QString &text) { told << text; };
    }

    QTemporaryDir programDir, userDir;
    DataPlaces places;
    QStringList shown, told;
};

TEST_F(StoresTest, MarksAreShownThenSavedInTheLearnersFolder) {
    ResultsStore store(places);
    track(store);
    store.load(bookA, {s("Lesson 1"), s("Lesson 10")});
    store.markPassed(s("Lesson 1"));
    EXPECT_EQ(shown, QStringList{s("★Lesson 1|☆Lesson 10")});
    EXPECT_EQ(userText(ContentFile::results(bookA)), s("^★Lesson 1^☆Lesson 10^\r\n"));

    // Passing it again changes nothing but still rewrites the file (plain text becomes RTF),
    // and reading back does not grow the text.
    writeBytes(user(ContentFile::results(bookA)), gbk(s("^★Lesson 1^☆Lesson 10^")));
    store.load(bookA, {});
    store.markPassed(s("Lesson 1"));
    EXPECT_EQ(store.text(), s("^★Lesson 1^☆Lesson 10^"));
    EXPECT_TRUE(readBytes(user(ContentFile::results(bookA))).startsWith("{\\rtf"));
    EXPECT_EQ(userText(ContentFile::results(bookA)), s("^★Lesson 1^☆Lesson 10^\r\n"));

    store.clear();
    EXPECT_EQ(shown.last(), s("☆Lesson 1|☆Lesson 10"));
    EXPECT_EQ(userText(ContentFile::results(bookA)), s("^☆Lesson 1^☆Lesson 10^\r\n"));
    EXPECT_TRUE(told.isEmpty());
}

TEST_F(StoresTest, ABookWithoutResultsStartsFromItsLessonList) {
    for (const QByteArray &content : {QByteArray(), QByteArray("\r\n"), QByteArray("no carets")}) {
        SCOPED_TRACE(content.toStdString());
        QFile::remove(user(ContentFile::results(bookB)));
        if (!content.isEmpty())
            writeBytes(program(ContentFile::results(bookB)), content);
        ResultsStore store(places);
        track(store);
        store.load(bookB, {s("一"), s("二")});
        store.markPassed(s("二"));
        EXPECT_EQ(userText(ContentFile::results(bookB)), s("^☆一^★二^\r\n"));
    }
}

TEST_F(StoresTest, ABookSwitchNeverWritesOneBooksTextToAnother) {
    ResultsStore store(places);
    track(store);
    store.load(bookA, {s("Lesson 1")});
    store.markPassed(s("Lesson 1"));
    store.load(bookB, {s("一")});
    store.markPassed(s("一"));
    EXPECT_EQ(userText(ContentFile::results(bookA)), s("^★Lesson 1^☆Lesson 10^\r\n"));
    EXPECT_EQ(userText(ContentFile::results(bookB)), s("^★一^\r\n"));
    store.load(bookA, {});
    EXPECT_EQ(store.entries(), (QStringList{s("★Lesson 1"), s("☆Lesson 10")}));
}

TEST_F(StoresTest, AFailedSaveIsToldOnceAndKeepsTheOldFile) {
    ResultsStore store(DataPlaces::portable(programDir.path()));
    track(store);
    const QByteArray old = readBytes(program(ContentFile::results(bookA)));
    store.beforeReplace = [] { return false; };
    store.load(bookA, {});
    store.markPassed(s("Lesson 1"));
    EXPECT_EQ(told, QStringList{ResultsStore::saveFailedText()});
    EXPECT_EQ(readBytes(program(ContentFile::results(bookA))), old);
    EXPECT_EQ(shown.size(), 1);

    ReviewList review(DataPlaces::portable(programDir.path()));
    review.tellLearner = [this](const QString &text) { told << text; };
    review.beforeReplace = [] { return false; };
    review.load(bookA);
    const QString sentence = s("Good morning.");
    for (int k = 0; k < 3; ++k)
        review.record(0, 1, sentence, checkTyping(sentence, s("x")));
    EXPECT_EQ(told.count(ReviewList::saveFailedText()), 1);
    EXPECT_FALSE(QFile::exists(program(ContentFile::review(bookA))));
}

// A results file that cannot be read whole is never written: what was read of it would stand
// for the whole. The marks live on in memory, and the learner is told once.
TEST_F(StoresTest, AResultsFileNotReadWholeIsNeverRewritten) {
    QByteArray huge = "^";
    for (int n = 0; huge.size() <= 4 * 1024 * 1024; ++n)
        huge += "\xa1\xee" + QByteArray::number(n) + '^'; // ☆ and a name, in GBK
    const QString path = user(ContentFile::results(bookB));
    QDir().mkpath(QFileInfo(path).absolutePath());
    const std::pair<const char *, std::function<void()>> cases[] = {
        {"over 4 MiB", [&] { writeBytes(path, huge); }},
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0); }},
    };
    for (const auto &[name, make] : cases) {
        SCOPED_TRACE(name);
        QFile::remove(path);
        make();
        const QFileInfo before(path);
        ResultsStore store(places);
        told.clear();
        track(store);
        store.load(bookB, {s("一"), s("二")});
        store.markPassed(s("二"));
        store.clear();
        store.markPassed(s("一"));
        EXPECT_EQ(store.entries(), (QStringList{s("★一"), s("☆二")}));
        EXPECT_EQ(told, QStringList{ResultsStore::unreadFileText()});
        const QFileInfo after(path);
        EXPECT_EQ(after.size(), before.size());
        EXPECT_EQ(after.isFile(), before.isFile());
        EXPECT_EQ(after.lastModified(), before.lastModified());
    }
}

TEST_F(StoresTest, TheReviewListSurvivesARestartAndClearsAlone) {
    const QString first = s("Good morning, sir.");
    const QString second = s("How are you?");
    {
        ReviewList review(places);
        review.load(bookA);
        review.record(1, 5, first, checkTyping(first, s("good mornink")));
        review.record(1, 5, first, checkTyping(first, s("good morninx")));
        review.record(0, 2, second, checkTyping(second, s("how ar")));
        review.record(0, 2, second, checkTyping(second, s("how are you")));
    }
    ReviewList review(places);
    review.load(bookB);
    EXPECT_TRUE(review.entries().isEmpty());
    review.load(bookA);
    ASSERT_EQ(review.entries().size(), 2);
    EXPECT_EQ(review.entries()[0], (ReviewEntry{1, 5, s("morning"), first, 2}));
    EXPECT_EQ(review.entries()[1], (ReviewEntry{0, 2, s("are"), second, 1}));

    review.clear();
    review.load(bookA);
    EXPECT_TRUE(review.entries().isEmpty());
}

// A FIFO where the review list lives is no list, and reading it never waits for a writer.
TEST_F(StoresTest, AFifoForTheReviewListIsPassedOver) {
    const QString path = user(ContentFile::review(bookA));
    QDir().mkpath(QFileInfo(path).absolutePath());
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    ReviewList review(places);
    review.load(bookA);
    EXPECT_TRUE(review.entries().isEmpty());
}

} // namespace
