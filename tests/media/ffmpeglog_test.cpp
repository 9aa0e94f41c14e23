// FFmpeg's own lines never reach the terminal, from the caller's thread or from the segment
// decoder's workers; a failure carries FFmpeg's reason in its own message.

#include "media/audioimport.h"
#include "media/segmentdecoder.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

QString fixture(const char *name) {
    return QStringLiteral(ORVESSA_TEST_DATA_DIR "/audio/") + QString::fromLatin1(name);
}

// What the process writes to its standard error while work runs.
QByteArray stderrOf(const std::function<void()> &work) {
    std::fflush(stderr);
    FILE *sink = std::tmpfile();
    if (!sink)
        return "<no temporary file>";
    const int saved = dup(STDERR_FILENO);
    dup2(fileno(sink), STDERR_FILENO);
    work();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    QByteArray written;
    std::rewind(sink);
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, sink)) > 0;)
        written.append(buffer, qsizetype(n));
    std::fclose(sink);
    return written;
}

TEST(FfmpegLog, FfmpegSpeaksOnlyThroughOurMessages) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const char *name, const QByteArray &bytes) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    // A wave header without its data chunk: FFmpeg refuses it and logs why.
    const QString noData = write("nodata.wav", QByteArray::fromHex("52494646240000005741564566"
                                                                   "6d74201000000001000100803e"
                                                                   "0000") +
                                                   QByteArray(30, '\0'));
    // MP3 frame headers over noise: most frames are refused, each with a line of FFmpeg's.
    QByteArray frames;
    quint32 x = 12345;
    for (int i = 0; i < 200; ++i) {
        frames += QByteArray::fromHex("FFFB9064");
        for (int j = 0; j < 413; ++j) {
            x = x * 1664525u + 1013904223u;
            frames += char(x >> 24);
        }
    }
    const QString noise = write("frames.mp3", frames);

    const struct {
        const char *name;
        std::function<QString()> run; // the error (or the damage) the operation tells of
        const char *said;             // in it: FFmpeg's reason, in its own words
    } cases[] = {
        {"probe", [&] { return probeAudioFile(noData).error; }, "(FFmpeg: wav: no 'data' tag"},
        {"convert", [&] { return convertToMp3(noData, dir.filePath(QStringLiteral("a.mp3"))); },
         "(FFmpeg: wav: no 'data' tag"},
        {"convertNoise",
         [&] {
             QString damage;
             const QString error =
                 convertToMp3(noise, dir.filePath(QStringLiteral("b.mp3")), &damage);
             return error.isEmpty() ? damage : error;
         },
         "FFmpeg said so"},
        {"decodeNow",
         [&] {
             QString error;
             SegmentDecoder::decodeNow(noData, 0, 1, &error);
             return error;
         },
         "(FFmpeg: wav: no 'data' tag"},
        // On the decoder's worker thread.
        {"decodeOnAWorker",
         [&] {
             SegmentDecoder decoder;
             int decoded = 0;
             QObject::connect(&decoder, &SegmentDecoder::decoded, [&] { ++decoded; });
             decoder.decode(noise, 0.5, 5);
             decoder.decode(fixture("tone.mp3"), 0, 1);
             const QDeadlineTimer deadline(10000);
             while (decoded < 2 && !deadline.hasExpired())
                 QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
             EXPECT_EQ(decoded, 2);
             return QString();
         },
         ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const QByteArray written = stderrOf([&] { error = c.run(); });
        EXPECT_EQ(written.toStdString(), std::string());
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.said))) << error.toStdString();
    }
}

} // namespace
