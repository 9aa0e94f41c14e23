#include "media/voiceshaping.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

// A clip of ms milliseconds at rate whose sample i is wave(seconds).
AudioClip synth(int rate, int ms, const std::function<double(double)> &wave) {
    AudioClip clip;
    clip.sampleRate = rate;
    clip.samples.resize(size_t(rate) * size_t(ms) / 1000);
    for (size_t i = 0; i < clip.samples.size(); ++i)
        clip.samples[i] = float(wave(double(i) / rate));
    return clip;
}

// A vowel-like 220 Hz tone at amplitude a from onset on, over faint noise (-66 dBFS rms).
std::function<double(double)> voice(double a, double onset = 0) {
    return [a, onset](double t) {
        const double noise = 0.0005 * std::sin(t * 91331.7) * std::sin(t * 5171.3 + 1);
        return noise + (t >= onset ? a * std::sin(2 * M_PI * 220 * t) : 0.0);
    };
}

double peakOf(const AudioClip &clip) {
    double peak = 0;
    for (float s : clip.samples)
        peak = std::max(peak, double(std::abs(s)));
    return peak;
}

// Each recording against a model of the same tone at 0.3 (its loudness is the target).
TEST(VoiceShaping, GainFollowsTheModelWithinItsLimitsAndSkipFindsTheFirstSound) {
    const AudioClip model = synth(16000, 2000, voice(0.3));
    const double ceiling = std::pow(10.0, peakCeilingDb / 20);
    struct Case {
        const char *what;
        AudioClip recording;
        double gainDb; // NAN: not checked
        int skipMs;
    };
    const Case cases[] = {
        {"as loud as the model", synth(48000, 2000, voice(0.3)), 0, 0},
        {"12 dB quieter", synth(48000, 2000, voice(0.3 / 4)), 12, 0},
        {"very quiet: the boost stops at its limit", synth(48000, 2000, voice(0.003)), maxBoostDb,
         0},
        {"louder: turned down", synth(48000, 2000, voice(0.6)), -6, 0},
        {"quiet but with a loud click: the peak stops the boost",
         synth(48000, 2000,
               [](double t) { return voice(0.05)(t) + (std::abs(t - 1.2) < 0.0001 ? 0.9 : 0); }),
         NAN, 0},
        {"already at full scale", synth(48000, 2000, voice(1.0)), NAN, 0},
        {"silence", synth(48000, 2000, [](double) { return 0.0; }), 0, 0},
        {"too short to measure", synth(48000, 300, voice(0.1)), 0, 0},
        {"700 ms before the voice", synth(48000, 2500, voice(0.1, 0.7)), NAN, 660},
        {"a click before the voice is no voice",
         synth(48000, 2500,
               [](double t) { return voice(0.1, 0.7)(t) + (std::abs(t - 0.3) < 0.003 ? 0.5 : 0); }),
         NAN, 660},
        {"a soft consonant just before the voice is kept",
         synth(48000, 2500,
               [](double t) {
                   const double hiss = t >= 0.64 && t < 0.7 ? 0.003 * std::sin(t * 40000) : 0;
                   return voice(0.1, 0.7)(t) + hiss;
               }),
         NAN, 600},
        {"only room noise", synth(48000, 2000, voice(0.0)), NAN, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const PlaybackShape shape = shapeRecording(model, c.recording);
        if (!std::isnan(c.gainDb)) {
            EXPECT_NEAR(20 * std::log10(shape.gain), c.gainDb, 0.5);
        }
        EXPECT_LE(peakOf(c.recording) * shape.gain, ceiling + 1e-6);
        EXPECT_NEAR(shape.skipMs, c.skipMs, 10);
    }
    // No model loudness, no change of level.
    EXPECT_EQ(shapeRecording(AudioClip{}, synth(48000, 2000, voice(0.01))).gain, 1.0);
    // A clip at a rate no recorder makes is not measured (the meter would write past its end).
    EXPECT_EQ(shapeRecording(synth(48000, 2000, voice(0.5)), synth(16, 2000, voice(0.5))).gain,
              1.0);
}

QByteArray le(quint32 value, int bytes) {
    QByteArray out(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        out[i] = char(value >> (8 * i));
    return out;
}

QByteArray waveBytes(quint16 tag, quint16 channels, quint16 bits, quint32 dataSize,
                     const QByteArray &samples, const QByteArray &before = {},
                     quint32 rate = 48000) {
    const QByteArray fmt = le(tag, 2) + le(channels, 2) + le(rate, 4) +
                           le(rate * channels * bits / 8, 4) + le(channels * bits / 8, 2) +
                           le(bits, 2);
    return "RIFF" + le(0, 4) + "WAVE" + before + "fmt " + le(16, 4) + fmt + "data" +
           le(dataSize, 4) + samples;
}

TEST(VoiceShaping, ReadsTheRecordersWaveFilesAndRefusesOthers) {
    QByteArray samples; // -16384, 16384 as mono; one frame of (-16384, 16384) as stereo
    samples += le(quint16(-16384), 2) + le(16384, 2);
    const QByteArray list = "LIST" + le(3, 4) + "abc" + QByteArray(1, '\0'); // odd, padded
    struct Case {
        const char *what;
        QByteArray bytes;
        std::vector<float> expected; // empty: refused
    };
    const Case cases[] = {
        {"mono", waveBytes(1, 1, 16, 4, samples), {-0.5f, 0.5f}},
        {"stereo is averaged", waveBytes(1, 2, 16, 4, samples), {0.0f}},
        {"sizes left at 0 by a cut-off recording", waveBytes(1, 1, 16, 0, samples), {-0.5f, 0.5f}},
        {"a size past the end", waveBytes(1, 1, 16, 1000, samples + "x"), {-0.5f, 0.5f}},
        {"a chunk before the format", waveBytes(1, 1, 16, 2, samples, list), {-0.5f}},
        {"8-bit", waveBytes(1, 1, 8, 4, samples), {}},
        {"float", waveBytes(3, 1, 16, 4, samples), {}},
        {"three channels", waveBytes(1, 3, 16, 4, samples), {}},
        {"no samples", waveBytes(1, 1, 16, 0, {}), {}},
        {"not RIFF", "RIFX" + waveBytes(1, 1, 16, 4, samples).mid(4), {}},
        {"cut inside the header", waveBytes(1, 1, 16, 4, samples).left(30), {}},
        {"16 Hz, which the loudness meter cannot take",
         waveBytes(1, 1, 16, 4, samples, {}, 16),
         {}},
        {"below 8 kHz", waveBytes(1, 1, 16, 4, samples, {}, 7999), {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const AudioClip clip = waveClipFromBytes(c.bytes);
        EXPECT_EQ(clip.samples, c.expected);
        EXPECT_EQ(clip.sampleRate, c.expected.empty() ? 0 : 48000);
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("voice.wav"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(waveBytes(1, 1, 16, 4, samples));
    file.close();
    EXPECT_EQ(readWaveClip(path).samples, cases[0].expected);
    EXPECT_TRUE(readWaveClip(dir.filePath(QStringLiteral("none.wav"))).isEmpty());
    EXPECT_TRUE(readWaveClip(dir.path()).isEmpty());
}

} // namespace
