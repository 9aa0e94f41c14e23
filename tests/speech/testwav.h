#pragma once

// The speech fixtures (tools/speech/make_fixtures.sh) as SpeechAudio, for the tests and the
// benchmark: 16-bit PCM mono WAV only.

#include "speech/speechtypes.h"

#include <QFile>
#include <QtEndian>

// Empty audio when the file is missing or of another kind.
inline SpeechAudio readTestWav(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return {};
    SpeechAudio audio;
    bool pcm16mono = false;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        const auto size = qsizetype(qFromLittleEndian<quint32>(bytes.constData() + at + 4));
        const char *body = bytes.constData() + at + 8;
        if (size > bytes.size() - at - 8)
            return {};
        if (id == "fmt " && size >= 16) {
            pcm16mono = qFromLittleEndian<quint16>(body) == 1 &&
                        qFromLittleEndian<quint16>(body + 2) == 1 &&
                        qFromLittleEndian<quint16>(body + 14) == 16;
            audio.sampleRate = int(qFromLittleEndian<quint32>(body + 4));
        } else if (id == "data" && pcm16mono) {
            audio.samples.reserve(size_t(size / 2));
            for (qsizetype i = 0; i + 1 < size; i += 2)
                audio.samples.push_back(float(qFromLittleEndian<qint16>(body + i)) / 32768.0f);
            return audio;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}
