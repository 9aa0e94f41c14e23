#include "widgets/inputlevelmeter.h"

#include <QPixmap>
#include <cmath>
#include <gtest/gtest.h>

namespace {

struct LevelCase {
    const char *name;
    double peak;
    bool clipped;
    double bar; // 0 to 1 along the bar
    const char16_t *status;
};

class Levels : public ::testing::TestWithParam<LevelCase> {};

// The bar follows the level in decibels from -60 dBFS, and the words say what the learner
// should do about it.
TEST_P(Levels, BarAndWords) {
    const LevelCase &c = GetParam();
    InputLevelMeter meter;
    meter.resize(320, 22);
    meter.setLevel(c.peak, c.clipped);
    EXPECT_NEAR(InputLevelMeter::barFraction(c.peak), c.bar, 0.005);
    EXPECT_EQ(meter.clipping(), c.clipped);
    EXPECT_EQ(meter.statusText(), QString::fromUtf16(c.status));
    EXPECT_EQ(meter.accessiblePart(AccessibleControl::self).description, meter.statusText());
    QPixmap picture(meter.size());
    meter.render(&picture); // paints at every level without complaint
}

INSTANTIATE_TEST_SUITE_P(
    InputLevelMeter, Levels,
    ::testing::Values(LevelCase{"silence", 0, false, 0, u"听不到声音"},
                      LevelCase{"belowTheFloor", 0.0005, false, 0, u"听不到声音"},
                      LevelCase{"quiet", 0.03, false, 0.4924, u"声音偏小"},
                      LevelCase{"voice", 0.25, false, 0.7993, u"音量合适"},
                      LevelCase{"fullScale", 1.0, false, 1.0, u"音量合适"},
                      LevelCase{"clipped", 1.0, true, 1.0, u"音量过大"},
                      LevelCase{"notANumber", std::nan(""), false, 0, u"听不到声音"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(InputLevelMeter, RestingShowsItsTextAndForgetsAClip) {
    InputLevelMeter meter;
    meter.setLevel(1.0, true);
    meter.setResting(QStringLiteral("录音时这里显示话筒音量"));
    EXPECT_FALSE(meter.live());
    EXPECT_FALSE(meter.clipping());
    EXPECT_EQ(meter.level(), 0);
    EXPECT_EQ(meter.statusText(), QStringLiteral("录音时这里显示话筒音量"));
}

} // namespace
