#include "speechaudio.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int targetRate = 16000;
constexpr int halfTaps = 16; // filter taps either side, at the lower of the two rates

double sinc(double x) {
    return x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
}

// Blackman window over [-1, 1].
double window(double x) {
    if (std::abs(x) >= 1)
        return 0;
    const double t = std::numbers::pi * (x + 1);
    return 0.42 - 0.5 * std::cos(t) + 0.08 * std::cos(2 * t);
}

} // namespace

SpeechAudio resampledTo16k(const SpeechAudio &audio) {
    if (audio.sampleRate == targetRate || audio.sampleRate <= 0 || audio.samples.empty())
        return {targetRate, audio.sampleRate == targetRate ? audio.samples : std::vector<float>()};
    const double step = double(audio.sampleRate) / targetRate; // input samples per output
    const double cutoff = std::min(1.0, 1.0 / step);           // of the input's Nyquist
    const double reach = halfTaps / cutoff;                    // input samples either side
    // The filter sampled finely once (sine and cosine per tap would cost more than the rest).
    constexpr int perSample = 256;
    const auto tableSize = static_cast<size_t>(std::ceil(reach * perSample)) + 2;
    std::vector<float> kernel(tableSize);
    for (size_t j = 0; j < tableSize; ++j) {
        const double d = double(j) / perSample;
        kernel[j] = float(cutoff * sinc(d * cutoff) * window(d / reach));
    }
    auto filter = [&](double d) {
        const double at = std::abs(d) * perSample;
        const auto j = static_cast<size_t>(at);
        if (j + 1 >= tableSize)
            return 0.0f;
        const float f = float(at - double(j));
        return kernel[j] + (kernel[j + 1] - kernel[j]) * f;
    };
    const auto inCount = static_cast<qsizetype>(audio.samples.size());
    const auto outCount = static_cast<qsizetype>(std::floor(double(inCount) / step));
    SpeechAudio out;
    out.samples.resize(size_t(outCount));
    for (qsizetype i = 0; i < outCount; ++i) {
        const double centre = double(i) * step;
        const auto first = std::max<qsizetype>(0, qsizetype(std::ceil(centre - reach)));
        const auto last = std::min<qsizetype>(inCount - 1, qsizetype(std::floor(centre + reach)));
        float sum = 0;
        for (qsizetype k = first; k <= last; ++k)
            sum += audio.samples[size_t(k)] * filter(double(k) - centre);
        out.samples[size_t(i)] = sum;
    }
    return out;
}

std::vector<short> pcm16(const SpeechAudio &audio16k) {
    std::vector<short> pcm(audio16k.samples.size());
    std::transform(audio16k.samples.begin(), audio16k.samples.end(), pcm.begin(), [](float s) {
        return short(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f));
    });
    return pcm;
}
