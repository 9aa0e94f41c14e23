#include "speech/speechaudio.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace {

SpeechAudio tone(int rate, double hz, double seconds) {
    SpeechAudio a;
    a.sampleRate = rate;
    a.samples.resize(size_t(rate * seconds));
    for (size_t i = 0; i < a.samples.size(); ++i)
        a.samples[i] = float(0.5 * std::sin(2 * std::numbers::pi * hz * double(i) / rate));
    return a;
}

double rms(const std::vector<float> &s, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(to - from));
}

// Speech frequencies pass at their level whatever the source rate; what 16 kHz cannot hold
// (above 8 kHz) is filtered out instead of folding back as a false tone.
TEST(ResampledTo16k, KeepsSpeechBandAndDropsWhatCannotBeHeld) {
    struct Case {
        int rate;
        double hz;
        double level; // expected RMS
    } cases[] = {
        {16000, 440, 0.354}, {44100, 440, 0.354}, {48000, 1000, 0.354},
        {8000, 300, 0.354},  {44100, 11000, 0.0}, {48000, 15000, 0.0},
    };
    for (const Case &c : cases) {
        const SpeechAudio out = resampledTo16k(tone(c.rate, c.hz, 1.0));
        EXPECT_EQ(out.sampleRate, 16000);
        EXPECT_NEAR(double(out.samples.size()), 16000, 2) << c.rate;
        // Away from the edges, where the filter has half its taps.
        EXPECT_NEAR(rms(out.samples, 400, out.samples.size() - 400), c.level, 0.02)
            << c.rate << " Hz source, " << c.hz << " Hz tone";
    }
    EXPECT_TRUE(resampledTo16k(SpeechAudio{44100, {}}).samples.empty());
    EXPECT_EQ(pcm16(SpeechAudio{16000, {1.5f, -1.0f, 0.5f}}),
              (std::vector<short>{32767, -32767, 16384}));
}

} // namespace
