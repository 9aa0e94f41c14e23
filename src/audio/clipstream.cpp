#include "clipstream.h"

#include <algorithm>
#include <cstring>

ClipStream::ClipStream(QObject *parent) : QIODevice(parent) {
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

void ClipStream::start(QByteArray pcm) {
    m_clip = std::move(pcm);
    m_offset = 0;
}

void ClipStream::stop() {
    m_clip.clear();
    m_offset = 0;
}

qint64 ClipStream::readData(char *data, qint64 maxSize) {
    if (maxSize <= 0)
        return 0;
    const qint64 fromClip = std::min<qint64>(maxSize, m_clip.size() - m_offset);
    if (fromClip > 0) {
        std::memcpy(data, m_clip.constData() + m_offset, size_t(fromClip));
        m_offset += fromClip;
    }
    std::memset(data + std::max<qint64>(fromClip, 0), m_silence,
                size_t(maxSize - std::max<qint64>(fromClip, 0)));
    return maxSize;
}
