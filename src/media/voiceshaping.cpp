#include "voiceshaping.h"

#include "files/filebytes.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include <ebur128.h>

namespace {

constexpr quint16 formatPcm = 1;
constexpr quint16 formatExtensible = 0xFFFE;
constexpr quint32 maxRate = 768000;
// Below this no recorder records speech, and libebur128 writes out of bounds at 16 or 17 Hz
// (it refuses 15 Hz and below itself).
constexpr int minRate = 8000;

quint16 u16(const char *p) {
    return qFromLittleEndian<quint16>(p);
}
quint32 u32(const char *p) {
    return qFromLittleEndian<quint32>(p);
}

// Samples per frame and rate of a "fmt " chunk the reader takes, or {0, 0}.
std::pair<int, int> pcm16Format(const char *chunk, qint64 size) {
    if (size < 16)
        return {0, 0};
    quint16 tag = u16(chunk);
    const int channels = u16(chunk + 2);
    const quint32 rate = u32(chunk + 4);
    const int bits = u16(chunk + 14);
    if (tag == formatExtensible && size >= 40)
        tag = u16(chunk + 24); // the first two bytes of the sub-format GUID
    if (tag != formatPcm || bits != 16 || channels < 1 || channels > 2 || rate < quint32(minRate) ||
        rate > maxRate)
        return {0, 0};
    return {channels, int(rate)};
}

// Integrated loudness in LUFS, or NaN when it cannot be measured.
double integratedLoudness(const AudioClip &clip) {
    if (clip.isEmpty() || clip.sampleRate < minRate || clip.sampleRate > int(maxRate))
        return NAN;
    const std::unique_ptr<ebur128_state, void (*)(ebur128_state *)> state(
        ebur128_init(1, unsigned(clip.sampleRate), EBUR128_MODE_I),
        [](ebur128_state *s) { ebur128_destroy(&s); });
    if (!state)
        return NAN;
    // In pieces: the library takes at most a few seconds' worth in one call.
    const size_t piece = size_t(clip.sampleRate);
    for (size_t at = 0; at < clip.samples.size(); at += piece) {
        const size_t count = std::min(piece, clip.samples.size() - at);
        if (ebur128_add_frames_float(state.get(), clip.samples.data() + at, count) !=
            EBUR128_SUCCESS)
            return NAN;
    }
    double lufs = 0;
    if (ebur128_loudness_global(state.get(), &lufs) != EBUR128_SUCCESS || !std::isfinite(lufs))
        return NAN; // -inf: nothing above the absolute gate, or no full block
    return lufs;
}

double gainFor(const AudioClip &model, const AudioClip &recording) {
    const double modelLufs = integratedLoudness(model);
    const double recordingLufs = integratedLoudness(recording);
    const float peak = recording.peak();
    if (std::isnan(modelLufs) || std::isnan(recordingLufs) || peak <= 0)
        return 1.0;
    const double ceilingDb = peakCeilingDb - 20 * std::log10(double(peak));
    const double db = std::min({modelLufs - recordingLufs, maxBoostDb, ceilingDb});
    return std::pow(10.0, db / 20);
}

// Where the first sound begins, by the level of 10 ms frames.
//
// The loudest frames (the 98th percentile, so that a single click does not set it) give the
// recording's level, the quietest (10th percentile) its noise. A frame clearly sounds when
// it is within 25 dB of the level, 10 dB above the noise and above an absolute floor; the
// first sound is the first run of three such frames (30 ms: a click is shorter), followed
// back through the softer frames just before it (up to 150 ms, still 6 dB above the noise)
// where a voiceless consonant often begins.
constexpr int frameMs = 10;
constexpr double floorDb = -55;
constexpr double belowLevelDb = 25;
constexpr double aboveNoiseDb = 10;
constexpr double softAboveNoiseDb = 6;
constexpr int runFrames = 3;
constexpr int maxWalkBackFrames = 15;

int firstSoundMs(const AudioClip &clip) {
    if (clip.isEmpty())
        return -1;
    const size_t frame = size_t(std::max(1, clip.sampleRate * frameMs / 1000));
    std::vector<double> levels;
    levels.reserve(clip.samples.size() / frame + 1);
    for (size_t at = 0; at + frame <= clip.samples.size(); at += frame) {
        double energy = 0;
        for (size_t i = at; i < at + frame; ++i)
            energy += double(clip.samples[i]) * clip.samples[i];
        levels.push_back(10 * std::log10(std::max(energy / double(frame), 1e-12)));
    }
    if (levels.size() < size_t(runFrames))
        return -1;
    std::vector<double> sorted = levels;
    std::sort(sorted.begin(), sorted.end());
    const auto percentile = [&](double p) {
        return sorted[std::min(sorted.size() - 1, size_t(p * double(sorted.size())))];
    };
    const double level = percentile(0.98);
    const double noise = percentile(0.10);
    const double clear = std::max({floorDb, level - belowLevelDb, noise + aboveNoiseDb});
    if (level < clear)
        return -1;
    const double soft = std::max(floorDb, noise + softAboveNoiseDb);

    for (size_t i = 0; i + runFrames <= levels.size(); ++i) {
        if (!std::all_of(levels.begin() + ptrdiff_t(i), levels.begin() + ptrdiff_t(i + runFrames),
                         [&](double l) { return l >= clear; }))
            continue;
        size_t onset = i;
        while (onset > 0 && i - onset < size_t(maxWalkBackFrames) && levels[onset - 1] >= soft)
            --onset;
        return int(onset * frame * 1000 / size_t(clip.sampleRate));
    }
    return -1;
}

} // namespace

AudioClip waveClipFromBytes(QByteArrayView bytes) {
    const char *data = bytes.data();
    const qint64 size = bytes.size();
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return {};
    // The RIFF size is not read: a recording cut off has 0 there.
    std::pair<int, int> format{0, 0};
    qint64 at = 12;
    while (at + 8 <= size) {
        const qint64 chunkSize = u32(data + at + 4);
        const qint64 bodyAt = at + 8;
        const qint64 available = size - bodyAt;
        if (std::memcmp(data + at, "fmt ", 4) == 0) {
            format = pcm16Format(data + bodyAt, std::min(chunkSize, available));
        } else if (std::memcmp(data + at, "data", 4) == 0) {
            const auto [channels, rate] = format;
            if (channels == 0)
                return {};
            const qint64 body = chunkSize == 0 || chunkSize > available ? available : chunkSize;
            const qint64 frameBytes = 2 * channels;
            const qint64 frames = std::min(body / frameBytes, qint64(rate) * maxRecordingSeconds);
            AudioClip clip;
            clip.sampleRate = rate;
            clip.samples.resize(size_t(frames));
            const char *p = data + bodyAt;
            for (float &sample : clip.samples) {
                int sum = 0;
                for (int c = 0; c < channels; ++c, p += 2)
                    sum += qint16(u16(p));
                sample = float(sum) / float(32768 * channels);
            }
            return clip.samples.empty() ? AudioClip{} : clip;
        }
        at = bodyAt + chunkSize + (chunkSize & 1); // chunks are padded to an even size
    }
    return {};
}

AudioClip readWaveClip(const QString &path) {
    // Room for the longest recording in stereo at 48 kHz, plus a generous header.
    constexpr qint64 most = qint64(maxRecordingSeconds) * 48000 * 2 * 2 + 65536;
    return waveClipFromBytes(readFileStart(path, most).bytes);
}

PlaybackShape shapeRecording(const AudioClip &model, const AudioClip &recording) {
    PlaybackShape shape;
    shape.gain = gainFor(model, recording);
    const int onset = firstSoundMs(recording);
    shape.skipMs = onset < 0 ? 0 : std::max(0, onset - skipPreRollMs);
    return shape;
}
