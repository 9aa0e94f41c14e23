#pragma once

// Long recordings whose sentence times are known exactly, for the text aligner's tests and
// its benchmark: sentences spoken by flite's 16 kHz voices, each cut to its sound, joined
// with known pauses over a faint noise floor (never digital silence).

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QtEndian>

#include <cstdint>
#include <vector>

struct SpokenSentence {
    QString text;
    double soundStart = 0, soundEnd = 0; // seconds: the first and last sample above the floor
};

struct SpokenTrack {
    std::vector<qint16> samples; // 16 kHz mono
    std::vector<SpokenSentence> sentences;
    void pause(double seconds); // a pause of faint noise
    void append(const std::vector<qint16> &sound, const QString &text);
    double seconds() const { return double(samples.size()) / 16000; }
};

inline bool haveFlite() {
    return !QStandardPaths::findExecutable(QStringLiteral("flite")).isEmpty();
}

// 16-bit mono samples of a WAV file (flite's output, the test data); empty when unreadable.
inline std::vector<qint16> readPcmWav(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 44 || !bytes.startsWith("RIFF"))
        return {};
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const auto size = qsizetype(qFromLittleEndian<quint32>(bytes.constData() + at + 4));
        if (bytes.mid(at, 4) == "data") {
            std::vector<qint16> out;
            const qsizetype n = std::min(size, bytes.size() - at - 8) / 2;
            for (qsizetype i = 0; i < n; ++i)
                out.push_back(qFromLittleEndian<qint16>(bytes.constData() + at + 8 + 2 * i));
            return out;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

// The sentence in a flite voice (rms, slt, awb, kal16: all 16 kHz), cut to its sound.
inline std::vector<qint16> speak(const QString &text, const QString &voice, const QString &dir) {
    const QString wav = QDir(dir).filePath(QStringLiteral("spoken.wav"));
    QProcess flite;
    flite.start(QStringLiteral("flite"), {QStringLiteral("-voice"), voice, QStringLiteral("-t"),
                                          text, QStringLiteral("-o"), wav});
    if (!flite.waitForFinished(60000) || flite.exitCode() != 0)
        return {};
    std::vector<qint16> pcm = readPcmWav(wav);
    constexpr int floor = 100; // about -50 dBFS
    size_t first = 0, last = pcm.size();
    while (first < last && std::abs(pcm[first]) < floor)
        ++first;
    while (last > first && std::abs(pcm[last - 1]) < floor)
        --last;
    return std::vector<qint16>(pcm.begin() + qsizetype(first), pcm.begin() + qsizetype(last));
}

inline void SpokenTrack::pause(double seconds) {
    static std::uint32_t state = 12345;
    for (int i = 0; i < int(seconds * 16000); ++i) {
        state = state * 1664525u + 1013904223u;
        samples.push_back(qint16(int(state >> 24) % 9 - 4)); // about -80 dBFS
    }
}

inline void SpokenTrack::append(const std::vector<qint16> &sound, const QString &text) {
    SpokenSentence s;
    s.text = text;
    s.soundStart = seconds();
    samples.insert(samples.end(), sound.begin(), sound.end());
    s.soundEnd = seconds();
    sentences.push_back(s);
}
