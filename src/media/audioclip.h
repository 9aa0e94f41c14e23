#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

// A stretch of mono sound: samples in -1..1 at sampleRate samples a second. What the
// waveforms are drawn from and what loudness is measured on; never played from here.
struct AudioClip {
    int sampleRate = 0;
    std::vector<float> samples;

    double seconds() const { return sampleRate > 0 ? double(samples.size()) / sampleRate : 0.0; }
    bool isEmpty() const { return sampleRate <= 0 || samples.empty(); }
    // The largest magnitude of any sample (0 when empty).
    float peak() const {
        float most = 0;
        for (float s : samples)
            most = std::max(most, std::abs(s));
        return most;
    }
};
