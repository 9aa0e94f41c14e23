// The sentence-end watch as the program runs it (SentencePlayback with real timers) on a real
// engine, heard through the null sink: where a sentence's sound begins and ends, and what
// pitch slowed-down audio has.

#include "audio/qtplayerbackend.h"
#include "audio/shortsound.h"
#include "audio/ticker.h"
#include "audio/voicebackendfactory.h"
#include "audio/voiceplayer.h"
#include "content/sentencetable.h"
#include "content/textcodec.h"
#include "e2ehelpers.h"
#include "soundcapture.h"
#include "soundedges.h"
#include "study/sentenceplayback.h"
#include "study/trainerstate.h"

#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>
#include <iostream>
#include <optional>

namespace {

constexpr int toneThreshold = 1000;  // the tone fixture peaks near 16000
constexpr int speechThreshold = 500; // the demo speech peaks near 20000; silence is 0

QString demoFile(const char *relative) {
    return QStringLiteral(ORVESSA_SOURCE_DIR "/content/") + QString::fromUtf8(relative);
}

QString toneFile() {
    return QStringLiteral(ORVESSA_TEST_DATA_DIR "/audio/tone440.mp3");
}

soundedges::Samples samplesOf(const SoundCapture &capture) {
    const QVector<qint16> &s = capture.samples();
    return soundedges::Samples(s.begin(), s.end());
}

enum class Kind { Mpv, Qt };

void PrintTo(Kind kind, std::ostream *out) {
    *out << (kind == Kind::Mpv ? "mpv" : "qt");
}

std::unique_ptr<VoiceBackend> makeEngine(Kind kind) {
    return kind == Kind::Mpv ? createMpvBackend(true) : createQtPlayerBackend();
}

// One lesson on a real engine, with the program's timers.
struct LiveLesson {
    LiveLesson(std::unique_ptr<VoiceBackend> backend, const QString &audio, const QString &text)
        : state(TrainerState::forProgram(Program::Orvessa)),
          player(Program::Orvessa, std::move(backend)),
          playback(state, player, sounds, PlaybackTimers::makeQt(&timerParent), QString()) {
        state.sentences = SentenceTable::fromText(text);
        state.sentenceCount = state.sentences.count();
        player.VoiceSet();
        player.voiceFile = audio;
        player.VoiceOpen();
        runFor(300); // a lesson loads long before its first sentence is played
    }

    void setRate(double rate) {
        player.setRate(rate);
        state.playback.rate = rate;
    }

    // Plays sentence i to its end; returns false when the watch did not end it in time.
    bool play(int i, int timeoutMs = 8000) {
        state.playback.repeatCount = 0;
        if (!playback.startSentence(i))
            return false;
        const bool ended = runUntil([&] { return state.playback.repeatCount > 0; }, timeoutMs);
        playback.stopPlayback();
        return ended;
    }

    QObject timerParent;
    TrainerState state;
    VoicePlayer player;
    RecordingShortSoundPlayer sounds;
    SentencePlayback playback;
};

// Where a played stretch of the recording begins and stops, in samples.
struct Heard {
    std::size_t onset = 0;
    std::size_t stop = 0;
};

std::optional<Heard> heard(const soundedges::Samples &s, std::size_t from, std::size_t to,
                           int threshold) {
    const auto on = soundedges::onset(s, from, to, threshold);
    if (!on)
        return std::nullopt;
    const auto off = soundedges::stop(s, *on, to, threshold);
    return Heard{*on, *off};
}

// The demo lesson's audio decoded as the media player decodes it (both use FFmpeg), mono
// at the capture's rate; empty when ffmpeg is not installed.
soundedges::Samples decodeWithFfmpeg(const QString &path) {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        return {};
    QProcess p;
    p.start(ffmpeg, {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                     QStringLiteral("-ac"), QStringLiteral("1"), QStringLiteral("-ar"),
                     QString::number(SoundCapture::rate), QStringLiteral("-f"),
                     QStringLiteral("s16le"), QStringLiteral("-")});
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return {};
    const QByteArray raw = p.readAllStandardOutput();
    soundedges::Samples out(std::size_t(raw.size() / 2));
    const auto *b = reinterpret_cast<const unsigned char *>(raw.constData());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = std::int16_t(b[2 * i] | (b[2 * i + 1] << 8));
    return out;
}

// Sentence 2 of the demo lesson ("I'm fine, thank you. And you?", 3.03 to 5.84 s) played by
// the watch on the media player. The recording's onset is the sentence's first sound in the
// file; from there the recording maps to the file's time at the rate. The sound must run
// to the sentence's last word and stop no later than 150 ms after End, where the next
// sentence's first word would be heard.
class DemoSentence : public testing::TestWithParam<double> {};

TEST_P(DemoSentence, PlaysToItsEndAndNoFurther) {
    const double rate = GetParam();
    const QString audio = demoFile("Sound/英语900句/1.mp3");
    QFile lesson(demoFile("book/英语900句/1.dat"));
    ASSERT_TRUE(lesson.open(QIODevice::ReadOnly)) << "the demo lesson is missing";
    const soundedges::Samples file = decodeWithFfmpeg(audio);
    if (file.empty())
        GTEST_SKIP() << "ffmpeg is needed to decode the demo audio for reference";
    LiveLesson live(createMpvBackend(true), audio, decodeText(lesson.readAll()));
    ASSERT_EQ(live.player.playerKind, 2);
    const std::optional<SentenceTimes> times = live.state.sentences.times(2);
    ASSERT_TRUE(times);
    live.setRate(rate);

    const int sr = SoundCapture::rate;
    const auto fileSound =
        heard(file, std::size_t(times->start * sr), std::size_t(times->end * sr), speechThreshold);
    ASSERT_TRUE(fileSound) << "the demo sentence has no sound";
    const double firstSound = double(fileSound->onset) / sr; // s of the file
    const double lastSound = double(fileSound->stop) / sr;
    const auto nextWord =
        soundedges::onset(file, fileSound->stop + sr / 5, file.size(), speechThreshold);
    ASSERT_TRUE(nextWord);
    ASSERT_LT(double(*nextWord) / sr, times->end + 1.0) << "a next word to leak into";

    SoundCapture capture;
    ASSERT_TRUE(capture.start());
    const qsizetype from = capture.mark();
    ASSERT_TRUE(live.play(2)) << "the watch never ended the sentence";
    runFor(250);
    const qsizetype to = capture.mark();
    capture.stop();
    const soundedges::Samples rec = samplesOf(capture);
    const auto recSound = heard(rec, std::size_t(from), std::size_t(to), speechThreshold);
    ASSERT_TRUE(recSound) << "nothing was heard";

    const double stoppedAt = firstSound + double(recSound->stop - recSound->onset) / sr * rate;
    std::cout << "[measure] demo sentence 2 at rate " << rate << ": sound stopped at " << stoppedAt
              << " s, End " << times->end << " s, last word ends " << lastSound
              << " s, next word at " << double(*nextWord) / sr << " s" << std::endl;
    EXPECT_GE(stoppedAt, lastSound - 0.03) << "the last word was cut";
    EXPECT_LE(stoppedAt, times->end + 0.150) << "played on past End";
}

INSTANTIATE_TEST_SUITE_P(Rates, DemoSentence, testing::Values(1.0, 2.0),
                         [](const testing::TestParamInfo<double> &info) {
                             return info.param == 1.0 ? std::string("Normal") : std::string("Fast");
                         });

class EngineWatch : public testing::TestWithParam<Kind> {
protected:
    std::unique_ptr<VoiceBackend> engine() {
        auto e = makeEngine(GetParam());
        EXPECT_TRUE(e) << "the engine could not be created with the null sink";
        return e;
    }
};

// Cuts inside a continuous tone: what is heard after End is the next sentence leaking in,
// and a sound shorter than the cut is the sentence cut short. The bounds are loose (the
// machine is shared); sentencestop_bench measures the distribution.
TEST_P(EngineWatch, CutsInsideContinuousSoundStopAtTheirEnd) {
    const QString text = QStringLiteral("*A#甲#1.20#1.60#*B#乙#2.73#3.05#*C#丙#4.10#4.62#*");
    auto backend = engine();
    ASSERT_TRUE(backend);
    LiveLesson live(std::move(backend), toneFile(), text);
    SoundCapture capture;
    ASSERT_TRUE(capture.start());
    for (int i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        const SentenceTimes t = *live.state.sentences.times(i);
        const qsizetype from = capture.mark();
        ASSERT_TRUE(live.play(i));
        runFor(200);
        const soundedges::Samples rec = samplesOf(capture);
        const auto h = heard(rec, std::size_t(from), rec.size(), toneThreshold);
        ASSERT_TRUE(h) << "nothing was heard";
        const double error =
            soundedges::stopErrorMs(h->onset, h->stop, SoundCapture::rate, 1.0, t.start, t.end);
        std::cout << "[measure] " << (GetParam() == Kind::Mpv ? "mpv" : "qt") << " cut " << i
                  << ": stopped " << error << " ms past End" << std::endl;
        EXPECT_GE(error, -20.0) << "cut short";
        EXPECT_LE(error, 150.0) << "played on past End";
    }
    capture.stop();
}

// At half speed the media player keeps the pitch (within 3% of the tone's 440 Hz); the
// fallback device's GStreamer player has no pitch correction and plays an octave lower.
TEST_P(EngineWatch, HalfSpeedPitch) {
    auto backend = engine();
    ASSERT_TRUE(backend);
    LiveLesson live(std::move(backend), toneFile(), QStringLiteral("*A#甲#1.00#1.60#*"));
    live.setRate(0.5);
    SoundCapture capture;
    ASSERT_TRUE(capture.start());
    const qsizetype from = capture.mark();
    ASSERT_TRUE(live.play(1));
    runFor(200);
    capture.stop();
    const soundedges::Samples rec = samplesOf(capture);
    const auto h = heard(rec, std::size_t(from), rec.size(), toneThreshold);
    ASSERT_TRUE(h);
    const double heardSeconds = double(h->stop - h->onset) / SoundCapture::rate;
    EXPECT_NEAR(heardSeconds, 1.2, 0.15) << "0.6 s of the recording at half speed";
    // The middle of the sound, clear of the start and the stop.
    const std::size_t margin = SoundCapture::rate / 10;
    const double hz =
        soundedges::toneHz(rec, h->onset + margin, h->stop - margin, SoundCapture::rate);
    const double expected = GetParam() == Kind::Mpv ? 440.0 : 220.0;
    std::cout << "[measure] " << (GetParam() == Kind::Mpv ? "mpv" : "qt") << " at rate 0.5: " << hz
              << " Hz" << std::endl;
    EXPECT_NEAR(hz, expected, expected * 0.03);
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineWatch, testing::Values(Kind::Mpv, Kind::Qt),
                         [](const testing::TestParamInfo<Kind> &info) {
                             return info.param == Kind::Mpv ? std::string("MediaPlayer")
                                                            : std::string("Fallback");
                         });

} // namespace
