#include "speech/pitchtrack.h"

#include <chrono>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>
#include <random>

namespace {

constexpr double twoPi = 2 * std::numbers::pi;

// A voice-like sound whose pitch follows hz(t): the fundamental with a louder second
// harmonic (where a tracker would slip an octave) and a third; silent where hz(t) is 0.
SpeechAudio voiced(int rate, double seconds, const std::function<double(double)> &hz,
                   double amplitude = 0.4) {
    SpeechAudio a{rate, std::vector<float>(size_t(rate * seconds))};
    double phase = 0;
    for (size_t i = 0; i < a.samples.size(); ++i) {
        const double f = hz(double(i) / rate);
        phase += twoPi * f / rate;
        a.samples[i] = f <= 0 ? 0.0f
                              : float(amplitude *
                                      (0.5 * std::sin(phase) + 0.8 * std::sin(2 * phase) +
                                       0.3 * std::sin(3 * phase)) /
                                      1.6);
    }
    return a;
}

SpeechAudio whiteNoise(double seconds, double rms) {
    std::mt19937 random(7);
    std::normal_distribution<float> gauss(0, float(rms));
    SpeechAudio a{16000, std::vector<float>(size_t(16000 * seconds))};
    for (float &s : a.samples)
        s = gauss(random);
    return a;
}

constexpr double unvoiced = NAN;

// Each recording against the semitones expected at each time (NaN: unvoiced). Frames within
// 50 ms of the ends or of a jump are left out; of the rest nearly all must be voiced where
// expected and within a tenth of a semitone, and none voiced where nothing is.
TEST(PitchContour, FollowsKnownPitchInSemitonesAroundTheMedian) {
    struct Case {
        const char *name;
        SpeechAudio audio;
        std::function<double(double)> expected; // semitones at t seconds
        std::vector<double> jumps;              // seconds
    } cases[] = {
        {"steady 200 Hz",
         voiced(16000, 1.0, [](double) { return 200; }),
         [](double) { return 0.0; },
         {}},
        {"200 Hz, then 250 Hz",
         voiced(16000, 1.0, [](double t) { return t < 0.6 ? 200 : 250; }),
         [](double t) { return t < 0.6 ? 0.0 : 12 * std::log2(1.25); },
         {0.6}},
        {"an octave glide, 100 to 200 Hz",
         voiced(16000, 1.0, [](double t) { return 100 * std::exp2(t); }),
         [](double t) { return 12 * (t - 0.5); },
         {}},
        {"low and high ends",
         voiced(16000, 1.0, [](double t) { return t < 0.7 ? 65 : 480; }),
         [](double t) { return t < 0.7 ? 0.0 : 12 * std::log2(480.0 / 65); },
         {0.7}},
        {"44.1 kHz recording",
         voiced(44100, 1.0, [](double) { return 310; }),
         [](double) { return 0.0; },
         {}},
        {"speech between silences",
         voiced(16000, 1.0, [](double t) { return t < 0.3 || t > 0.7 ? 0 : 180; }),
         [](double t) { return t < 0.3 || t > 0.7 ? unvoiced : 0.0; },
         {0.3, 0.7}},
        {"silence",
         SpeechAudio{16000, std::vector<float>(16000)},
         [](double) { return unvoiced; },
         {}},
        {"below -50 dBFS",
         voiced(
             16000, 1.0, [](double) { return 200; }, 0.002),
         [](double) { return unvoiced; },
         {}},
        {"white noise", whiteNoise(1.0, 0.2), [](double) { return unvoiced; }, {}},
    };
    for (const Case &c : cases) {
        const PitchContour contour = pitchContour(c.audio);
        EXPECT_EQ(contour.hopMs, 10);
        ASSERT_EQ(contour.semitones.size(), 100u) << c.name;
        int expectedVoiced = 0, foundVoiced = 0;
        for (size_t i = 0; i < contour.semitones.size(); ++i) {
            const double t = double(i) / 100;
            const bool nearEdge = t < 0.05 || t > 0.95 ||
                                  std::any_of(c.jumps.begin(), c.jumps.end(),
                                              [t](double j) { return std::abs(t - j) < 0.05; });
            if (nearEdge)
                continue;
            const double want = c.expected(t);
            const float got = contour.semitones[i];
            if (std::isnan(want)) {
                EXPECT_TRUE(std::isnan(got)) << c.name << " at " << t << " s: " << got;
                continue;
            }
            ++expectedVoiced;
            if (std::isnan(got))
                continue;
            ++foundVoiced;
            EXPECT_NEAR(got, want, 0.1) << c.name << " at " << t << " s";
        }
        EXPECT_GE(foundVoiced, expectedVoiced * 95 / 100) << c.name;
    }
    EXPECT_TRUE(pitchContour(SpeechAudio{16000, {}}).semitones.empty());
    EXPECT_TRUE(pitchContour(voiced(16000, 0.5, [](double) { return 200; }), 0).semitones.empty());
    EXPECT_EQ(pitchContour(voiced(16000, 0.5, [](double) { return 200; }), 20).semitones.size(),
              25u);
}

TEST(PitchContour, WordStretchIsTheValuesCentredInItsTimes) {
    PitchContour contour{10, {}};
    for (int i = 0; i < 10; ++i)
        contour.semitones.push_back(float(i));
    struct Case {
        int fromMs, toMs;
        std::vector<float> expected;
    } cases[] = {
        {0, 30, {0, 1, 2}}, {25, 50, {3, 4}},
        {20, 21, {2}},      {21, 29, {}},
        {-50, 15, {0, 1}},  {85, 500, {9}},
        {200, 300, {}},     {40, 40, {}},
        {60, 40, {}},       {0, 100, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(contourBetween(contour, c.fromMs, c.toMs), c.expected)
            << c.fromMs << "–" << c.toMs;
}

// How long five seconds of voiced sound take; recorded, not asserted (machines differ).
TEST(PitchContour, FiveSecondsTiming) {
    const SpeechAudio audio =
        voiced(16000, 5.0, [](double t) { return 140 + 40 * std::sin(twoPi * 0.7 * t); });
    const auto start = std::chrono::steady_clock::now();
    const PitchContour contour = pitchContour(audio);
    const auto elapsed =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(contour.semitones.size(), 500u);
    RecordProperty("milliseconds_for_5_s", std::to_string(elapsed));
    std::printf("[ timing   ] pitch contour of 5 s: %.1f ms\n", elapsed);
}

} // namespace
