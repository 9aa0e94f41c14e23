#include "wavheader.h"

#include <QIODevice>
#include <QtEndian>
#include <algorithm>

namespace {

void put32(char *at, quint32 value) {
    qToLittleEndian(value, at);
}

void put16(char *at, quint16 value) {
    qToLittleEndian(value, at);
}

} // namespace

QByteArray wavHeader(const PcmLayout &layout, qint64 dataBytes) {
    if (!layout.isValid())
        return {};
    const qint64 block = layout.blockAlign();
    // The RIFF size counts the 36 header bytes after it as well as the samples.
    const qint64 most = (qint64(0xFFFFFFFF) - (wavHeaderBytes - 8)) / block * block;
    const qint64 data = std::clamp<qint64>(dataBytes, 0, most) / block * block;

    QByteArray header(wavHeaderBytes, '\0');
    char *h = header.data();
    std::copy_n("RIFF", 4, h);
    put32(h + 4, quint32(data + wavHeaderBytes - 8));
    std::copy_n("WAVE", 4, h + 8);
    std::copy_n("fmt ", 4, h + 12);
    put32(h + 16, 16);
    put16(h + 20, 1); // integer PCM
    put16(h + 22, quint16(layout.channels));
    put32(h + 24, quint32(layout.sampleRate));
    put32(h + 28, quint32(layout.sampleRate * block));
    put16(h + 32, quint16(block));
    put16(h + 34, quint16(layout.bitsPerSample));
    std::copy_n("data", 4, h + 36);
    put32(h + 40, quint32(data));
    return header;
}

bool patchWavHeader(QIODevice &file, const PcmLayout &layout, qint64 dataBytes) {
    const QByteArray header = wavHeader(layout, dataBytes);
    if (header.isEmpty() || !file.seek(0))
        return false;
    const bool written = file.write(header) == header.size();
    return file.seek(file.size()) && written;
}
