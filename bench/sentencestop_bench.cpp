// When does a sentence's sound really stop, against its End? Each run plays cuts [Start, End]
// placed inside a continuous 440 Hz tone through the real sentence-end watch and a real
// engine into a PulseAudio null sink, records the sink, and measures from the recording:
//
//   stop error (ms of the recording) = (sound stop - sound onset) x rate - (End - Start)
//
// The onset stands for Start (both engines seek exactly). Negative errors cut the sentence
// short; positive ones let what follows the End through.
//
// Each engine and rate runs twice in the same process: "poll" is the plain 30 ms poll of the
// raw engine position (the baseline), "aim" is the watch as the program runs it: the engine's
// position estimated between its coarse reports, and a one-shot timer that ends the sentence
// between two polls.
//
// Needs pulseaudio and parec. Without PULSE_SERVER in the environment the program starts its
// own null sink with tests/support/nullsink.sh and stops it at exit. About 2.5 minutes.
//
//   sentencestop_bench [--cuts=N] [benchmark flags]

#include "audio/mpvbackend.h"
#include "audio/qtplayerbackend.h"
#include "audio/shortsound.h"
#include "audio/ticker.h"
#include "audio/voiceplayer.h"
#include "content/sentencetable.h"
#include "study/sentenceplayback.h"
#include "study/trainerstate.h"

#include "sinkbench.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace sinkbench;

constexpr int toneThreshold = 1000; // the tone peaks near 16000; the sink's silence is 0
int cutCount = 20;

QString toneFile() {
    return sourceDir() + QStringLiteral("/tests/data/audio/tone440.mp3");
}

enum class Engine { Mpv, Qt };
enum class Watch { Poll, Aim };

struct Cut {
    double start;
    double end;
};

// The same cuts for every run: 0.2 to 0.45 s long, inside the tone's steady part.
std::vector<Cut> makeCuts(int count) {
    std::mt19937 random(20240607);
    std::uniform_real_distribution<double> startOf(0.4, 5.2);
    std::uniform_real_distribution<double> lengthOf(0.2, 0.45);
    std::vector<Cut> cuts;
    for (int i = 0; i < count; ++i) {
        const double start = std::round(startOf(random) * 100) / 100;
        cuts.push_back({start, std::round((start + lengthOf(random)) * 100) / 100});
    }
    return cuts;
}

QString lessonText(const std::vector<Cut> &cuts) {
    QString text = QStringLiteral("*");
    for (std::size_t i = 0; i < cuts.size(); ++i)
        text += QStringLiteral("S#句#%1#%2#*")
                    .arg(cuts[i].start, 0, 'f', 2)
                    .arg(cuts[i].end, 0, 'f', 2);
    return text;
}

std::unique_ptr<VoiceBackend> makeEngine(Engine engine, Watch watch) {
    if (engine == Engine::Mpv) {
        std::unique_ptr<MpvBackend> mpv = MpvBackend::create(MpvBackend::Output::Device);
        if (!mpv || mpv->audioOutput() != QStringLiteral("pulse"))
            return nullptr;
        mpv->setPositionEstimate(watch == Watch::Aim);
        return mpv;
    }
    // Qt's player reports its position to the millisecond, but ahead of the sound.
    std::unique_ptr<QtPlayerBackend> qt = QtPlayerBackend::create();
    if (qt)
        qt->setOutputLagCompensation(watch == Watch::Aim);
    return qt;
}

struct Outcome {
    std::vector<double> errorsMs;
    int missed = 0; // cuts whose sound was not found or whose watch never ended
    double seconds = 0;
};

Outcome measure(Engine engine, Watch watch, double rate) {
    Outcome out;
    std::unique_ptr<VoiceBackend> backend = makeEngine(engine, watch);
    if (!backend)
        return out;
    const std::vector<Cut> cuts = makeCuts(cutCount);
    TrainerState state = TrainerState::forProgram(Program::Orvessa);
    state.sentences = SentenceTable::fromText(lessonText(cuts));
    state.sentenceCount = state.sentences.count();
    VoicePlayer player(Program::Orvessa, std::move(backend));
    player.VoiceSet();
    player.voiceFile = toneFile();
    player.VoiceOpen();
    RecordingShortSoundPlayer sounds;
    QtTicker timer1(30);
    QtTicker timer2(10);
    // The baseline's one-shot never fires: only the 30 ms poll ends a sentence.
    QtTicker aimShot(1);
    ManualTicker idleShot(1);
    Ticker *endShot = watch == Watch::Aim ? static_cast<Ticker *>(&aimShot) : &idleShot;
    SentencePlayback playback(state, player, sounds, PlaybackTimers{&timer1, &timer2, endShot},
                              QString());
    player.setRate(rate);
    state.playback.rate = rate;
    runFor(300); // the lesson loads long before its first sentence plays

    Capture capture;
    if (!capture.start()) {
        out.missed = cutCount;
        return out;
    }
    QElapsedTimer clock;
    clock.start();
    for (int i = 1; i <= state.sentenceCount; ++i) {
        const Cut cut = cuts[std::size_t(i - 1)];
        const std::size_t from = capture.mark();
        state.playback.repeatCount = 0;
        playback.startSentence(i);
        const bool ended = runUntil([&] { return !timer1.isActive(); }, 5000);
        if (!ended)
            playback.stopPlayback();
        runFor(150); // what was sent to the sink plays out and reaches the recording
        const std::size_t to = capture.mark();
        const auto on = soundedges::onset(capture.samples, from, to, toneThreshold);
        const auto off =
            on ? soundedges::stop(capture.samples, *on, to, toneThreshold) : std::nullopt;
        if (!ended || !on || !off) {
            ++out.missed;
            continue;
        }
        out.errorsMs.push_back(
            soundedges::stopErrorMs(*on, *off, captureRate, rate, cut.start, cut.end));
    }
    out.seconds = clock.elapsed() / 1000.0;
    return out;
}

const char *engineName(Engine e) {
    return e == Engine::Mpv ? "mpv" : "qt";
}
const char *watchName(Watch w) {
    return w == Watch::Poll ? "poll" : "aim";
}

struct Row {
    std::string name;
    double p5;
    double median;
    double p95;
    double min;
    double max;
    int missed;
};
std::vector<Row> summary;

void BM_SentenceStop(benchmark::State &st, Engine engine, Watch watch, double rate) {
    Outcome out;
    for (auto _ : st) {
        out = measure(engine, watch, rate);
        st.SetIterationTime(out.seconds);
    }
    if (out.errorsMs.empty()) {
        st.SkipWithError("no cut was measured (no null sink, parec or engine?)");
        return;
    }
    const double median = soundedges::quantile(out.errorsMs, 0.5);
    const double p95 = soundedges::quantile(out.errorsMs, 0.95);
    const double lo = soundedges::quantile(out.errorsMs, 0);
    const double hi = soundedges::quantile(out.errorsMs, 1);
    const double p5 = soundedges::quantile(out.errorsMs, 0.05);
    st.counters["p5_ms"] = p5;
    st.counters["median_ms"] = median;
    st.counters["p95_ms"] = p95;
    st.counters["min_ms"] = lo;
    st.counters["max_ms"] = hi;
    st.counters["cuts"] = double(out.errorsMs.size());
    st.counters["missed"] = out.missed;
    summary.push_back({std::string(engineName(engine)) + " " + watchName(watch) + " x" +
                           std::to_string(rate).substr(0, 3),
                       p5, median, p95, lo, hi, out.missed});
}

} // namespace

int main(int argc, char **argv) {
    std::vector<char *> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--cuts=", 7) == 0)
            cutCount = std::max(1, std::atoi(argv[i] + 7));
        else
            args.push_back(argv[i]);
    }
    int count = int(args.size());
    QCoreApplication app(count, args.data());
    NullSink sink;
    if (!sink.ensure("stopbench")) {
        std::fprintf(stderr, "sentencestop_bench: could not start a null sink\n");
        return 1;
    }
    for (Engine engine : {Engine::Mpv, Engine::Qt}) {
        for (double rate : {0.5, 1.0, 2.0}) {
            for (Watch watch : {Watch::Poll, Watch::Aim}) {
                const std::string name = std::string("SentenceStop/") + engineName(engine) + "/" +
                                         watchName(watch) +
                                         "/rate:" + std::to_string(rate).substr(0, 3);
                benchmark::RegisterBenchmark(name.c_str(), BM_SentenceStop, engine, watch, rate)
                    ->Iterations(1)
                    ->UseManualTime()
                    ->Unit(benchmark::kSecond);
            }
        }
    }
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("\nStop error, ms past End (negative: cut short), %d cuts each:\n", cutCount);
    std::printf("%-16s %8s %8s %8s %8s %8s %7s\n", "run", "p5", "median", "p95", "min", "max",
                "missed");
    for (const Row &r : summary)
        std::printf("%-16s %8.1f %8.1f %8.1f %8.1f %8.1f %7d\n", r.name.c_str(), r.p5, r.median,
                    r.p95, r.min, r.max, r.missed);
    return 0;
}
