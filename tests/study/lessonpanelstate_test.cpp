#include "study/pure/lessonpanelstate.h"

#include <gtest/gtest.h>

namespace {

const LessonPanelGeometry geometry;

LessonPanelState panelAt(int canvasTop, int canvasHeight) {
    LessonPanelState state;
    state.canvasTop = canvasTop;
    state.canvasHeight = canvasHeight;
    return state;
}

struct StepCase {
    const char *name;
    int canvasTop;
    int canvasHeight;
    bool down;
    int expectTop;
};

class ArrowStep : public ::testing::TestWithParam<StepCase> {};

TEST_P(ArrowStep, MovesFiveHundredTwipsWithinTheCanvas) {
    const StepCase c = GetParam();
    LessonPanelState state = panelAt(c.canvasTop, c.canvasHeight);
    if (c.down)
        scrollDownStep(state, geometry);
    else
        scrollUpStep(state, geometry);
    EXPECT_EQ(state.canvasTop, c.expectTop);
}

INSTANTIATE_TEST_SUITE_P(
    LessonPanelState, ArrowStep,
    ::testing::Values(StepCase{"upFromTheTop", 0, 20000, false, 0},
                      StepCase{"upFrom300BackToExactlyZero", -300, 20000, false, 0},
                      StepCase{"upFrom500", -500, 20000, false, 0},
                      StepCase{"upFrom1300", -1300, 20000, false, -800},
                      StepCase{"downWithRoom", 0, 20000, true, -500},
                      StepCase{"downWithExactlyFiveHundredLeft", -(20000 - 5818 - 500), 20000, true,
                               -(20000 - 5818)},
                      StepCase{"downToTheBottomEdge", -(20000 - 5818 - 200), 20000, true,
                               5818 - 20000},
                      StepCase{"downOnAShortCanvasStaysAtTheTop", 0, 3000, true, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(LessonPanelState, ThumbFollowsTheCanvas) {
    LessonPanelState state = panelAt(0, 20000);
    placeThumb(state, geometry);
    EXPECT_EQ(state.thumbTop, 255);

    state.canvasTop = 5818 - 20000;
    placeThumb(state, geometry);
    EXPECT_EQ(state.thumbTop, 255 + geometry.thumbTrack());
    EXPECT_EQ(state.thumbTop + geometry.thumbHeight, geometry.Command33Top);

    // Half way, and just short of a quarter: whole percents of the track.
    state.canvasTop = -(20000 - 5818) / 2;
    placeThumb(state, geometry);
    EXPECT_EQ(state.thumbTop, 50 * geometry.thumbTrack() / 100 + 255);
    state.canvasTop = -3545; // 24.996 percent
    placeThumb(state, geometry);
    EXPECT_EQ(state.thumbTop, 24 * geometry.thumbTrack() / 100 + 255);

    // A canvas no taller than the viewport keeps the thumb at its top.
    state = panelAt(0, 5818);
    state.thumbTop = 999;
    placeThumb(state, geometry);
    EXPECT_EQ(state.thumbTop, 255);
}

TEST(LessonPanelState, DraggedThumbStaysOnItsTrack) {
    LessonPanelState state = panelAt(-4000, 20000);
    dragThumb(state, geometry, 100);
    EXPECT_EQ(state.thumbTop, 255);
    EXPECT_EQ(state.canvasTop, 0);

    dragThumb(state, geometry, 99999);
    EXPECT_EQ(state.thumbTop, geometry.Command33Top - geometry.thumbHeight);
    EXPECT_EQ(state.canvasTop, 5818 - 20000);

    // Half way down the track: 50 percent of the overflow.
    dragThumb(state, geometry, 255 + geometry.thumbTrack() / 2);
    EXPECT_EQ(state.canvasTop, -(20000 - 5818) / 2);
}

TEST(LessonPanelState, ScrollBarRangeIsSixteenBit) {
    EXPECT_EQ(scrollBarFor(5818, geometry), (ScrollBarState{false, 0, 0, 0}));
    EXPECT_EQ(scrollBarFor(4000, geometry), (ScrollBarState{false, 0, 0, 0}));
    EXPECT_EQ(scrollBarFor(10000, geometry), (ScrollBarState{true, 0, 10000 - 5818, 0}));
    EXPECT_EQ(scrollBarFor(500000, geometry), (ScrollBarState{true, 0, 32767, 0}));
}

} // namespace
