#include "inputleveltap.h"

#include <QtEndian>

#include <algorithm>
#include <cstdlib>

InputPeak peakOf(QByteArrayView samples) {
    int loudest = 0;
    bool clipped = false;
    for (qsizetype at = 0; at + 1 < samples.size(); at += 2) {
        const int s = qFromLittleEndian<qint16>(samples.data() + at);
        // The two extremes: a clipping converter stops at either.
        clipped = clipped || s >= 32767 || s <= -32767;
        loudest = std::max(loudest, std::abs(s));
    }
    return {std::min(1.0, loudest / 32767.0), clipped};
}

InputPeak InputLevelTap::take() {
    const InputPeak since = m_since;
    m_since = {};
    m_heard = false;
    return since;
}

qint64 InputLevelTap::writeData(const char *data, qint64 length) {
    if (length <= 0)
        return length;
    // Devices hand over whole frames in practice; a split sample is joined, not misread.
    qint64 from = 0;
    if (m_oddByte) {
        const char joined[2] = {m_low, data[0]};
        const InputPeak p = peakOf(QByteArrayView(joined, 2));
        m_since.peak = std::max(m_since.peak, p.peak);
        m_since.clipped = m_since.clipped || p.clipped;
        from = 1;
    }
    const qint64 whole = (length - from) / 2 * 2;
    const InputPeak p = peakOf(QByteArrayView(data + from, whole));
    m_since.peak = std::max(m_since.peak, p.peak);
    m_since.clipped = m_since.clipped || p.clipped;
    m_oddByte = from + whole < length;
    if (m_oddByte)
        m_low = data[length - 1];
    m_heard = true;
    return m_target ? m_target->write(data, length) : length;
}
