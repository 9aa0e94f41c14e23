#pragma once

#include "audioclip.h"

#include <vector>

// One column of a drawn waveform: the lowest and highest sample under it, in -1..1.
struct PeakColumn {
    float low = 0;
    float high = 0;
};

// The lowest and highest sample in each of `columns` equal slices of [fromSec, toSec) of the
// clip, seconds counted from the clip's first sample. A slice holding no sample of the clip
// (before its start or past its end) is {0, 0}; a slice narrower than one sample takes the
// sample it falls on, so a zoomed-in waveform has no holes. Empty for no columns or an
// empty range.
std::vector<PeakColumn> waveformPeaks(const AudioClip &clip, double fromSec, double toSec,
                                      int columns);
