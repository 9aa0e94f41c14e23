#pragma once

// Where sound starts and stops in a recording of 16-bit mono samples, and what frequency a
// steady tone has. Pure functions, shared by the end-to-end tests and the sentence-stop
// benchmark. The null sink is digital: its silence is exact zeros, so a plain level
// threshold finds the edges to the sample.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

namespace soundedges {

using Samples = std::vector<std::int16_t>;

// First sample in [from, to) louder than threshold.
inline std::optional<std::size_t> onset(const Samples &s, std::size_t from, std::size_t to,
                                        int threshold) {
    to = std::min(to, s.size());
    for (std::size_t i = from; i < to; ++i) {
        if (std::abs(int(s[i])) > threshold)
            return i;
    }
    return std::nullopt;
}

// One past the last sample in [from, to) louder than threshold: where the sound stopped.
inline std::optional<std::size_t> stop(const Samples &s, std::size_t from, std::size_t to,
                                       int threshold) {
    to = std::min(to, s.size());
    for (std::size_t i = to; i > from; --i) {
        if (std::abs(int(s[i - 1])) > threshold)
            return i;
    }
    return std::nullopt;
}

// Root mean square of each window of windowSamples in [from, to).
inline std::vector<double> rmsWindows(const Samples &s, std::size_t from, std::size_t to,
                                      std::size_t windowSamples) {
    std::vector<double> out;
    to = std::min(to, s.size());
    for (std::size_t w = from; windowSamples > 0 && w + windowSamples <= to; w += windowSamples) {
        double sum = 0;
        for (std::size_t i = w; i < w + windowSamples; ++i)
            sum += double(s[i]) * double(s[i]);
        out.push_back(std::sqrt(sum / double(windowSamples)));
    }
    return out;
}

// Frequency in Hz of a steady tone in [from, to), from the rising zero crossings, each placed
// between its two samples by linear interpolation. 0 when fewer than two crossings.
inline double toneHz(const Samples &s, std::size_t from, std::size_t to, int sampleRate) {
    to = std::min(to, s.size());
    double first = -1;
    double last = -1;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        const double a = s[i - 1];
        const double b = s[i];
        if (a < 0 && b >= 0) {
            const double at = double(i - 1) + (-a) / (b - a);
            if (first < 0)
                first = at;
            last = at;
            ++crossings;
        }
    }
    if (crossings < 2 || last <= first)
        return 0;
    return (crossings - 1) / ((last - first) / sampleRate);
}

// How far past its End (ms of the recording's own time; negative: cut short) a sentence
// [start, end] (seconds) played at rate, given where its sound began and stopped (samples).
inline double stopErrorMs(std::size_t onsetAt, std::size_t stopAt, int sampleRate, double rate,
                          double start, double end) {
    const double heardMs = double(stopAt - onsetAt) * 1000.0 / sampleRate;
    return heardMs * rate - (end - start) * 1000.0;
}

// The q-quantile (0..1) of values by linear interpolation between order statistics.
inline double quantile(std::vector<double> values, double q) {
    if (values.empty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    const double at = std::clamp(q, 0.0, 1.0) * double(values.size() - 1);
    const std::size_t lo = std::size_t(std::floor(at));
    const std::size_t hi = std::min(lo + 1, values.size() - 1);
    return values[lo] + (values[hi] - values[lo]) * (at - double(lo));
}

} // namespace soundedges
