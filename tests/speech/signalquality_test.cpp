#include "speech/signalquality.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <random>

namespace {

constexpr int rate = 16000;

struct Sound {
    double seconds;
    double burstFrom = 0, burstTo = 0; // where the speech-like sound is, seconds
    double speechRms = 0;
    double noiseRms = 0; // white noise throughout
    int rate = 16000;
};

// Noise shaped by a syllable-like swell (4 per second) within the burst, over steady noise.
SpeechAudio render(const Sound &s) {
    std::mt19937 random(11);
    std::normal_distribution<double> gauss(0, 1);
    SpeechAudio a{s.rate, std::vector<float>(size_t(s.rate * s.seconds))};
    for (size_t i = 0; i < a.samples.size(); ++i) {
        const double t = double(i) / s.rate;
        double v = s.noiseRms * gauss(random);
        if (t >= s.burstFrom && t < s.burstTo) {
            // sin² swells average a half: scale so the burst has the RMS asked for.
            const double swell = std::pow(std::sin(std::numbers::pi * 4 * (t - s.burstFrom)), 2);
            v += s.speechRms * std::sqrt(2 * swell) * gauss(random);
        }
        a.samples[i] = float(v);
    }
    return a;
}

TEST(MeasureSignal, TellsCleanSpeechFromNoiseAndSilence) {
    struct Case {
        const char *name;
        SpeechAudio audio;
        double minSnr, maxSnr;
        bool hasSpeech;
    } cases[] = {
        {"speech in quiet room", render({3.0, 0.5, 2.5, 0.1, 0.001}), 35, 90, true},
        {"speech in digital silence", render({3.0, 0.5, 2.5, 0.1, 0.0}), 60, 200, true},
        {"speech over as loud noise", render({3.0, 0.5, 2.5, 0.1, 0.1}), 0, 6, false},
        {"speech over noise 10 dB down", render({3.0, 0.5, 2.5, 0.1, 0.0316}), 8, 15, true},
        {"a quiet speaker, clean", render({3.0, 0.5, 2.5, 0.01, 0.0001}), 35, 90, true},
        {"a 200 ms click only", render({3.0, 1.0, 1.2, 0.1, 0.001}), 0, 90, false},
        {"a 400 ms word", render({3.0, 1.0, 1.4, 0.1, 0.001}), 0, 90, true},
        {"a 200 ms click at 48 kHz", render({3.0, 1.0, 1.2, 0.1, 0.001, 48000}), 0, 90, false},
        {"silence", SpeechAudio{rate, std::vector<float>(size_t(rate * 3))}, 0, 0, false},
        {"noise only", render({3.0, 0, 0, 0, 0.05}), 0, 3, false},
        {"faint hiss only", render({3.0, 0, 0, 0, 0.0001}), 0, 3, false},
        {"speech below -55 dBFS", render({3.0, 0.5, 2.5, 0.0005, 0.0}), 0, 200, false},
        {"empty", SpeechAudio{rate, {}}, 0, 0, false},
    };
    for (const Case &c : cases) {
        const SignalQuality q = measureSignal(c.audio);
        EXPECT_GE(q.snrDb, c.minSnr) << c.name;
        EXPECT_LE(q.snrDb, c.maxSnr) << c.name;
        EXPECT_EQ(q.hasSpeech, c.hasSpeech) << c.name << ", SNR " << q.snrDb;
    }
}

} // namespace
