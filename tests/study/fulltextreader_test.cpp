#include "playbackrig.h"

#include <gtest/gtest.h>

namespace {

const std::vector<Span> threeSentences{{0.5, 2.01}, {2.5, 4.1}, {4.5, 5.3}};

// n sentences of 0.4 s each, back to back from 1 s.
std::vector<Span> shortSentences(int n) {
    std::vector<Span> spans;
    for (int i = 0; i < n; ++i)
        spans.push_back({1.0 + i * 0.5, 1.4 + i * 0.5});
    return spans;
}

PlaybackRig &startReading(PlaybackRig &rig, const char *repeats, const char *pause) {
    rig.state.studyMode = 2;
    rig.playback.applyModePair(2);
    rig.playback.onCombo2Picked(QString::fromLatin1(repeats));
    rig.playback.onCombo3Picked(QString::fromLatin1(pause));
    rig.reader.onCommand6();
    return rig;
}

TEST(FullTextReader, ReadsEachSentenceWithItsRepeatsThenTurnsItselfOff) {
    PlaybackRig rig(threeSentences);
    startReading(rig, "2", "1");
    EXPECT_EQ(rig.state.playback.Command6Caption, QStringLiteral("停止朗读"));
    EXPECT_TRUE(rig.state.playback.Command7Enabled);
    EXPECT_TRUE(rig.state.row(1).Line3.visible);
    rig.run(60000);

    EXPECT_EQ(rig.seeks(), (QStringList{"seek 0.5", "seek 0.5", "seek 2.5", "seek 2.5", "seek 4.5",
                                        "seek 4.5"}));
    const std::vector<long long> seeks = rig.timesOf(QStringLiteral("seek"));
    const std::vector<long long> pauses = rig.timesOf(QStringLiteral("pause"));
    ASSERT_EQ(pauses.size(), 6u);
    for (size_t k = 1; k < seeks.size(); ++k)
        EXPECT_NEAR(seeks[k] - pauses[k - 1], 1010, 1) << "gap before play " << k + 1;
    EXPECT_EQ(rig.state.playback.Command6Caption, QStringLiteral("全文朗读"));
    EXPECT_FALSE(rig.state.playback.Command7Enabled);
    EXPECT_EQ(rig.state.playback.readingSentence, 3);
    EXPECT_FALSE(rig.Timer1.isActive());
    EXPECT_FALSE(rig.Timer2.isActive());
}

TEST(FullTextReader, GoesOnAfterASentenceClickedWhileReading) {
    PlaybackRig rig(shortSentences(7));
    startReading(rig, "2", "0");
    rig.run(200);
    rig.playback.onLabel6Released(5);
    rig.run(60000);
    EXPECT_EQ(rig.seeks(), (QStringList{"seek 1", "seek 3", "seek 3", "seek 3.5", "seek 3.5",
                                        "seek 4", "seek 4"}));
    EXPECT_EQ(rig.state.playback.Command6Caption, QStringLiteral("全文朗读"));
}

TEST(FullTextReader, PassesOverSentencesWithoutTimes) {
    PlaybackRig rig({{0.5, 1.0}, {5, 1}, {5, 1}, {2.0, 2.5}});
    startReading(rig, "1", "0");
    rig.run(10000);
    EXPECT_EQ(rig.seeks(), (QStringList{"seek 0.5", "seek 2"}));
    EXPECT_EQ(rig.state.playback.readingSentence, 4);
    EXPECT_EQ(rig.state.playback.Command6Caption, QStringLiteral("全文朗读"));
}

TEST(FullTextReader, MovesOnOnlyWhileBrowsingWithReadingOn) {
    struct Case {
        int modeAfterStart;
        const char *caption;
        bool movesOn;
    };
    for (const Case c :
         {Case{2, "停止朗读", true}, Case{1, "停止朗读", false}, Case{2, "全文朗读", false}}) {
        PlaybackRig rig(threeSentences);
        startReading(rig, "1", "0");
        rig.state.studyMode = c.modeAfterStart;
        rig.state.playback.Command6Caption = QString::fromUtf8(c.caption);
        rig.run(5000);
        EXPECT_EQ(rig.seeks().size(), c.movesOn ? 3 : 1) << c.modeAfterStart << c.caption;
    }
}

TEST(FullTextReader, StartAndStopPutThePanelAtItsTopAndFocusCombo4) {
    PlaybackRig rig(shortSentences(40));
    rig.state.panel.canvasTop = -4000;
    rig.state.panel.thumbTop = 1200;
    rig.state.playback.Command7Caption = QStringLiteral("继续朗读"); // left by an earlier run
    startReading(rig, "3", "2");
    EXPECT_EQ(rig.state.panel.canvasTop, 0);
    EXPECT_EQ(rig.state.panel.thumbTop, 255);
    EXPECT_EQ(rig.state.playback.Command7Caption, QStringLiteral("暂停朗读"));
    EXPECT_EQ(rig.focus.last(), QStringLiteral("Combo4"));

    rig.runToSentenceEnd(); // the pause before the second play runs
    rig.state.panel.canvasTop = -700;
    rig.reader.onCommand6();
    EXPECT_EQ(rig.state.playback.Command6Caption, QStringLiteral("全文朗读"));
    EXPECT_FALSE(rig.state.playback.Command7Enabled);
    EXPECT_EQ(rig.state.playback.readingSentence, 0);
    EXPECT_FALSE(rig.state.row(1).Line3.visible);
    EXPECT_EQ(rig.state.panel.canvasTop, 0);
    EXPECT_EQ(rig.fake.calls.last(), QStringLiteral("pause"));
    rig.run(30000);
    EXPECT_EQ(rig.seeks().size(), 1) << "the stop button leaves nothing to play on";
}

// --- Keeping the sentence in view ------------------------------------------------------------

struct ViewCase {
    const char *name;
    int lineTop;
    int lineHeight;
    int canvasTop;
    int canvasHeight;
    int expectTop;
};

class KeepInView : public ::testing::TestWithParam<ViewCase> {};

TEST_P(KeepInView, MovesHalfAViewportOrToTheEnd) {
    const ViewCase c = GetParam();
    PlaybackRig rig(shortSentences(1));
    rig.state.row(1).Label6.box.top = c.lineTop;
    rig.state.row(1).Label6.box.height = c.lineHeight;
    rig.state.panel.canvasTop = c.canvasTop;
    rig.state.panel.canvasHeight = c.canvasHeight;
    rig.state.panel.thumbTop = 777;
    rig.reader.keepInView(1);
    EXPECT_EQ(rig.state.panel.canvasTop, c.expectTop);
    if (c.expectTop != c.canvasTop) {
        LessonPanelState placed = rig.state.panel;
        placeThumb(placed, rig.state.panelGeometry);
        EXPECT_EQ(rig.state.panel.thumbTop, placed.thumbTop);
    } else {
        EXPECT_EQ(rig.state.panel.thumbTop, 777) << "a panel that does not move keeps its thumb";
    }
}

// Viewport 5818 twips: half is 2909.
INSTANTIATE_TEST_SUITE_P(
    FullTextReader, KeepInView,
    ::testing::Values(ViewCase{"inView", 5000, 315, 0, 20000, 0},
                      ViewCase{"endingExactlyAtTheBottom", 5503, 315, 0, 20000, 0},
                      ViewCase{"oneTwipBelow", 5504, 315, 0, 20000, -2909},
                      ViewCase{"belowWithAScrolledCanvas", 9000, 630, -3000, 20000, -5909},
                      ViewCase{"lessThanHalfLeft", 5600, 315, 0, 7000, 5818 - 7000},
                      ViewCase{"exactlyHalfLeft", 5600, 315, 0, 5818 + 2909, -2909},
                      ViewCase{"aboveTheViewportStaysPut", 240, 315, -3000, 20000, -3000}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(FullTextReader, ALongLessonScrollsAlongAndNeverLosesTheSentence) {
    PlaybackRig rig(shortSentences(40));
    int lastTop = 0;
    int moves = 0;
    rig.playback.hooks().panelChanged = [&] {
        const int r = rig.state.playback.readingSentence;
        if (r < 1 || r > 40 || rig.state.playback.Command6Caption != QStringLiteral("停止朗读"))
            return;
        const TwipRect &line = rig.state.row(r).Label6.box;
        EXPECT_LE(line.bottom() + rig.state.panel.canvasTop, 5818) << "sentence " << r;
        EXPECT_GE(line.top + rig.state.panel.canvasTop, 0) << "sentence " << r;
        EXPECT_LE(rig.state.panel.canvasTop, lastTop) << "reading only moves the canvas up";
        if (rig.state.panel.canvasTop != lastTop) {
            const int step = lastTop - rig.state.panel.canvasTop;
            EXPECT_TRUE(step == 2909 ||
                        rig.state.panel.canvasTop == 5818 - rig.state.panel.canvasHeight)
                << step;
            ++moves;
        }
        lastTop = rig.state.panel.canvasTop;
    };
    startReading(rig, "1", "0");
    rig.run(40 * 500);
    EXPECT_EQ(rig.state.playback.readingSentence, 40);
    EXPECT_GT(moves, 3);
    EXPECT_EQ(rig.state.panel.canvasTop, 5818 - rig.state.panel.canvasHeight);
    EXPECT_EQ(rig.state.panel.thumbTop, 255 + rig.state.panelGeometry.thumbTrack());
}

// --- Arrows and keys ---------------------------------------------------------------------------

struct ScrollCase {
    const char *name;
    int canvasTop;
    int key; // 38 Up, 40 Down, or another key
    int expectTop;
};

class ScrollKeys : public ::testing::TestWithParam<ScrollCase> {};

TEST_P(ScrollKeys, ArrowsAndCombo4KeysStepAboutFiveHundredTwipsToARowStart) {
    const ScrollCase c = GetParam();
    for (bool viaArrow : {false, true}) {
        if (viaArrow && c.key != 38 && c.key != 40)
            continue;
        PlaybackRig rig(shortSentences(40));
        rig.state.panel.canvasTop = c.canvasTop;
        rig.state.panel.thumbTop = 9999;
        if (viaArrow)
            c.key == 38 ? rig.reader.onCommand32() : rig.reader.onCommand33();
        else
            EXPECT_EQ(rig.reader.onCombo4Key(c.key), c.key == 38 || c.key == 40);
        EXPECT_EQ(rig.state.panel.canvasTop, c.expectTop) << (viaArrow ? "arrow" : "key");
        LessonPanelState placed = rig.state.panel;
        placeThumb(placed, rig.state.panelGeometry);
        EXPECT_EQ(rig.state.panel.thumbTop, placed.thumbTop) << "the thumb follows";
        EXPECT_EQ(rig.focus, viaArrow ? QStringList{QStringLiteral("Combo4")} : QStringList{});
    }
}

INSTANTIATE_TEST_SUITE_P(
    FullTextReader, ScrollKeys,
    // The rows are 705 twips apart; row 2 starts at 900, row 3 at 1605.
    ::testing::Values(ScrollCase{"upFrom300AboveReturnsToExactlyZero", -300, 38, 0},
                      ScrollCase{"upFrom1300", -1300, 38, -900},
                      ScrollCase{"downFromTheTop", 0, 40, -900},
                      ScrollCase{"otherKeyOnlyPlacesTheThumb", -1300, 65, -1300}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(FullTextReader, DownStopsWhereTheCanvasBottomMeetsTheViewport) {
    PlaybackRig rig(shortSentences(40));
    const int bottomTop = 5818 - rig.state.panel.canvasHeight;
    rig.state.panel.canvasTop = bottomTop + 200;
    rig.reader.onCommand33();
    EXPECT_EQ(rig.state.panel.canvasTop, bottomTop);
    rig.reader.onCombo4Key(FullTextReader::keyDown);
    EXPECT_EQ(rig.state.panel.canvasTop, bottomTop);
}

// --- The pause button ------------------------------------------------------------------------

TEST(FullTextReader, PauseHoldsTheSentenceAndResumeFinishesItAtItsEnd) {
    PlaybackRig rig(threeSentences);
    startReading(rig, "1", "0");
    rig.run(1500); // 10 ms before the End of sentence 1: the one-shot is aimed
    ASSERT_TRUE(rig.endShot.isActive());
    rig.reader.onCommand7();
    EXPECT_EQ(rig.state.playback.Command7Caption, QStringLiteral("继续朗读"));
    EXPECT_EQ(rig.fake.calls.last(), QStringLiteral("pause"));
    EXPECT_FALSE(rig.endShot.isActive());
    const double held = rig.position();
    rig.run(3000);
    EXPECT_DOUBLE_EQ(rig.position(), held);
    EXPECT_EQ(rig.seeks().size(), 1);

    rig.reader.onCommand7();
    EXPECT_EQ(rig.state.playback.Command7Caption, QStringLiteral("暂停朗读"));
    EXPECT_EQ(rig.fake.calls.last(), QStringLiteral("play")) << "resumes without a seek";
    rig.runToSentenceEnd();
    EXPECT_NEAR(rig.position(), 2.01, 1e-6);
    EXPECT_EQ(rig.focus.last(), QStringLiteral("Combo4"));
}

TEST(FullTextReader, PauseBetweenTwoPlaysDoesNotHoldBackTheNextPlay) {
    PlaybackRig rig(threeSentences);
    startReading(rig, "2", "1");
    rig.runToSentenceEnd();
    rig.run(300);
    rig.reader.onCommand7(); // held in the pause
    rig.run(1000);
    EXPECT_EQ(rig.seeks().size(), 2) << "the second play comes all the same";
    rig.runToSentenceEnd();
    rig.run(200);
    rig.reader.onCommand7(); // "继续朗读" in the pause after the second play
    EXPECT_NE(rig.fake.calls.last(), QStringLiteral("play"))
        << "playing on past the End would run into the next sentence";
    rig.run(2000);
    EXPECT_EQ(rig.seeks().last(), QStringLiteral("seek 2.5"));
}

// --- mini ------------------------------------------------------------------------------------

TEST(FullTextReader, MiniUsesItsCaptionsItsScrollBarAndItsOwnAdvance) {
    PlaybackRig rig(shortSentences(40), Program::Mini);
    rig.state.panel.VScroll1 = scrollBarFor(rig.state.panel.canvasHeight, rig.state.panelGeometry);
    rig.state.panel.VScroll1.value = 1000;
    rig.state.panel.canvasTop = -1000;
    EXPECT_EQ(rig.state.playback.Command6Caption, QStringLiteral(" 全文朗读(&R)"));
    startReading(rig, "1", "0");
    EXPECT_EQ(rig.state.playback.Command6Caption, QStringLiteral(" 停止朗读(&S)"));
    EXPECT_FALSE(rig.state.playback.Command7Enabled) << "mini's reading button leaves it";
    EXPECT_EQ(rig.state.panel.VScroll1.value, 0);
    EXPECT_EQ(rig.state.panel.canvasTop, 0);

    rig.run(5000);
    EXPECT_EQ(rig.seeks().size(), 1) << "mini moves on by its own advance, not autoread";

    rig.state.playback.readingSentence = 20;
    rig.reader.autoread(); // sentence 21 lies below the viewport
    EXPECT_EQ(rig.state.panel.VScroll1.value, 2909);
    EXPECT_EQ(rig.state.panel.canvasTop, -2909);
    rig.state.panel.VScroll1.value = rig.state.panel.VScroll1.maximum - 100;
    rig.state.playback.readingSentence = 39;
    rig.state.panel.canvasTop = -rig.state.panel.VScroll1.value;
    rig.state.row(40).Label6.box.top = 100000; // far below whatever the bar shows
    rig.reader.autoread();
    EXPECT_EQ(rig.state.panel.VScroll1.value, rig.state.panel.VScroll1.maximum);

    rig.reader.onCombo4Key(FullTextReader::keyUp);
    EXPECT_EQ(rig.state.panel.VScroll1.value, rig.state.panel.VScroll1.maximum - 500);
    EXPECT_EQ(rig.state.panel.canvasTop, -rig.state.panel.VScroll1.value);

    rig.playback.onPanelBackgroundClicked();
    EXPECT_EQ(rig.state.playback.Command6Caption, QStringLiteral(" 全文朗读(&R)"));
    EXPECT_EQ(rig.state.playback.Command7Caption, QStringLiteral(" 暂停朗读(&P)"));
}

} // namespace
