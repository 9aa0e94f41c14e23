#include "lessonpanelstate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
constexpr int arrowStep = 500;
constexpr int scrollBarLimit = 32767;

// The first row (0-based) that starts at or below offset, rows.size() when none does.
size_t firstRowFrom(std::span<const SentenceRow> rows, long long offset) {
    size_t low = 0;
    size_t high = rows.size();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (rowStartTwips(rows, middle) < offset)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// Where a step from offset `from` towards `wanted` (both how far the canvas is scrolled,
// 0 at the top, `bottom` where the canvas's bottom meets the viewport's) ends when the rows
// are known: at the row start nearest to wanted that lies in the step's direction. A step
// never skips more than a viewport, so a row taller than the viewport is scrolled through
// as the plain step does.
long long snappedOffset(std::span<const SentenceRow> rows, long long from, long long wanted,
                        long long bottom, int viewportHeight) {
    if (rows.empty() || wanted <= 0 || wanted >= bottom || wanted == from)
        return wanted;
    const bool down = wanted > from;
    const auto ahead = [&](long long start) { return down ? start > from : start < from; };
    long long best = -1;
    const size_t next = firstRowFrom(rows, wanted);
    for (const size_t candidate : {next - 1, next}) {
        if (candidate >= rows.size()) // next - 1 wraps round when next is 0
            continue;
        const long long start = rowStartTwips(rows, candidate);
        if (ahead(start) && (best < 0 || std::llabs(start - wanted) < std::llabs(best - wanted)))
            best = start;
    }
    if (best < 0) {
        // Both neighbours of wanted lie behind: the first row start past from.
        const size_t past = down ? firstRowFrom(rows, from + 1) : firstRowFrom(rows, from) - 1;
        if (past < rows.size())
            best = rowStartTwips(rows, past);
    }
    if (best < 0 || !ahead(best) || std::llabs(best - from) > viewportHeight)
        return wanted;
    return std::min(best, bottom);
}

} // namespace

int rowStartTwips(std::span<const SentenceRow> rows, size_t index) {
    if (index == 0 || index >= rows.size())
        return 0;
    const long long above = rows[index - 1].Label8.box.bottom();
    const long long english = rows[index].Label6.box.top;
    return int(std::max(0LL, above + (english - above) / 2));
}

void scrollUpStep(LessonPanelState &state, const LessonPanelGeometry &geometry,
                  std::span<const SentenceRow> rows) {
    const long long from = -(long long)state.canvasTop;
    const long long wanted = from < arrowStep ? 0 : from - arrowStep;
    const long long bottom = (long long)state.canvasHeight - geometry.viewportHeight;
    state.canvasTop = int(-snappedOffset(rows, from, wanted, bottom, geometry.viewportHeight));
    placeThumb(state, geometry);
}

void scrollDownStep(LessonPanelState &state, const LessonPanelGeometry &geometry,
                    std::span<const SentenceRow> rows) {
    const long long from = -(long long)state.canvasTop;
    const long long bottom = (long long)state.canvasHeight - geometry.viewportHeight;
    const long long wanted = bottom - from >= arrowStep ? from + arrowStep : bottom;
    // A canvas shorter than the viewport never moves below the top.
    state.canvasTop =
        int(std::min(0LL, -snappedOffset(rows, from, wanted, bottom, geometry.viewportHeight)));
    placeThumb(state, geometry);
}

void placeThumb(LessonPanelState &state, const LessonPanelGeometry &geometry) {
    const long long overflow = (long long)state.canvasHeight - geometry.viewportHeight;
    if (overflow <= 0) {
        state.thumbTop = geometry.thumbTopMost;
        return;
    }
    const double fraction = double(-(long long)state.canvasTop) / double(overflow);
    const long long percent = std::clamp<long long>((long long)std::trunc(fraction * 100), 0, 100);
    state.thumbTop = int(percent * geometry.thumbTrack() / 100 + geometry.thumbTopMost);
}

void dragThumb(LessonPanelState &state, const LessonPanelGeometry &geometry, int wantedTop) {
    int top = std::max(wantedTop, geometry.thumbTopMost);
    if (geometry.Command33Top < top + geometry.thumbHeight)
        top = geometry.Command33Top - geometry.thumbHeight;
    state.thumbTop = top;
    const int track = geometry.thumbTrack();
    const long long percent =
        track > 0 ? (long long)std::trunc(double(top - geometry.thumbTopMost) / track * 100) : 0;
    const long long overflow = (long long)state.canvasHeight - geometry.viewportHeight;
    state.canvasTop =
        overflow > 0 ? int(std::llround(double(percent) * double(-overflow) / 100.0)) : 0;
}

ScrollBarState scrollBarFor(int canvasHeight, const LessonPanelGeometry &geometry) {
    ScrollBarState bar;
    const long long maximum = (long long)canvasHeight - geometry.viewportHeight;
    bar.minimum = 0;
    bar.value = 0;
    bar.maximum = int(std::clamp<long long>(maximum, 0, scrollBarLimit));
    bar.enabled = maximum > 0;
    return bar;
}
