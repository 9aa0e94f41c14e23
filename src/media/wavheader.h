#pragma once

// The 44-byte header of a plain PCM wave file, as the recorder writes it: written first with
// zero sizes, because the length is unknown while recording, and written again over itself
// with the real sizes when the recording ends. Little-endian throughout:
//   "RIFF" <36 + data> "WAVE" "fmt " 16 <1> <channels> <rate> <bytes/s> <block> <bits>
//   "data" <data bytes> <samples...>

#include <QByteArray>

class QIODevice;

struct PcmLayout {
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;

    int blockAlign() const { return channels * (bitsPerSample / 8); }
    bool isValid() const {
        return sampleRate > 0 && channels > 0 && bitsPerSample > 0 && bitsPerSample % 8 == 0;
    }
};

constexpr int wavHeaderBytes = 44;

// The header for dataBytes bytes of samples. Sizes beyond what a RIFF size field holds are
// clamped to the largest whole number of frames that fits, so that players read a valid
// file up to the 4 GB limit instead of a wrapped length. Empty for an invalid layout.
QByteArray wavHeader(const PcmLayout &layout, qint64 dataBytes);

// Writes the header for dataBytes at the start of a file opened for writing and seeking,
// then returns to the end so that later writes append. False when the device refuses.
bool patchWavHeader(QIODevice &file, const PcmLayout &layout, qint64 dataBytes);
