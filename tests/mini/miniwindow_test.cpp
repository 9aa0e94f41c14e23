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
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
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

} // namespace
