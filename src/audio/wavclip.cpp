#include "wavclip.h"

#include <QAudioFormat>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr quint16 formatPcm = 1;
constexpr quint16 formatFloat = 3;
constexpr quint16 formatExtensible = 0xFFFE;
constexpr int maxChannels = 16;
constexpr int maxRate = 768000;

quint16 u16(const char *p) {
    return qFromLittleEndian<quint16>(p);
}
quint32 u32(const char *p) {
    return qFromLittleEndian<quint32>(p);
}

struct Format {
    bool isFloat = false;
    int bits = 0;
    int channels = 0;
    int rate = 0;
    int frameBytes() const { return bits / 8 * channels; }
};

std::variant<Format, WavError> readFormat(const char *chunk, qint64 size) {
    if (size < 16)
        return WavError::NoFormat;
    quint16 tag = u16(chunk);
    Format format;
    format.channels = u16(chunk + 2);
    const quint32 rate = u32(chunk + 4);
    format.bits = u16(chunk + 14);
    if (tag == formatExtensible) {
        // The real format tag is the first two bytes of the sub-format GUID.
        if (size < 40)
            return WavError::UnsupportedFormat;
        const int validBits = u16(chunk + 18);
        tag = u16(chunk + 24);
        if (validBits > format.bits)
            return WavError::UnsupportedFormat;
    }
    if (format.channels < 1 || format.channels > maxChannels || rate < 1 || rate > maxRate)
        return WavError::UnsupportedFormat;
    format.rate = int(rate);
    if (tag == formatPcm &&
        (format.bits == 8 || format.bits == 16 || format.bits == 24 || format.bits == 32))
        return format;
    if (tag == formatFloat && (format.bits == 32 || format.bits == 64)) {
        format.isFloat = true;
        return format;
    }
    return WavError::UnsupportedFormat;
}

float sampleAt(const char *p, const Format &format) {
    if (format.isFloat) {
        double value;
        if (format.bits == 32) {
            const quint32 raw = u32(p);
            float f;
            std::memcpy(&f, &raw, sizeof f);
            value = f;
        } else {
            const quint64 raw = qFromLittleEndian<quint64>(p);
            std::memcpy(&value, &raw, sizeof value);
        }
        // NaN and infinities from a broken file play as silence, not as a blast.
        return std::isfinite(value) ? float(std::clamp(value, -1.0, 1.0)) : 0.0f;
    }
    switch (format.bits) {
    case 8:
        return (int(quint8(*p)) - 128) / 128.0f;
    case 16:
        return qint16(u16(p)) / 32768.0f;
    case 24: {
        const qint32 value = qint32((quint32(quint8(p[0])) << 8) | (quint32(quint8(p[1])) << 16) |
                                    (quint32(quint8(p[2])) << 24)) >>
                             8;
        return float(value / 8388608.0);
    }
    default:
        return float(qint32(u32(p)) / 2147483648.0);
    }
}

} // namespace

std::variant<PcmClip, WavError> decodeWav(QByteArrayView bytes) {
    const char *data = bytes.data();
    const qint64 size = bytes.size();
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return WavError::NotWave;

    std::variant<Format, WavError> format = WavError::NoFormat;
    qint64 at = 12;
    while (at + 8 <= size) {
        const char *id = data + at;
        const qint64 chunkSize = u32(data + at + 4);
        const qint64 bodyAt = at + 8;
        const qint64 available = std::min(chunkSize, size - bodyAt);
        if (std::memcmp(id, "fmt ", 4) == 0) {
            format = readFormat(data + bodyAt, available);
        } else if (std::memcmp(id, "data", 4) == 0) {
            if (!std::holds_alternative<Format>(format))
                return std::get<WavError>(format);
            const Format f = std::get<Format>(format);
            const qint64 frameBytes = f.frameBytes();
            const qint64 frames = std::min(available / frameBytes, (qint64)f.rate * maxClipSeconds);
            if (frames < 1)
                return WavError::NoSamples;
            PcmClip clip;
            clip.sampleRate = f.rate;
            clip.channels = f.channels;
            clip.samples.resize(size_t(frames * f.channels));
            const int sampleBytes = f.bits / 8;
            const char *p = data + bodyAt;
            for (float &sample : clip.samples) {
                sample = sampleAt(p, f);
                p += sampleBytes;
            }
            return clip;
        }
        // Chunks are padded to an even size.
        at = bodyAt + chunkSize + (chunkSize & 1);
    }
    return std::holds_alternative<WavError>(format) ? std::get<WavError>(format)
                                                    : WavError::NoSamples;
}

QByteArray renderClip(const PcmClip &clip, const QAudioFormat &format) {
    const int outChannels = format.channelCount();
    const int outRate = format.sampleRate();
    const int bytesPerSample = format.bytesPerSample();
    const QAudioFormat::SampleFormat sampleFormat = format.sampleFormat();
    if (outChannels < 1 || outRate < 1 || clip.channels < 1 || clip.sampleRate < 1 ||
        sampleFormat == QAudioFormat::Unknown || bytesPerSample < 1)
        return {};
    const long long inFrames = clip.frames();
    if (inFrames < 1)
        return {};
    const long long outFrames =
        (long long)std::ceil(double(inFrames) * outRate / double(clip.sampleRate));

    // What target channel `channel` plays of a source frame: the average of all for mono
    // out, the one source channel of a mono clip, else the same channel (silence past the
    // clip's last channel).
    const auto inputSample = [&](long long frame, int channel) -> float {
        const float *row = clip.samples.data() + frame * clip.channels;
        if (outChannels == 1 && clip.channels > 1) {
            float sum = 0;
            for (int c = 0; c < clip.channels; ++c)
                sum += row[c];
            return sum / float(clip.channels);
        }
        if (clip.channels == 1)
            return row[0];
        return channel < clip.channels ? row[channel] : 0.0f;
    };

    QByteArray out(qsizetype(outFrames * outChannels * bytesPerSample), Qt::Uninitialized);
    char *p = out.data();
    const double step = double(clip.sampleRate) / outRate;
    for (long long j = 0; j < outFrames; ++j) {
        const double pos = j * step;
        const long long i0 = std::min((long long)pos, inFrames - 1);
        const long long i1 = std::min(i0 + 1, inFrames - 1);
        const float frac = float(pos - double(i0));
        for (int c = 0; c < outChannels; ++c) {
            const float a = inputSample(i0, c);
            const float v = std::clamp(a + (inputSample(i1, c) - a) * frac, -1.0f, 1.0f);
            switch (sampleFormat) {
            case QAudioFormat::UInt8:
                *reinterpret_cast<quint8 *>(p) = quint8(std::lround(v * 127.0f) + 128);
                break;
            case QAudioFormat::Int16: {
                const qint16 s16 = qint16(std::lround(v * 32767.0f));
                std::memcpy(p, &s16, sizeof s16); // sinks take native byte order
                break;
            }
            case QAudioFormat::Int32: {
                const qint32 s32 = qint32(std::llround(double(v) * 2147483647.0));
                std::memcpy(p, &s32, sizeof s32);
                break;
            }
            case QAudioFormat::Float:
                std::memcpy(p, &v, sizeof v);
                break;
            default:
                return {};
            }
            p += bytesPerSample;
        }
    }
    return out;
}
