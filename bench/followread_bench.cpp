// The follow-read page's two waits, heard through a PulseAudio null sink, each against a
// baseline measured in the same run:
//
// RecordStart: from the press of 录音 (QtVoiceRecorder::startRecording) to the first recorded
//   sample. The wave file's size is polled every millisecond while the event loop runs; data
//   past the header seen at t holding n samples puts the first sample at or before
//   t - n / rate. Baseline: a bare QAudioSource on the same device and format, started into a
//   file the same way (device and format looked up beforehand). Two things blur both alike:
//   the file is written through Qt's 16 KB buffer, so data shows some 150 ms in and what the
//   source handed over last is not on disk yet (the bound runs late by up to one source
//   period, 50 ms); and the null sink hands a new capture stream its whole current block,
//   samples from before the connection included. The start call's own duration is printed
//   beside, free of both.
//   A 300 ms tone starts into the sink just before each press, as a learner who speaks at
//   once would; the recording must keep it whole (tone_kept_ms, sample-exact, >= 280).
//
// LoopGap: in 循环对比, from the last sound of the model sentence to the first sound of the
//   recording's playback, on the real comparison, sentence playback with Qt timers, the mpv
//   engine and the recorder. The recording is made as a learner makes it (录音, 标准发音,
//   停止), so it holds the model tone after some silence; that leading silence, read from
//   the file, is subtracted so that the corrected gap is the program's switching alone.
//   Baseline: the recording played twice back to back, the second playFromStart() called
//   straight from playbackFinished; its gap is corrected by the file's trailing and leading
//   silence. The sink is recorded (parec, 10 ms) from before the recording on; with that
//   client the null sink mixes in blocks of 5 to 10 ms, which is the gaps' resolution.
//
// Ratios are ours / baseline of the medians. Needs pulseaudio and parec; without PULSE_SERVER
// in the environment the program starts its own null sink with tests/support/nullsink.sh and
// stops it at exit. About 1.5 minutes.
//
//   followread_bench [--runs=N] [--turns=N] [--verbose] [benchmark flags]

#include "audio/qtvoicerecorder.h"
#include "audio/shortsound.h"
#include "audio/ticker.h"
#include "audio/voicebackendfactory.h"
#include "audio/voiceplayer.h"
#include "content/sentencetable.h"
#include "media/wavheader.h"
#include "study/followreadcomparison.h"
#include "study/sentenceplayback.h"
#include "study/trainerstate.h"

#include "sinkbench.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QAudioSource>
#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace sinkbench;

constexpr int toneThreshold = 1000; // the tones peak near 16000; the sink's silence is 0
constexpr int toneMs = 300;         // the first syllable
constexpr int keptEnoughMs = 280;
constexpr double sentenceStart = 0.5; // the model sentence, inside tone440.mp3's steady part
constexpr double sentenceEnd = 1.5;
int runCount = 15;
int turnCount = 8;
bool verbose = false; // every stretch of sound heard in the loop and the restarts, to stderr

QString toneFile() {
    return sourceDir() + QStringLiteral("/tests/data/audio/tone440.mp3");
}

double msOf(std::size_t samples, int rate) {
    return double(samples) * 1000.0 / rate;
}

// A 440 Hz tone into the default output, the sink the recorder's source listens to.
class Tone {
public:
    explicit Tone(int ms) {
        QAudioFormat format;
        format.setSampleRate(captureRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        QByteArray bytes(captureRate * ms / 1000 * 2, '\0');
        for (int i = 0; i < bytes.size() / 2; ++i) {
            const auto s =
                qint16(std::lround(16000 * std::sin(2 * M_PI * 440 * i / double(captureRate))));
            qToLittleEndian(s, bytes.data() + 2 * i);
        }
        m_buffer.setData(bytes);
        m_buffer.open(QIODevice::ReadOnly);
        m_sink = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), format);
    }
    void play() { m_sink->start(&m_buffer); }
    bool done() const { return m_buffer.atEnd() && m_sink->state() == QAudio::IdleState; }

private:
    QBuffer m_buffer;
    std::unique_ptr<QAudioSink> m_sink;
};

// The samples of a 16-bit mono wave file as the recorder writes it (the 44-byte header, then
// the samples).
soundedges::Samples waveSamples(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(wavHeaderBytes))
        return {};
    const QByteArray raw = file.readAll();
    soundedges::Samples out(std::size_t(raw.size() / 2));
    const auto *b = reinterpret_cast<const unsigned char *>(raw.constData());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = std::int16_t(b[2 * i] | (b[2 * i + 1] << 8));
    return out;
}

// Where the sound of a recording file lies, in samples.
struct FileSound {
    std::size_t onset = 0;
    std::size_t stop = 0;
    std::size_t length = 0; // every sample of the file
};

std::optional<FileSound> soundOf(const soundedges::Samples &s) {
    const auto on = soundedges::onset(s, 0, s.size(), toneThreshold);
    if (!on)
        return std::nullopt;
    const auto off = soundedges::stop(s, *on, s.size(), toneThreshold);
    return FileSound{*on, *off, s.size()};
}

// ---------------------------------------------------------------------------------------------
// Record start

// When the first sample of a recording into path was captured, from the file's size polled
// every millisecond while the event loop runs. Every poll that sees n samples past the header
// at time t bounds it: the samples are contiguous and arrive no sooner than captured, so the
// first came at or before t - n / rate. The file is written through Qt's 16 KB buffer: the
// first data shows some 150 ms late, and what was handed over last is not on disk yet, which
// puts a bound up to one source period (50 ms) late. The first sighting and the tightest of
// the sightings within windowMs are both kept; ns on clock.
struct FirstSample {
    qint64 firstSightNs = 0;
    qint64 tightestNs = 0;
};

std::optional<FirstSample> firstSample(const QString &path, const QElapsedTimer &clock,
                                       const QAudioFormat &format, int windowMs) {
    std::optional<FirstSample> at;
    qint64 lastSize = wavHeaderBytes;
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QElapsedTimer window;
    window.start();
    const auto check = [&] {
        const qint64 now = clock.nsecsElapsed();
        const qint64 size = QFileInfo(path).size();
        if (size > lastSize) {
            lastSize = size;
            const qint64 frames = (size - wavHeaderBytes) / format.bytesPerFrame();
            const qint64 bound = now - frames * 1000000000LL / format.sampleRate();
            if (!at)
                at = FirstSample{bound, bound};
            at->tightestNs = std::min(at->tightestNs, bound);
        }
        if (window.elapsed() >= windowMs)
            loop.quit();
    };
    QObject::connect(&poll, &QTimer::timeout, &loop, check);
    poll.start(1);
    loop.exec();
    return at;
}

struct StartRun {
    double delayMs = 0;      // from the tightest bound
    double firstSightMs = 0; // from the first data seen alone
    double callMs = 0;       // how long the start call itself took
    double keptMs = 0;
};

// One press: the tone starts, then start() begins recording into path; the delay from the
// press to the first sample and how much of the tone the file holds, once stop() has ended
// the recording. Nothing when it did not start or no data came.
std::optional<StartRun> pressOnce(const QString &path, const QAudioFormat &format,
                                  const std::function<bool()> &start,
                                  const std::function<void()> &stop) {
    Tone tone(toneMs);
    QElapsedTimer clock;
    clock.start();
    tone.play();
    const qint64 pressedAt = clock.nsecsElapsed();
    if (!start()) {
        stop();
        return std::nullopt;
    }
    const qint64 returnedAt = clock.nsecsElapsed();
    // Long enough for three flushes of the file's buffer at 48 kHz.
    const std::optional<FirstSample> first = firstSample(path, clock, format, 600);
    runUntil([&] { return tone.done(); }, 3000);
    runFor(300); // the capture source lags the sink by its buffers
    stop();
    if (!first)
        return std::nullopt;
    StartRun run;
    run.delayMs = std::max<qint64>(0, first->tightestNs - pressedAt) / 1e6;
    run.firstSightMs = std::max<qint64>(0, first->firstSightNs - pressedAt) / 1e6;
    run.callMs = (returnedAt - pressedAt) / 1e6;
    const std::optional<FileSound> sound = soundOf(waveSamples(path));
    // A tone already sounding at the first sample lost its beginning; it counts only in part.
    run.keptMs = sound ? msOf(sound->stop - sound->onset, format.sampleRate()) : 0;
    return run;
}

struct StartOutcome {
    std::vector<double> oursMs;
    std::vector<double> baseMs;
    std::vector<double> oursFirstSightMs;
    std::vector<double> baseFirstSightMs;
    std::vector<double> oursCallMs;
    std::vector<double> baseCallMs;
    std::vector<double> askMs; // QtVoiceRecorder::serverDefaultSource() alone, between presses
    std::vector<double> oursKeptMs;
    std::vector<double> baseKeptMs;
    int missed = 0;
    int sampleRate = 0;
};

StartOutcome measureRecordStart() {
    StartOutcome out;
    QTemporaryDir dir;
    if (!dir.isValid())
        return out;
    const QString oursPath = dir.filePath(QStringLiteral("Recorder.wav"));
    const QString basePath = dir.filePath(QStringLiteral("bare.wav"));
    QtVoiceRecorder recorder;

    // A first recording outside the count: it loads Qt's audio plug-in and learns the format.
    if (recorder.startRecording(oursPath) != VoiceRecorder::Start::Started)
        return out;
    runFor(200);
    recorder.stopRecording();
    // As the page does when it opens: the default source is looked up before any press.
    recorder.prepare();
    runFor(300);
    const QAudioFormat format = recorder.recordingFormat();
    out.sampleRate = format.sampleRate();

    const QString sourceId = QtVoiceRecorder::serverDefaultSource();
    QAudioDevice device;
    for (const QAudioDevice &d : QMediaDevices::audioInputs()) {
        if (QString::fromUtf8(d.id()) == sourceId)
            device = d;
    }
    if (device.isNull())
        return out;

    const auto ours = [&] {
        QFile::remove(oursPath);
        return pressOnce(
            oursPath, format,
            [&] { return recorder.startRecording(oursPath) == VoiceRecorder::Start::Started; },
            [&] { recorder.stopRecording(); });
    };
    QFile bareFile;
    std::unique_ptr<QAudioSource> bare;
    const auto baseline = [&] {
        // The file is made ready before the press; the press starts the source alone.
        QFile::remove(basePath);
        bareFile.setFileName(basePath);
        if (!bareFile.open(QIODevice::ReadWrite | QIODevice::Truncate))
            return std::optional<StartRun>();
        bareFile.write(wavHeader(
            {format.sampleRate(), format.channelCount(), format.bytesPerSample() * 8}, 0));
        return pressOnce(
            basePath, format,
            [&] {
                bare = std::make_unique<QAudioSource>(device, format);
                bare->start(&bareFile);
                return bare->state() != QAudio::StoppedState;
            },
            [&] {
                bare->stop();
                bare.reset();
                bareFile.close();
            });
    };

    baseline(); // the bare source's first start, outside the count as well
    for (int i = 0; i < runCount; ++i) {
        // Alternating, so that a change in the machine's load falls on both alike.
        for (bool isOurs : {true, false}) {
            const std::optional<StartRun> run = isOurs ? ours() : baseline();
            if (!run) {
                ++out.missed;
                continue;
            }
            (isOurs ? out.oursMs : out.baseMs).push_back(run->delayMs);
            (isOurs ? out.oursFirstSightMs : out.baseFirstSightMs).push_back(run->firstSightMs);
            (isOurs ? out.oursCallMs : out.baseCallMs).push_back(run->callMs);
            (isOurs ? out.oursKeptMs : out.baseKeptMs).push_back(run->keptMs);
            runFor(100);
        }
        QElapsedTimer ask;
        ask.start();
        QtVoiceRecorder::serverDefaultSource();
        out.askMs.push_back(ask.nsecsElapsed() / 1e6);
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Loop gap

// Stretches of sound in [from, to): samples louder than threshold, silences shorter than
// minSilence samples bridged.
struct Run {
    std::size_t on;
    std::size_t off;
    double ms() const { return msOf(off - on, captureRate); }
};

std::vector<Run> soundRuns(const soundedges::Samples &s, std::size_t from, std::size_t to,
                           std::size_t minSilence) {
    std::vector<Run> runs;
    to = std::min(to, s.size());
    for (std::size_t i = from; i < to; ++i) {
        if (std::abs(int(s[i])) <= toneThreshold)
            continue;
        if (!runs.empty() && i - runs.back().off < minSilence)
            runs.back().off = i + 1;
        else
            runs.push_back({i, i + 1});
    }
    return runs;
}

// How one sound (the model sentence or the recording) was heard: how long it sounded, and
// how many holes broke it (the stream ran dry and came back).
struct Heard {
    double soundMs = 0;
    int holes = 0;
};

// The sound made of runs[i] and the runs after it (step +1) or before it (step -1) across
// holes shorter than maxHoleMs, until it has sounded about expectedMs.
Heard heardFrom(const std::vector<Run> &runs, std::size_t i, int step, double expectedMs,
                double tolerance) {
    constexpr double maxHoleMs = 150;
    Heard heard{runs[i].ms(), 0};
    for (std::size_t at = i; heard.soundMs < expectedMs - tolerance;) {
        const bool more = step > 0 ? at + 1 < runs.size() : at > 0;
        if (!more)
            break;
        const std::size_t next = step > 0 ? at + 1 : at - 1;
        const std::size_t hole =
            step > 0 ? runs[next].on - runs[at].off : runs[at].on - runs[next].off;
        if (msOf(hole, captureRate) > maxHoleMs)
            break;
        heard.soundMs += runs[next].ms();
        ++heard.holes;
        at = next;
    }
    return heard;
}

// The gap at each switch: marks are where the capture stood when the program switched from
// the first sound to the second. The silence between two stretches nearest to a mark is that
// switch's gap, in ms. A switch is counted only when the sound before it lasted about firstMs
// and the sound after it about secondMs, holes bridged; otherwise something else was heard
// there (two sounds ran together, or one broke off). The first sounds' lengths go to
// firstLengths, and the switches whose sounds had holes are counted in holed.
std::vector<double> gapsAt(const std::vector<Run> &runs, const std::vector<std::size_t> &marks,
                           double firstMs, double secondMs, std::vector<double> *firstLengths,
                           int *holed) {
    std::vector<double> gaps;
    if (verbose) {
        for (const Run &r : runs)
            std::fprintf(stderr, "  sound at %.1f ms for %.1f ms\n", msOf(r.on, captureRate),
                         r.ms());
        for (std::size_t m : marks)
            std::fprintf(stderr, "  switch at %.1f ms\n", msOf(m, captureRate));
    }
    const double tolerance = 80;
    for (std::size_t mark : marks) {
        std::optional<std::size_t> nearest;
        std::size_t nearestDistance = 0;
        for (std::size_t i = 0; i + 1 < runs.size(); ++i) {
            const std::size_t from = runs[i].off;
            const std::size_t to = runs[i + 1].on;
            const std::size_t distance = mark < from ? from - mark : mark > to ? mark - to : 0;
            if (!nearest || distance < nearestDistance) {
                nearest = i;
                nearestDistance = distance;
            }
        }
        if (!nearest)
            continue;
        const Heard first = heardFrom(runs, *nearest, -1, firstMs, tolerance);
        const Heard second = heardFrom(runs, *nearest + 1, +1, secondMs, tolerance);
        if (std::abs(first.soundMs - firstMs) > tolerance ||
            std::abs(second.soundMs - secondMs) > tolerance)
            continue;
        gaps.push_back(msOf(runs[*nearest + 1].on - runs[*nearest].off, captureRate));
        if (firstLengths)
            firstLengths->push_back(first.soundMs);
        if (first.holes + second.holes > 0)
            ++*holed;
    }
    return gaps;
}

struct GapOutcome {
    std::vector<double> oursRawMs;
    std::vector<double> baseRawMs;
    double leadMs = 0;  // the recording's silence before its first sound
    double trailMs = 0; // and after its last
    double recordedSoundMs = 0;
    double modelWhileRecordingMs = 0; // the model's sound at the sink while it was recorded
    std::vector<double> modelHeardMs; // each model sentence's sound in the loop
    int oursHoled = 0;                // switches whose model or recording broke off for a while
    int baseHoled = 0;
    int missed = 0;
    const char *error = nullptr;
};

GapOutcome measureLoopGap() {
    GapOutcome out;
    QTemporaryDir dir;
    std::unique_ptr<VoiceBackend> engine = createMpvBackend(true);
    if (!dir.isValid() || !engine) {
        out.error = "the mpv engine could not open the sink";
        return out;
    }
    QObject timerParent;
    TrainerState state = TrainerState::forProgram(Program::Orvessa);
    state.sentences = SentenceTable::fromText(
        QStringLiteral("*S#句#%1#%2#*").arg(sentenceStart, 0, 'f', 2).arg(sentenceEnd, 0, 'f', 2));
    state.sentenceCount = state.sentences.count();
    state.studyMode = 5;
    state.currentSentence = 1;
    VoicePlayer player(Program::Orvessa, std::move(engine));
    player.VoiceSet();
    player.voiceFile = toneFile();
    player.VoiceOpen();
    RecordingShortSoundPlayer sounds;
    SentencePlayback playback(state, player, sounds, PlaybackTimers::makeQt(&timerParent),
                              QString());
    playback.applyModePair(5);
    // What the single-sentence view stores for its sentence.
    player.voiceStart = player.toPlayerUnits(sentenceStart);
    player.voiceEnd = player.toPlayerUnits(sentenceEnd);
    QtVoiceRecorder recorder;
    QtTicker recordLimit(FollowReadComparison::limitMs);
    const QString path = dir.filePath(QStringLiteral("Recorder.wav"));
    FollowReadComparison follow(state, playback, recorder, &recordLimit, path);
    follow.prepare();
    runFor(300); // the lesson loads long before its first sentence plays

    // The sink is heard from before the recording on: the model as the recording heard it.
    Capture capture;
    if (!capture.start()) {
        out.error = "parec could not record the sink";
        return out;
    }
    const std::size_t minSilence = captureRate * 5 / 1000;

    // 录音, 标准发音 while it records, 停止 once the model has been heard to its end.
    std::size_t from = capture.mark();
    follow.onCommand8();
    if (!recorder.isRecording()) {
        out.error = "the recorder did not start";
        return out;
    }
    state.playback.repeatCount = 0;
    follow.onCommand11();
    if (!runUntil([&] { return state.playback.repeatCount > 0; }, 5000)) {
        out.error = "the model sentence never ended";
        return out;
    }
    runFor(250); // the capture source lags the sink by its buffers
    follow.onCommand10();
    const std::vector<Run> recorded = soundRuns(capture.samples, from, capture.mark(), minSilence);
    const std::optional<FileSound> sound = soundOf(waveSamples(path));
    const int fileRate = recorder.recordingFormat().sampleRate();
    if (!recorder.hasRecording() || !sound || fileRate <= 0 || recorded.empty()) {
        out.error = "the recording holds no sound";
        return out;
    }
    out.leadMs = msOf(sound->onset, fileRate);
    out.trailMs = msOf(sound->length - sound->stop, fileRate);
    out.recordedSoundMs = msOf(sound->stop - sound->onset, fileRate);
    out.modelWhileRecordingMs = msOf(recorded.back().off - recorded.front().on, captureRate);
    const double modelMs = (sentenceEnd - sentenceStart) * 1000;

    int played = 0;
    QObject counter;
    QObject::connect(&recorder, &VoiceRecorder::playbackFinished, &counter, [&] { ++played; });
    std::vector<std::size_t> switches;

    // 循环对比 for some turns of model and recording. The end of each model sentence is where
    // the comparison starts the recording.
    std::function<void()> &modelEnded = playback.hooks().onSentenceEndInMode5;
    modelEnded = [&, earlier = std::move(modelEnded)] {
        earlier();
        switches.push_back(capture.mark());
    };
    from = capture.mark();
    follow.onCommand9();
    runUntil([&] { return played >= turnCount; },
             turnCount * int(modelMs + out.leadMs + out.recordedSoundMs + out.trailMs + 1000));
    follow.onCommand10();
    runFor(300);
    std::size_t to = capture.mark();
    switches.resize(std::min<std::size_t>(switches.size(), std::size_t(turnCount)));
    out.oursRawMs = gapsAt(soundRuns(capture.samples, from, to, minSilence), switches, modelMs,
                           out.recordedSoundMs, &out.modelHeardMs, &out.oursHoled);

    // The recording back to back with itself, restarted straight from its end.
    runFor(300);
    played = 0;
    switches.clear();
    QObject restarter;
    QObject::connect(&recorder, &VoiceRecorder::playbackFinished, &restarter, [&] {
        if (played < turnCount + 1) {
            recorder.playFromStart();
            switches.push_back(capture.mark());
        }
    });
    from = capture.mark();
    recorder.playFromStart();
    runUntil([&] { return played >= turnCount + 1; },
             (turnCount + 1) * int(out.leadMs + out.recordedSoundMs + out.trailMs + 1000));
    runFor(300);
    to = capture.mark();
    out.baseRawMs = gapsAt(soundRuns(capture.samples, from, to, minSilence), switches,
                           out.recordedSoundMs, out.recordedSoundMs, nullptr, &out.baseHoled);
    out.missed = 2 * turnCount - int(out.oursRawMs.size() + out.baseRawMs.size());
    return out;
}

// ---------------------------------------------------------------------------------------------

std::vector<std::string> summary;

double median(const std::vector<double> &v) {
    return soundedges::quantile(v, 0.5);
}

double minimum(const std::vector<double> &v) {
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

void BM_RecordStart(benchmark::State &st) {
    StartOutcome out;
    for (auto _ : st) {
        out = measureRecordStart();
        const double ms = out.oursMs.empty() ? 0 : median(out.oursMs);
        st.SetIterationTime(std::max(ms, 0.001) / 1000);
    }
    if (out.oursMs.empty() || out.baseMs.empty()) {
        st.SkipWithError("no press was measured (no null sink or capture device?)");
        return;
    }
    const double ours = median(out.oursMs);
    const double base = median(out.baseMs);
    const int cutRuns = int(std::count_if(out.oursKeptMs.begin(), out.oursKeptMs.end(),
                                          [](double ms) { return ms < keptEnoughMs; }));
    st.counters["ratio"] = ours / base;
    st.counters["ours_ms"] = ours;
    st.counters["baseline_ms"] = base;
    st.counters["ours_max_ms"] = soundedges::quantile(out.oursMs, 1);
    st.counters["ours_call_ms"] = median(out.oursCallMs);
    st.counters["baseline_call_ms"] = median(out.baseCallMs);
    st.counters["server_ask_ms"] = median(out.askMs);
    st.counters["ours_first_sight_ms"] = median(out.oursFirstSightMs);
    st.counters["baseline_first_sight_ms"] = median(out.baseFirstSightMs);
    st.counters["tone_kept_ms"] = minimum(out.oursKeptMs);
    st.counters["baseline_tone_kept_ms"] = minimum(out.baseKeptMs);
    st.counters["tone_cut_runs"] = cutRuns;
    st.counters["runs"] = double(out.oursMs.size());
    st.counters["missed"] = out.missed;
    char line[600];
    std::snprintf(
        line, sizeof line,
        "Record start, medians of %d presses at %d Hz:\n"
        "  press to first sample: ours %.1f ms (max %.1f), bare source %.1f ms (max %.1f), "
        "ratio %.2f\n"
        "  the start call alone: ours %.1f ms (the server's default source, looked up before "
        "the press, would add %.1f ms), bare source %.1f ms\n"
        "  from the first data seen alone: ours %.1f ms, bare source %.1f ms\n"
        "  %d ms tone from the press: kept at least %.0f ms (bare source %.0f ms); %d of our "
        "presses below %d ms%s",
        int(out.oursMs.size()), out.sampleRate, ours, soundedges::quantile(out.oursMs, 1), base,
        soundedges::quantile(out.baseMs, 1), ours / base, median(out.oursCallMs), median(out.askMs),
        median(out.baseCallMs), median(out.oursFirstSightMs), median(out.baseFirstSightMs), toneMs,
        minimum(out.oursKeptMs), minimum(out.baseKeptMs), cutRuns, keptEnoughMs,
        cutRuns > 0 ? "  <-- the first syllable is lost" : "");
    summary.emplace_back(line);
}

void BM_LoopGap(benchmark::State &st) {
    GapOutcome out;
    for (auto _ : st) {
        out = measureLoopGap();
        const double ms = out.oursRawMs.empty() ? 0 : median(out.oursRawMs) - out.leadMs;
        st.SetIterationTime(std::max(ms, 0.001) / 1000);
    }
    if (out.error || out.oursRawMs.empty() || out.baseRawMs.empty()) {
        st.SkipWithError(out.error ? out.error : "no gap was heard");
        return;
    }
    const double oursRaw = median(out.oursRawMs);
    const double baseRaw = median(out.baseRawMs);
    const double ours = oursRaw - out.leadMs;
    const double base = baseRaw - out.trailMs - out.leadMs;
    st.counters["ratio"] = ours / base;
    st.counters["ours_ms"] = ours;
    st.counters["baseline_ms"] = base;
    st.counters["ours_raw_ms"] = oursRaw;
    st.counters["baseline_raw_ms"] = baseRaw;
    st.counters["ours_max_ms"] = soundedges::quantile(out.oursRawMs, 1) - out.leadMs;
    st.counters["lead_ms"] = out.leadMs;
    st.counters["trail_ms"] = out.trailMs;
    st.counters["recorded_ms"] = out.recordedSoundMs;
    st.counters["model_while_recording_ms"] = out.modelWhileRecordingMs;
    st.counters["model_heard_ms"] = median(out.modelHeardMs);
    st.counters["turns"] = double(out.oursRawMs.size());
    st.counters["missed"] = out.missed;
    st.counters["holed_turns"] = out.oursHoled;
    st.counters["baseline_holed"] = out.baseHoled;
    char line[800];
    std::snprintf(line, sizeof line,
                  "Loop gap, medians of %d turns and %d back-to-back restarts:\n"
                  "  model end to recording: %.1f ms raw, %.1f ms less the recording's %.1f ms "
                  "leading silence (max %.1f)\n"
                  "  back-to-back restart: %.1f ms raw, %.1f ms less its %.1f ms trailing and "
                  "%.1f ms leading silence\n"
                  "  ratio %.2f; missed %d; sound broken off for a while in %d turns of the loop "
                  "and %d restarts\n"
                  "  the recording holds %.1f ms of sound of the %.1f ms the model sounded while "
                  "it recorded; the model sounds %.1f ms in the loop",
                  int(out.oursRawMs.size()), int(out.baseRawMs.size()), oursRaw, ours, out.leadMs,
                  soundedges::quantile(out.oursRawMs, 1) - out.leadMs, baseRaw, base, out.trailMs,
                  out.leadMs, ours / base, out.missed, out.oursHoled, out.baseHoled,
                  out.recordedSoundMs, out.modelWhileRecordingMs, median(out.modelHeardMs));
    summary.emplace_back(line);
}

} // namespace

int main(int argc, char **argv) {
    std::vector<char *> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--runs=", 7) == 0)
            runCount = std::max(1, std::atoi(argv[i] + 7));
        else if (std::strncmp(argv[i], "--turns=", 8) == 0)
            turnCount = std::max(1, std::atoi(argv[i] + 8));
        else if (std::strcmp(argv[i], "--verbose") == 0)
            verbose = true;
        else
            args.push_back(argv[i]);
    }
    int count = int(args.size());
    QCoreApplication app(count, args.data());
    NullSink sink;
    if (!sink.ensure("followbench")) {
        std::fprintf(stderr, "followread_bench: could not start a null sink\n");
        return 1;
    }
    benchmark::RegisterBenchmark("FollowRead/RecordStart", BM_RecordStart)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("FollowRead/LoopGap", BM_LoopGap)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("\n");
    for (const std::string &line : summary)
        std::printf("%s\n", line.c_str());
    return 0;
}
