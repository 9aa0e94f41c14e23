#include "playbackrig.h"

#include <climits>
#include <gtest/gtest.h>

namespace {

using Unit = VoiceBackend::Unit;

// Sentence 1 lasts 1510 ms, so its End falls between two polls of the watch.
const std::vector<Span> lesson{{0.5, 2.01}, {2.5, 4.1}, {4.5, 5.3}};

const char *unitName(Unit unit) {
    return unit == Unit::Seconds ? "seconds" : "ms";
}

// --- The repeat cycle ------------------------------------------------------------------------

struct RepeatCase {
    const char *name;
    const char *repeats;
    const char *pause;
    int plays;
    int pauseMs; // Timer2's interval
};

class RepeatCycle : public ::testing::TestWithParam<std::tuple<RepeatCase, Unit>> {};

// Each play runs from Start to End (1510 ms), then the pause passes; the sentence is heard
// the repeat count of times ("0" once) and then stays silent.
TEST_P(RepeatCycle, PlaysTheSentenceNTimesWithThePauseBetween) {
    const auto [c, unit] = GetParam();
    PlaybackRig rig(lesson, Program::Orvessa, unit);
    rig.state.studyMode = 2;
    rig.playback.onCombo2Picked(QString::fromLatin1(c.repeats));
    rig.playback.onCombo3Picked(QString::fromLatin1(c.pause));
    EXPECT_EQ(rig.Timer2.interval(), c.pauseMs);

    rig.playback.onLabel6Released(1);
    rig.run(c.plays * (1510 + c.pauseMs) + 30000);

    const std::vector<long long> seeks = rig.timesOf(QStringLiteral("seek"));
    const std::vector<long long> pauses = rig.timesOf(QStringLiteral("pause"));
    ASSERT_EQ(int(seeks.size()), c.plays);
    ASSERT_EQ(int(pauses.size()), c.plays);
    for (int k = 0; k < c.plays; ++k) {
        const long long start = k * (1510LL + c.pauseMs);
        EXPECT_NEAR(seeks[size_t(k)], start, 1) << "play " << k + 1;
        EXPECT_NEAR(pauses[size_t(k)], start + 1510, 1) << "play " << k + 1;
    }
    EXPECT_EQ(rig.state.playback.repeatCount, c.plays);
    EXPECT_FALSE(rig.Timer1.isActive());
    EXPECT_FALSE(rig.Timer2.isActive());
    EXPECT_TRUE(rig.state.row(1).Line3.visible) << "the underline stays after the end";
}

INSTANTIATE_TEST_SUITE_P(
    SentencePlayback, RepeatCycle,
    ::testing::Combine(::testing::Values(RepeatCase{"threeWithTwoSeconds", "3", "2", 3, 2010},
                                         RepeatCase{"zeroPlaysOnce", "0", "0", 1, 10},
                                         RepeatCase{"oneWithFiveSeconds", "1", "5", 1, 5010},
                                         RepeatCase{"twoWithoutPause", "2", "0", 2, 10}),
                       ::testing::Values(Unit::Seconds, Unit::Milliseconds)),
    [](const auto &info) {
        return std::string(std::get<0>(info.param).name) + "_" + unitName(std::get<1>(info.param));
    });

TEST(SentencePlayback, ASecondSentenceClickedMidPlayTakesOverWithItsOwnCount) {
    PlaybackRig rig(lesson);
    rig.state.studyMode = 2;
    rig.playback.onCombo2Picked(QStringLiteral("3"));
    rig.playback.onCombo3Picked(QStringLiteral("2"));
    rig.playback.onLabel6Released(1);
    rig.runToSentenceEnd();
    rig.run(3000); // the second play of sentence 1 is under way
    ASSERT_EQ(rig.state.playback.repeatCount, 1);
    ASSERT_TRUE(rig.Timer1.isActive());

    rig.playback.onLabel6Released(2);
    EXPECT_EQ(rig.state.playback.repeatCount, 0);
    EXPECT_EQ(rig.state.playback.readingSentence, 2);
    EXPECT_FALSE(rig.state.row(1).Line3.visible);
    EXPECT_TRUE(rig.state.row(2).Line3.visible);
    EXPECT_EQ(rig.seeks().last(), QStringLiteral("seek 2.5"));
    EXPECT_EQ(rig.focus.last(), QStringLiteral("Combo4"));

    rig.run(20000);
    EXPECT_EQ(rig.state.playback.repeatCount, 3);
    EXPECT_EQ(rig.seeks().count(QStringLiteral("seek 2.5")), 3);
}

// A sentence started during the pause after another sentence's play must play through: the
// pause's tick, still pending, would otherwise seek the new sentence back to its start.
TEST(SentencePlayback, AStartDropsThePendingRepeatPause) {
    PlaybackRig rig(lesson);
    rig.state.studyMode = 2;
    rig.playback.onCombo2Picked(QStringLiteral("3"));
    rig.playback.onCombo3Picked(QStringLiteral("2"));
    rig.playback.onLabel6Released(1);
    rig.runToSentenceEnd(); // t = 1510, the pause runs until 3520
    rig.run(500);
    ASSERT_TRUE(rig.Timer2.isActive());

    rig.playback.onLabel6Released(2); // t = 2010; sentence 2 lasts 1600 ms
    EXPECT_FALSE(rig.Timer2.isActive());
    rig.run(1600 + 2010 + 100);
    const std::vector<long long> seeks = rig.timesOf(QStringLiteral("seek"));
    ASSERT_GE(seeks.size(), 3u);
    EXPECT_EQ(seeks[1], 2010);
    EXPECT_NEAR(seeks[2], 2010 + 1600 + 2010, 1) << "no seek in the middle of sentence 2";
}

TEST(SentencePlayback, ReadAloudAfterAllRepeatsPlaysExactlyOnceMore) {
    PlaybackRig rig(lesson);
    rig.state.studyMode = 1;
    rig.playback.onCombo2Picked(QStringLiteral("2"));
    rig.playback.onCombo3Picked(QStringLiteral("1"));
    // The single-sentence view has set the times of sentence 1.
    rig.player.voiceStart = 0.5;
    rig.player.voiceEnd = 2.01;

    rig.playback.onCommand4();
    rig.run(20000);
    EXPECT_EQ(rig.seeks().size(), 2);
    EXPECT_EQ(rig.state.playback.repeatCount, 2);
    EXPECT_EQ(rig.focus.last(), QStringLiteral("typing"));

    rig.playback.onCommand11();
    rig.run(20000);
    EXPECT_EQ(rig.seeks().size(), 3);
    EXPECT_EQ(rig.state.playback.repeatCount, 3);
}

// 朗读 pressed in the pause between two plays plays at once, and the pause that was running
// does not restart it half way.
TEST(SentencePlayback, ReadAloudInThePauseIsNotRestartedByIt) {
    PlaybackRig rig(lesson);
    rig.state.studyMode = 1;
    rig.playback.onCombo2Picked(QStringLiteral("3"));
    rig.playback.onCombo3Picked(QStringLiteral("2"));
    rig.player.voiceStart = 0.5;
    rig.player.voiceEnd = 2.01;
    rig.playback.onCommand4();
    rig.runToSentenceEnd();
    rig.run(1000);
    rig.playback.onCommand4(); // t = 2510
    rig.run(1510);
    EXPECT_EQ(rig.timesOf(QStringLiteral("seek")), (std::vector<long long>{0, 2510}));
    EXPECT_EQ(rig.state.playback.repeatCount, 2);
}

struct NothingCase {
    const char *name;
    std::vector<Span> spans;
    int currentSentence;
};

class ReadAloudWithoutTimes : public ::testing::TestWithParam<NothingCase> {};

// Times left over from another sentence or another lesson are never played.
TEST_P(ReadAloudWithoutTimes, PlaysNothing) {
    const NothingCase &c = GetParam();
    PlaybackRig rig(c.spans);
    rig.state.studyMode = 1;
    rig.state.currentSentence = c.currentSentence;
    rig.player.voiceStart = 7.0;
    rig.player.voiceEnd = 8.0;
    rig.playback.onCommand4();
    rig.run(5000);
    EXPECT_TRUE(rig.seeks().isEmpty());
    EXPECT_FALSE(rig.fake.calls.contains(QStringLiteral("play")));
    EXPECT_FALSE(rig.Timer1.isActive());
}

INSTANTIATE_TEST_SUITE_P(SentencePlayback, ReadAloudWithoutTimes,
                         ::testing::Values(NothingCase{"emptyLesson", {}, 0},
                                           NothingCase{"untimedSentence", {{1, 0}, {2, 3}}, 1},
                                           NothingCase{"pastTheLastSentence", {{1, 2}}, 2}),
                         [](const auto &info) { return std::string(info.param.name); });

// --- Stopping --------------------------------------------------------------------------------

struct SilenceCase {
    const char *name;
    int runBeforeClickMs; // from the start of reading
};

class PanelClick : public ::testing::TestWithParam<SilenceCase> {};

TEST_P(PanelClick, SilencesAtOnceAndEndsReading) {
    PlaybackRig rig(lesson);
    rig.state.studyMode = 2;
    rig.playback.onCombo2Picked(QStringLiteral("3"));
    rig.playback.onCombo3Picked(QStringLiteral("1"));
    rig.reader.onCommand6();
    rig.run(GetParam().runBeforeClickMs);

    rig.playback.onPanelBackgroundClicked();
    EXPECT_EQ(rig.fake.calls.last(), QStringLiteral("pause"));
    EXPECT_FALSE(rig.fake.isPlaying());
    EXPECT_FALSE(rig.Timer1.isActive());
    EXPECT_FALSE(rig.Timer2.isActive());
    EXPECT_FALSE(rig.endShot.isActive());
    EXPECT_EQ(rig.state.playback.Command6Caption, QStringLiteral("全文朗读"));
    EXPECT_EQ(rig.state.playback.Command7Caption, QStringLiteral("暂停朗读"));
    EXPECT_FALSE(rig.state.playback.Command7Enabled);
    for (const SentenceRow &row : rig.state.rows)
        EXPECT_FALSE(row.Line3.visible);
    EXPECT_EQ(rig.focus.last(), QStringLiteral("Combo4"));

    const qsizetype calls = rig.fake.calls.size();
    rig.run(30000);
    EXPECT_EQ(rig.fake.calls.size(), calls) << "nothing starts again by itself";
}

INSTANTIATE_TEST_SUITE_P(SentencePlayback, PanelClick,
                         ::testing::Values(SilenceCase{"midPlay", 700},
                                           SilenceCase{"inThePauseBetweenPlays", 2000},
                                           SilenceCase{"onTheSecondSentence", 2 * 2520 + 3500}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(SentencePlayback, ResetSilencesAndScrollsToTheTop) {
    PlaybackRig rig(lesson);
    rig.state.studyMode = 4;
    rig.playback.onCombo2Picked(QStringLiteral("2")); // not stored for mode 4, but in force
    rig.state.panel.canvasTop = -1200;
    rig.state.panel.thumbTop = 900;
    rig.playback.onImage2Released(1);
    rig.runToSentenceEnd();
    ASSERT_TRUE(rig.Timer2.isActive());

    rig.playback.resetPlayback();
    EXPECT_EQ(rig.focus.last(), QStringLiteral("Combo4"));
    EXPECT_FALSE(rig.Timer1.isActive());
    EXPECT_FALSE(rig.Timer2.isActive());
    EXPECT_EQ(rig.fake.calls.last(), QStringLiteral("pause"));
    EXPECT_EQ(rig.state.panel.canvasTop, 0);
    EXPECT_EQ(rig.state.panel.thumbTop, 255);
    rig.run(10000);
    EXPECT_EQ(rig.seeks().size(), 1);
}

// --- Units and precision ---------------------------------------------------------------------

TEST(SentencePlayback, FallbackDeviceSeeksAndEndsInMilliseconds) {
    PlaybackRig rig({{0.5, 2.01}, {2.5, 4.1}}, Program::Orvessa, Unit::Milliseconds);
    ASSERT_EQ(rig.player.playerKind, 1);
    rig.state.studyMode = 2;
    rig.playback.onLabel6Released(2);
    EXPECT_EQ(rig.seeks(), QStringList{QStringLiteral("seek 2500")});
    EXPECT_EQ(rig.player.voiceEnd, 4100);
    rig.runToSentenceEnd();
    EXPECT_EQ(rig.position(), 4100);
    EXPECT_EQ(rig.now, 1600);
}

struct EndCase {
    double start;
    double end;
    double rate;
    Unit unit;
};

class SentenceEnd : public ::testing::TestWithParam<EndCase> {};

// The sentence stops where its End is, neither short of it nor more than a millisecond of
// the recording past it, whatever the rate and wherever the End falls between two polls.
TEST_P(SentenceEnd, StopsAtTheEndWithoutCuttingOrLeaking) {
    const EndCase c = GetParam();
    PlaybackRig rig({{c.start, c.end}}, Program::Orvessa, c.unit);
    rig.state.studyMode = 2;
    rig.state.playback.rate = c.rate;
    rig.fake.setRate(c.rate);
    rig.playback.onLabel6Released(1);
    rig.runToSentenceEnd();

    const double perMs = c.unit == Unit::Seconds ? 0.001 : 1.0;
    const double end = rig.player.voiceEnd;
    EXPECT_GE(rig.position(), end - 1e-9);
    EXPECT_LE(rig.position(), end + perMs * c.rate + 1e-9);
    EXPECT_NEAR(double(rig.now), (c.end - c.start) * 1000 / c.rate, 1.0);
    EXPECT_FALSE(rig.endShot.isActive());
}

INSTANTIATE_TEST_SUITE_P(SentencePlayback, SentenceEnd,
                         ::testing::Values(EndCase{0.5, 2.01, 1.0, Unit::Seconds},
                                           EndCase{0.5, 2.0, 1.0, Unit::Seconds},
                                           EndCase{1.0, 1.017, 1.0, Unit::Seconds},
                                           EndCase{0.25, 3.333, 0.5, Unit::Seconds},
                                           EndCase{0.25, 3.333, 2.0, Unit::Seconds},
                                           EndCase{0.5, 2.01, 2.0, Unit::Milliseconds},
                                           EndCase{0.5, 2.011, 0.5, Unit::Milliseconds},
                                           EndCase{2.5, 4.1, 1.0, Unit::Milliseconds}));

// A player that stops moving (held, or stalled while it seeks) is not taken to have reached
// the End: the sentence ends only once its last milliseconds have really played.
TEST(SentencePlayback, AStalledPlayerIsNotCutShort) {
    PlaybackRig rig({{0.5, 2.01}});
    rig.state.studyMode = 2;
    rig.playback.onLabel6Released(1);
    rig.run(1500);
    ASSERT_TRUE(rig.endShot.isActive());
    rig.playerStalled = true;
    rig.run(200);
    EXPECT_TRUE(rig.Timer1.isActive());
    EXPECT_FALSE(rig.fake.calls.contains(QStringLiteral("pause")));

    rig.playerStalled = false;
    rig.runToSentenceEnd();
    EXPECT_NEAR(rig.position(), 2.01, 1e-6);
    EXPECT_EQ(rig.now, 1710);
}

// --- Rows: underline, play icon, clicks outside 全文浏览 --------------------------------------

TEST(SentencePlayback, EnglishLineOutsideBrowsingOnlyHidesTheUnderline) {
    for (int mode : {1, 3, 4, 5, 8}) {
        PlaybackRig rig(lesson);
        rig.state.studyMode = mode;
        rig.state.row(3).Line3.visible = true;
        rig.playback.onLabel6Released(1);
        EXPECT_FALSE(rig.state.row(3).Line3.visible) << mode;
        EXPECT_FALSE(rig.state.row(1).Line3.visible) << mode;
        EXPECT_TRUE(rig.fake.calls.isEmpty()) << mode;
        EXPECT_EQ(rig.focus, QStringList{QStringLiteral("Combo4")}) << mode;
    }
}

TEST(SentencePlayback, PlayIconPlaysWithThePressedLookAndClicks) {
    PlaybackRig rig(lesson);
    rig.state.studyMode = 4;
    rig.state.playback.readingSentence = 1;
    rig.state.playback.repeatCount = 4;
    rig.state.row(1).Line3.visible = true;
    const TwipRect icon = rig.state.row(2).Image2.box;

    rig.playback.onImage2Pressed(2);
    EXPECT_EQ(rig.state.row(2).Image2.box.left, icon.left + 15);
    EXPECT_EQ(rig.state.row(2).Image2.box.top, icon.top + 15);
    EXPECT_TRUE(rig.fake.calls.isEmpty()) << "a press does not play";

    rig.playback.onImage2Released(2);
    EXPECT_EQ(rig.state.row(2).Image2.box, icon);
    EXPECT_EQ(rig.sounds.played, (QStringList{QStringLiteral("/prog/SETTING/Sound/MouDown.wav"),
                                              QStringLiteral("/prog/SETTING/Sound/MouUp.wav")}));
    EXPECT_EQ(rig.seeks(), QStringList{QStringLiteral("seek 2.5")});
    EXPECT_EQ(rig.state.playback.repeatCount, 0);
    EXPECT_EQ(rig.state.playback.readingSentence, 1) << "the play icon leaves reading alone";
    EXPECT_FALSE(rig.state.row(1).Line3.visible);
    EXPECT_TRUE(rig.state.row(2).Line3.visible);

    // A release without its press (the press went to another lesson's row) moves nothing.
    rig.playback.onImage2Released(2);
    EXPECT_EQ(rig.state.row(2).Image2.box, icon);
}

TEST(SentencePlayback, ASentenceWithoutTimesIsUnderlinedAndSilences) {
    PlaybackRig rig({{0.5, 2.01}, {3, 1}});
    rig.state.studyMode = 2;
    rig.playback.onLabel6Released(1);
    rig.run(300);
    rig.playback.onLabel6Released(2);
    EXPECT_TRUE(rig.state.row(2).Line3.visible);
    EXPECT_EQ(rig.fake.calls.last(), QStringLiteral("pause"));
    EXPECT_EQ(rig.seeks().size(), 1);
    EXPECT_FALSE(rig.Timer1.isActive());
    rig.run(5000);
    EXPECT_EQ(rig.seeks().size(), 1);
}

TEST(SentencePlayback, LearnerRecordingHookRunsOnlyAtSentenceEndsOfFollowRead) {
    for (int mode : {5, 4}) {
        PlaybackRig rig(lesson);
        rig.state.studyMode = mode;
        rig.playback.onImage2Released(1);
        rig.run(1000);
        EXPECT_EQ(rig.mode5Ends, 0);
        rig.runToSentenceEnd();
        EXPECT_EQ(rig.mode5Ends, mode == 5 ? 1 : 0) << mode;
    }
}

// --- Pickers and the mode pairs --------------------------------------------------------------

struct PairCase {
    int mode;
    const char *repeats;
    const char *pause;
};

class ModePair : public ::testing::TestWithParam<PairCase> {};

TEST_P(ModePair, PutsTheModesPairIntoThePickers) {
    const PairCase c = GetParam();
    PlaybackRig rig(lesson);
    PlaybackState &pb = rig.state.playback;
    pb.studyRepeats = QStringLiteral("3");
    pb.studyPause = QStringLiteral("2");
    pb.browseRepeats = QStringLiteral("5");
    pb.browsePause = QStringLiteral("10");
    pb.Combo2Text = QStringLiteral("7");
    pb.Combo3Text = QStringLiteral("6");

    rig.playback.applyModePair(c.mode);
    rig.playback.resetForModeChange();
    EXPECT_EQ(pb.Combo2Text, QString::fromUtf8(c.repeats));
    EXPECT_EQ(pb.Combo3Text, QString::fromUtf8(c.pause));
    EXPECT_EQ(rig.Timer2.interval(), SentencePlayback::pauseInterval(pb.Combo3Text));
    EXPECT_FALSE(rig.Timer2.isActive());
}

INSTANTIATE_TEST_SUITE_P(SentencePlayback, ModePair,
                         ::testing::Values(PairCase{1, "3", "2"}, PairCase{2, "5", "10"},
                                           PairCase{3, "1", "0"}, PairCase{4, "1", "0"},
                                           PairCase{5, "1", "0"}, PairCase{8, "1", "0"},
                                           PairCase{6, "7", "6"}, PairCase{7, "7", "6"}));

TEST(SentencePlayback, BrowsingAndBackRestoresEachModesOwnPair) {
    PlaybackRig rig(lesson);
    rig.state.studyMode = 1;
    rig.playback.onCombo2Picked(QStringLiteral("4"));
    rig.playback.onCombo3Picked(QStringLiteral("3"));
    for (int mode : {2, 3}) {
        rig.state.studyMode = mode;
        rig.playback.applyModePair(mode);
        rig.playback.onCombo2Picked(QStringLiteral("9"));
        rig.playback.onCombo3Picked(QStringLiteral("20"));
    }
    rig.state.studyMode = 1;
    rig.playback.applyModePair(1);
    EXPECT_EQ(rig.state.playback.Combo2Text, QStringLiteral("4"));
    EXPECT_EQ(rig.state.playback.Combo3Text, QStringLiteral("3"));
    EXPECT_EQ(rig.Timer2.interval(), 3010);
    rig.state.studyMode = 2;
    rig.playback.applyModePair(2);
    EXPECT_EQ(rig.state.playback.Combo2Text, QStringLiteral("9"));
    EXPECT_EQ(rig.state.playback.Combo3Text, QStringLiteral("20"));
}

TEST(SentencePlayback, PickingResetsTheCountAndMovesTheFocusByMode) {
    for (int mode : {1, 2, 4}) {
        PlaybackRig rig(lesson);
        rig.state.studyMode = mode;
        rig.state.playback.repeatCount = 2;
        rig.playback.onCombo2Picked(QStringLiteral("5"));
        EXPECT_EQ(rig.state.playback.repeatCount, 0);
        rig.playback.onCombo3Picked(QStringLiteral("4"));
        EXPECT_EQ(rig.Timer2.interval(), 4010);
        const QString expected = mode == 1 ? QStringLiteral("typing") : QStringLiteral("Combo4");
        EXPECT_EQ(rig.focus, (QStringList{expected, expected})) << mode;
    }
}

TEST(SentencePlayback, ModeChangeResetsCountReadingAndThePause) {
    PlaybackRig rig(lesson);
    rig.state.studyMode = 2;
    rig.playback.onCombo3Picked(QStringLiteral("2"));
    rig.reader.onCommand6();
    rig.runToSentenceEnd();
    ASSERT_TRUE(rig.Timer2.isActive());
    rig.state.playback.Command7Caption = QStringLiteral("继续朗读");
    rig.state.playback.Combo3Text = QStringLiteral("30");

    rig.playback.resetForModeChange();
    EXPECT_EQ(rig.state.playback.repeatCount, 0);
    EXPECT_EQ(rig.state.playback.Command6Caption, QStringLiteral("全文朗读"));
    EXPECT_EQ(rig.state.playback.Command7Caption, QStringLiteral("暂停朗读"));
    EXPECT_FALSE(rig.state.playback.Command7Enabled);
    EXPECT_FALSE(rig.Timer2.isActive());
    EXPECT_EQ(rig.Timer2.interval(), 30010);
}

struct PauseRuleCase {
    const char *text;
    int ms;
};

class PauseRule : public ::testing::TestWithParam<PauseRuleCase> {};

TEST_P(PauseRule, SecondsTimesAThousandPlusTen) {
    EXPECT_EQ(SentencePlayback::pauseInterval(QString::fromUtf8(GetParam().text)), GetParam().ms);
}

INSTANTIATE_TEST_SUITE_P(SentencePlayback, PauseRule,
                         ::testing::Values(PauseRuleCase{"0", 10}, PauseRuleCase{"2", 2010},
                                           PauseRuleCase{"60", 60010}, PauseRuleCase{"0.5", 510},
                                           PauseRuleCase{" 3x", 3010}, PauseRuleCase{"", 10},
                                           PauseRuleCase{"秒", 10}, PauseRuleCase{"-3", 10},
                                           PauseRuleCase{"1e12", INT_MAX}));

} // namespace
