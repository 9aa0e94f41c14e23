// The text aligner on generated long recordings whose sentence times are known exactly:
// flite sentences (four voices) looped with pauses of 0.3-1.5 s into recordings of 5, 10 and
// 20 minutes (and 60 with --hour). Each length runs in a child process of its own, so that its
// peak memory (VmHWM) is its own: the child decodes the recording from a FLAC file (the
// baseline: what any import of it costs anyway), then aligns the text on it. Reported per
// length: both times, their ratio, seconds per hour of audio, peak memory, and the start
// errors (|Start - (first sound - 50 ms)|); at the end, whether time and memory grow linearly.
//
// Goal: an hour aligned in at most 72 s on two cores, at most 300 MB peak.
//
// The recordings are cached in the build tree (bench/textalign-cache); making the hour takes
// about a minute the first time.
//
//   textalign_bench [--hour] [--minutes M ...]

#include "media/segmentdecoder.h"
#include "speech/spokentext.h"
#include "speech/textaligner.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const char *const pool[] = {
    "The weather was cold and the wind blew hard all night.",
    "In the morning the whole village was covered in snow.",
    "The children ran outside to build a snowman by the gate.",
    "Their mother called them back for a warm breakfast.",
    "After that they walked together to the little school.",
    "Their teacher was waiting for them at the door.",
    "She asked them to write a story about the winter.",
    "Tom wrote about a fox that lived under the old bridge.",
    "Anna wrote about her grandfather and his long journey.",
    "He had crossed the sea in 1952 with only two bags.",
    "The ship was small, and the voyage took 3.5 weeks.",
    "When he arrived, he could not speak a word of English.",
    "He worked in a bakery and learned the language at night.",
    "Years later he opened a shop of his own on Market Street.",
    "People came from far away to buy his bread.",
    "Anna still keeps the first loaf tin he ever bought.",
    "The teacher read both stories aloud to the class.",
    "Everyone laughed at the fox and clapped for the baker.",
    "At noon the sun came out and the snow began to melt.",
    "By the evening the streets were wet and shining.",
    "The children walked home slowly, talking about the day.",
    "Their father was cooking soup when they came in.",
    "It smelled of onions, carrots and fresh herbs.",
    "After dinner they sat by the fire and played cards.",
    "Nobody wanted to go to bed before ten o'clock.",
    "Outside, the wind had stopped and the sky was clear.",
    "Thousands of stars were shining above the quiet hills.",
    "Tomorrow, they said, would be another good day.",
};
const char *const voices[] = {"rms", "slt", "awb", "kal16"};
const double pauses[] = {0.3, 0.9, 0.5, 1.5, 0.7, 1.1, 0.4, 1.3};

QString cacheDir() {
    return QStringLiteral(ORVESSA_BENCH_CACHE);
}

// The recording of the given length (FLAC) and its sentences with their sound's times
// (text\tstart\tend lines), made once.
bool makeRecording(int minutes, QString *flac, QString *times) {
    QDir().mkpath(cacheDir());
    *flac = QStringLiteral("%1/recording-%2min.flac").arg(cacheDir()).arg(minutes);
    *times = QStringLiteral("%1/recording-%2min.times").arg(cacheDir()).arg(minutes);
    if (QFileInfo(*flac).isFile() && QFileInfo(*times).isFile())
        return true;
    std::vector<std::vector<qint16>> spoken;
    for (size_t i = 0; i < std::size(pool); ++i) {
        const QString cached = QStringLiteral("%1/sentence-%2.wav").arg(cacheDir()).arg(i);
        if (!QFileInfo(cached).isFile()) {
            spoken.push_back(speak(QString::fromUtf8(pool[i]),
                                   QString::fromLatin1(voices[i % std::size(voices)]), cacheDir()));
            QFile out(cached); // raw samples, cut to the sound
            if (!out.open(QIODevice::WriteOnly))
                return false;
            out.write(reinterpret_cast<const char *>(spoken.back().data()),
                      qint64(spoken.back().size() * 2));
        } else {
            QFile in(cached);
            if (!in.open(QIODevice::ReadOnly))
                return false;
            const QByteArray bytes = in.readAll();
            spoken.emplace_back(size_t(bytes.size() / 2));
            memcpy(spoken.back().data(), bytes.constData(), size_t(bytes.size() / 2 * 2));
        }
        if (spoken.back().empty())
            return false;
    }
    SpokenTrack track;
    track.pause(1.0);
    for (size_t i = 0; track.seconds() < minutes * 60.0; ++i) {
        track.append(spoken[i % spoken.size()], QString::fromUtf8(pool[i % spoken.size()]));
        track.pause(pauses[i % std::size(pauses)]);
    }
    const QString raw = *flac + QStringLiteral(".raw");
    QFile out(raw);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(reinterpret_cast<const char *>(track.samples.data()),
              qint64(track.samples.size() * 2));
    out.close();
    const int rc =
        QProcess::execute(QStringLiteral("sox"),
                          {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("raw"),
                           QStringLiteral("-r"), QStringLiteral("16000"), QStringLiteral("-e"),
                           QStringLiteral("signed"), QStringLiteral("-b"), QStringLiteral("16"),
                           QStringLiteral("-c"), QStringLiteral("1"), raw, *flac});
    QFile::remove(raw);
    if (rc != 0)
        return false;
    QFile list(*times);
    if (!list.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream stream(&list);
    for (const SpokenSentence &s : track.sentences)
        stream << s.text << '\t' << s.soundStart << '\t' << s.soundEnd << '\n';
    return true;
}

long peakKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// The child: one length, one line of figures on stdout.
int runChild(int minutes) {
    QString flac, times;
    if (!makeRecording(minutes, &flac, &times)) {
        fprintf(stderr, "could not make the %d-minute recording\n", minutes);
        return 1;
    }
    QStringList text;
    std::vector<double> starts, ends;
    QFile list(times);
    if (!list.open(QIODevice::ReadOnly | QIODevice::Text))
        return 1;
    for (const QByteArray &line : list.readAll().split('\n')) {
        const QList<QByteArray> f = line.split('\t');
        if (f.size() != 3)
            continue;
        text << QString::fromUtf8(f[0]);
        starts.push_back(f[1].toDouble());
        ends.push_back(f[2].toDouble());
    }
    QString error;
    const std::unique_ptr<TextAligner> aligner = TextAligner::create(&error);
    if (!aligner) {
        fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QElapsedTimer timer;
    timer.start();
    const SpeechTrack track = SegmentDecoder::decodeTrack(flac);
    const double decodeSeconds = timer.nsecsElapsed() / 1e9;
    if (!track.error.isEmpty()) {
        fprintf(stderr, "%s\n", qPrintable(track.error));
        return 1;
    }
    timer.restart();
    const TextAlignment a = aligner->align(track.samples, text);
    const double alignSeconds = timer.nsecsElapsed() / 1e9;
    std::vector<double> errors;
    int found = 0, cut = 0, intrude = 0;
    for (size_t i = 0; i < a.sentences.size(); ++i) {
        const SentenceAlignment &s = a.sentences[i];
        if (!s.found) {
            fprintf(stderr, "%d min: sentence %zu (sound %.2f-%.2f s) not found\n", minutes, i + 1,
                    starts[i], ends[i]);
            continue;
        }
        ++found;
        errors.push_back(std::abs(s.start - (starts[i] - 0.05)));
        if (s.start > starts[i] || s.end < ends[i]) {
            ++cut;
            fprintf(stderr, "%d min: sentence %zu cut: starts %.0f ms late, ends %.0f ms early\n",
                    minutes, i + 1, std::max(0.0, s.start - starts[i]) * 1000,
                    std::max(0.0, ends[i] - s.end) * 1000);
        }
        intrude +=
            (i > 0 && s.start <= ends[i - 1]) || (i + 1 < starts.size() && s.end >= starts[i + 1]);
    }
    for (const QString &note : a.notes)
        fprintf(stderr, "%d min: %s\n", minutes, qPrintable(note));
    std::sort(errors.begin(), errors.end());
    auto at = [&](double q) {
        return errors.empty() ? -1.0 : errors[size_t(q * (errors.size() - 1))];
    };
    printf(
        "%d %.3f %.3f %ld %d %d %d %d %.4f %.4f %.4f %s\n", minutes, decodeSeconds, alignSeconds,
        peakKilobytes(), int(text.size()), found, cut, intrude, at(0.5), at(0.9), at(1.0),
        qPrintable(a.error.isEmpty() ? QStringLiteral("-") : QString(a.error).replace(u' ', u'_')));
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == QStringLiteral("--child"))
        return runChild(args[1].toInt());
    if (!haveFlite() || QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty()) {
        fprintf(stderr, "textalign_bench needs flite and sox\n");
        return 1;
    }
    std::vector<int> lengths;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--hour"))
            lengths.push_back(60);
        else if (args[i] == QStringLiteral("--minutes") && i + 1 < args.size())
            lengths.push_back(args[++i].toInt());
    }
    if (lengths.empty() || (lengths.size() == 1 && lengths[0] == 60))
        lengths.insert(lengths.begin(), {5, 10, 20});
    printf("%6s %9s %9s %7s %9s %8s %6s %9s %5s %5s %9s %9s %9s\n", "min", "decode_s", "align_s",
           "ratio", "s_per_h", "peak_MB", "found", "of", "cut", "intr", "err_med", "err_p90",
           "err_max");
    struct Row {
        int minutes;
        double align, peak;
    };
    std::vector<Row> rows;
    for (int minutes : lengths) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(app.applicationFilePath(),
                    {QStringLiteral("--child"), QString::number(minutes)});
        if (!child.waitForFinished(-1) || child.exitCode() != 0) {
            fprintf(stderr, "the %d-minute run failed\n", minutes);
            return 1;
        }
        const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
        if (f.size() < 12)
            return 1;
        const double decode = f[1].toDouble(), align = f[2].toDouble(),
                     peak = f[3].toDouble() / 1024;
        printf("%6d %9.2f %9.2f %7.1f %9.1f %8.1f %6s %9s %5s %5s %9s %9s %9s %s\n", minutes,
               decode, align, align / decode, align / (minutes / 60.0), peak, f[5].constData(),
               f[4].constData(), f[6].constData(), f[7].constData(), f[8].constData(),
               f[9].constData(), f[10].constData(), f[11] == "-" ? "" : f[11].constData());
        fflush(stdout);
        rows.push_back({minutes, align, peak});
    }
    if (rows.size() >= 2) {
        const Row &a = rows.front(), &b = rows.back();
        const double length = double(b.minutes) / a.minutes;
        printf("\n%dx the length: %.2fx the time, %.2fx the peak memory (%.1f MB per extra "
               "minute)\n",
               int(length), b.align / a.align, b.peak / a.peak,
               (b.peak - a.peak) / (b.minutes - a.minutes));
    }
    return 0;
}
