#pragma once

// A short wave file: RIFF chunks, "fmt " then "data", little-endian throughout:
//   "RIFF" <size> "WAVE" "fmt " 10000000 0100 0100 44AC0000 88580100 0200 1000 "data" <n> <samples>
// (PCM, one channel, 44100 Hz, 16 bits). Read whole, decoded once into float samples.

#include <QByteArray>
#include <QByteArrayView>
#include <variant>
#include <vector>

class QAudioFormat;

// Decoded samples, interleaved by channel, each in -1..1.
struct PcmClip {
    int sampleRate = 0;
    int channels = 0;
    std::vector<float> samples;

    long long frames() const { return channels > 0 ? (long long)samples.size() / channels : 0; }
};

enum class WavError {
    NotWave,           // no "RIFF....WAVE" header
    NoFormat,          // no usable "fmt " chunk before the samples
    UnsupportedFormat, // not integer PCM of 8/16/24/32 bits or float of 32/64 bits
    NoSamples,         // no "data" chunk, or not one whole frame in it
};

// Takes integer PCM (8-bit unsigned, 16/24/32-bit signed) and IEEE float (32/64 bits), also
// inside WAVE_FORMAT_EXTENSIBLE; 1 to 16 channels at 1 Hz to 768 kHz. Chunks may come in
// any order after the header and are padded to even sizes. A data chunk that claims more
// than the file holds is cut to the whole frames present. Only the first maxSeconds of
// audio are kept: these are click sounds, and a hostile file must not take the memory.
std::variant<PcmClip, WavError> decodeWav(QByteArrayView bytes);
constexpr int maxClipSeconds = 10;

// The clip as raw samples of the given format (rate, channels, sample format), ready for an
// audio sink: resampled linearly, mono spread over every channel and more channels folded
// by averaging (or dropped beyond the second of a stereo pair). Empty for a format this
// cannot write (unknown sample format, no channels, no rate).
QByteArray renderClip(const PcmClip &clip, const QAudioFormat &format);
