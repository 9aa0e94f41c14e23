// Decoding a 10 s sentence from the middle of a 10-minute lesson MP3 (what the follow-read
// page does before it draws the model's waveform) against decoding the first 10 s of the
// same file, which needs no seek. The ratio is the cost of reaching the middle; the absolute
// time is checked against the goal that a sentence's waveform shows within 200 ms.
//
// The lessons are made here with ffmpeg in the lessons' own format (22.05 kHz mono): one at a
// constant 48 kbit/s like the demo content, one at a variable rate, whose seeks work
// differently. Making them takes about 20 s.
//
//   segmentdecode_bench [benchmark flags]

#include "media/segmentdecoder.h"
#include "media/waveformpeaks.h"
#include "ratioreporter.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>

namespace {

constexpr double lessonSeconds = 600;
constexpr double sentenceSeconds = 10;
constexpr double middle = 300;
constexpr int waveformColumns = 800;

struct Lesson {
    const char *name;
    QStringList codec;
    QString path;
};

Lesson lessons[] = {
    {"cbr", {QStringLiteral("-b:a"), QStringLiteral("48k")}, {}},
    {"vbr", {QStringLiteral("-q:a"), QStringLiteral("6")}, {}},
};

// Speech-like enough for the encoder: a gliding tone that swells three times a second.
bool makeLessons(const QTemporaryDir &dir) {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        return false;
    for (Lesson &lesson : lessons) {
        lesson.path = dir.filePath(QString::fromLatin1(lesson.name) + QStringLiteral(".mp3"));
        QStringList args{QStringLiteral("-loglevel"),
                         QStringLiteral("error"),
                         QStringLiteral("-y"),
                         QStringLiteral("-f"),
                         QStringLiteral("lavfi"),
                         QStringLiteral("-i"),
                         QStringLiteral("aevalsrc=0.3*sin(2*PI*(200+100*sin(2*PI*0.5*t))*t)*"
                                        "(0.6+0.4*sin(2*PI*3*t)):s=22050:d=%1")
                             .arg(lessonSeconds),
                         QStringLiteral("-c:a"),
                         QStringLiteral("libmp3lame")};
        args << lesson.codec << lesson.path;
        if (QProcess::execute(ffmpeg, args) != 0)
            return false;
    }
    return true;
}

void decodeStretch(benchmark::State &bench, const Lesson *lesson, double start) {
    for (auto _ : bench) {
        QString error;
        const AudioClip clip =
            SegmentDecoder::decodeNow(lesson->path, start, start + sentenceSeconds, &error);
        if (clip.samples.size() != size_t(sentenceSeconds * SegmentDecoder::sampleRate)) {
            bench.SkipWithError(qPrintable(
                QStringLiteral("decoded %1 samples: %2").arg(clip.samples.size()).arg(error)));
            return;
        }
        benchmark::DoNotOptimize(clip.samples.data());
    }
}

// The drawing's share: the peaks of a decoded sentence for a wide waveform.
void peaks(benchmark::State &bench) {
    const AudioClip clip =
        SegmentDecoder::decodeNow(lessons[0].path, middle, middle + sentenceSeconds);
    for (auto _ : bench)
        benchmark::DoNotOptimize(waveformPeaks(clip, 0, sentenceSeconds, waveformColumns));
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid() || !makeLessons(dir)) {
        std::fprintf(stderr, "cannot make the lessons: ffmpeg with libmp3lame is needed\n");
        return 1;
    }
    for (const Lesson &lesson : lessons) {
        const std::string name = lesson.name;
        benchmark::RegisterBenchmark(("first10s/" + name).c_str(), decodeStretch, &lesson, 0.0)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("middle10s/" + name).c_str(), decodeStretch, &lesson, middle)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("peaks/10s", peaks)->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    for (const Lesson &lesson : lessons) {
        const std::string name = lesson.name;
        const auto first = reporter.seconds.find("first10s/" + name);
        const auto inside = reporter.seconds.find("middle10s/" + name);
        if (first == reporter.seconds.end() || inside == reporter.seconds.end() ||
            first->second <= 0)
            continue;
        std::printf("middle/first ratio %s: %.2fx (middle 10 s %.1f ms, first 10 s %.1f ms; "
                    "goal: a waveform within 200 ms)\n",
                    name.c_str(), inside->second / first->second, inside->second * 1e3,
                    first->second * 1e3);
    }
    benchmark::Shutdown();
    return 0;
}
