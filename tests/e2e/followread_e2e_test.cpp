// The follow-read page of the real window on the real engines: the model sentence goes to
// the null sink, whose capture source is the server's default source, so a recording made
// while it plays holds the model; what the page plays back is heard on the same source.

#include "audio/shortsound.h"
#include "audio/ticker.h"
#include "audio/voicebackendfactory.h"
#include "audio/voiceplayer.h"
#include "audio/voicerecorder.h"
#include "e2ehelpers.h"
#include "media/voiceshaping.h"
#include "shell/keycapture.h"
#include "shell/studyarea.h"
#include "shell/trainerwindow.h"
#include "soundcapture.h"
#include "support/programdirfixture.h"
#include "widgets/inputlevelmeter.h"
#include "widgets/textbutton.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iostream>

namespace {

using namespace programdir;

class FollowReadE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        copyDemoContent(dir.path());
        std::unique_ptr<VoiceBackend> engine = createMpvBackend(true);
        ASSERT_TRUE(engine) << "the media player could not open the null sink";
        player = std::make_unique<VoicePlayer>(Program::Orvessa, std::move(engine));
        player->WmpEnable = 1;
        recorder = createSystemVoiceRecorder();
        WindowTimers timers = WindowTimers::makeQt(&timerOwner);
        timers.recordLimit = &recordLimit; // fired by hand: no test waits a minute
        window = std::make_unique<TrainerWindow>(DataPlaces::portable(dir.path()), *player, sounds,
                                                 *recorder, timers);
        window->messageSink = [](const QString &, const QString &, MessageIcon) {};
        window->startup();
        window->menuItemReleased(5);
        runFor(300);
        const auto times = window->state().sentences.times(window->state().currentSentence);
        ASSERT_TRUE(times);
        sentenceSeconds = times->end - times->start;
        ASSERT_GT(sentenceSeconds, 0.8);
    }
    void TearDown() override {
        window.reset();
        recorder.reset();
    }

    QPushButton *button(int number) { return window->studyArea()->command(number); }
    // Presses a page button as the learner does; false when it is disabled.
    bool press(int number) {
        QPushButton *b = button(number);
        if (!b || !b->isEnabled() || !b->isVisible())
            return false;
        b->click();
        return true;
    }
    bool modelPlaying() { return player->backend().isPlaying(); }

    // Plays the model with 标准发音 and returns the seconds from its first to its last sound
    // on the sink.
    double heardModel(SoundCapture &capture) {
        const qsizetype from = capture.mark();
        if (!press(11) || !runUntil([&] { return modelPlaying(); }, 2000))
            return -1;
        runUntil([&] { return !modelPlaying(); }, 12000);
        runFor(300);
        const qsizetype first = capture.firstSoundAt(from);
        return first < 0 ? 0 : double(capture.lastSoundEnd(from) - first) / SoundCapture::rate;
    }
    void sendKey(int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(window->Combo4(), &event);
    }
    QByteArray shippedRecorder() {
        QFile file(dir.filePath(QStringLiteral("Recorder.wav")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QObject timerOwner;
    ManualTicker recordLimit{FollowReadComparison::limitMs};
    RecordingShortSoundPlayer sounds;
    std::unique_ptr<VoicePlayer> player;
    std::unique_ptr<VoiceRecorder> recorder;
    std::unique_ptr<TrainerWindow> window;
    double sentenceSeconds = 0;
};

// 录音 while 标准发音 plays, 停止, 您的发音, 循环对比 and 停止, as a learner goes through them.
TEST_F(FollowReadE2E, RecordPlayBackAndLoopThroughTheSink) {
    SoundCapture capture;
    ASSERT_TRUE(capture.start());

    // The model plays while the recorder listens to the default source.
    ASSERT_TRUE(press(8));
    ASSERT_TRUE(press(11));
    ASSERT_TRUE(runUntil([&] { return modelPlaying(); }, 2000)) << "the model never started";
    ASSERT_TRUE(runUntil([&] { return !modelPlaying(); }, int(sentenceSeconds * 1000) + 3000));
    runFor(400);
    ASSERT_TRUE(press(10));
    EXPECT_TRUE(button(12)->isEnabled());
    EXPECT_TRUE(button(9)->isEnabled());
    EXPECT_FALSE(button(10)->isEnabled());
    EXPECT_TRUE(
        window->studyArea()->findChild<QLabel *>(QStringLiteral("FollowReadNotice"))->isHidden());

    // The recording holds the sentence; the page reads it back and shapes its playback.
    ASSERT_TRUE(runUntil([&] { return !window->followReadSounds().recording().isEmpty(); }, 3000));
    ASSERT_TRUE(runUntil(
        [&] { return window->followReadSounds().modelStatus() == FollowReadSounds::Model::Ready; },
        3000));
    const PlaybackShape shape = window->followReadSounds().shape();
    std::cout << "[measure] recording played with gain " << shape.gain << ", from " << shape.skipMs
              << " ms" << std::endl;
    EXPECT_GT(shape.skipMs, 0) << "the silence before the model is left out";

    // 您的发音: a burst as long as the sentence.
    qsizetype from = capture.mark();
    ASSERT_TRUE(press(12));
    ASSERT_TRUE(runUntil([&] { return recorder->isPlaying(); }, 1000));
    ASSERT_TRUE(
        runUntil([&] { return !recorder->isPlaying(); }, int(sentenceSeconds * 1000) + 4000));
    runFor(300);
    const qsizetype start = capture.firstSoundAt(from);
    ASSERT_GE(start, 0) << "the recording was not heard";
    const double burst = double(capture.lastSoundEnd(from) - start) / SoundCapture::rate;
    std::cout << "[measure] 您的发音: " << burst << " s of sound for a " << sentenceSeconds
              << " s sentence" << std::endl;
    EXPECT_NEAR(burst, sentenceSeconds, 0.35);

    // 循环对比: model, recording, model, each one starting after the other ends.
    QStringList order;
    QString now;
    QElapsedTimer clock;
    clock.start();
    qint64 modelEnded = -1;
    std::vector<qint64> gaps;
    std::vector<qsizetype> phaseStarts; // in the capture, where each play began
    ASSERT_TRUE(press(9));
    EXPECT_FALSE(button(9)->isEnabled());
    while (order.size() < 3 && clock.elapsed() < 6 * (sentenceSeconds * 1000 + 1500)) {
        const QString playing = recorder->isPlaying() ? QStringLiteral("recording")
                                : modelPlaying()      ? QStringLiteral("model")
                                                      : QString();
        if (playing != now) {
            if (now == QStringLiteral("model"))
                modelEnded = clock.elapsed();
            if (playing == QStringLiteral("recording") && modelEnded >= 0)
                gaps.push_back(clock.elapsed() - modelEnded);
            if (!playing.isEmpty()) {
                order << playing;
                phaseStarts.push_back(capture.mark());
            }
            now = playing;
        }
        waitMs(2);
    }
    EXPECT_EQ(order.join(u' '), QStringLiteral("model recording model"));
    // The monitor hears each of them: the model, then the recording of it.
    for (size_t i = 0; i + 1 < phaseStarts.size(); ++i)
        EXPECT_GT(capture.soundSeconds(phaseStarts[i], phaseStarts[i + 1]), sentenceSeconds / 2)
            << "play " << i + 1 << " of the loop";
    for (qint64 gap : gaps)
        std::cout << "[measure] loop: recording starts " << gap << " ms after the model ends"
                  << std::endl;

    // 停止 silences both at once.
    runFor(500);
    from = capture.mark();
    ASSERT_TRUE(press(10));
    runFor(600);
    capture.stop();
    const qsizetype lastSound = capture.lastSoundEnd(from);
    const double tail = lastSound < 0 ? 0 : double(lastSound - from) / SoundCapture::rate * 1000;
    std::cout << "[measure] 停止: sound ends " << tail << " ms after the press" << std::endl;
    EXPECT_GT(capture.soundSeconds(from - SoundCapture::rate / 2, from), 0.2)
        << "the loop was heard right up to the press";
    EXPECT_LT(tail, 100);
    EXPECT_FALSE(modelPlaying());
    EXPECT_FALSE(recorder->isPlaying());
    EXPECT_TRUE(button(9)->isEnabled());
}

// A move to the next sentence ends the loop and the recording with it.
TEST_F(FollowReadE2E, NextSentenceEndsTheLoop) {
    ASSERT_TRUE(press(8));
    runFor(700);
    ASSERT_TRUE(press(10));
    ASSERT_TRUE(press(9));
    ASSERT_TRUE(runUntil([&] { return modelPlaying(); }, 2000));
    ASSERT_TRUE(press(14));
    runFor(300);
    EXPECT_FALSE(modelPlaying());
    EXPECT_FALSE(recorder->isPlaying());
    for (int number : {9, 10, 12})
        EXPECT_FALSE(button(number)->isEnabled()) << "Command" << number;
    EXPECT_EQ(window->state().currentSentence, 2);
}

// A sentence played in full-text browsing before the page opens: 标准发音 and the loop play
// the sentence the page shows, not the one played last (8, more than twice as long).
TEST_F(FollowReadE2E, ThePagePlaysTheSentenceItShows) {
    const TrainerState &state = window->state();
    const auto eighth = state.sentences.times(8);
    ASSERT_TRUE(eighth);
    const double eighthSeconds = eighth->end - eighth->start;
    ASSERT_GT(eighthSeconds, sentenceSeconds + 2);
    SoundCapture capture;
    ASSERT_TRUE(capture.start());

    window->menuItemReleased(2);
    window->playback().onLabel6Released(8);
    ASSERT_TRUE(runUntil([&] { return modelPlaying(); }, 2000));
    runFor(500);
    window->menuItemReleased(5);
    ASSERT_EQ(state.currentSentence, 1);
    runFor(300);

    const double heard = heardModel(capture);
    std::cout << "[measure] 标准发音 after sentence 8: " << heard << " s of sound; sentence 1 is "
              << sentenceSeconds << " s, sentence 8 " << eighthSeconds << " s" << std::endl;
    EXPECT_NEAR(heard, sentenceSeconds, 0.5);

    // The loop's model too.
    ASSERT_TRUE(press(8));
    runFor(500);
    ASSERT_TRUE(press(10));
    const qsizetype from = capture.mark();
    ASSERT_TRUE(press(9));
    ASSERT_TRUE(runUntil([&] { return modelPlaying(); }, 2000));
    ASSERT_TRUE(runUntil([&] { return !modelPlaying(); }, 12000));
    const double loopModel =
        double(capture.lastSoundEnd(from, capture.mark()) - capture.firstSoundAt(from)) /
        SoundCapture::rate;
    EXPECT_NEAR(loopModel, sentenceSeconds, 0.5);
    press(10);
    capture.stop();
}

// Leaving the page while recording ends the recording there and then (the microphone is not
// left open on a page that does not show it), and the time limit, should it fire, does not
// stop full-text reading on the page the learner went to.
TEST_F(FollowReadE2E, LeavingThePageEndsTheRecordingAndTheLimitSparesTheReading) {
    // A portable copy as shipped, with its Recorder.wav.
    ASSERT_TRUE(QFile::copy(demoContent() + QStringLiteral("/Recorder.wav"),
                            dir.filePath(QStringLiteral("Recorder.wav"))));
    const QByteArray shipped = shippedRecorder();
    ASSERT_FALSE(shipped.isEmpty());
    SoundCapture capture;
    ASSERT_TRUE(capture.start());
    ASSERT_TRUE(press(8));
    ASSERT_TRUE(press(11));
    runFor(1200);
    EXPECT_EQ(shippedRecorder(), shipped) << "the shipped file stays until a take is made";

    window->menuItemReleased(2);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_TRUE(recorder->hasRecording());
    EXPECT_NE(shippedRecorder(), shipped) << "the take replaced it, as 停止 does";
    EXPECT_GT(shippedRecorder().size(), 44 + 44100);

    ASSERT_TRUE(press(6));
    ASSERT_TRUE(runUntil([&] { return modelPlaying(); }, 2000));
    runFor(800);
    recordLimit.tick();
    const qsizetype afterLimit = capture.mark();
    runFor(1500);
    capture.stop();
    const double heard = capture.soundSeconds(afterLimit);
    std::cout << "[measure] reading after the limit fired: " << heard << " s of sound in 1.5 s"
              << std::endl;
    EXPECT_GT(heard, 0.8) << "the reading plays on";
    EXPECT_EQ(button(6)->text(), QStringLiteral("停止朗读"));
    EXPECT_FALSE(recorder->isRecording());
}

// Page Up, F1 and a lesson load change the shown sentence as 上一句 does: the loop ends and
// both players fall silent on the sink.
TEST_F(FollowReadE2E, EveryWayOfChangingTheSentenceEndsTheLoop) {
    struct Case {
        const char *name;
        std::function<void()> change;
        int sentence;
    };
    const Case cases[] = {{"pageUp", [this] { sendKey(Qt::Key_PageUp); }, 2},
                          {"f1", [this] { sendKey(Qt::Key_F1); }, 1},
                          {"lessonLoad", [this] { window->loadlesson(); }, 1}};
    SoundCapture capture;
    ASSERT_TRUE(capture.start());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(press(14));
        ASSERT_TRUE(press(14));
        ASSERT_TRUE(press(8));
        runFor(700);
        ASSERT_TRUE(press(10));
        ASSERT_TRUE(press(9));
        ASSERT_TRUE(runUntil([&] { return modelPlaying(); }, 2000));
        runFor(400);
        c.change();
        EXPECT_EQ(window->state().currentSentence, c.sentence);
        runFor(200); // what the sink still holds plays out
        const qsizetype after = capture.mark();
        runFor(2500);
        EXPECT_LT(capture.soundSeconds(after), 0.05) << "silent after the change";
        EXPECT_FALSE(modelPlaying());
        EXPECT_FALSE(recorder->isPlaying());
        for (int number : {9, 10, 12})
            EXPECT_FALSE(button(number)->isEnabled()) << "Command" << number;
        press(15);
    }
    capture.stop();
}

// 录音音量调节>>: the meter shows what the microphone hears, while the model plays into it
// and while recording.
TEST_F(FollowReadE2E, TheMeterShowsTheMicrophonesLevel) {
    window->launcher.startTool = [](const QString &, const QStringList &) { return false; };
    double loudest = 0;
    QObject::connect(recorder.get(), &VoiceRecorder::inputLevel,
                     [&](double peak, bool) { loudest = std::max(loudest, peak); });
    InputLevelMeter *meter = window->studyArea()->levelMeter();
    Q_EMIT window->studyArea()->Label13()->released();
    EXPECT_TRUE(meter->isVisible());
    ASSERT_TRUE(press(11));
    ASSERT_TRUE(runUntil([&] { return loudest > 0.05; }, 4000)) << "the level check hears it";
    EXPECT_TRUE(meter->live());
    runUntil([&] { return !modelPlaying(); }, 8000);

    loudest = 0;
    ASSERT_TRUE(press(8));
    ASSERT_TRUE(press(11));
    ASSERT_TRUE(runUntil([&] { return loudest > 0.05; }, 4000)) << "the recording reports it";
    ASSERT_TRUE(press(10));
    std::cout << "[measure] loudest level while recording the model: " << loudest << std::endl;
}

} // namespace
