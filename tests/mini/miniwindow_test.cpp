#include "audio/fakevoicebackend.h"
#include "audio/fakevoicerecorder.h"
#include "audio/shortsound.h"
#include "audio/ticker.h"
#include "audio/voiceplayer.h"
#include "content/contentpaths.h"
#include "content/settingsfile.h"
#include "mini/minisettingsdialog.h"
#include "mini/miniwindow.h"
#include "study/pure/lessonrange.h"
#include "support/programdirfixture.h"
#include "text/fonts.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

using namespace programdir;

// Where the strip goes after the last sentence of a lesson, as positions of a six-lesson list.
TEST(LessonRange, NextLessonUntilTheEndLessonThenTheStartAgain) {
    const QStringList names{"一", "二", "三", "四", "五", "六"};
    struct Case {
        int position;
        QString end;
        int HN;
        int next;
    } cases[] = {
        {2, "五", 2, 3},  // inside the range
        {4, "五", 2, 2},  // the end lesson: back to the start lesson
        {5, "无", 2, 2},  // an end name that matches nothing: past the last lesson, the start
        {0, "一", 0, 0},  // a range of one lesson
        {3, "五", 9, 4},  // a start beyond the list does not stop the advance
        {5, "六", 9, 0},  // ... and wraps to the first lesson
        {-1, "五", 1, 1}, // nothing selected: the start lesson
    };
    for (const Case &c : cases) {
        const QString current = c.position >= 0 ? names.at(c.position) : QString();
        EXPECT_EQ(nextInLessonRange(c.position, int(names.size()), current, c.end, c.HN).position,
                  c.next)
            << "from " << c.position << " to end " << c.end.toStdString();
    }
}

class MiniWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        installFontSubstitutions();
        ASSERT_TRUE(dir.isValid());
        copyDemoContent(dir.path());
        // Lesson 3 playing in a range from lesson 3 (HN 2) to the fifth lesson, the Chinese
        // line shown, repeat once without pause, white on a dark blue.
        lessons = demoLessonNames(dir.path());
        ASSERT_GE(lessons.size(), 6);
        MiniSettings s;
        s.lessonIndex = 2;
        s.studyRepeats = QStringLiteral("1");
        s.studyPause = QStringLiteral("0");
        s.endLesson = lessons.at(4);
        s.HN = 2;
        s.bookTitle = demoBook;
        s.background = bgrColour(29, 56, 91);
        s.textColour = bgrColour(255, 255, 255);
        writeFile(dir.filePath(QStringLiteral("SETTING/mnset.dat")), gbk(miniSettingsRecord(s)));
    }
    void start() {
        player = std::make_unique<VoicePlayer>(
            Program::Mini, std::make_unique<FakeVoiceBackend>(VoiceBackend::Unit::Seconds));
        player->WmpEnable = 1;
        player->playerKind = 2;
        window = std::make_unique<MiniWindow>(
            DataPlaces::portable(dir.path()), *player, sounds, recorder,
            WindowTimers{&Timer1, &Timer2, &Timer3, &endShot, &recordLimit});
        window->messageSink = [this](const QString &text, const QString &, MessageIcon) {
            messages << text;
        };
        window->startup();
    }
    FakeVoiceBackend &backend() { return static_cast<FakeVoiceBackend &>(player->backend()); }
    void lastSentence() {
        TrainerState &s = window->core().state();
        while (s.Command1.enabled)
            window->core().view().nextSentence();
    }

    QTemporaryDir dir;
    QStringList lessons;
    QStringList messages;
    RecordingShortSoundPlayer sounds;
    FakeVoiceRecorder recorder;
    ManualTicker Timer1{30}, Timer2{10}, Timer3{10}, endShot{1}, recordLimit{60000};
    std::unique_ptr<VoicePlayer> player;
    std::unique_ptr<MiniWindow> window;
};

TEST_F(MiniWindowTest, StartsWhereItWasLeftAndSavesItOnClose) {
    start();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_EQ(window->lessonPosition(), 2);
    EXPECT_EQ(window->core().state().lessonIndex, 2);
    EXPECT_EQ(window->HN, 2);
    EXPECT_EQ(window->endLesson, lessons.at(4));
    EXPECT_EQ(window->background(), QColor(29, 56, 91));
    EXPECT_EQ(window->englishLine()->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window->pos(), QPoint(6, 4));
    EXPECT_FALSE(window->englishLine()->text().isEmpty());
    EXPECT_TRUE(window->action(QStringLiteral("中文(&C)"))->isChecked());

    window->HN = 1;
    window->nextLesson();
    window->close();
    const MiniSettingsFields saved =
        parseMiniSettings(readSettingsFile(dir.filePath(QStringLiteral("SETTING/mnset.dat"))));
    EXPECT_EQ(saved.lessonIndex, 3);
    EXPECT_EQ(saved.HN, 1);
    EXPECT_EQ(saved.endLesson, lessons.at(4));
    EXPECT_EQ(saved.background, bgrColour(29, 56, 91));
    EXPECT_EQ(saved.textColour, bgrColour(255, 255, 255));
}

// Without mnset.dat the strip keeps its first colour and book and says how to choose a course.
TEST_F(MiniWindowTest, WithoutSettingsItAsksForACourse) {
    QFile::remove(dir.filePath(QStringLiteral("SETTING/mnset.dat")));
    start();
    EXPECT_EQ(window->background(), QColor(128, 128, 192)); // 12615808
    EXPECT_EQ(window->bookText(), QStringLiteral("商务英语900句"));
    EXPECT_EQ(window->englishLine()->text(), QStringLiteral("右键单击此处，选择课程"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

// After the last sentence of the end lesson the strip goes on with the start lesson, playing;
// with a repeat count of 0 it steps on and waits for 朗读.
TEST_F(MiniWindowTest, TheRangeRunsOnWithoutEnd) {
    start();
    window->setLessonPosition(4);
    window->loadlesson();
    lastSentence();
    backend().calls.clear();
    Q_EMIT window->core().playback().repeatsFinished();
    EXPECT_EQ(window->lessonPosition(), 2);
    EXPECT_EQ(window->core().state().lessonIndex, 2);
    EXPECT_EQ(window->core().state().currentSentence, 1);
    EXPECT_TRUE(backend().isPlaying());

    // Inside a lesson the next sentence follows; with a repeat count of 0 it is not played.
    window->setnum(QStringLiteral("0"));
    player->VoicePause();
    Q_EMIT window->core().playback().repeatsFinished();
    EXPECT_EQ(window->core().state().currentSentence, 2);
    EXPECT_FALSE(backend().isPlaying());
}

TEST_F(MiniWindowTest, PauseTwiceGoesOnWhereItStopped) {
    start();
    QAction *pause = window->action(QStringLiteral("暂停"));
    ASSERT_TRUE(pause);
    window->core().playback().onCommand4();
    backend().calls.clear();
    pause->trigger();
    EXPECT_EQ(pause->text(), QStringLiteral("继续"));
    EXPECT_FALSE(backend().isPlaying());
    EXPECT_FALSE(Timer1.isActive());
    pause->trigger();
    EXPECT_EQ(pause->text(), QStringLiteral("暂停"));
    EXPECT_TRUE(backend().isPlaying());
    EXPECT_TRUE(Timer1.isActive());
    EXPECT_FALSE(backend().calls.join(u' ').contains(QStringLiteral("seek")))
        << "it goes on without seeking: " << backend().calls.join(u' ').toStdString();
}

// The strip is as tall as the English line plus 130 twips, or the Chinese line plus 110.
TEST_F(MiniWindowTest, TheChineseLineSetsTheHeight) {
    start();
    QLabel *english = window->englishLine();
    QLabel *chinese = window->chineseLine();
    EXPECT_TRUE(chinese->isVisible());
    EXPECT_EQ(english->y(), 405 / 15);
    EXPECT_EQ(window->height(), (735 + chinese->height() * 15 + 110) / 15);
    window->action(QStringLiteral("中文(&C)"))->trigger();
    EXPECT_FALSE(chinese->isVisible());
    EXPECT_EQ(english->y(), 450 / 15);
    EXPECT_EQ(window->height(), (450 + english->height() * 15 + 130) / 15);
    EXPECT_EQ(window->core().state().view.Check2.value, 0);

    // Larger type makes the strip wider and taller.
    const QSize before = window->size();
    window->changeFontSize(3);
    EXPECT_GT(window->width(), before.width());
    EXPECT_GT(window->height(), before.height());

    // Much larger type pushes the Chinese line down below the English one.
    window->action(QStringLiteral("中文(&C)"))->trigger();
    for (int step = 0; step < 4; ++step)
        window->changeFontSize(3);
    EXPECT_GT(chinese->y(), english->geometry().bottom());
    EXPECT_EQ(window->height(), chinese->geometry().bottom() + 1 + 110 / 15);
}

// The dialog opened from the menu: the repeat count acts at once and stays after 取消; 确定
// loads the start lesson (and once more after 10 ms) and hands over range and colours.
TEST_F(MiniWindowTest, TheSettingsDialogActsOnTheStrip) {
    start();
    window->action(QStringLiteral("选择课程(&S)"))->trigger();
    MiniSettingsDialog *dialog = window->settingsDialog();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->startLessonList()->currentIndex(), 2);
    dialog->repeatList()->setCurrentText(QStringLiteral("3"));
    Q_EMIT dialog->repeatList()->activated(dialog->repeatList()->currentIndex());
    dialog->cancelButton()->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(window->core().state().playback.Combo2Text, QStringLiteral("3"));

    window->action(QStringLiteral("选择课程(&S)"))->trigger();
    dialog->startLessonList()->setCurrentIndex(1);
    Q_EMIT dialog->startLessonList()->activated(1);
    dialog->okButton()->click();
    EXPECT_EQ(window->HN, 1);
    EXPECT_EQ(window->lessonPosition(), 1);
    EXPECT_EQ(window->core().state().lessonIndex, 1);
    EXPECT_EQ(window->endLesson, lessons.at(1)) << "the end lesson moved with the start";
    EXPECT_TRUE(Timer3.isActive()) << "the one-shot reload";
    Timer3.tick();
    EXPECT_FALSE(Timer3.isActive());
    EXPECT_EQ(window->core().state().lessonIndex, 1);
}

// The keys on the strip: Page Down/Up step, F1 goes back to the first sentence, F8 plays and
// F9 asks for the English line to be hidden first.
TEST_F(MiniWindowTest, KeysStepPlayAndHint) {
    start();
    const TrainerState &s = window->core().state();
    auto press = [&](int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &event);
    };
    press(Qt::Key_PageDown);
    press(Qt::Key_PageDown);
    EXPECT_EQ(s.currentSentence, 3);
    press(Qt::Key_PageUp);
    EXPECT_EQ(s.currentSentence, 2);
    press(Qt::Key_F1);
    EXPECT_EQ(s.currentSentence, 1);
    window->togglePause();
    ASSERT_FALSE(backend().isPlaying());
    press(Qt::Key_F8);
    EXPECT_TRUE(backend().isPlaying());
    messages.clear();
    press(Qt::Key_F9);
    EXPECT_EQ(messages, QStringList{QStringLiteral(
                            "请在“显示英文句子”处于未选中状态时使用此功能（快捷键F9）。")});
}

// The dialog offers every book with lessons here, whatever the current one; switching books
// makes the whole new book the range at once, also after 取消 and across a restart, and the
// lesson playing at the switch plays on before the new book's first lesson.
TEST_F(MiniWindowTest, ABookSwitchTakesTheWholeNewBookAndLosesNoBook) {
    addDemoBookAs(dir.path(), dir.path(), QStringLiteral("第二本"), QStringLiteral("^甲^乙^丙^"));
    start();
    window->action(QStringLiteral("选择课程(&S)"))->trigger();
    MiniSettingsDialog *dialog = window->settingsDialog();
    QComboBox *books = dialog->bookList();
    for (int round = 0; round < 2; ++round) {
        EXPECT_GE(books->findText(demoBook), 0) << "round " << round;
        EXPECT_GE(books->findText(QStringLiteral("第二本")), 0) << "round " << round;
        const int other = books->findText(QStringLiteral("新概念英语第一册"));
        ASSERT_GE(other, 0);
        EXPECT_FALSE(books->model()->flags(books->model()->index(other, 0)) & Qt::ItemIsEnabled);
        books->setCurrentIndex(books->findText(QStringLiteral("第二本")));
        Q_EMIT books->activated(books->currentIndex());
        dialog->cancelButton()->click();
        window->action(QStringLiteral("选择课程(&S)"))->trigger();
    }
    EXPECT_EQ(window->HN, 0);
    EXPECT_EQ(window->endLesson, QStringLiteral("丙"));
    EXPECT_EQ(dialog->endLessonList()->currentText(), QStringLiteral("丙"));
    dialog->cancelButton()->click();

    lastSentence();
    Q_EMIT window->core().playback().repeatsFinished();
    EXPECT_EQ(player->bookTitle, QStringLiteral("第二本"));
    EXPECT_EQ(window->core().state().lessonIndex, 0);
    EXPECT_TRUE(backend().isPlaying());

    window->close();
    const MiniSettingsFields saved =
        parseMiniSettings(readSettingsFile(dir.filePath(QStringLiteral("SETTING/mnset.dat"))));
    EXPECT_EQ(saved.bookTitle, QStringLiteral("第二本"));
    EXPECT_EQ(saved.HN, 0);
    EXPECT_EQ(saved.endLesson, QStringLiteral("丙"));
}

// What the menu and the strip show follows what is in force: one speed tick, the pause item
// after a new lesson started, the English line the F9 hint shows, the two lines' edge.
TEST_F(MiniWindowTest, TheStripShowsWhatIsInForce) {
    start();
    QAction *normal = window->action(QStringLiteral("常速"));
    QAction *slow = window->action(QStringLiteral("慢速"));
    for (QAction *chosen : {slow, normal, normal, slow}) {
        chosen->trigger();
        EXPECT_TRUE(chosen->isChecked());
        EXPECT_NE(normal->isChecked(), slow->isChecked());
    }

    QAction *pause = window->action(QStringLiteral("暂停"));
    window->togglePause();
    EXPECT_TRUE(window->pausedByLearner());
    window->nextLesson();
    ASSERT_TRUE(backend().isPlaying());
    EXPECT_EQ(pause->text(), QStringLiteral("暂停"));
    EXPECT_FALSE(window->pausedByLearner());

    window->core().view().setCheckValue(1, 0);
    EXPECT_FALSE(window->englishLine()->isVisible());
    QKeyEvent f9(QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &f9);
    EXPECT_TRUE(window->englishLine()->isVisible());

    window->changeFontSize(3);
    EXPECT_EQ(window->chineseLine()->x(), window->englishLine()->x());
}

// The endless range passes over a lesson without sentences and a sentence without times; a
// range with nothing to play says so once on the strip instead of hanging. Without mnset.dat
// each sentence plays once, as the shipped record has it.
TEST_F(MiniWindowTest, TheRangeNeverStopsOnWhatCannotPlay) {
    const QString book = dir.filePath(QStringLiteral("book/") + demoBook + u'/');
    QFile lesson3(book + QStringLiteral("3.dat"));
    ASSERT_TRUE(lesson3.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = lesson3.readAll().split('\n');
    lesson3.close();
    QList<QByteArray> fields = lines[1].split('#');
    fields[2] = fields[3] = QByteArray(); // sentence 2 of lesson 3 loses its times
    lines[1] = fields.join('#');
    writeFile(book + QStringLiteral("3.dat"), lines.join('\n'));
    writeFile(book + QStringLiteral("4.dat"), QByteArray()); // lesson 4 has no sentences
    start();
    ASSERT_EQ(window->core().state().lessonIndex, 2);
    Q_EMIT window->core().playback().repeatsFinished();
    EXPECT_EQ(window->core().state().currentSentence, 3) << "sentence 2 passed over";
    lastSentence();
    Q_EMIT window->core().playback().repeatsFinished();
    EXPECT_EQ(window->core().state().lessonIndex, 4) << "lesson 4 passed over";
    EXPECT_TRUE(backend().isPlaying());

    for (const QString &name : QDir(book).entryList({QStringLiteral("*.dat")}))
        writeFile(book + name, QByteArray());
    window->nextLesson();
    EXPECT_TRUE(window->englishLine()->text().contains(QStringLiteral("没有可播放的句子")))
        << window->englishLine()->text().toStdString();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();

    window.reset();
    QFile::remove(dir.filePath(QStringLiteral("SETTING/mnset.dat")));
    QDir(book).removeRecursively();
    copyDemoContent(dir.path());
    start();
    window->applySettings(demoBook, 0, lessons.at(0), window->background(), Qt::black);
    Q_EMIT window->core().playback().repeatsFinished();
    EXPECT_EQ(window->core().state().currentSentence, 2);
    EXPECT_TRUE(backend().isPlaying()) << "one play of each sentence without mnset.dat";
}

TEST_F(MiniWindowTest, TheSpeedMenuNeedsTheMediaPlayer) {
    start();
    QAction *speed = window->action(QStringLiteral("播放速度"));
    ASSERT_TRUE(speed);
    EXPECT_TRUE(speed->isVisible());
    window.reset();
    player = std::make_unique<VoicePlayer>(
        Program::Mini, std::make_unique<FakeVoiceBackend>(VoiceBackend::Unit::Milliseconds));
    window = std::make_unique<MiniWindow>(
        DataPlaces::portable(dir.path()), *player, sounds, recorder,
        WindowTimers{&Timer1, &Timer2, &Timer3, &endShot, &recordLimit});
    window->startup();
    EXPECT_EQ(player->playerKind, 1);
    EXPECT_FALSE(window->action(QStringLiteral("播放速度"))->isVisible());
}

// Two starts of the strip, the second while the first runs (without a session bus): only
// one strip plays; the second start leaves at once.
TEST(MiniProgram, ASecondStartLeavesTheFirstStripAlone) {
    QTemporaryDir programDir, runtime;
    ASSERT_TRUE(programDir.isValid() && runtime.isValid());
    copyDemoContent(programDir.path());
    const QString mini = programDir.filePath(QStringLiteral("mini"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ORVESSA_BIN_DIR "/mini"), mini));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
               QStringLiteral("unix:path=/nonexistent"));
    env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent"));
    QProcess first, second;
    for (QProcess *p : {&first, &second}) {
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    first.start(mini);
    ASSERT_TRUE(first.waitForStarted());
    const QString lock = runtime.filePath(QStringLiteral("orvessa-mini.lock"));
    for (int i = 0; i < 200 && !QFile::exists(lock); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(QFile::exists(lock));
    second.start(mini);
    EXPECT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    first.terminate();
    EXPECT_TRUE(first.waitForFinished(10000));
}

} // namespace
