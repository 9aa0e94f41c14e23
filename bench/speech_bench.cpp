// The feedback's analysis of a recording (forced alignment, optional-word pass, phone loop)
// on a 5.3 s sentence of real read speech, against one forced pass over the same recording
// on a decoder with the recogniser's default settings (the cheapest useful thing the
// recogniser can do with it). Both run in the same process, one after the other; the ratios
// are what to compare on these shared machines. Each run also reports its time per second of
// audio (s_per_audio_s). The aligner's loading is timed once, on its own.
//
// Target: a 5 s sentence judged in at most 0.5 s on two cores, i.e. s_per_audio_s under 0.1
// (every frame is scored and the forced pass searches wide, see speechaligner.cpp).
//
//   speech_bench [benchmark flags]

#include "ratioreporter.h"
#include "speech/speechaligner.h"
#include "speech/speechaudio.h"
#include "speech/testwav.h"

#include <QElapsedTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <memory>
#include <pocketsphinx.h>
#include <sphinxbase/cmd_ln.h>

namespace {

struct Recording {
    const char *file;
    const char *sentence;
    const char *grammar; // the forced grammar of the baseline
};

const Recording recordings[] = {
    {"illdisposed.wav",
     "Unless to be rather cold-hearted and rather selfish is to be ill-disposed.",
     "unless to be rather cold hearted and rather selfish is to be ill disposed"},
    {"intact.wav", "I would like to book a room for two nights.",
     "i would like to book a room for two nights"},
};

SpeechAligner *aligner = nullptr;

SpeechAudio load(const Recording &r) {
    return readTestWav(QStringLiteral(ORVESSA_TEST_DATA_DIR "/speech/") +
                       QString::fromLatin1(r.file));
}

void perAudioSecond(benchmark::State &state, double seconds) {
    state.counters["s_per_audio_s"] = benchmark::Counter(
        seconds, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void analyse(benchmark::State &state, const Recording *r) {
    const SpeechAudio audio = load(*r);
    const QString sentence = QString::fromLatin1(r->sentence);
    bool aligned = true;
    for (auto _ : state) {
        const SpeechAnalysis a = aligner->analyse(audio, sentence);
        aligned = aligned && a.aligned;
        benchmark::DoNotOptimize(a.words.data());
    }
    if (!aligned)
        state.SkipWithError("the sentence did not align");
    perAudioSecond(state, audio.seconds());
}

// One forced pass, as the recogniser runs it with its defaults (no silence removal, so that
// the frames are the recording's).
void forcedPass(benchmark::State &state, const Recording *r) {
    const QString model = SpeechAligner::defaultModelDir();
    const QByteArray hmm = (model + QStringLiteral("/en-us")).toLocal8Bit();
    const QByteArray dict = (model + QStringLiteral("/cmudict-en-us.dict")).toLocal8Bit();
    cmd_ln_t *config =
        cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-dict", dict.constData(),
                    "-logfn", "/dev/null", "-remove_silence", "no", nullptr);
    ps_decoder_t *ps = config ? ps_init(config) : nullptr;
    if (config)
        cmd_ln_free_r(config);
    if (!ps) {
        state.SkipWithError("the recogniser did not load");
        return;
    }
    const std::string jsgf =
        std::string("#JSGF V1.0;\ngrammar forced;\npublic <s> = ") + r->grammar + ";\n";
    ps_set_jsgf_string(ps, "forced", jsgf.c_str());
    ps_set_search(ps, "forced");
    const SpeechAudio audio = load(*r);
    const std::vector<short> pcm = pcm16(audio);
    bool found = true;
    for (auto _ : state) {
        ps_start_utt(ps);
        ps_process_raw(ps, pcm.data(), pcm.size(), FALSE, TRUE);
        ps_end_utt(ps);
        found = found && ps_get_hyp(ps, nullptr);
    }
    ps_free(ps);
    if (!found)
        state.SkipWithError("the forced pass found nothing");
    perAudioSecond(state, audio.seconds());
}

} // namespace

int main(int argc, char **argv) {
    QString error;
    QElapsedTimer loading;
    loading.start();
    std::unique_ptr<SpeechAligner> shared = SpeechAligner::create(&error);
    const qint64 loadMs = loading.elapsed();
    if (!shared) {
        std::fprintf(stderr, "speech_bench: %s\n", qPrintable(error));
        return 1;
    }
    aligner = shared.get();
    std::printf("aligner loaded in %lld ms\n", static_cast<long long>(loadMs));

    for (const Recording &r : recordings) {
        benchmark::RegisterBenchmark((std::string("forced_pass/") + r.file).c_str(), forcedPass, &r)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark((std::string("analyse/") + r.file).c_str(), analyse, &r)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    for (const Recording &r : recordings) {
        const auto base = reporter.secondsByFunction.find(std::string("forced_pass/") + r.file);
        const auto ours = reporter.secondsByFunction.find(std::string("analyse/") + r.file);
        if (base == reporter.secondsByFunction.end() || ours == reporter.secondsByFunction.end() ||
            base->second <= 0)
            continue;
        const double audioSeconds = load(r).seconds();
        std::printf("analyse/forced pass %s: %.2fx (analyse %.1f ms = %.3f s per audio s, "
                    "forced pass %.1f ms)\n",
                    r.file, ours->second / base->second, ours->second * 1e3,
                    ours->second / audioSeconds, base->second * 1e3);
    }
    benchmark::Shutdown();
    return 0;
}
