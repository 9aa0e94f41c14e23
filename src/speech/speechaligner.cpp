#include "speechaligner.h"

#include "speechaudio.h"
#include "sphinxsearch.h"

#include <pocketsphinx.h>
#include <sphinxbase/ckd_alloc.h>
#include <sphinxbase/cmd_ln.h>
#include <sphinxbase/fsg_model.h>
#include <sphinxbase/logmath.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

// How the passes are run
// ----------------------
// One decoder holds three searches. The two grammars are finite-state graphs built here from
// dictionary words (nothing is parsed, so no sentence can break them); the decoder adds a
// pause (<sil>) and noise fillers as self-loops on every state, and a word's other
// pronunciations as parallel arcs.
// - forced: states 0..n, word i from state i to i+1. A path with all n words is the alignment;
//   no hypothesis, or one with fewer words, counts as no alignment.
// - optional: the same graph with a skip (null arc) beside every word.
// - phones: a free loop of the context-independent phones without a phone language model,
//   so that its scores are acoustic only and it is the best any phone string could do over a
//   stretch of frames. (With the phone model its segment scores mix in the model's weights,
//   and it runs twice as long.)
//
// Confidence of a word over its frames f..g of a pass:
//     (ascr(word) - sum over phone segments p of ascr(p) * overlap(p, f..g) / frames(p))
//       / (g - f + 1)
// where ascr is the acoustic score the decoder gives a segment (log likelihood of the
// frames along its best path, transitions included). A phone segment that only partly
// overlaps the word counts in proportion to the frames they share. The phone loop is
// unconstrained, so the result is about 0 for a word said as well as any phones could be, and
// falls by about as much per frame as the word's sounds fit worse than the best phones. The
// forced pass has context-dependent phones, which may fit better than the loop's, so clear
// words come out a little above 0 (up to about +1.2 on the test recordings).
// Units: the decoder keeps its scores in its log base (1.0001) shifted right by 10 bits, so
// one unit is 1024 * ln(1.0001) nats; the confidence is in nats per 10 ms frame. (Checked on
// the pause penalty, which comes out as lw * ln(silprob) / (1024 ln 1.0001) = -337 units.)
//
// Settings, each chosen on the feedback evaluation (bench/feedback_eval):
// - -remove_noise no: the front end's noise removal keeps its estimate of the noise from one
//   recording to the next, so the same take came out differently depending on what had been
//   decoded before it (a word marked missing on one play and not on the next). Without it the
//   analysis of a recording depends on that recording alone.
// - every frame is scored (no -ds 2): scoring every other frame halved the time, but the
//   optional pass then dropped words the model voice had said clearly, and 8 of the demo
//   book's 61 sentences could not be forced onto their own audio.
// - the forced pass searches with beams far wider than the default: with the default ones
//   its one path was pruned away on sentences with long pauses or short function words
//   ("I'm fine, thank you. And you?"), and nothing could be judged of them. A grammar of one
//   path is cheap to search, so this costs little. The other passes search with beams wider
//   than the default too (1e-80, words 1e-60), which kept the optional pass from losing words.
// What they cost is measured by bench/speech_bench.cpp and the evaluation.

namespace {

using namespace sphinx;

constexpr char forcedSearch[] = "forced";
constexpr char optionalSearch[] = "optional";

// Probability of taking a word rather than skipping it in the optional pass. A word whose
// sounds are missing is still dropped rather than squeezed in (squeezing costs far more than
// the skip), while a word merely said unlike the model is kept: at even odds the pass also
// dropped words a model voice had said clearly, and then nothing could be judged of them.
constexpr double optionalWordProb = 0.99;

// Cost of each phone of the loop that stands in for a word outside the dictionary (ln 0.02 * lw,
// about -25 nats): the loop matches speech better than any word does, so it must cost enough not to
// take the words around it, yet less than forcing those words over the unknown one.
constexpr double unknownPhoneProb = 0.02;

double notMeasured() {
    return std::numeric_limits<double>::quiet_NaN();
}

// The words of the grammar as a chain of states; every word may be skipped when optional.
// States listed in unchecked get a loop of single phones, where the sentence has words the
// recogniser cannot say: whatever the learner said there is taken by the loop instead of
// being forced onto the words around it.
fsg_model_t *chain(ps_decoder_t *ps, const char *name, const std::vector<QByteArray> &words,
                   const std::vector<int> &unchecked, bool optional) {
    logmath_t *lmath = ps_get_logmath(ps);
    const auto lw = float32(cmd_ln_float32_r(ps_get_config(ps), "-lw"));
    const int n = int(words.size());
    fsg_model_t *fsg = fsg_model_init(name, lmath, lw, n + 1);
    fsg->start_state = 0;
    fsg->final_state = n;
    const int say = optional ? int(logmath_log(lmath, optionalWordProb) * lw) : 0;
    const int skip = int(logmath_log(lmath, 1 - optionalWordProb) * lw);
    for (int i = 0; i < n; ++i) {
        fsg_model_trans_add(fsg, i, i + 1, say, fsg_model_word_add(fsg, words[size_t(i)]));
        if (optional)
            fsg_model_null_trans_add(fsg, i, i + 1, skip);
    }
    for (const int state : unchecked)
        addPhoneLoop(ps, fsg, state, '#', unknownPhoneProb);
    if (optional)
        glist_free(fsg_model_null_trans_closure(fsg, nullptr));
    return fsg;
}

// Which grammar word each kept segment stands for. The optional pass keeps the words in the
// sentence's order, but a word said twice ("to be ... to be") can match either place: the
// places chosen are those whose forced-alignment frames overlap the kept words most.
std::vector<int> placesOf(const std::vector<Segment> &kept, const std::vector<QByteArray> &words,
                          const std::vector<Segment> *forced) {
    const size_t m = kept.size(), n = words.size();
    constexpr long long impossible = std::numeric_limits<long long>::min() / 2;
    // best[j][i]: most overlap with the first j kept words placed among the first i words.
    std::vector<std::vector<long long>> best(m + 1, std::vector<long long>(n + 1, impossible));
    std::fill(best[0].begin(), best[0].end(), 0);
    for (size_t j = 1; j <= m; ++j) {
        for (size_t i = 1; i <= n; ++i) {
            best[j][i] = best[j][i - 1];
            if (baseWord(kept[j - 1].word) != words[i - 1] || best[j - 1][i - 1] == impossible)
                continue;
            long long overlap = 0;
            if (forced) {
                const Segment &f = (*forced)[i - 1];
                overlap = std::max(0, std::min(f.last, kept[j - 1].last) -
                                          std::max(f.first, kept[j - 1].first) + 1);
            }
            best[j][i] = std::max(best[j][i], best[j - 1][i - 1] + overlap + 1);
        }
    }
    std::vector<int> places(m, -1);
    if (m == 0 || best[m][n] == impossible)
        return places;
    for (size_t j = m, i = n; j > 0 && i > 0; --i) {
        if (best[j][i] != best[j][i - 1]) {
            places[j - 1] = int(i - 1);
            --j;
        }
    }
    return places;
}

} // namespace

QString SpeechAligner::defaultModelDir() {
    const QString fromEnv = qEnvironmentVariable("ORVESSA_SPEECH_MODEL");
    return fromEnv.isEmpty() ? QStringLiteral("/usr/share/pocketsphinx/model/en-us") : fromEnv;
}

std::unique_ptr<SpeechAligner> SpeechAligner::create(QString *error, const QString &modelDir) {
    ps_decoder_t *ps = createDecoder(modelDir, "#", error);
    if (!ps)
        return nullptr;
    std::unique_ptr<SpeechAligner> aligner(new SpeechAligner);
    aligner->m_ps = ps;
    aligner->m_natsPerUnit = natsPerUnit(ps);
    return aligner;
}

SpeechAligner::~SpeechAligner() {
    if (m_ps)
        ps_free(m_ps);
}

std::vector<SentenceWord> SpeechAligner::words(const QString &sentence) {
    static const QRegularExpression separators(
        QStringLiteral("[\\s\\-\\x{2010}-\\x{2015}\\x{2212}/]+"));
    std::vector<SentenceWord> out;
    for (const QString &token : sentence.split(separators, Qt::SkipEmptyParts)) {
        auto isCore = [](QChar c) { return c.isLetterOrNumber(); };
        qsizetype from = 0, to = token.size();
        while (from < to && !isCore(token[from]))
            ++from;
        while (to > from && !isCore(token[to - 1]))
            --to;
        if (from == to)
            continue;
        SentenceWord w;
        w.text = token.mid(from, to - from);
        for (qsizetype i = 0; i < w.text.size(); ++i) {
            const QChar c = w.text[i];
            if (c.isLetterOrNumber()) {
                w.spelled += c.toLower();
            } else if (c == u'\'' || c == u'\u2019' || c == u'\u02bc') {
                w.spelled += u'\'';
            } else if ((c == u'.' || c == u',') && i > 0 && i + 1 < w.text.size() &&
                       w.text[i - 1].isDigit() && w.text[i + 1].isDigit()) {
                w.spelled += c; // 3.5, 1,000
            }
        }
        out.push_back(w);
    }
    return out;
}

SpeechAnalysis SpeechAligner::analyse(const SpeechAudio &audio, const QString &sentence) {
    SpeechAnalysis result;
    std::vector<int> checked; // indexes into result.words of the words in the grammars
    std::vector<QByteArray> grammar;
    std::vector<int> unchecked; // grammar states where a word the recogniser cannot say sits
    for (const SentenceWord &w : words(sentence)) {
        AlignedWord word;
        word.text = w.text;
        word.confidence = notMeasured();
        word.inDictionary = false;
        if (grammarSafe(w.spelled)) {
            const QByteArray spelled = w.spelled.toLatin1();
            if (char *phones = ps_lookup_word(m_ps, spelled.constData())) {
                ckd_free(phones);
                word.inDictionary = true;
                checked.push_back(int(result.words.size()));
                grammar.push_back(spelled);
            }
        }
        if (!word.inDictionary && (unchecked.empty() || unchecked.back() != int(grammar.size())))
            unchecked.push_back(int(grammar.size()));
        result.words.push_back(word);
    }
    auto refuse = [&result](AnalysisFailure failure, const QString &why) {
        for (AlignedWord &w : result.words)
            w.present = !w.inDictionary;
        result.error = why;
        result.failure = failure;
        return result;
    };
    if (grammar.empty())
        return refuse(AnalysisFailure::NoKnownWord,
                      QStringLiteral("no word of the sentence is in the recogniser's dictionary"));
    if (audio.sampleRate != 16000)
        return refuse(AnalysisFailure::Recogniser,
                      QStringLiteral("the recogniser needs 16 kHz audio"));
    const std::vector<short> pcm = pcm16(audio);
    auto run = [&](const char *search) { return decode(m_ps, search, pcm.data(), pcm.size()); };
    if (pcm.size() < size_t(16000 / 10))
        return refuse(AnalysisFailure::TooShort, QStringLiteral("the recording is too short"));
    // Exact or near digital silence (a muted microphone) is not decoded: on it every model
    // scores alike and the optional pass keeps a word stretched over the whole recording.
    constexpr int silentPeak = 32; // about -60 dBFS
    if (std::all_of(pcm.begin(), pcm.end(), [](short s) { return std::abs(s) < silentPeak; }))
        return refuse(AnalysisFailure::Silent, QStringLiteral("the recording is silent"));

    fsg_model_t *forcedFsg = chain(m_ps, forcedSearch, grammar, unchecked, false);
    fsg_model_t *optionalFsg = chain(m_ps, optionalSearch, grammar, unchecked, true);
    const bool ready = setWideFsg(m_ps, forcedSearch, forcedFsg) &&
                       ps_set_fsg(m_ps, optionalSearch, optionalFsg) == 0;
    fsg_model_free(forcedFsg);
    fsg_model_free(optionalFsg);
    if (!ready)
        return refuse(AnalysisFailure::Recogniser,
                      QStringLiteral("the sentence's grammar was refused"));

    // The forced pass's word segments, one per grammar word when it went through.
    std::optional<std::vector<Segment>> forced = run(forcedSearch);
    if (forced) {
        std::erase_if(*forced, [](const Segment &s) { return isFiller(s.word); });
        const bool complete =
            forced->size() == grammar.size() &&
            std::equal(forced->begin(), forced->end(), grammar.begin(),
                       [](const Segment &s, const QByteArray &w) { return baseWord(s.word) == w; });
        if (!complete)
            forced.reset();
    }
    result.aligned = forced.has_value();
    std::optional<std::vector<Segment>> kept = run(optionalSearch);
    const std::vector<Segment> phones = run(phoneSearch).value_or(std::vector<Segment>());

    auto measure = [&](AlignedWord &word, const Segment &s) {
        word.startMs = s.first * frameMs;
        word.endMs = (s.last + 1) * frameMs;
        if (!phones.empty()) {
            const double diff = double(s.ascr) - loopScore(phones, s.first, s.last);
            word.confidence = diff / (s.last - s.first + 1) * m_natsPerUnit;
        }
    };

    for (const int i : checked)
        result.words[size_t(i)].present = false;
    if (kept) {
        std::erase_if(*kept, [](const Segment &s) { return isFiller(s.word); });
        const std::vector<int> places = placesOf(*kept, grammar, forced ? &*forced : nullptr);
        for (size_t j = 0; j < places.size(); ++j) {
            if (places[j] < 0)
                continue;
            AlignedWord &word = result.words[size_t(checked[size_t(places[j])])];
            word.present = true;
            if (!forced)
                measure(word, (*kept)[j]);
        }
    }
    if (forced) {
        for (size_t k = 0; k < checked.size(); ++k)
            measure(result.words[size_t(checked[k])], (*forced)[k]);
    }

    // A word the recogniser cannot check sits in the gap between its neighbours.
    for (size_t i = 0; i < result.words.size(); ++i) {
        AlignedWord &word = result.words[i];
        if (word.inDictionary)
            continue;
        int start = 0, end = 0;
        for (size_t k = i; k-- > 0;) {
            if (result.words[k].inDictionary && result.words[k].endMs > 0) {
                start = result.words[k].endMs;
                break;
            }
        }
        for (size_t k = i + 1; k < result.words.size(); ++k) {
            if (result.words[k].inDictionary && result.words[k].endMs > 0) {
                end = result.words[k].startMs;
                break;
            }
        }
        if (end == 0)
            end = int(audio.seconds() * 1000);
        word.startMs = start;
        word.endMs = std::max(start, end);
    }
    return result;
}
