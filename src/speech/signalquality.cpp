#include "signalquality.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int frameMs = 25;
constexpr double floorPercentile = 0.10;
constexpr double speechPercentile = 0.90;
constexpr double aboveFloorDb = 10;
constexpr int speechMsNeeded = 300;
constexpr double silentDbfs = -55;
constexpr double quietestDbfs = -120; // a frame of digital silence

double percentile(std::vector<double> sorted, double p) {
    std::sort(sorted.begin(), sorted.end());
    return sorted[size_t(std::lround(p * double(sorted.size() - 1)))];
}

} // namespace

SignalQuality measureSignal(const SpeechAudio &audio) {
    const auto frame = size_t(std::max(1, audio.sampleRate * frameMs / 1000));
    const size_t count = audio.samples.size() / frame;
    if (audio.sampleRate <= 0 || count == 0)
        return {};
    std::vector<double> levels(count);
    for (size_t i = 0; i < count; ++i) {
        double sum = 0;
        for (size_t k = i * frame; k < (i + 1) * frame; ++k)
            sum += double(audio.samples[k]) * audio.samples[k];
        levels[i] = std::max(quietestDbfs, 10 * std::log10(sum / double(frame) + 1e-30));
    }
    const double noise = percentile(levels, floorPercentile);
    const double speech = percentile(levels, speechPercentile);
    const auto loudFrames = std::count_if(levels.begin(), levels.end(), [&](double level) {
        return level >= noise + aboveFloorDb && level > silentDbfs;
    });
    SignalQuality quality;
    quality.snrDb = speech - noise;
    quality.hasSpeech = speech > silentDbfs && loudFrames * frameMs >= speechMsNeeded;
    return quality;
}
