#include "pitchtrack.h"

#include "speechaudio.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <iterator>

namespace {

constexpr int rate = 16000;
constexpr int minLag = rate / 500; // 500 Hz
constexpr int maxLag = rate / 60;  // 60 Hz (266 samples)
// Differences are taken for lags 0..lagCount-1 (past maxLag + 1, which the parabola needs, to
// a multiple of the vector width so that the inner loop has no scalar remainder).
constexpr int lagCount = 272;
// The window summed for each lag; with the lags after it the frame spans 40 ms.
constexpr int window = 640 - lagCount;
constexpr int frameLength = window + lagCount;
// Frame i starts this far before its centre, so that what it compares (the window and its
// copy a period later) is centred there for a voice of about 130 Hz and within a few
// milliseconds of it across the range.
constexpr int leadIn = window / 2 + 64;
constexpr float aperiodicityLimit = 0.15f;
constexpr double quietestDbfs = -50;
constexpr double belowLoudestDb = 35;

double meanSquare(const float *x, int n) {
    double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += double(x[i]) * x[i];
    return sum / n;
}

// The period of the frame at x (frameLength samples) in samples, or 0 when it has none.
float period(const float *x) {
    // Lag-major order would be a chain of dependent additions; summing all lags for each
    // sample instead leaves an inner loop of independent ones that the compiler vectorises.
    // (Plain pointers: checked indexing would keep it from doing so.)
    std::array<float, lagCount> diff{};
    float *d = diff.data();
    for (int j = 0; j < window; ++j) {
        const float xj = x[j];
        const float *shifted = x + j;
        for (int lag = 0; lag < lagCount; ++lag) {
            const float delta = xj - shifted[lag];
            d[lag] += delta * delta;
        }
    }
    std::array<float, lagCount> cmnd;
    // Cumulative mean normalised difference: 1 at lag 0, near 0 at a clean period.
    cmnd[0] = 1;
    double running = 0;
    for (int lag = 1; lag <= maxLag + 1; ++lag) {
        running += diff[size_t(lag)];
        cmnd[size_t(lag)] = running > 0 ? float(diff[size_t(lag)] * lag / running) : 1.0f;
    }
    int lag = minLag;
    while (lag <= maxLag && cmnd[size_t(lag)] >= aperiodicityLimit)
        ++lag;
    if (lag > maxLag)
        return 0;
    while (lag < maxLag && cmnd[size_t(lag) + 1] < cmnd[size_t(lag)])
        ++lag;
    // A parabola through the dip and its neighbours puts the period between samples.
    const float a = cmnd[size_t(lag) - 1], b = cmnd[size_t(lag)], c = cmnd[size_t(lag) + 1];
    const float curve = a - 2 * b + c;
    const float shift = curve > 0 ? std::clamp(0.5f * (a - c) / curve, -0.5f, 0.5f) : 0.0f;
    return float(lag) + shift;
}

float median(std::vector<float> values) {
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

} // namespace

PitchContour pitchContour(const SpeechAudio &audio, int hopMs) {
    PitchContour contour;
    contour.hopMs = hopMs;
    if (hopMs <= 0)
        return contour;
    const SpeechAudio in = resampledTo16k(audio);
    if (in.samples.empty())
        return contour;
    const auto hop = size_t(std::int64_t(rate) * hopMs / 1000);
    const auto count = (in.samples.size() + hop - 1) / hop;
    // Frame i starts leadIn samples before sample i·hop; silence pads both ends.
    std::vector<float> padded(count * hop + size_t(frameLength));
    std::copy(in.samples.begin(), in.samples.end(), padded.begin() + leadIn);

    std::vector<double> level(count);
    for (size_t i = 0; i < count; ++i)
        level[i] = meanSquare(padded.data() + i * hop, frameLength);
    const double loudest = *std::max_element(level.begin(), level.end());
    const double quietest =
        std::max(std::pow(10.0, quietestDbfs / 10), loudest * std::pow(10.0, -belowLoudestDb / 10));

    std::vector<float> logHz(count, PitchContour::unvoiced());
    for (size_t i = 0; i < count; ++i) {
        if (level[i] < quietest)
            continue;
        const float lag = period(padded.data() + i * hop);
        if (lag > 0)
            logHz[i] = std::log2(float(rate) / lag);
    }

    // A voiced frame between two voiced ones takes the median of the three.
    contour.semitones = logHz;
    for (size_t i = 1; i + 1 < count; ++i) {
        const float a = logHz[i - 1], b = logHz[i], c = logHz[i + 1];
        if (!std::isnan(a) && !std::isnan(b) && !std::isnan(c))
            contour.semitones[i] = std::max(std::min(a, b), std::min(std::max(a, b), c));
    }

    std::vector<float> voiced;
    std::copy_if(contour.semitones.begin(), contour.semitones.end(), std::back_inserter(voiced),
                 [](float v) { return !std::isnan(v); });
    if (voiced.empty())
        return contour;
    const float centre = median(std::move(voiced));
    for (float &v : contour.semitones)
        v = 12 * (v - centre); // NaN stays NaN
    return contour;
}

std::vector<float> contourBetween(const PitchContour &contour, int fromMs, int toMs) {
    if (contour.hopMs <= 0 || toMs <= fromMs)
        return {};
    const auto size = qsizetype(contour.semitones.size());
    // The first index at or after fromMs and the first at or after toMs.
    auto index = [&](int ms) {
        const qsizetype i = ms <= 0 ? 0 : (qsizetype(ms) + contour.hopMs - 1) / contour.hopMs;
        return std::clamp<qsizetype>(i, 0, size);
    };
    const auto first = contour.semitones.begin() + index(fromMs);
    const auto last = contour.semitones.begin() + index(toMs);
    return {first, last};
}
