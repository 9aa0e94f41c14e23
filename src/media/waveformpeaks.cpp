#include "waveformpeaks.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

std::vector<PeakColumn> waveformPeaks(const AudioClip &clip, double fromSec, double toSec,
                                      int columns) {
    if (columns <= 0 || !(toSec > fromSec) || !std::isfinite(fromSec) || !std::isfinite(toSec))
        return {};
    std::vector<PeakColumn> peaks(static_cast<size_t>(columns));
    if (clip.isEmpty())
        return peaks;
    const double count = double(clip.samples.size());
    const double perColumn = (toSec - fromSec) * clip.sampleRate / columns;
    const double first = fromSec * clip.sampleRate;
    for (int c = 0; c < columns; ++c) {
        // Sample positions as doubles, so that a range far past the clip cannot overflow.
        const double begin = std::floor(first + c * perColumn);
        const double end = std::max(begin + 1, std::floor(first + (c + 1) * perColumn));
        if (end <= 0 || begin >= count)
            continue;
        const auto from = clip.samples.begin() + std::ptrdiff_t(std::max(begin, 0.0));
        const auto to = clip.samples.begin() + std::ptrdiff_t(std::min(end, count));
        const auto [low, high] = std::minmax_element(from, to);
        peaks[size_t(c)] = {*low, *high};
    }
    return peaks;
}
