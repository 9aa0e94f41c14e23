// The recording analysis the end-to-end tests and sentencestop_bench rely on, on made-up
// recordings whose edges and pitch are known.

#include "soundedges.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace {

constexpr int rate = 44100;

// Silence, then a sine of hz with the given peak from sample on to sample off, then silence.
soundedges::Samples tone(double hz, int peak, std::size_t on, std::size_t off, std::size_t n) {
    soundedges::Samples s(n, 0);
    for (std::size_t i = on; i < off && i < n; ++i)
        s[i] = std::int16_t(
            std::lround(peak * std::sin(2 * std::numbers::pi * hz * double(i - on) / rate + 0.3)));
    return s;
}

TEST(SoundEdges, FindsWhereSoundStartsAndStops) {
    struct Case {
        const char *what;
        std::size_t on, off, from, to;
        std::optional<std::size_t> onset, stop; // expected, to within a sample or two
    };
    const Case cases[] = {
        {"inside the window", 1000, 5000, 0, 8000, 1000, 5000},
        {"window starts in the sound", 1000, 5000, 3000, 8000, 3000, 5000},
        {"window ends in the sound", 1000, 5000, 0, 4000, 1000, 4000},
        {"window past the end of the samples", 1000, 5000, 0, 99999, 1000, 5000},
        {"silent window", 1000, 5000, 6000, 8000, std::nullopt, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const soundedges::Samples s = tone(440, 16000, c.on, c.off, 8000);
        const auto on = soundedges::onset(s, c.from, c.to, 1000);
        ASSERT_EQ(on.has_value(), c.onset.has_value());
        if (!on)
            continue;
        EXPECT_NEAR(double(*on), double(*c.onset), 2);
        const auto off = soundedges::stop(s, *on, c.to, 1000);
        ASSERT_TRUE(off);
        EXPECT_NEAR(double(*off), double(*c.stop), 60) << "within half a period of 440 Hz";
    }
}

TEST(SoundEdges, MeasuresToneFrequencyWithinAFractionOfAPercent) {
    for (double hz : {220.0, 440.0, 523.25, 880.0}) {
        const soundedges::Samples s = tone(hz, 12000, 0, rate / 2, rate / 2);
        EXPECT_NEAR(soundedges::toneHz(s, 0, s.size(), rate), hz, hz * 0.002) << hz;
    }
    EXPECT_EQ(soundedges::toneHz(soundedges::Samples(1000, 0), 0, 1000, rate), 0);
}

TEST(SoundEdges, StopErrorCountsTheRecordingsOwnTime) {
    // 0.5 s of the recording heard in 1 s of wall time at half speed: exactly on End.
    EXPECT_NEAR(soundedges::stopErrorMs(0, rate, rate, 0.5, 2.0, 2.5), 0, 1e-9);
    // 20 ms of wall time too long at double speed: 40 ms past End.
    EXPECT_NEAR(soundedges::stopErrorMs(0, rate * 270 / 1000, rate, 2.0, 1.0, 1.5), 40, 0.1);
    EXPECT_NEAR(soundedges::stopErrorMs(0, rate * 290 / 1000, rate, 1.0, 1.0, 1.3), -10, 0.1);
}

TEST(SoundEdges, QuantilesInterpolate) {
    const std::vector<double> v{5, 1, 4, 2, 3};
    EXPECT_EQ(soundedges::quantile(v, 0), 1);
    EXPECT_EQ(soundedges::quantile(v, 0.5), 3);
    EXPECT_EQ(soundedges::quantile(v, 1), 5);
    EXPECT_NEAR(soundedges::quantile(v, 0.95), 4.8, 1e-9);
    EXPECT_TRUE(std::isnan(soundedges::quantile({}, 0.5)));
}

} // namespace
