#include "lessonpanelstate.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int arrowStep = 500;
constexpr int scrollBarLimit = 32767;
} // namespace

void scrollUpStep(LessonPanelState &state, const LessonPanelGeometry &geometry) {
    if (state.canvasTop > -arrowStep)
        state.canvasTop = 0;
    else
        state.canvasTop += arrowStep;
    placeThumb(state, geometry);
}

void scrollDownStep(LessonPanelState &state, const LessonPanelGeometry &geometry) {
    const long long room =
        (long long)state.canvasHeight + state.canvasTop - geometry.viewportHeight;
    if (room >= arrowStep)
        state.canvasTop -= arrowStep;
    else
        state.canvasTop = geometry.viewportHeight - state.canvasHeight;
    // A canvas shorter than the viewport never moves below the top.
    state.canvasTop = std::min(state.canvasTop, 0);
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
