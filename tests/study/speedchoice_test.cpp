#include "playbackrig.h"

#include <gtest/gtest.h>

namespace {

using Unit = VoiceBackend::Unit;

const std::vector<Span> lesson{{0.5, 2.01}, {2.5, 4.1}};

std::array<QString, 3> picturesWithChosen(int k) {
    std::array<QString, 3> pictures;
    for (int i = 0; i < 3; ++i)
        pictures[size_t(i)] =
            i == k ? QStringLiteral("bitmap/t.jpg") : QStringLiteral("bitmap/f.jpg");
    return pictures;
}

TEST(SpeedChoice, StartsAtNormalSpeed) {
    PlaybackRig rig(lesson);
    EXPECT_EQ(rig.state.playback.speedOption, 1);
    EXPECT_EQ(rig.state.playback.Image9Picture, picturesWithChosen(1));
    EXPECT_EQ(rig.state.playback.rate, 1.0);
}

struct LabelCase {
    int k;
    int studyMode;
    double rate;
    const char *focus;
};

class SpeedLabel : public ::testing::TestWithParam<std::tuple<LabelCase, Unit>> {};

// Both back-ends take the rate: the fallback device plays at it too.
TEST_P(SpeedLabel, ChoosesPicturesOptionRateAndFocus) {
    const auto [c, unit] = GetParam();
    PlaybackRig rig(lesson, Program::Orvessa, unit);
    rig.state.studyMode = c.studyMode;
    rig.speed.onLabel20Clicked(c.k);
    EXPECT_EQ(rig.state.playback.Image9Picture, picturesWithChosen(c.k));
    EXPECT_EQ(rig.state.playback.speedOption, c.k);
    EXPECT_EQ(rig.fake.rate, c.rate);
    EXPECT_EQ(rig.state.playback.rate, c.rate);
    EXPECT_EQ(rig.focus, QStringList{QString::fromLatin1(c.focus)});
}

INSTANTIATE_TEST_SUITE_P(SpeedChoice, SpeedLabel,
                         ::testing::Combine(::testing::Values(LabelCase{0, 1, 0.5, "typing"},
                                                              LabelCase{2, 1, 2.0, "typing"},
                                                              LabelCase{0, 2, 0.5, "Combo4"},
                                                              LabelCase{2, 8, 2.0, "Combo4"}),
                                            ::testing::Values(Unit::Seconds, Unit::Milliseconds)));

TEST(SpeedChoice, TheChosenLabelAgainOnlyReloadsThePictures) {
    PlaybackRig rig(lesson);
    rig.speed.onLabel20Clicked(2);
    rig.focus.clear();
    rig.fake.calls.clear();
    rig.state.playback.Image9Picture = {};
    const int controlChanges = rig.controlChanges;

    rig.speed.onLabel20Clicked(2);
    EXPECT_EQ(rig.state.playback.Image9Picture, picturesWithChosen(2));
    EXPECT_GT(rig.controlChanges, controlChanges);
    EXPECT_TRUE(rig.fake.calls.isEmpty());
    EXPECT_TRUE(rig.focus.isEmpty());

    rig.speed.onLabel20Clicked(3); // no such label
    rig.speed.onLabel20Clicked(-1);
    EXPECT_EQ(rig.state.playback.speedOption, 2);
}

struct MidCase {
    double from;
    double to;
    Unit unit;
};

class SpeedMidSentence : public ::testing::TestWithParam<MidCase> {};

// The rest of the sentence plays at the new rate and still stops at its End.
TEST_P(SpeedMidSentence, TheSentenceStillStopsAtItsEnd) {
    const MidCase c = GetParam();
    PlaybackRig rig(lesson, Program::Orvessa, c.unit);
    rig.state.studyMode = 2;
    rig.speed.onLabel20Clicked(c.from == 0.5 ? 0 : c.from == 2.0 ? 2 : 1);
    rig.playback.onLabel6Released(1);
    const int firstPart = 600; // wall ms: short of the End at every rate
    rig.run(firstPart);
    rig.speed.onLabel20Clicked(c.to == 0.5 ? 0 : c.to == 2.0 ? 2 : 1);
    EXPECT_EQ(rig.fake.rate, c.to);
    rig.runToSentenceEnd();

    const double perMs = c.unit == Unit::Seconds ? 0.001 : 1.0;
    EXPECT_GE(rig.position(), rig.player.voiceEnd - 1e-9);
    EXPECT_LE(rig.position(), rig.player.voiceEnd + perMs * c.to + 1e-9);
    const double played = firstPart * c.from * 0.001;
    EXPECT_NEAR(double(rig.now), firstPart + (1.51 - played) / c.to * 1000, 1.0);
}

INSTANTIATE_TEST_SUITE_P(SpeedChoice, SpeedMidSentence,
                         ::testing::Values(MidCase{1.0, 0.5, Unit::Seconds},
                                           MidCase{1.0, 2.0, Unit::Seconds},
                                           MidCase{2.0, 0.5, Unit::Seconds},
                                           MidCase{0.5, 2.0, Unit::Milliseconds},
                                           MidCase{1.0, 0.5, Unit::Milliseconds}));

// Sped up in the last poll before the End: the one-shot aimed at the old rate is aimed again,
// so that the faster playback does not run past the End.
TEST(SpeedChoice, FasterJustBeforeTheEndIsCaughtAtOnce) {
    PlaybackRig rig(lesson);
    rig.state.studyMode = 2;
    rig.playback.onLabel6Released(1);
    rig.run(1500);
    ASSERT_TRUE(rig.endShot.isActive());
    ASSERT_EQ(rig.endShot.interval(), 10);
    rig.speed.onLabel20Clicked(2);
    EXPECT_EQ(rig.endShot.interval(), 5);
    rig.runToSentenceEnd();
    EXPECT_EQ(rig.now, 1505);
    EXPECT_NEAR(rig.position(), 2.01, 1e-6);
}

TEST(SpeedChoice, MiniSetsItsSpeedThroughTheMenuOnly) {
    PlaybackRig rig(lesson, Program::Mini);
    rig.state.studyMode = 2;
    rig.speed.onLabel20Clicked(0);
    EXPECT_EQ(rig.state.playback.speedOption, 0);
    EXPECT_TRUE(rig.fake.calls.isEmpty()) << "mini's options only move the focus";
    EXPECT_EQ(rig.focus, QStringList{QStringLiteral("Combo4")});

    rig.speed.onMenuSpeedChosen(false);
    EXPECT_FALSE(rig.player.normalPlay);
    EXPECT_EQ(rig.fake.rate, 0.5);
    EXPECT_EQ(rig.state.playback.rate, 0.5);
    rig.player.VoiceOpen(); // the next lesson keeps the chosen speed
    EXPECT_EQ(rig.fake.calls.last(), QStringLiteral("rate 0.5"));

    rig.speed.onMenuSpeedChosen(true);
    EXPECT_TRUE(rig.player.normalPlay);
    EXPECT_EQ(rig.fake.rate, 1.0);
}

} // namespace
