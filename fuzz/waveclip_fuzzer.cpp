#include "media/voiceshaping.h"
#include "media/waveformpeaks.h"

#include "fuzzcheck.h"

#include <cmath>
#include <cstdint>

// The learner's recording as the follow-read page reads it: the wave file, then its
// playback shape against itself as the model, then a waveform of it.
//
// Every input is read from a copy of its own, twice: the loudness meter is a library built
// without the sanitizer, so a write of it out of bounds goes unseen and would let a later
// input run on a damaged heap. The same bytes must give the same clip and shape every time;
// a difference means some state outlived the input that made it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray copy(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QByteArrayView bytes(copy);
    const AudioClip clip = waveClipFromBytes(bytes);
    const AudioClip again = waveClipFromBytes(QByteArray(copy));
    FUZZ_CHECK(again.sampleRate == clip.sampleRate && again.samples == clip.samples);
    FUZZ_CHECK(clip.isEmpty() == clip.samples.empty());
    FUZZ_CHECK(clip.samples.size() <= size / 2);
    for (float s : clip.samples)
        FUZZ_CHECK(s >= -1.0f && s <= 1.0f);

    const PlaybackShape shape = shapeRecording(clip, clip);
    const PlaybackShape shapeAgain = shapeRecording(again, again);
    FUZZ_CHECK(shapeAgain.gain == shape.gain && shapeAgain.skipMs == shape.skipMs);
    FUZZ_CHECK(std::isfinite(shape.gain) && shape.gain > 0);
    FUZZ_CHECK(shape.gain <= std::pow(10.0, maxBoostDb / 20) * 1.0001);
    FUZZ_CHECK(shape.skipMs >= 0 && shape.skipMs <= clip.seconds() * 1000 + 1);

    // Columns and range from the input's first bytes, so that odd ranges are tried too.
    const int columns = size > 0 ? data[0] % 64 : 1;
    const double to = size > 1 ? (data[1] - 64) / 16.0 : 1.0;
    const std::vector<PeakColumn> peaks = waveformPeaks(clip, -0.5, to, columns);
    FUZZ_CHECK(peaks.empty() || peaks.size() == size_t(columns));
    for (const PeakColumn &p : peaks)
        FUZZ_CHECK(p.low <= p.high && p.low >= -1.0f && p.high <= 1.0f);
    return 0;
}
