#include "study/pure/lessonpanelstate.h"

#include <gtest/gtest.h>

#include <vector>

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

// Rows as the layout builds them: an English line, 90 twips, a Chinese line, 90 twips; the
// heights give each row's English line that many text lines (a wrapped sentence).
std::vector<SentenceRow> rowsOf(const std::vector<int> &englishLines) {
    std::vector<SentenceRow> rows;
    int top = 240;
    for (const int lines : englishLines) {
        SentenceRow &row = rows.emplace_back();
        row.Label6.box = TwipRect{630, top, 5000, 315 * lines};
        row.Label8.box = TwipRect{630, row.Label6.box.bottom() + 90, 3000, 210};
        top = row.Label8.box.bottom() + 90;
    }
    return rows;
}

int canvasHeightOf(const std::vector<SentenceRow> &rows) {
    return rows.back().Label8.box.bottom() + 130;
}

struct RowStepCase {
    const char *name;
    std::vector<int> lines; // text lines of each row's English line
    int canvasTop;
    bool down;
    int expectTop;
};

class RowStep : public ::testing::TestWithParam<RowStepCase> {};

// Twenty one-line rows: row k's English line starts at 240 + 705k, its start (half way up
// the gap above it) at 195 + 705k; the canvas is 14380 tall, its bottom end 8562 down.
TEST_P(RowStep, EndsWhereARowStarts) {
    const RowStepCase &c = GetParam();
    const std::vector<SentenceRow> rows = rowsOf(c.lines);
    LessonPanelState state = panelAt(c.canvasTop, canvasHeightOf(rows));
    if (c.down)
        scrollDownStep(state, geometry, rows);
    else
        scrollUpStep(state, geometry, rows);
    EXPECT_EQ(state.canvasTop, c.expectTop);
}

const std::vector<int> twentyRows(20, 1);
const int twentyBottom = -(14380 - 5818);

INSTANTIATE_TEST_SUITE_P(
    LessonPanelState, RowStep,
    ::testing::Values(
        // Nearest to 500 is row 2's start at 900, not the plain step's 500 (mid-line).
        RowStepCase{"downFromTheTop", twentyRows, 0, true, -900},
        RowStepCase{"downFromARowStart", twentyRows, -900, true, -1605},
        RowStepCase{"upFromARowStart", twentyRows, -1605, false, -900},
        // Left between rows by the thumb: the next start up, even when it is near.
        RowStepCase{"upFromBetweenRows", twentyRows, -1000, false, -900},
        RowStepCase{"upNearTheTopGoesToTheTop", twentyRows, -300, false, 0},
        RowStepCase{"downNearTheBottomEndsAtTheBottom", twentyRows, twentyBottom + 300, true,
                    twentyBottom},
        // The nearest start lies past the bottom end: the bottom end.
        RowStepCase{"downPastTheLastStart", twentyRows, -(195 + 705 * 11), true, twentyBottom},
        RowStepCase{"downAtTheBottomStays", twentyRows, twentyBottom, true, twentyBottom},
        RowStepCase{"upFromTheBottomToARowStart", twentyRows, twentyBottom, false,
                    -(195 + 705 * 11)},
        // A row of 30 text lines (9450 twips) is taller than the viewport: its inside is
        // scrolled through in plain steps rather than jumped over.
        RowStepCase{
            "throughARowTallerThanTheViewport", {1, 30, 1, 1, 1, 1, 1, 1, 1, 1}, -900, true, -1400},
        RowStepCase{"aShortCanvasStaysAtTheTop", {1, 1, 1}, 0, true, 0}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
