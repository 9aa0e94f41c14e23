#include "textaligner.h"

#include "speechaligner.h"
#include "sphinxsearch.h"

#include <sphinxbase/cmd_ln.h>
#include <sphinxbase/logmath.h>

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <future>
#include <limits>
#include <optional>

namespace {

using namespace sphinx;

constexpr char windowSearch[] = "window";
constexpr double frameSeconds = frameMs / 1000.0;

// Costs, each per phone (ln p * lw): the loop standing in for a word outside the dictionary
// costs what it costs for a learner's sentence; the junk between sentences costs more, so
// that a sentence's words are never traded for it where they fit, and skipping a sentence
// costs about as much as two phones of junk on top.
constexpr double unknownPhoneProb = 0.02;
constexpr double junkPhoneProb = 0.005;
constexpr double skipProb = 1e-4;

// The pieces: sentences expected to take about this long, in a window this much longer
// than they are expected to take, and kept when they end this far before its end.
constexpr double pieceSeconds = 60;
constexpr double windowSlack = 1.2;
constexpr double windowExtraSeconds = 8;
constexpr double keepBeforeEndSeconds = 4;
// A window reaching this close to the recording's end goes to the end.
constexpr double stretchToEndSeconds = 20;
// The demo book's margins around a sentence's sound.
constexpr double startMargin = 0.05;
constexpr double endMargin = 0.06;
// Junk or noise at most this long (frames) and this close to a sentence's first word is that
// word's onset.
constexpr int onsetFrames = 20;
constexpr int touchingFrames = 2;
// Unmatched sound this long or longer is reported.
constexpr double noteSeconds = 2.0;
// A sentence forced onto sound it fits this badly was not there.
constexpr double notFoundBelow = -4.0;
// Both decoders compute the acoustic scores of every other frame only (-ds 2), which halves
// the time. The search still moves frame by frame, so the edges keep their 10 ms steps: on
// the benchmark's hour no sentence lost sound and the start errors stayed as they were, and
// the scorer's verdicts are averages over hundreds of frames.
const Settings downsampled = {{"-ds", "2"}};

// A sentence as the grammar has it: dictionary words, and where unknown words sit.
struct Plan {
    std::vector<QByteArray> words;
    std::vector<bool> unknownBefore; // words.size() + 1 entries; the last: after the last word
    int phones = 0;                  // expected, for the pace
};

// Sound the window's decoding put somewhere: a word of a sentence, a phone of an unknown
// word, junk, a noise (never a pause).
struct Sound {
    int first = 0, last = 0; // frames of the window
    int sentence = -1;       // index into the text; -1: junk or noise
    bool junk = false;
};

QString below1000(int n) {
    static const char *const ones[] = {"",        "one",     "two",       "three",    "four",
                                       "five",    "six",     "seven",     "eight",    "nine",
                                       "ten",     "eleven",  "twelve",    "thirteen", "fourteen",
                                       "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"};
    static const char *const tens[] = {"",      "",      "twenty",  "thirty", "forty",
                                       "fifty", "sixty", "seventy", "eighty", "ninety"};
    QStringList out;
    if (n >= 100) {
        out << QString::fromLatin1(ones[n / 100]) << QStringLiteral("hundred");
        n %= 100;
    }
    if (n >= 20) {
        out << QString::fromLatin1(tens[n / 10]);
        n %= 10;
    }
    if (n > 0)
        out << QString::fromLatin1(ones[n]);
    return out.join(u' ');
}

QString cardinal(qint64 n) {
    if (n == 0)
        return QStringLiteral("zero");
    static const char *const scales[] = {"", "thousand", "million", "billion", "trillion"};
    QStringList groups;
    for (int scale = 0; n > 0 && scale < 5; ++scale, n /= 1000) {
        const int group = int(n % 1000);
        if (group == 0)
            continue;
        QString text = below1000(group);
        if (scale > 0)
            text += u' ' + QString::fromLatin1(scales[scale]);
        groups.prepend(text);
    }
    return groups.join(u' ');
}

// 1999 nineteen ninety nine, 1900 nineteen hundred, 2005 two thousand five, 2024 twenty
// twenty four: how years are read.
QString year(int n) {
    if (n >= 2000 && n < 2010)
        return cardinal(n);
    const int high = n / 100, low = n % 100;
    if (low == 0)
        return below1000(high) + QStringLiteral(" hundred");
    return below1000(high) + (low < 10 ? QStringLiteral(" oh ") : QStringLiteral(" ")) +
           below1000(low);
}

QString ordinal(const QString &number) {
    const qsizetype space = number.lastIndexOf(u' ');
    const QString head = number.left(space + 1), last = number.mid(space + 1);
    static const QHash<QString, QString> irregular = {
        {QStringLiteral("one"), QStringLiteral("first")},
        {QStringLiteral("two"), QStringLiteral("second")},
        {QStringLiteral("three"), QStringLiteral("third")},
        {QStringLiteral("five"), QStringLiteral("fifth")},
        {QStringLiteral("eight"), QStringLiteral("eighth")},
        {QStringLiteral("nine"), QStringLiteral("ninth")},
        {QStringLiteral("twelve"), QStringLiteral("twelfth")},
    };
    if (const auto it = irregular.find(last); it != irregular.end())
        return head + *it;
    if (last.endsWith(u'y'))
        return head + last.chopped(1) + QStringLiteral("ieth");
    return head + last + QStringLiteral("th");
}

// A token with digits in it, spelled out; letters around the digits stay as they are.
QString spellDigits(const QString &token) {
    static const QRegularExpression ordinalForm(QStringLiteral("^(\\d+)(st|nd|rd|th)$"));
    static const QRegularExpression decimal(QStringLiteral("^(\\d+)\\.(\\d+)$"));
    static const QRegularExpression runs(QStringLiteral("\\d+|\\D+"));
    QString plain = token;
    plain.remove(u',');
    if (const auto m = ordinalForm.match(plain); m.hasMatch() && m.captured(1).size() < 13)
        return ordinal(cardinal(m.captured(1).toLongLong()));
    if (const auto m = decimal.match(plain); m.hasMatch() && m.captured(1).size() < 13) {
        QStringList digits;
        for (const QChar c : m.captured(2))
            digits << cardinal(c.digitValue());
        return cardinal(m.captured(1).toLongLong()) + QStringLiteral(" point ") + digits.join(u' ');
    }
    QStringList out;
    for (auto it = runs.globalMatch(plain); it.hasNext();) {
        const QString run = it.next().captured();
        if (!run[0].isDigit()) {
            out << run;
        } else if (run.size() == 4 && run[0] != u'0' && token.size() == 4 && run.toInt() >= 1100 &&
                   run.toInt() < 2100) {
            out << year(run.toInt());
        } else if (run.size() < 13 && (run.size() == 1 || run[0] != u'0')) {
            out << cardinal(run.toLongLong());
        } else {
            QStringList digits; // a long number or one with leading zeros: digit by digit
            for (const QChar c : run)
                digits << cardinal(c.digitValue());
            out << digits.join(u' ');
        }
    }
    return out.join(u' ');
}

} // namespace

QStringList TextAligner::spokenWords(const QString &sentence) {
    static const QRegularExpression dollars(QStringLiteral("\\$\\s*(\\d[\\d,]*(\\.\\d+)?)"));
    static const QRegularExpression percent(QStringLiteral("(\\d[\\d,]*(\\.\\d+)?)\\s*%"));
    QString text = sentence;
    text.replace(dollars, QStringLiteral("\\1 dollars"));
    text.replace(percent, QStringLiteral("\\1 percent"));
    QStringList out;
    for (const SentenceWord &w : SpeechAligner::words(text)) {
        const bool digits =
            std::any_of(w.spelled.begin(), w.spelled.end(), [](QChar c) { return c.isDigit(); });
        if (digits)
            out << spellDigits(w.spelled).split(u' ', Qt::SkipEmptyParts);
        else
            out << w.spelled;
    }
    return out;
}

std::unique_ptr<TextAligner> TextAligner::create(QString *error, const QString &modelDir) {
    const QString dir = modelDir.isEmpty() ? SpeechAligner::defaultModelDir() : modelDir;
    // The windows' search keeps the learner's aligner's wide beams: narrower ones (1e-50)
    // saved little and lost the path through a title read otherwise.
    ps_decoder_t *ps = createDecoder(dir, "#%", error, downsampled);
    if (!ps)
        return nullptr;
    std::unique_ptr<TextAligner> aligner(new TextAligner);
    aligner->m_ps = ps;
    aligner->m_natsPerUnit = natsPerUnit(ps);
    // The phone loop that scores the sentences runs on a decoder of its own, on the other
    // core, while the next window is searched.
    aligner->m_scorer = createDecoder(dir, "", error, downsampled);
    if (!aligner->m_scorer)
        return nullptr;
    return aligner;
}

TextAligner::~TextAligner() {
    if (m_ps)
        ps_free(m_ps);
    if (m_scorer)
        ps_free(m_scorer);
}

namespace {

Plan planOf(ps_decoder_t *ps, const QString &sentence) {
    Plan plan;
    plan.unknownBefore.push_back(false);
    for (const QString &word : TextAligner::spokenWords(sentence)) {
        const QByteArray spelled = word.toLatin1();
        const int phones = grammarSafe(word) ? phoneCount(ps, spelled) : 0;
        if (phones > 0) {
            plan.words.push_back(spelled);
            plan.unknownBefore.push_back(false);
            plan.phones += phones;
        } else {
            plan.unknownBefore.back() = true;
            plan.phones += std::max<int>(1, int(word.size() * 4 / 5));
        }
    }
    return plan;
}

// The junk loop: a few phones of different kinds rather than all of them. Any speech still
// fits it better than words that are not being said, while the model scores a handful of
// codebooks for it instead of every one (all phones took twice the time).
void addJunk(ps_decoder_t *ps, fsg_model_t *fsg, int state) {
    static const char *const broad[] = {"ah", "aa", "iy", "s", "n", "t", "m", "r"};
    logmath_t *lmath = ps_get_logmath(ps);
    const auto lw = float32(cmd_ln_float32_r(ps_get_config(ps), "-lw"));
    const int cost = int(logmath_log(lmath, junkPhoneProb) * lw);
    for (const char *phone : broad) {
        const QByteArray word = '%' + QByteArray(phone);
        fsg_model_trans_add(fsg, state, state, cost, fsg_model_word_add(fsg, word.constData()));
    }
}

// The grammar of a window (see the header): junk loops on the states between sentences,
// each sentence a chain of its words that may be skipped.
fsg_model_t *windowGrammar(ps_decoder_t *ps, const std::vector<const Plan *> &plans) {
    int states = 1;
    for (const Plan *p : plans) {
        states += int(p->words.size()) + 1; // a state after every word, and one more
        states += p->unknownBefore.front() ? 1 : 0;
    }
    logmath_t *lmath = ps_get_logmath(ps);
    const auto lw = float32(cmd_ln_float32_r(ps_get_config(ps), "-lw"));
    fsg_model_t *fsg = fsg_model_init(windowSearch, lmath, lw, states);
    int next = 0;
    const int skip = int(logmath_log(lmath, skipProb) * lw);
    int boundary = next++;
    fsg->start_state = boundary;
    addJunk(ps, fsg, boundary);
    for (const Plan *p : plans) {
        int state = boundary;
        if (p->unknownBefore.front()) {
            const int lead = next++;
            fsg_model_null_trans_add(fsg, state, lead, 0);
            addPhoneLoop(ps, fsg, lead, '#', unknownPhoneProb);
            state = lead;
        }
        for (size_t i = 0; i < p->words.size(); ++i) {
            const int after = next++;
            fsg_model_trans_add(fsg, state, after, 0, fsg_model_word_add(fsg, p->words[i]));
            state = after;
            if (p->unknownBefore[i + 1])
                addPhoneLoop(ps, fsg, state, '#', unknownPhoneProb);
        }
        const int end = next++;
        fsg_model_null_trans_add(fsg, state, end, 0);
        fsg_model_null_trans_add(fsg, boundary, end, skip);
        addJunk(ps, fsg, end);
        boundary = end;
    }
    fsg->final_state = boundary;
    glist_free(fsg_model_null_trans_closure(fsg, nullptr));
    return fsg;
}

// Which of the window's sentences the hypothesis' words are: each sentence is there whole or
// not at all, in order. taken[k] is the index of sentence k's first word in words, or -1.
std::vector<int> sentencesOf(const std::vector<QByteArray> &words,
                             const std::vector<const Plan *> &plans) {
    const size_t n = plans.size(), m = words.size();
    // can[k][p]: sentences k.. can account for words p.. exactly.
    std::vector<std::vector<char>> can(n + 1, std::vector<char>(m + 1, 0));
    can[n][m] = 1;
    auto matches = [&](size_t k, size_t p) {
        const auto &w = plans[k]->words;
        return !w.empty() && p + w.size() <= m &&
               std::equal(w.begin(), w.end(), words.begin() + qsizetype(p));
    };
    for (size_t k = n; k-- > 0;) {
        for (size_t p = 0; p <= m; ++p)
            can[k][p] = can[k + 1][p] || (matches(k, p) && can[k + 1][p + plans[k]->words.size()]);
    }
    std::vector<int> taken(n, -1);
    if (!can[0][0])
        return taken;
    for (size_t k = 0, p = 0; k < n; ++k) {
        if (matches(k, p) && can[k + 1][p + plans[k]->words.size()]) {
            taken[k] = int(p);
            p += plans[k]->words.size();
        }
    }
    return taken;
}

// Root mean square of 10 ms of samples from at.
double level(const std::vector<qint16> &samples, double at) {
    const auto from = size_t(std::max(0.0, at) * TextAligner::sampleRate);
    const size_t to = std::min(samples.size(), from + TextAligner::sampleRate / 100);
    if (to <= from)
        return 0;
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(to - from));
}

// Moves a sound's edge at (seconds) outwards (direction -1: earlier) while 10 ms frames are
// well above the quietest frame between the edge and limit, never past limit.
double extendSound(const std::vector<qint16> &samples, double at, int direction, double limit) {
    constexpr double step = 0.01;
    constexpr double leastLevel = 10; // about -70 dBFS: below it nothing counts as sound
    double quietest = std::numeric_limits<double>::max();
    for (double t = at; direction > 0 ? t + step <= limit : t - step >= limit;
         t += direction * step)
        quietest = std::min(quietest, level(samples, direction > 0 ? t : t - step));
    if (quietest == std::numeric_limits<double>::max())
        return at;
    const double threshold = std::max(4 * quietest, leastLevel);
    double edge = at;
    while (direction > 0 ? edge + step <= limit : edge - step >= limit) {
        if (level(samples, direction > 0 ? edge : edge - step) < threshold)
            break;
        edge += direction * step;
    }
    return edge;
}

// A sentence found, to be scored: its sound and its words' segments, frames counted from
// its first sound.
struct ScoreJob {
    size_t sentence = 0;
    size_t from = 0, count = 0; // samples
    std::vector<Segment> words;
};

// Confidence (see the header): the words' scores from the window's search against the
// phone loop's over the same frames, in nats per frame; NaN when the loop gave nothing.
double scoreSentence(ps_decoder_t *scorer, double natsPerUnit, const std::vector<qint16> &samples,
                     const ScoreJob &job) {
    const std::vector<Segment> phones =
        decode(scorer, phoneSearch, samples.data() + job.from, job.count)
            .value_or(std::vector<Segment>());
    double diff = 0;
    int frames = 0;
    for (const Segment &w : job.words) {
        diff += w.ascr - loopScore(phones, w.first, w.last);
        frames += w.last - w.first + 1;
    }
    if (phones.empty() || frames == 0)
        return std::numeric_limits<double>::quiet_NaN();
    return diff / frames * natsPerUnit;
}

struct Note {
    double from = 0, to = 0;
};

} // namespace

TextAlignment TextAligner::align(const std::vector<qint16> &samples, const QStringList &sentences,
                                 const Progress &progress) {
    TextAlignment result;
    result.sentences.resize(size_t(sentences.size()));
    for (SentenceAlignment &s : result.sentences)
        s.confidence = std::numeric_limits<double>::quiet_NaN();
    const double length = double(samples.size()) / sampleRate;
    if (sentences.isEmpty()) {
        result.error = QStringLiteral("the text has no sentences");
        return result;
    }
    if (length < 0.5) {
        result.error = QStringLiteral("the recording is too short");
        return result;
    }
    std::vector<Plan> plans;
    int totalPhones = 0;
    for (const QString &sentence : sentences) {
        plans.push_back(planOf(m_ps, sentence));
        totalPhones += plans.back().phones;
    }
    // The recording's pace, pauses included; a wrong guess only makes the windows hold fewer
    // or more sentences.
    const double perPhone = std::clamp(length / std::max(totalPhones, 1), 0.05, 0.3);

    // The sentences kept are scored on the other decoder while the next window is searched.
    std::vector<double> confidence(plans.size(), std::numeric_limits<double>::quiet_NaN());
    std::future<void> scoring;
    auto score = [&](std::vector<ScoreJob> jobs) {
        if (scoring.valid())
            scoring.wait();
        if (jobs.empty())
            return;
        scoring =
            std::async(std::launch::async, [this, &samples, &confidence, jobs = std::move(jobs)] {
                for (const ScoreJob &job : jobs)
                    confidence[job.sentence] = scoreSentence(m_scorer, m_natsPerUnit, samples, job);
            });
    };
    // Waits for the scoring however align() is left.
    const std::unique_ptr<std::future<void>, void (*)(std::future<void> *)> joined(
        &scoring, [](std::future<void> *f) {
            if (f->valid())
                f->wait();
        });
    // Each sentence's sound, first to last, as found (seconds).
    std::vector<std::pair<double, double>> sound(plans.size());
    std::vector<Note> unmatched;
    double cursor = 0;       // seconds: where the next window starts
    double lastSound = -1.0; // end of the last sound kept, -1 before any
    size_t pending = 0;      // first sentence not yet settled
    // Sentences without a word the recogniser knows cannot be found.
    auto skipUnplaceable = [&] {
        while (pending < plans.size() && plans[pending].words.empty())
            ++pending;
    };
    skipUnplaceable();
    while (pending < plans.size() && cursor < length - 0.1) {
        if (progress && !progress(std::min(cursor / length, 0.99))) {
            result.cancelled = true;
            result.error = QStringLiteral("cancelled");
            return result;
        }
        std::vector<const Plan *> piece;
        std::vector<size_t> pieceIndex;
        double expected = 0;
        for (size_t k = pending; k < plans.size() && (piece.empty() || expected < pieceSeconds);
             ++k) {
            if (plans[k].words.empty())
                continue;
            piece.push_back(&plans[k]);
            pieceIndex.push_back(k);
            expected += plans[k].phones * perPhone;
        }
        double windowEnd = cursor + expected * windowSlack + windowExtraSeconds;
        if (windowEnd > length - stretchToEndSeconds)
            windowEnd = length;
        const bool toEnd = windowEnd >= length;
        const size_t first = size_t(std::llround(cursor * sampleRate));
        const size_t count = size_t(std::llround(windowEnd * sampleRate)) - first;

        fsg_model_t *fsg = windowGrammar(m_ps, piece);
        const bool ready = ps_set_fsg(m_ps, windowSearch, fsg) == 0;
        fsg_model_free(fsg);
        if (!ready) {
            result.error = QStringLiteral("the recogniser refused the text's grammar");
            return result;
        }
        std::optional<std::vector<Segment>> decoded =
            decode(m_ps, windowSearch, samples.data() + first, count);
        // No path of the grammar lasted to the window's end within the beams: a voice the
        // model fits badly (a formant synthesiser's British voice lost every path). The
        // same search with the widest beams finds one, or there is none.
        if (!decoded) {
            fsg_model_t *wide = windowGrammar(m_ps, piece);
            if (setWideFsg(m_ps, windowSearch, wide))
                decoded = decode(m_ps, windowSearch, samples.data() + first, count);
            fsg_model_free(wide);
        }
        std::vector<Segment> segments = decoded.value_or(std::vector<Segment>());
        std::vector<QByteArray> words;
        std::vector<size_t> wordSegment;
        for (size_t i = 0; i < segments.size(); ++i) {
            if (!isFiller(segments[i].word)) {
                words.push_back(baseWord(segments[i].word));
                wordSegment.push_back(i);
            }
        }
        const std::vector<int> taken = sentencesOf(words, piece);

        // Every sound of the window, with the sentence it belongs to.
        std::vector<int> owner(segments.size(), -1);
        for (size_t k = 0; k < piece.size(); ++k) {
            if (taken[k] < 0)
                continue;
            const size_t from = wordSegment[size_t(taken[k])];
            const size_t to = wordSegment[size_t(taken[k]) + piece[k]->words.size() - 1];
            for (size_t i = from; i <= to; ++i)
                owner[i] = int(k);
            // An unknown word before the first or after the last known word.
            if (piece[k]->unknownBefore.front())
                for (size_t i = from; i-- > 0 && segments[i].word.startsWith('#');)
                    owner[i] = int(k);
            if (piece[k]->unknownBefore.back())
                for (size_t i = to + 1; i < segments.size() && segments[i].word.startsWith('#');
                     ++i)
                    owner[i] = int(k);
        }
        std::vector<Sound> sounds;
        for (size_t i = 0; i < segments.size(); ++i) {
            const Segment &s = segments[i];
            if (s.word == "<sil>" || s.word == "(NULL)")
                continue;
            Sound sound{s.first, s.last, owner[i], s.word.startsWith('%')};
            if (!sounds.empty() && sounds.back().sentence == sound.sentence &&
                sounds.back().junk == sound.junk && (sound.sentence >= 0 || sound.junk) &&
                sound.first - sounds.back().last < 100)
                sounds.back().last = sound.last;
            else
                sounds.push_back(sound);
        }
        auto seconds = [&](int frame) { return cursor + frame * frameSeconds; };

        // What is kept of this window: up to the last sentence found well before its end.
        int keep = -1;
        for (size_t k = 0; k < piece.size(); ++k) {
            if (taken[k] < 0)
                continue;
            const int lastFrame =
                segments[wordSegment[size_t(taken[k]) + piece[k]->words.size() - 1]].last;
            if (toEnd || seconds(lastFrame + 1) < windowEnd - keepBeforeEndSeconds)
                keep = int(k);
        }
        // A window reaching the end is final when it holds the rest of the text, unless
        // sentences after the last one found were lost to the junk: those are searched for
        // again from there, until a window finds none of them.
        const bool wholeRest =
            std::none_of(plans.begin() + qsizetype(pieceIndex.back()) + 1, plans.end(),
                         [](const Plan &p) { return !p.words.empty(); });
        const bool final = toEnd && wholeRest && (keep < 0 || keep + 1 == int(piece.size()));
        double keptUntil = final ? windowEnd : cursor;
        std::vector<ScoreJob> jobs;
        for (int k = 0; k <= keep; ++k) {
            SentenceAlignment &out = result.sentences[pieceIndex[size_t(k)]];
            if (taken[size_t(k)] < 0)
                continue;
            int firstFrame = std::numeric_limits<int>::max(), lastFrame = -1;
            size_t at = 0;
            for (size_t i = 0; i < sounds.size(); ++i) {
                if (sounds[i].sentence == k) {
                    if (sounds[i].first < firstFrame)
                        at = i;
                    firstFrame = std::min(firstFrame, sounds[i].first);
                    lastFrame = std::max(lastFrame, sounds[i].last);
                }
            }
            // A short stretch of junk or noise right against the first word (no pause
            // between) is its soft onset that the loop took ("Th" of "Their"), not sound of
            // its own: the sentence starts with it.
            int onsetFrame = firstFrame;
            while (at > 0 && sounds[at - 1].sentence < 0 &&
                   onsetFrame - sounds[at - 1].last <= touchingFrames &&
                   sounds[at - 1].last - sounds[at - 1].first < onsetFrames) {
                --at;
                onsetFrame = sounds[at].first;
            }
            double before = lastSound, after = windowEnd;
            for (size_t i = at; i-- > 0;) {
                if (sounds[i].sentence != k) {
                    before = seconds(sounds[i].last + 1);
                    break;
                }
            }
            for (size_t i = at; i < sounds.size(); ++i) {
                if (sounds[i].sentence != k && sounds[i].first > lastFrame) {
                    after = seconds(sounds[i].first);
                    break;
                }
            }
            // The recogniser ends a word where its model's sounds end, often before a quiet
            // last sound has died away (and may start it after a soft onset): the sound
            // goes on while the level stays clearly above the pause's, up to the middle of
            // the pause.
            const double floorFrom = before < 0 ? cursor : before;
            const double soundStart =
                extendSound(samples, seconds(onsetFrame), -1,
                            std::max(0.0, (floorFrom + seconds(onsetFrame)) / 2));
            const double soundEnd = extendSound(samples, seconds(lastFrame + 1), +1,
                                                (seconds(lastFrame + 1) + after) / 2);
            out.found = true;
            out.start = before < 0 ? std::max(0.0, soundStart - startMargin)
                                   : std::max(soundStart - startMargin, (before + soundStart) / 2);
            out.end = std::min({soundEnd + endMargin, (soundEnd + after) / 2, length});
            sound[pieceIndex[size_t(k)]] = {soundStart, soundEnd};
            lastSound = soundEnd;
            if (!final)
                keptUntil = soundEnd;

            ScoreJob job;
            job.sentence = pieceIndex[size_t(k)];
            job.from = first + size_t(firstFrame) * sampleRate / 100;
            job.count = std::min(size_t(lastFrame + 1 - firstFrame) * sampleRate / 100,
                                 samples.size() - job.from);
            for (size_t w = 0; w < piece[size_t(k)]->words.size(); ++w) {
                Segment word = segments[wordSegment[size_t(taken[size_t(k)]) + w]];
                word.first -= firstFrame;
                word.last -= firstFrame;
                job.words.push_back(word);
            }
            jobs.push_back(std::move(job));
        }
        score(std::move(jobs));
        // Junk in the part kept is audio the text does not have.
        const double settledUntil = keep >= 0 || final ? keptUntil : cursor;
        for (const Sound &s : sounds) {
            if (!s.junk || seconds(s.first) >= settledUntil)
                continue;
            const Note note{seconds(s.first), std::min(seconds(s.last + 1), settledUntil)};
            if (!unmatched.empty() && note.from - unmatched.back().to < 1.0)
                unmatched.back().to = std::max(unmatched.back().to, note.to);
            else
                unmatched.push_back(note);
        }
        if (final) {
            pending = plans.size();
            break;
        }
        if (keep >= 0) {
            pending = pieceIndex[size_t(keep)] + 1;
            cursor = keptUntil;
        } else {
            // Nothing here is of the text: move on, keeping the sentences for later.
            const double step = std::max(5.0, (windowEnd - cursor) / 2);
            if (unmatched.empty() || cursor - unmatched.back().to > 1.0)
                unmatched.push_back({cursor, cursor + step});
            else
                unmatched.back().to = cursor + step;
            cursor += step;
        }
        skipUnplaceable();
    }

    score({});
    for (size_t i = 0; i < plans.size(); ++i) {
        SentenceAlignment &out = result.sentences[i];
        if (!out.found)
            continue;
        out.confidence = confidence[i];
        if (out.confidence < notFoundBelow) {
            out = SentenceAlignment();
            out.confidence = std::numeric_limits<double>::quiet_NaN();
        } else {
            out.doubtful = !(out.confidence >= doubtfulBelow);
        }
    }
    // The edges are found from each side's own sound: two sentences with hardly a pause
    // between may reach into each other by a few milliseconds. They meet halfway between
    // their sounds instead, so that neither plays the other's.
    for (size_t i = 0, next = 1; next < plans.size(); ++next) {
        SentenceAlignment &before = result.sentences[i], &after = result.sentences[next];
        if (!after.found)
            continue;
        if (before.found && before.end > after.start) {
            const double meet = (sound[i].second + sound[next].first) / 2;
            before.end = std::min(before.end, meet);
            after.start = std::max(after.start, meet);
        }
        i = next;
    }
    for (const Note &n : unmatched) {
        if (n.to - n.from >= noteSeconds)
            result.notes << QStringLiteral("audio %1-%2 s matches no sentence")
                                .arg(n.from, 0, 'f', 1)
                                .arg(n.to, 0, 'f', 1);
    }
    const auto found = std::count_if(result.sentences.begin(), result.sentences.end(),
                                     [](const SentenceAlignment &s) { return s.found; });
    if (double(found) < leastFoundShare * double(sentences.size())) {
        result.error = QStringLiteral("the audio does not match the text (%1 of %2 sentences "
                                      "found)")
                           .arg(found)
                           .arg(sentences.size());
        return result;
    }
    if (progress)
        progress(1.0);
    return result;
}
