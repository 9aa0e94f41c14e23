#include "content/caretlist.h"
#include "content/contentpaths.h"
#include "content/contenttool.h"
#include "content/lessonimport.h"
#include "content/resultstext.h"
#include "content/staletemporaries.h"
#include "content/textcodec.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void write(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray read(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file under dir with its bytes, to see that a refused import wrote nothing.
QMap<QString, QByteArray> snapshot(const QString &dir) {
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path, read(path));
    }
    return files;
}

class LessonImport : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid() && work.isValid());
        // A book of two lessons, one passed.
        write(dir.filePath(QStringLiteral("SETTING/BookList/播客.dat")), encodeGbk(u"^甲^乙^"));
        write(dir.filePath(QStringLiteral("SETTING/Results/播客.dat")), encodeGbk(u"^☆甲^★乙^"));
        write(file("a.srt"), "1\n00:00:01,000 --> 00:00:02,500\nHello there.\n你好。\n\n"
                             "2\n00:00:03,000 --> 00:00:04,250\nHow are you?\n你好吗？\n");
        write(file("audio.mp3"), "ID3 mp3 bytes");
        write(file("audio.ogg"), "OggS bytes");
        tools.probe = [this](const QString &path, const ImportProgress &progress) {
            if (progress && !progress(0.5))
                return AudioFacts{0, false, QStringLiteral("stopped")};
            AudioFacts facts;
            if (!QFileInfo::exists(path))
                facts.error = QStringLiteral("no such file");
            facts.seconds = 10;
            facts.isMp3 = path.endsWith(u".mp3");
            return facts;
        };
        tools.convertToMp3 = [this](const QString &, const QString &to, const ImportProgress &) {
            ++conversions;
            if (failConversion)
                return QStringLiteral("the encoder failed");
            write(to, "converted mp3");
            return QString();
        };
    }
    QString file(const char *name) { return work.filePath(QString::fromUtf8(name)); }
    ImportRequest request(const char *audio = "audio.mp3", const char *subs = "a.srt") {
        ImportRequest r;
        r.dir = dir.path();
        r.book = QStringLiteral("播客");
        r.name = QStringLiteral("第三集");
        r.audio = file(audio);
        r.subtitles = file(subs);
        return r;
    }

    QTemporaryDir dir, work;
    AudioTools tools;
    int conversions = 0;
    bool failConversion = false;
};

// The lesson after the book's last, its audio copied or converted, its name in the list and
// "☆" + name in the results, the marks of the other lessons kept.
TEST_F(LessonImport, AddsTheNextLessonOfTheBook) {
    for (const char *audio : {"audio.mp3", "audio.ogg"}) {
        const ImportResult result = importLesson(request(audio), tools);
        ASSERT_TRUE(result.error.isEmpty()) << result.error.toStdString();
        EXPECT_TRUE(result.notes.isEmpty());
    }
    EXPECT_EQ(conversions, 1);
    EXPECT_EQ(
        decodeText(read(dir.filePath(QStringLiteral("book/播客/3.dat")))),
        QStringLiteral("*Hello there.#你好。#1.000#2.500#*How are you?#你好吗？#3.000#4.250#*"));
    EXPECT_EQ(read(dir.filePath(QStringLiteral("Sound/播客/3.mp3"))), QByteArray("ID3 mp3 bytes"));
    EXPECT_EQ(read(dir.filePath(QStringLiteral("Sound/播客/4.mp3"))), QByteArray("converted mp3"));
    EXPECT_EQ(decodeText(read(dir.filePath(QStringLiteral("SETTING/BookList/播客.dat")))),
              QStringLiteral("^甲^乙^第三集^第三集^"));
    EXPECT_EQ(decodeText(read(dir.filePath(QStringLiteral("SETTING/Results/播客.dat")))),
              QStringLiteral("^☆甲^★乙^☆第三集^☆第三集^"));

    // A new book starts its own list and results; text beyond GBK is written as UTF-8.
    write(file("emoji.srt"), "1\n00:00:01,000 --> 00:00:02,000\nGreat 😀\n");
    ImportRequest fresh = request("audio.mp3", "emoji.srt");
    fresh.book = QStringLiteral("New");
    fresh.name = QStringLiteral("Episode 😀");
    const ImportResult result = importLesson(fresh, tools);
    ASSERT_TRUE(result.error.isEmpty()) << result.error.toStdString();
    EXPECT_EQ(result.lessonPath, dir.filePath(QStringLiteral("book/New/1.dat")));
    EXPECT_EQ(result.notes.size(), 1);
    EXPECT_EQ(read(result.lessonPath), QByteArray("\xEF\xBB\xBF*Great 😀##1.000#2.000#*"));
    EXPECT_TRUE(
        read(dir.filePath(QStringLiteral("SETTING/BookList/New.dat"))).startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(
        splitCaretList(decodeText(read(dir.filePath(QStringLiteral("SETTING/BookList/New.dat"))))),
        QStringList{fresh.name});
    EXPECT_EQ(
        resultsEntries(decodeText(read(dir.filePath(QStringLiteral("SETTING/Results/New.dat"))))),
        QStringList{QStringLiteral("☆Episode 😀")});
}

// Bad input is refused with one line that says what is wrong, and nothing is written.
TEST_F(LessonImport, RefusesBadInputAndWritesNothing) {
    write(file("star.srt"), "1\n00:00:01,000 --> 00:00:02,000\nFine.\n\n"
                            "2\n00:00:03,000 --> 00:00:04,000\nFive * stars\n");
    write(file("empty.srt"), "\n\n");
    write(file("badtime.srt"), "1\n00:00:01,000 --> 00:00:0x,000\nFine.\n");
    write(file("late.srt"), "1\n00:00:01,000 --> 00:00:02,000\nFine.\n\n"
                            "2\n00:00:30,000 --> 00:00:31,000\nToo late.\n");
    QByteArray many;
    for (int i = 0; i < 40000; ++i)
        many += QStringLiteral("%1\n00:00:00,%2 --> 00:00:00,%3\nA\n\n")
                    .arg(i + 1)
                    .arg(i % 500, 3, 10, QChar(u'0'))
                    .arg(i % 500 + 1, 3, 10, QChar(u'0'))
                    .toLatin1();
    write(file("many.srt"), many);
    // Not in the list, and not a file an import could replace.
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("Sound/播客/3.mp3"))));
    const QMap<QString, QByteArray> before = snapshot(dir.path());
    // Each refusal also has its line for the window, in Chinese, naming what is at fault.
    struct Case {
        std::function<void(ImportRequest &)> change;
        const char *message;
        const char *learner;
    } cases[] = {
        {[](ImportRequest &r) { r.book = QStringLiteral("../escape"); }, "not a safe book title",
         "书名“../escape”不能用作文件夹名"},
        {[](ImportRequest &r) { r.name = QStringLiteral("a^b"); }, "holds \"^\"", "课名里不能有"},
        {[this](ImportRequest &r) { r.audio = file("missing.mp3"); }, "no such file",
         "无法读取音频文件“missing.mp3”"},
        {[this](ImportRequest &r) { r.subtitles = file("empty.srt"); }, "no cue",
         "字幕“empty.srt”"},
        {[this](ImportRequest &r) { r.subtitles = file("star.srt"); }, "cue 2 (at 3.000 s)",
         "第 2 条字幕含有“*”"},
        {[this](ImportRequest &r) { r.subtitles = file("late.srt"); },
         "late.srt: cue 2 (at 30.000 s) starts after the end of the audio (10.000 s)",
         "在音频结束之后开始"},
        {[this](ImportRequest &r) { r.subtitles = file("many.srt"); },
         "many.srt: the subtitles hold 40000 cues, but a lesson holds at most 32767 sentences",
         "字幕有 40000 条"},
        {[this](ImportRequest &r) { r.subtitles = file("badtime.srt"); }, "line 2: bad time",
         "字幕“badtime.srt”第 2 行有误"},
        {[this](ImportRequest &r) { r.chinese = file("missing.srt"); }, "missing.srt",
         "无法读取文件“missing.srt”"},
        {[](ImportRequest &) {}, "3.mp3: already there", "挡路的文件"},
    };
    for (const Case &c : cases) {
        ImportRequest r = request();
        c.change(r);
        const ImportResult result = importLesson(r, tools);
        EXPECT_TRUE(result.error.contains(QString::fromUtf8(c.message)))
            << c.message << ": " << result.error.toStdString();
        EXPECT_TRUE(result.learnerError.contains(QString::fromUtf8(c.learner)))
            << c.message << ": " << result.learnerError.toStdString();
        EXPECT_EQ(snapshot(dir.path()), before) << c.message;
    }

    // A conversion that fails takes back the files and folders written before it.
    QDir(dir.filePath(QStringLiteral("Sound"))).removeRecursively();
    const QMap<QString, QByteArray> clean = snapshot(dir.path());
    failConversion = true;
    EXPECT_EQ(importLesson(request("audio.ogg"), tools).error,
              file("audio.ogg") + QStringLiteral(": the encoder failed"));
    EXPECT_EQ(snapshot(dir.path()), clean);
}

// Every file of the lesson before the time set back, as if the import had been killed
// minutes ago.
void age(const QString &dir) {
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-600),
                                     QFileDevice::FileModificationTime));
    }
}

QStringList checkLines(const QString &dir) {
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    runContentTool({QStringLiteral("check"), dir}, outStream, errStream);
    outStream.flush();
    return out.split(u'\n', Qt::SkipEmptyParts);
}

// An import killed after any number of its renames leaves a book the programs read: the
// list names only lessons whose sound and text are there, and the results keep their marks.
// check names what the kill left, and the same import run again completes the lesson.
TEST_F(LessonImport, KilledBetweenRenamesLeavesAWholeBookThatTheNextImportCompletes) {
    const QString list = QStringLiteral("SETTING/BookList/播客.dat");
    const QString results = QStringLiteral("SETTING/Results/播客.dat");
    const QString lesson = QStringLiteral("book/播客/3.dat");
    const QString sound = QStringLiteral("Sound/播客/3.mp3");
    struct Case {
        int renamed; // before the kill
        QStringList there;
        bool listed;
    };
    const Case cases[] = {
        {0, {}, false},
        {1, {sound}, false},
        {2, {sound, lesson}, false},
        {3, {sound, lesson}, false}, // and the results with the new lesson
        {4, {sound, lesson}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.renamed);
        QTemporaryDir place;
        ASSERT_TRUE(place.isValid());
        auto at = [&](const QString &relative) { return place.filePath(relative); };
        write(at(list), encodeGbk(u"^甲^乙^"));
        write(at(results), encodeGbk(u"^☆甲^★乙^"));
        ImportRequest r = request("audio.ogg");
        r.dir = place.path();

        const ImportResult killed =
            importLesson(r, tools, [&](int renamed) { return renamed < c.renamed; });
        EXPECT_TRUE(killed.lessonPath.isEmpty());
        for (const QString &target : {sound, lesson})
            EXPECT_EQ(QFileInfo::exists(at(target)), c.there.contains(target))
                << target.toStdString();
        const QStringList names = splitCaretList(decodeText(read(at(list))));
        EXPECT_EQ(names.size(), c.listed ? 3 : 2);
        const QStringList marks = resultsEntries(decodeText(read(at(results))));
        ASSERT_GE(marks.size(), 2);
        EXPECT_EQ(marks.mid(0, 2), (QStringList{QStringLiteral("☆甲"), QStringLiteral("★乙")}));

        age(place.path());
        const QStringList lines = checkLines(place.path());
        const bool reportsLesson = std::any_of(lines.begin(), lines.end(), [](const QString &l) {
            return l.contains(u"lesson 3, which the lesson-name list does not name");
        });
        EXPECT_EQ(reportsLesson, !c.there.isEmpty() && !c.listed)
            << lines.join(u'\n').toStdString();
        const bool reportsLeftovers = std::any_of(lines.begin(), lines.end(), [](const QString &l) {
            return l.contains(u".importing: left by a write that did not finish");
        });
        EXPECT_EQ(reportsLeftovers, !c.listed) << lines.join(u'\n').toStdString();

        const ImportResult again = importLesson(r, tools);
        ASSERT_TRUE(again.error.isEmpty()) << again.error.toStdString();
        EXPECT_EQ(splitCaretList(decodeText(read(at(list)))).size(), c.listed ? 4 : 3);
        EXPECT_EQ(
            resultsEntries(decodeText(read(at(results)))).mid(0, 3),
            (QStringList{QStringLiteral("☆甲"), QStringLiteral("★乙"), QStringLiteral("☆第三集")}));
        EXPECT_EQ(read(at(lesson)).isEmpty(), false);
        EXPECT_EQ(read(at(sound)), QByteArray("converted mp3"));
        const bool replacedNote =
            std::any_of(again.notes.begin(), again.notes.end(),
                        [](const QString &n) { return n.contains(u"replaced"); });
        EXPECT_EQ(replacedNote, !c.there.isEmpty() && !c.listed);
        // Nothing of the killed import is left, however old.
        EXPECT_TRUE(
            findStaleTemporaries(place.path(), QDateTime::currentDateTimeUtc().addSecs(3600))
                .isEmpty());
    }
}

// Cues are kept in time order, ended with the audio, and left out when they hold no text;
// what was changed or looks wrong is told in notes, one line each.
TEST_F(LessonImport, SettlesTheCuesAndTellsWhatItDid) {
    const auto cue = [](int number, const char *from, const char *to, const QByteArray &text) {
        return QByteArray::number(number) + "\n00:00:" + from + " --> 00:00:" + to + "\n" + text +
               "\n\n";
    };
    QByteArray manyOverlaps;
    for (int i = 0; i < 8; ++i)
        manyOverlaps += cue(i + 1, QByteArray::number(i + 1).rightJustified(2, '0') + ",000",
                            QByteArray::number(i + 3).rightJustified(2, '0') + ",000", "Go.");
    const struct {
        const char *name;
        QByteArray srt;
        QString lesson;
        QStringList notes;
    } cases[] = {
        {"in order: as they are",
         cue(1, "01,000", "02,000", "A.") + cue(2, "03,000", "04,000", "B."),
         QStringLiteral("*A.##1.000#2.000#*B.##3.000#4.000#*"),
         {}},
        {"out of order: sorted by start",
         cue(1, "03,000", "04,000", "B.") + cue(2, "01,000", "02,000", "A."),
         QStringLiteral("*A.##1.000#2.000#*B.##3.000#4.000#*"),
         {QStringLiteral("cue 2 (at 1.000 s) starts before the cue above it: the cues were put "
                         "in order of their start")}},
        {"overlapping: kept and told",
         cue(1, "01,000", "03,000", "A.") + cue(2, "02,500", "04,000", "B."),
         QStringLiteral("*A.##1.000#3.000#*B.##2.500#4.000#*"),
         {QStringLiteral("cue 2 (at 2.500 s) overlaps cue 1, which ends at 3.000 s")}},
        {"running past the audio: ends with it",
         cue(1, "09,000", "12,000", "A."),
         QStringLiteral("*A.##9.000#10.000#*"),
         {QStringLiteral("cue 1 (at 9.000 s) ends at 12.000 s, after the end of the audio: it "
                         "ends with the audio at 10.000 s")}},
        {"NULs and control characters only: no sentence",
         cue(1, "01,000", "02,000", QByteArray("\0\0\0", 3)) + cue(2, "03,000", "04,000", "B.") +
             cue(3, "05,000", "06,000", "\x01\x7F"),
         QStringLiteral("*B.##3.000#4.000#*"),
         {}},
        {"many overlaps: five told, the rest counted",
         manyOverlaps,
         {},
         {QStringLiteral("cue 2 (at 2.000 s) overlaps cue 1, which ends at 3.000 s"),
          QStringLiteral("cue 3 (at 3.000 s) overlaps cue 2, which ends at 4.000 s"),
          QStringLiteral("cue 4 (at 4.000 s) overlaps cue 3, which ends at 5.000 s"),
          QStringLiteral("cue 5 (at 5.000 s) overlaps cue 4, which ends at 6.000 s"),
          QStringLiteral("cue 6 (at 6.000 s) overlaps cue 5, which ends at 7.000 s"),
          QStringLiteral("2 more cues overlap the cue before them")}},
    };
    int book = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        write(file("case.srt"), c.srt);
        ImportRequest r = request("audio.mp3", "case.srt");
        r.book = QStringLiteral("Book%1").arg(++book);
        const ImportResult result = importLesson(r, tools);
        ASSERT_TRUE(result.error.isEmpty()) << result.error.toStdString();
        if (!c.lesson.isEmpty()) {
            EXPECT_EQ(decodeText(read(result.lessonPath)), c.lesson);
        }
        EXPECT_EQ(result.notes, c.notes);
    }
}

} // namespace

// A plain text's sentences take the times the recogniser finds; with no file named, the audio
// file's own subtitle tracks give the cues. A sentence not found is left out with a note, and
// the doubtful ones are told by their number in the lesson.
TEST_F(LessonImport, TakesTheSentencesFromAPlainTextOrTheAudioFilesOwnTracks) {
    write(file("text.txt"), "Good morning. How are you?\n早上好。你好吗？\nFine, thanks.\n");
    QStringList asked;
    TextTiming timing;
    tools.alignText = [&](const QString &, const QStringList &sentences, const ImportProgress &) {
        asked = sentences;
        return timing;
    };
    tools.subtitleTracks = [](const QString &) {
        return std::vector<EmbeddedTrack>{{2, "chi", {}, "ass", true, false, true},
                                          {3, "eng", {}, "subrip", true, true, false},
                                          {4, {}, {}, "hdmv_pgs_subtitle", false, false, false}};
    };
    tools.readTrack = [](const QString &, int stream, QString *) {
        return stream == 3 ? QStringLiteral("1\n00:00:01,000 --> 00:00:02,000\nHi.\n")
                           : QStringLiteral("1\n00:00:01,100 --> 00:00:02,000\n嗨。\n");
    };
    const SentenceTiming found{0.5, 1.5, 1, true, false}, doubtful{1.8, 2.9004, 0.1, true, true},
        missing{0, 0, 0, false, false}, last{3.2, 4, 1, true, false};
    struct Case {
        const char *what;
        std::function<void(ImportRequest &)> change;
        TextTiming timing;
        const char *lesson; // or the error
        std::vector<int> doubtful;
        const char *note;
    } cases[] = {
        {"a plain text",
         [this](ImportRequest &r) { r.subtitles = file("text.txt"); },
         {{found, doubtful, last}, {}, {}},
         "*Good morning.#早上好。#0.500#1.500#*How are you?#你好吗？#1.800#2.900#"
         "*Fine, thanks.##3.200#4.000#*",
         {2},
         nullptr},
        {"a sentence the reader skipped",
         [this](ImportRequest &r) { r.subtitles = file("text.txt"); },
         {{found, missing, doubtful}, {}, {}},
         "*Good morning.#早上好。#0.500#1.500#*Fine, thanks.##1.800#2.900#*",
         {2},
         "not found in the audio, left out: sentence 2 \"How are you?\""},
        {"audio that is not the text",
         [this](ImportRequest &r) { r.subtitles = file("text.txt"); },
         {{}, QStringLiteral("the audio does not match the text"), {}},
         "does not match",
         {},
         nullptr},
        {"the file's own tracks, chosen by their tags",
         [](ImportRequest &r) { r.subtitles.clear(); },
         {},
         "*Hi.#嗨。#1.000#2.000#*",
         {},
         nullptr},
        {"its English track only",
         [](ImportRequest &r) {
             r.subtitles.clear();
             r.chineseTrack = ImportRequest::noTrack;
         },
         {},
         "*Hi.##1.000#2.000#*",
         {},
         nullptr},
        {"a picture track",
         [](ImportRequest &r) {
             r.subtitles.clear();
             r.englishTrack = 4;
         },
         {},
         "a picture track (hdmv_pgs_subtitle), not text",
         {},
         nullptr},
    };
    for (const Case &c : cases) {
        ImportRequest r = request();
        c.change(r);
        timing = c.timing;
        const ImportResult result = importLesson(r, tools);
        if (result.error.isEmpty()) {
            EXPECT_EQ(decodeText(read(result.lessonPath)), QString::fromUtf8(c.lesson)) << c.what;
        } else {
            EXPECT_TRUE(result.error.contains(QString::fromUtf8(c.lesson)))
                << c.what << ": " << result.error.toStdString();
            EXPECT_FALSE(result.learnerError.isEmpty()) << c.what;
        }
        EXPECT_EQ(result.doubtful, c.doubtful) << c.what;
        if (c.note) {
            EXPECT_TRUE(result.notes.join(u'\n').contains(QString::fromUtf8(c.note))) << c.what;
        }
    }
    EXPECT_EQ(asked, (QStringList{QStringLiteral("Good morning."), QStringLiteral("How are you?"),
                                  QStringLiteral("Fine, thanks.")}));
}

// 取消 while the sentences are being found or the audio converted stops the import at once,
// with nothing written.
TEST_F(LessonImport, StoppedDuringALongStepWritesNothing) {
    write(file("text.txt"), "Good morning.\nFine, thanks.\n");
    tools.alignText = [](const QString &, const QStringList &, const ImportProgress &progress) {
        TextTiming timing;
        if (!progress(0.5))
            timing.error = QStringLiteral("stopped");
        timing.sentences = {{1, 2, 1, true, false}, {3, 4, 1, true, false}};
        return timing;
    };
    tools.convertToMp3 = [this](const QString &, const QString &to,
                                const ImportProgress &progress) {
        write(to, "half an mp3");
        if (progress && !progress(0.5)) {
            QFile::remove(to);
            return QStringLiteral("stopped");
        }
        return QString();
    };
    const QMap<QString, QByteArray> before = snapshot(dir.path());
    // While the audio is read, its sentences found, and it is converted.
    for (const double stopAfter : {0.02, 0.3, 0.7}) {
        ImportRequest r = request("audio.ogg", "text.txt");
        std::vector<double> reported;
        r.progress = [&](double fraction) {
            reported.push_back(fraction);
            return fraction < stopAfter;
        };
        const ImportResult result = importLesson(r, tools);
        EXPECT_TRUE(result.cancelled) << stopAfter;
        EXPECT_EQ(result.learnerError, QStringLiteral("导入已取消。"));
        EXPECT_EQ(snapshot(dir.path()), before) << stopAfter;
        EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
    }
}
