// "导入课程" in the window, with audio tools that read no sound: every existing file is
// 30 s of MP3, the conversion copies it, and a plain text is "aligned" 3 s a sentence.

#include "audio/fakevoicebackend.h"
#include "audio/voiceplayer.h"
#include "shell/catalogueview.h"
#include "shell/functionmenu.h"
#include "shell/importdialog.h"
#include "shell/trainerwindow.h"
#include "support/programdirfixture.h"
#include "support/windowfakes.h"
#include "text/fonts.h"
#include "widgets/textbutton.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

using namespace programdir;

const QString newBook = QStringLiteral("我的播客");

struct FakeTools {
    std::vector<int> doubtful;        // sentences the aligner is unsure of (1-based)
    std::atomic<bool> endless{false}; // the aligner reports progress until told to stop
    std::atomic<int> reports{0};
    std::vector<EmbeddedTrack> tracks; // the video's subtitle streams
    std::vector<int> streamsRead;      // by the import, in order

    static EmbeddedTrack track(int stream, const char *language, bool text, bool english,
                               bool chinese) {
        EmbeddedTrack t;
        t.stream = stream;
        t.language = QString::fromLatin1(language);
        t.codec = text ? QStringLiteral("subrip") : QStringLiteral("hdmv_pgs_subtitle");
        t.text = text;
        t.english = english;
        t.chinese = chinese;
        return t;
    }

    AudioTools tools() {
        AudioTools t;
        t.probe = [](const QString &path, const ImportProgress &) {
            AudioFacts facts;
            if (!QFileInfo(path).isFile())
                facts.error = QStringLiteral("cannot open the file");
            facts.seconds = 30;
            facts.isMp3 = true;
            return facts;
        };
        t.convertToMp3 = [](const QString &from, const QString &to, const ImportProgress &) {
            return QFile::copy(from, to) ? QString() : QStringLiteral("cannot copy");
        };
        t.subtitleTracks = [this](const QString &path) {
            return path.endsWith(QStringLiteral(".mkv")) ? tracks : std::vector<EmbeddedTrack>{};
        };
        t.readTrack = [this](const QString &, int stream, QString *) {
            streamsRead.push_back(stream);
            const bool english = stream == 2 || stream == 5;
            return QString::fromUtf8(english ? "1\n00:00:01,000 --> 00:00:02,000\nHello.\n\n"
                                               "2\n00:00:03,000 --> 00:00:04,000\nBye.\n\n"
                                             : "1\n00:00:01,000 --> 00:00:02,000\n你好。\n\n"
                                               "2\n00:00:03,000 --> 00:00:04,000\n再见。\n\n");
        };
        t.alignText = [this](const QString &, const QStringList &sentences,
                             const ImportProgress &progress) {
            TextTiming timing;
            for (int k = 0; endless || k < 3; ++k) {
                ++reports;
                if (progress && !progress(endless ? 0.5 : k / 3.0)) {
                    timing.error = QStringLiteral("stopped");
                    return timing;
                }
                QThread::msleep(2);
            }
            for (qsizetype i = 0; i < sentences.size(); ++i) {
                SentenceTiming s;
                s.start = 3.0 * double(i);
                s.end = s.start + 2.5;
                s.confidence = 1;
                s.doubtful =
                    std::find(doubtful.begin(), doubtful.end(), int(i + 1)) != doubtful.end();
                timing.sentences.push_back(s);
            }
            return timing;
        };
        return t;
    }
};

class ImportDialogTest : public ::testing::Test, protected TrainerWindowFakes {
protected:
    void SetUp() override {
        installFontSubstitutions();
        ASSERT_TRUE(dir.isValid() && inputs.isValid());
        programDir = dir.path() + QStringLiteral("/bin");
        copyDemoContent(programDir);
        writeFile(inputs.filePath(QStringLiteral("第1集 At the airport.mp3")), "ID3 fake audio");
        writeFile(inputs.filePath(QStringLiteral("episode.srt")),
                  "1\n00:00:00,500 --> 00:00:02,000\nGood morning.\n早上好。\n\n"
                  "2\n00:00:03,000 --> 00:00:05,000\nHow are you?\n你好吗？\n\n"
                  "3\n00:00:06,000 --> 00:00:08,000\nFine, thanks.\n很好，谢谢。\n\n");
        writeFile(inputs.filePath(QStringLiteral("episode.txt")),
                  "Good morning.\nHow are you?\nFine, thanks.\n");
        writeFile(inputs.filePath(QStringLiteral("star.srt")),
                  "1\n00:00:00,500 --> 00:00:02,000\nA * B\n\n");
    }

    void start(bool installed = false) {
        player = std::make_unique<VoicePlayer>(
            Program::Orvessa, std::make_unique<FakeVoiceBackend>(VoiceBackend::Unit::Seconds));
        places = installed ? DataPlaces::withUserFolder(programDir, dir.path() + "/user")
                           : DataPlaces::portable(programDir);
        window = std::make_unique<TrainerWindow>(places, *player, sounds, recorder, timers());
        window->messageSink = [](const QString &, const QString &, MessageIcon) {};
        window->importTools = fake.tools();
        QObject::connect(&window->loader(), &LessonLoader::lessonLoaded, [this] { ++loads; });
        window->startup();
        Q_EMIT window->functionMenu()->importButton()->released();
        dialog = window->importDialog();
        ASSERT_NE(dialog, nullptr);
    }

    QString input(const char *name) const { return inputs.filePath(QString::fromUtf8(name)); }

    void fill(const QString &audio, const QString &text, const QString &book,
              const QString &name = {}) {
        dialog->audioEdit()->setText(audio);
        dialog->textEdit()->setText(text);
        dialog->bookBox()->setEditText(book);
        if (!name.isEmpty())
            dialog->nameEdit()->setText(name);
    }

    // Presses 导入 and lets the import run to its end.
    void importAndWait() {
        dialog->importButton()->click();
        waitIdle();
    }
    void waitIdle() {
        QDeadlineTimer deadline(10000);
        while (dialog->isImporting() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_FALSE(dialog->isImporting()) << "the import did not end";
        QCoreApplication::processEvents();
    }

    // Every file under the place imports write, relative to it.
    QStringList writtenFiles() const {
        QStringList files;
        QDirIterator it(places.writeRoot(), QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next().mid(places.writeRoot().size() + 1);
            if (file != QStringLiteral("SETTING/set.dat")) // the window's own record
                files << file;
        }
        files.sort();
        return files;
    }

    QTemporaryDir dir;
    QTemporaryDir inputs;
    QString programDir;
    DataPlaces places;
    FakeTools fake;
    std::unique_ptr<VoicePlayer> player;
    std::unique_ptr<TrainerWindow> window;
    ImportDialog *dialog = nullptr;
    int loads = 0;
};

TEST_F(ImportDialogTest, FieldsAreNamedForScreenReadersAndTheNameFollowsTheAudio) {
    start();
    // One dialog: a second press raises the same one.
    Q_EMIT window->functionMenu()->importButton()->released();
    EXPECT_EQ(window->importDialog(), dialog);
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(window->functionMenu()->importButton()->caption(), QStringLiteral("导入课程"));

    // 书名 names the list and the line one types a new title in.
    const std::pair<const char *, int> names[] = {
        {"音频文件", 1}, {"字幕或文本文件", 1}, {"中文字幕（可选）", 1},
        {"书名", 2},     {"课名", 1},           {"导入进度", 1}};
    for (const auto &[name, count] : names) {
        int found = 0;
        for (QWidget *w : dialog->findChildren<QWidget *>())
            found += w->accessibleName() == QString::fromUtf8(name);
        EXPECT_EQ(found, count) << name;
    }
    QStringList browse;
    for (QPushButton *b : dialog->findChildren<QPushButton *>()) {
        if (b->accessibleName() == QStringLiteral("浏览…"))
            browse << b->accessibleDescription();
    }
    browse.removeDuplicates();
    EXPECT_EQ(browse.size(), 3) << browse.join(u'|').toStdString();
    // A browse button fills its own field.
    dialog->chooseFile = [this](const QString &, const QString &) { return input("episode.srt"); };
    for (QPushButton *b : dialog->findChildren<QPushButton *>()) {
        if (b->accessibleDescription().contains(QStringLiteral("字幕或文本文件")))
            b->click();
    }
    EXPECT_EQ(dialog->textEdit()->text(), input("episode.srt"));

    // The lesson name follows the audio's file name until the learner types one.
    struct Step {
        const char *audio;
        const char *typed; // nullptr: the learner types nothing
        const char *name;
    };
    const Step steps[] = {
        {"/m/第1集 At the airport.mp3", nullptr, "第1集 At the airport"},
        {"/m/episode.two.mkv", nullptr, "episode.two"},
        {"/m/episode.two.mkv", "我的课", "我的课"},
        {"/m/other.mp3", nullptr, "我的课"},
        {"/m/other.mp3", "", ""},
        {"/m/third.wav", nullptr, "third"},
    };
    for (const Step &step : steps) {
        if (step.typed)
            dialog->nameEdit()->setText(QString::fromUtf8(step.typed));
        dialog->audioEdit()->setText(QString::fromUtf8(step.audio));
        EXPECT_EQ(dialog->nameEdit()->text(), QString::fromUtf8(step.name)) << step.audio;
    }
    // No video tracks: no track lists.
    EXPECT_FALSE(dialog->englishTrackBox()->isVisibleTo(dialog));
    EXPECT_FALSE(dialog->chineseTrackBox()->isVisibleTo(dialog));
}

TEST_F(ImportDialogTest, ImportListsTheBookLoadsTheLessonAndOffersTheDoubtfulSentences) {
    struct Case {
        const char *text;
        std::vector<int> doubtful;
    };
    const Case cases[] = {{"episode.srt", {}}, {"episode.txt", {2, 3}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        fake.doubtful = c.doubtful;
        start();
        const int loadsBefore = loads;
        fill(input("第1集 At the airport.mp3"), input(c.text), newBook);
        importAndWait();
        EXPECT_TRUE(dialog->messageLine()->text().startsWith(QStringLiteral("已把")))
            << dialog->messageLine()->text().toStdString();
        EXPECT_EQ(dialog->progressBar()->value(), dialog->progressBar()->maximum());
        CatalogueView *catalogue = window->catalogue();
        EXPECT_EQ(catalogue->bookTitle(), newBook);
        EXPECT_NE(catalogue->Combo1()->findText(newBook), -1);
        EXPECT_EQ(catalogue->lessonName(), QStringLiteral("第1集 At the airport"));
        EXPECT_EQ(loads, loadsBefore + 1);
        EXPECT_EQ(window->state().sentenceCount, 3);
        EXPECT_NE(dialog->bookBox()->findText(newBook), -1);

        QStringList buttons;
        for (QPushButton *b : dialog->doubtfulButtons())
            buttons << b->text();
        QStringList expected;
        for (int n : c.doubtful)
            expected << QStringLiteral("第 %1 句").arg(n);
        EXPECT_EQ(buttons, expected);
        if (!c.doubtful.empty()) {
            // In another mode and on another lesson, the button brings the imported one back.
            Q_EMIT window->functionMenu()->itemReleased(2);
            catalogue->Combo1()->setCurrentIndex(catalogue->Combo1()->findText(demoBook));
            catalogue->switchBook(demoBook);
            Timer3.tick();
            ASSERT_EQ(catalogue->bookTitle(), demoBook);
            dialog->doubtfulButtons().back()->click();
            EXPECT_EQ(window->state().studyMode, 1);
            EXPECT_EQ(catalogue->bookTitle(), newBook);
            EXPECT_EQ(window->state().currentSentence, c.doubtful.back());
        }
        window.reset();
        QDir(programDir + QStringLiteral("/book/") + newBook).removeRecursively();
        QDir(programDir + QStringLiteral("/Sound/") + newBook).removeRecursively();
        QFile::remove(programDir + QStringLiteral("/SETTING/BookList/") + newBook +
                      QStringLiteral(".dat"));
    }
}

// Going to a doubtful sentence moves the dialog off the window, whose card and timing
// control the learner now needs: the first side with room on the screen, else nowhere.
TEST(ImportDialogPlace, BesideTheWindowWhereTheScreenHasRoom) {
    const QRect window(100, 50, 780, 555);
    const QSize dialog(560, 400);
    const struct {
        const char *name;
        QRect screen;
        std::optional<QPoint> at;
    } cases[] = {
        {"below", QRect(0, 0, 1280, 1024), QPoint(100, 605)},
        {"right, no room below", QRect(0, 0, 1600, 800), QPoint(880, 50)},
        {"left, the window at the screen's right", QRect(-700, 0, 1580, 700), QPoint(-460, 50)},
        {"above", QRect(0, -420, 900, 1030), QPoint(100, -350)},
        {"nowhere: stays", QRect(0, 0, 1000, 700), std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ImportDialog::placeBeside(window, dialog, c.screen), c.at);
    }
}

TEST_F(ImportDialogTest, AVideosOwnTracksStandInForASubtitleFile) {
    // English 2, Chinese 3, a picture track 4 that gives no text, an untagged text track 5.
    fake.tracks = {FakeTools::track(2, "eng", true, true, false),
                   FakeTools::track(3, "chi", true, false, true),
                   FakeTools::track(4, "eng", false, true, false),
                   FakeTools::track(5, "", true, false, false)};
    writeFile(input("clip.mkv"), "video");
    struct Case {
        const char *why;
        int english; // the list's choice to make; 0 keeps what it shows
        int chinese; // likewise; ImportRequest::noTrack for 不要中文
        std::vector<int> read;
    };
    const Case cases[] = {
        {"as shown", 0, 0, {2, 3}},
        {"the untagged track, no Chinese", 5, ImportRequest::noTrack, {5}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        start();
        fake.streamsRead.clear();
        dialog->audioEdit()->setText(input("clip.mkv"));
        Q_EMIT dialog->audioEdit()->editingFinished();
        QComboBox *english = dialog->englishTrackBox();
        QComboBox *chinese = dialog->chineseTrackBox();
        ASSERT_TRUE(english->isVisibleTo(dialog) && chinese->isVisibleTo(dialog));
        EXPECT_EQ(english->count(), 3); // the picture track is not offered
        EXPECT_EQ(chinese->count(), 4); // and 不要中文
        EXPECT_EQ(english->currentData().toInt(), 2);
        EXPECT_EQ(chinese->currentData().toInt(), 3);
        // A subtitle file given, the tracks are not used.
        dialog->textEdit()->setText(input("episode.srt"));
        EXPECT_FALSE(english->isVisibleTo(dialog));
        dialog->textEdit()->clear();
        EXPECT_TRUE(english->isVisibleTo(dialog));

        if (c.english)
            english->setCurrentIndex(english->findData(c.english));
        if (c.chinese)
            chinese->setCurrentIndex(chinese->findData(c.chinese));
        dialog->bookBox()->setEditText(newBook);
        importAndWait();
        EXPECT_EQ(fake.streamsRead, c.read);
        EXPECT_EQ(window->catalogue()->lessonName(), QStringLiteral("clip"));
        EXPECT_EQ(window->state().sentenceCount, 2);
        window.reset();
    }
}

TEST_F(ImportDialogTest, StoppingAnImportLeavesNothingBehind) {
    enum class Stop { CancelButton, CloseDialog, CloseWindow };
    for (const Stop stop : {Stop::CancelButton, Stop::CloseDialog, Stop::CloseWindow}) {
        SCOPED_TRACE(int(stop));
        start();
        const QStringList before = writtenFiles();
        fake.endless = true;
        fake.reports = 0;
        fill(input("第1集 At the airport.mp3"), input("episode.txt"), newBook);
        dialog->importButton()->click();
        QDeadlineTimer deadline(10000);
        while (dialog->progressBar()->value() == 0 && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_GT(dialog->progressBar()->value(), 0) << "no progress shown";
        EXPECT_FALSE(dialog->importButton()->isEnabled());
        switch (stop) {
        case Stop::CancelButton:
            dialog->cancelButton()->click();
            waitIdle();
            EXPECT_TRUE(dialog->messageLine()->text().contains(QStringLiteral("取消")));
            EXPECT_TRUE(dialog->importButton()->isEnabled());
            break;
        case Stop::CloseDialog:
            dialog->close();
            EXPECT_FALSE(dialog->isImporting());
            break;
        case Stop::CloseWindow:
            window->close();
            EXPECT_TRUE(window->unloaded());
            EXPECT_FALSE(dialog->isImporting());
            break;
        }
        fake.endless = false;
        EXPECT_EQ(writtenFiles(), before);
        window.reset();
    }

    // Subtitles over an MP3 have no step to stop in: closed at once, the import still ends,
    // and the dialog and the catalogue say what it did rather than claim nothing was added.
    start();
    fill(input("第1集 At the airport.mp3"), input("episode.srt"), newBook);
    dialog->importButton()->click();
    dialog->close();
    EXPECT_FALSE(dialog->isImporting());
    EXPECT_TRUE(dialog->messageLine()->text().startsWith(QStringLiteral("已把")))
        << dialog->messageLine()->text().toStdString();
    EXPECT_EQ(window->catalogue()->bookTitle(), newBook);
    EXPECT_TRUE(QFileInfo::exists(programDir + QStringLiteral("/book/") + newBook +
                                  QStringLiteral("/1.dat")));
}

TEST_F(ImportDialogTest, WhatCannotBeImportedIsOneCalmLineAndWritesNothing) {
    struct Case {
        const char *why;
        const char *audio;
        const char *text;
        QString book;
        bool installed;
    };
    const Case cases[] = {
        {"no audio", "", "episode.srt", newBook, false},
        {"no text", "第1集 At the airport.mp3", "", newBook, false},
        {"no book", "第1集 At the airport.mp3", "episode.srt", QString(), false},
        {"unsafe book", "第1集 At the airport.mp3", "episode.srt", QStringLiteral("a/b"), false},
        {"missing audio", "gone.mp3", "episode.srt", newBook, false},
        {"a cue holds *", "第1集 At the airport.mp3", "star.srt", newBook, false},
        {"a shipped book from the learner's folder", "第1集 At the airport.mp3", "episode.srt",
         demoBook, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        start(c.installed);
        const QStringList before = writtenFiles();
        fill(*c.audio ? input(c.audio) : QString(), *c.text ? input(c.text) : QString(), c.book,
             QStringLiteral("课"));
        importAndWait();
        const QString line = dialog->messageLine()->text();
        EXPECT_TRUE(dialog->messageLine()->isVisibleTo(dialog));
        EXPECT_TRUE(dialog->messageLine()->property("error").toBool()) << line.toStdString();
        EXPECT_FALSE(line.contains(u'\n')) << line.toStdString();
        EXPECT_TRUE(std::any_of(line.begin(), line.end(), [](QChar ch) {
            return ch.unicode() >= 0x4E00 && ch.unicode() <= 0x9FFF;
        })) << line.toStdString();
        EXPECT_EQ(writtenFiles(), before);
        EXPECT_EQ(window->catalogue()->bookTitle(), demoBook);
        window.reset();
    }
}

} // namespace
