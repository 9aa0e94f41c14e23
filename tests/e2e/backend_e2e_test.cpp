#include "audio/mpvbackend.h"
#include "audio/qtplayerbackend.h"
#include "audio/voicebackendfactory.h"
#include "audio/voiceplayer.h"
#include "e2ehelpers.h"
#include "soundcapture.h"

#include <QDir>
#include <QProcess>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <iostream>
#include <vector>

namespace {

enum class Kind { Mpv, Qt };

void PrintTo(Kind kind, std::ostream *out) {
    *out << (kind == Kind::Mpv ? "mpv" : "qt");
}

std::string kindName(const testing::TestParamInfo<Kind> &info) {
    return info.param == Kind::Mpv ? "MediaPlayer" : "Fallback";
}

// Drives one engine in seconds whatever its unit.
class BackendE2E : public testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        backend = GetParam() == Kind::Mpv ? createMpvBackend(true) : createQtPlayerBackend();
        ASSERT_TRUE(backend) << "the engine could not be created with the null sink";
        perSecond = backend->unit() == VoiceBackend::Unit::Seconds ? 1.0 : 1000.0;
        if (auto *mpv = qobject_cast<MpvBackend *>(backend.get())) {
            ASSERT_EQ(mpv->audioOutput(), QStringLiteral("pulse"));
        }
    }

    double pos() { return backend->position() / perSecond; }
    void seek(double seconds) { backend->setPosition(seconds * perSecond); }
    // Opens a file and lets the engine load it, as a lesson load does long before the
    // first sentence is played.
    void openAndSettle(const QString &path) {
        backend->open(path);
        waitMs(300);
    }
    // Plays and returns the milliseconds until the position first moves (or -1).
    qint64 playAndWaitForMovement() {
        const double from = pos();
        backend->play();
        return waitUntil([&] { return pos() > from + 0.0005; }, 1500, 2);
    }
    // Rate of the recording per second of wall time over ms, while playing.
    double measureRate(int ms) {
        QElapsedTimer clock;
        const double from = pos();
        clock.start();
        waitMs(ms);
        const double to = pos();
        return (to - from) / (clock.elapsed() / 1000.0);
    }
    const char *kind() const { return GetParam() == Kind::Mpv ? "media player" : "fallback"; }

    std::unique_ptr<VoiceBackend> backend;
    double perSecond = 1.0;
};

// The core promise: a sought place plays, audibly, from that place, in real time.
TEST_P(BackendE2E, PlaysFromTheSoughtPlaceInRealTime) {
    const bool demo = usingDemoAudio();
    const double start = demo ? 0.3 : 2.5;
    openAndSettle(lessonAudio());
    seek(start);
    EXPECT_NEAR(pos(), start, 0.001) << "position() reports the target at once";
    waitMs(200);
    EXPECT_NEAR(pos(), start, 0.001) << "opening and seeking never start playback";
    EXPECT_FALSE(backend->isPlaying());

    SoundCapture capture;
    ASSERT_TRUE(capture.start());
    const qsizetype before = capture.mark();
    EXPECT_EQ(capture.soundSeconds(0, before), 0) << "nothing sounds before play()";

    const qsizetype atPlay = capture.mark();
    const qint64 latency = playAndWaitForMovement();
    ASSERT_GE(latency, 0) << "the position never moved";
    EXPECT_TRUE(backend->isPlaying());
    // Step size: the distinct positions seen while polling every 2 ms.
    std::vector<double> steps;
    double last = pos();
    QElapsedTimer clock;
    clock.start();
    const double from = last;
    while (clock.elapsed() < 1000) {
        waitMs(2);
        const double now = pos();
        ASSERT_GE(now, last) << "the position stepped back while playing";
        if (now > last)
            steps.push_back(now - last);
        last = now;
    }
    const double rate = (last - from) / (clock.elapsed() / 1000.0);
    backend->pause();
    const double pausedAt = pos();
    waitMs(300);
    capture.stop();

    std::sort(steps.begin(), steps.end());
    const double medianStep = steps.empty() ? 0 : steps[steps.size() / 2];
    const qsizetype firstSound = capture.firstSoundAt(atPlay);
    const qint64 heardAfter =
        firstSound < 0 ? -1 : (firstSound - atPlay) * 1000 / SoundCapture::rate;
    std::cout << "[measure] " << kind() << ": position moves " << latency
              << " ms and sound is recorded " << heardAfter << " ms after play(), position step "
              << std::lround(medianStep * 1000) << " ms (median), " << rate
              << " s of audio per s, paused at " << pausedAt << " s, heard "
              << capture.soundSeconds(before) << " s" << std::endl;
    EXPECT_NEAR(rate, 1.0, 0.1);
    EXPECT_LT(latency, 400);
    EXPECT_GE(heardAfter, 0);
    EXPECT_LT(heardAfter, 500);
    if (demo) {
        EXPECT_GT(capture.soundSeconds(before), 0.3) << "speech was heard";
    } else {
        EXPECT_NEAR(capture.soundSeconds(before), pausedAt - start, 0.2);
        EXPECT_EQ(capture.firstSoundHz(before), 500) << "the sound starts at 2.5 s (500 Hz)";
    }
}

// In tone.mp3 the tone changes from 500 to 600 Hz at 3.05 s (the encoder's 50 ms delay),
// 200 ms after 2.85 s: the sound heard after the seek tells how exactly playback started.
TEST_P(BackendE2E, SeekLandsExactlyWhereAsked) {
    openAndSettle(fixture("tone.mp3"));
    seek(2.85);
    SoundCapture capture;
    ASSERT_TRUE(capture.start());
    const qsizetype before = capture.mark();
    ASSERT_GE(playAndWaitForMovement(), 0);
    waitMs(500);
    backend->pause();
    waitMs(200);
    capture.stop();
    const double before600 = capture.secondsAtHz(500, before);
    std::cout << "[measure] " << kind() << ": seek to 2.85 s played "
              << std::lround(before600 * 1000) << " ms of the 500 Hz tone (200 ms expected)"
              << std::endl;
    EXPECT_EQ(capture.firstSoundHz(before), 500);
    EXPECT_NEAR(before600, 0.20, 0.04);
    EXPECT_GT(capture.secondsAtHz(600, before), 0.2);
}

TEST_P(BackendE2E, PauseHoldsPositionAndSilenceAndPlayResumesThere) {
    openAndSettle(fixture("tone.mp3"));
    seek(1.0);
    SoundCapture capture;
    ASSERT_TRUE(capture.start());
    ASSERT_GE(playAndWaitForMovement(), 0);
    waitMs(400);
    backend->pause();
    const double held = pos();
    const qsizetype paused = capture.mark();
    waitMs(500);
    EXPECT_NEAR(pos(), held, 0.002);
    EXPECT_FALSE(backend->isPlaying());
    const qsizetype resumed = capture.mark();
    // Audio still in flight when pause() ran may follow for a few frames.
    EXPECT_LE(capture.soundSeconds(paused + SoundCapture::rate / 5, resumed), 0.0)
        << "silent while paused";

    ASSERT_GE(playAndWaitForMovement(), 0);
    EXPECT_NEAR(pos(), held, 0.1) << "resumes where it paused, without a seek";
    waitMs(400);
    EXPECT_GT(pos(), held + 0.2);
    backend->pause();
    waitMs(200);
    capture.stop();
    EXPECT_EQ(capture.firstSoundHz(resumed), 400) << "resumed inside the second 1-2 s";
}

TEST_P(BackendE2E, RateTwoAdvancesTwiceAsFastAndChangesMidPlay) {
    openAndSettle(fixture("tone.mp3"));
    seek(0.5);
    backend->setRate(2.0);
    SoundCapture capture;
    ASSERT_TRUE(capture.start());
    const qsizetype before = capture.mark();
    ASSERT_GE(playAndWaitForMovement(), 0);
    const double fast = measureRate(700);

    // Slow down in the middle of playback: the position keeps counting seconds of the
    // recording and never steps back.
    backend->setRate(0.5);
    double last = pos();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300) {
        waitMs(10);
        const double now = pos();
        ASSERT_GE(now, last - 1e-9) << "stepped back after the rate change";
        last = now;
    }
    // A new rate restarts the stream (a flushing seek); measure once it moves again.
    const double settled = pos();
    ASSERT_GE(waitUntil([&] { return pos() > settled + 0.01; }, 1500), 0);
    const double slow = measureRate(600);
    backend->pause();
    capture.stop();
    std::cout << "[measure] " << kind() << ": rate 2.0 gives " << fast << ", rate 0.5 gives "
              << slow << " s of audio per s" << std::endl;
    EXPECT_NEAR(fast, 2.0, 0.2);
    EXPECT_NEAR(slow, 0.5, 0.1);
    // The first 0.5 s of sound is the 300 Hz second: the media player keeps the pitch,
    // the fallback raises it an octave at double speed.
    EXPECT_EQ(capture.firstSoundHz(before), GetParam() == Kind::Mpv ? 300 : 600);
    backend->setRate(1.0);
}

TEST_P(BackendE2E, WmaPlays) {
    openAndSettle(fixture("tone.wma"));
    seek(1.5);
    SoundCapture capture;
    ASSERT_TRUE(capture.start());
    const qsizetype before = capture.mark();
    ASSERT_GE(playAndWaitForMovement(), 0);
    EXPECT_NEAR(measureRate(600), 1.0, 0.15);
    backend->pause();
    waitMs(200);
    capture.stop();
    EXPECT_GT(capture.soundSeconds(before), 0.4);
    EXPECT_EQ(capture.firstSoundHz(before), 400);
}

// One sentence through the six procedures, polled every 30 ms like the sentence-end
// watch: it stops just past its End and the next second is not heard.
TEST_P(BackendE2E, SentenceStopsAtItsEnd) {
    VoicePlayer player(Program::Orvessa, std::move(backend));
    player.VoiceSet();
    player.voiceFile = fixture("tone.mp3");
    player.VoiceOpen();
    waitMs(300);
    player.voiceStart = player.toPlayerUnits(2.2);
    player.voiceEnd = player.toPlayerUnits(3.0);
    SoundCapture capture;
    ASSERT_TRUE(capture.start());
    const qsizetype before = capture.mark();
    QElapsedTimer clock;
    clock.start();
    player.VoiceSetPosition();
    player.VoicePlay();
    bool ended = false;
    while (!ended && clock.elapsed() < 3000) {
        waitMs(30);
        player.VoiceGetPosition();
        if (player.voicePosition >= player.voiceEnd) {
            player.VoicePause();
            ended = true;
        }
    }
    const qint64 wall = clock.elapsed();
    ASSERT_TRUE(ended) << "the sentence never reached its End";
    const double overshoot = (player.voicePosition - player.voiceEnd) / player.toPlayerUnits(1);
    waitMs(300);
    capture.stop();
    std::cout << "[measure] " << kind() << ": sentence 2.2-3.0 s took " << wall << " ms, stopped "
              << std::lround(overshoot * 1000) << " ms past End, heard "
              << capture.soundSeconds(before) << " s" << std::endl;
    EXPECT_LT(overshoot, 0.1);
    EXPECT_NEAR(wall, 800, 300);
    EXPECT_EQ(capture.firstSoundHz(before), 500);
    EXPECT_NEAR(capture.soundSeconds(before), 0.8, 0.15);
}

TEST_P(BackendE2E, EndOfFileHoldsThereAndASeekPlaysAgain) {
    openAndSettle(fixture("tone.mp3"));
    seek(5.6);
    backend->play();
    ASSERT_GE(waitUntil([&] { return backend->atEnd(); }, 2500), 0) << "never reached the end";
    EXPECT_FALSE(backend->isPlaying());
    const double end = pos();
    EXPECT_NEAR(end, 6.05, 0.1);
    waitMs(300);
    EXPECT_NEAR(pos(), end, 0.001);
    backend->play(); // nothing left to play
    waitMs(300);
    EXPECT_NEAR(pos(), end, 0.001);

    seek(1.0);
    EXPECT_FALSE(backend->atEnd());
    EXPECT_NEAR(pos(), 1.0, 0.001);
    ASSERT_GE(playAndWaitForMovement(), 0);
    EXPECT_NEAR(measureRate(400), 1.0, 0.15);
    backend->pause();
}

TEST_P(BackendE2E, BadFilesAreHarmlessAndTheEngineRecovers) {
    struct Case {
        QString path;
        bool plays; // for a while, then stops at its end
    };
    const Case cases[] = {
        {QString(), false},
        {QStringLiteral("/no/such/lesson.mp3"), false},
        {QStringLiteral(ORVESSA_TEST_DATA_DIR), false}, // a directory
        {fixture("notaudio.mp3"), false},
        {fixture("truncated.mp3"), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        openAndSettle(c.path);
        seek(0.2);
        backend->play();
        waitMs(c.plays ? 1200 : 400);
        const double p = pos();
        EXPECT_TRUE(std::isfinite(p));
        EXPECT_GE(p, 0);
        EXPECT_LE(p, 1.0);
        EXPECT_FALSE(backend->isPlaying());
        if (c.plays) {
            EXPECT_TRUE(backend->atEnd()) << "the cut file played to its end";
        }
        backend->setRate(2.0);
        backend->setRate(1.0);
        backend->setVolume(50);
        backend->pause();
    }
    backend->setVolume(100);
    openAndSettle(fixture("tone.mp3"));
    seek(1.0);
    ASSERT_GE(playAndWaitForMovement(), 0);
    EXPECT_NEAR(measureRate(400), 1.0, 0.15);
    backend->pause();
}

INSTANTIATE_TEST_SUITE_P(Engines, BackendE2E, testing::Values(Kind::Mpv, Kind::Qt), kindName);

// Suspending the sink stops the player's clock while its state stays Playing, the way
// the PulseAudio freeze does. The watchdog reloads the file and carries on from there.
TEST(FallbackWatchdog, ReloadsAFrozenPlayerAndPlaysOn) {
    std::unique_ptr<QtPlayerBackend> qt = QtPlayerBackend::create();
    ASSERT_TRUE(qt);
    auto suspend = [](bool on) {
        return QProcess::execute(QStringLiteral(ORVESSA_PACTL),
                                 {QStringLiteral("suspend-sink"), QStringLiteral("orvessa_null"),
                                  on ? QStringLiteral("1") : QStringLiteral("0")});
    };
    qt->open(fixture("tone.mp3"));
    waitMs(300);
    qt->setPosition(1000);
    qt->play();
    ASSERT_GE(waitUntil([&] { return qt->position() > 1000; }, 1500), 0);
    waitMs(200);
    ASSERT_EQ(suspend(true), 0);
    QElapsedTimer clock;
    clock.start();
    const qint64 found = waitUntil([&] { return qt->recoveries() > 0; }, 3000);
    const double frozenAt = qt->position();
    ASSERT_EQ(suspend(false), 0);
    ASSERT_GE(found, 0) << "the freeze was not noticed";
    const qint64 moving = waitUntil([&] { return qt->position() > frozenAt + 100; }, 3000);
    std::cout << "[measure] fallback watchdog: freeze noticed after " << found
              << " ms, playing again " << moving << " ms later, " << qt->recoveries()
              << " reload(s)" << std::endl;
    EXPECT_GE(moving, 0) << "did not play on after the reload";
    EXPECT_TRUE(qt->isPlaying());
    EXPECT_GE(qt->position(), frozenAt);
    qt->pause();
}

} // namespace
