#include "media/waveformpeaks.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::pair<float, float>> pairs(const std::vector<PeakColumn> &peaks) {
    std::vector<std::pair<float, float>> out;
    for (const PeakColumn &p : peaks)
        out.emplace_back(p.low, p.high);
    return out;
}

TEST(WaveformPeaks, EachColumnSpansItsSlice) {
    // Two seconds at 4 samples a second.
    const AudioClip clip{4, {0.1f, -0.2f, 0.3f, -0.4f, 0.5f, -0.6f, 0.7f, -0.8f}};
    using P = std::vector<std::pair<float, float>>;
    struct Case {
        double from, to;
        int columns;
        P expected;
    };
    const Case cases[] = {
        {0, 2, 4, {{-0.2f, 0.1f}, {-0.4f, 0.3f}, {-0.6f, 0.5f}, {-0.8f, 0.7f}}},
        {0, 2, 1, {{-0.8f, 0.7f}}},
        {1, 3, 2, {{-0.8f, 0.7f}, {0, 0}}},  // past the end
        {-1, 1, 2, {{0, 0}, {-0.4f, 0.3f}}}, // before the start
        {0, 0.5, 4, {{0.1f, 0.1f}, {0.1f, 0.1f}, {-0.2f, -0.2f}, {-0.2f, -0.2f}}}, // zoomed in
        {1.5, 1.5, 3, {}},
        {0, 2, 0, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << ".." << c.to << " in " << c.columns);
        EXPECT_EQ(pairs(waveformPeaks(clip, c.from, c.to, c.columns)), c.expected);
    }
    EXPECT_EQ(pairs(waveformPeaks(AudioClip{}, 0, 1, 2)), (P{{0, 0}, {0, 0}}));
}

} // namespace
