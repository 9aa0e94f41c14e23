#include "sphinxsearch.h"

#include <sphinxbase/ckd_alloc.h>
#include <sphinxbase/cmd_ln.h>
#include <sphinxbase/logmath.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace sphinx {

namespace {
constexpr int scoreShift = 10;
}

const char *const phones[39] = {
    "aa", "ae", "ah", "ao", "aw", "ay", "b",  "ch", "d", "dh", "eh", "er", "ey",
    "f",  "g",  "hh", "ih", "iy", "jh", "k",  "l",  "m", "n",  "ng", "ow", "oy",
    "p",  "r",  "s",  "sh", "t",  "th", "uh", "uw", "v", "w",  "y",  "z",  "zh",
};

ps_decoder_t *createDecoder(const QString &modelDir, const QByteArray &phonePrefixes,
                            QString *error, const Settings &settings) {
    auto fail = [error](const QString &why) -> ps_decoder_t * {
        if (error)
            *error = why;
        return nullptr;
    };
    const QDir dir(modelDir);
    const QString hmm = dir.filePath(QStringLiteral("en-us"));
    const QString dict = dir.filePath(QStringLiteral("cmudict-en-us.dict"));
    if (!QFileInfo(hmm + QStringLiteral("/mdef")).isFile())
        return fail(QStringLiteral("no acoustic model in %1").arg(hmm));
    if (!QFileInfo(dict).isFile())
        return fail(QStringLiteral("no pronunciation dictionary at %1").arg(dict));
    const QByteArray hmmPath = QFile::encodeName(hmm), dictPath = QFile::encodeName(dict);
    std::vector<std::pair<const char *, const char *>> args = {
        {"-hmm", hmmPath.constData()},
        {"-dict", dictPath.constData()},
        {"-logfn", "/dev/null"},
        {"-remove_silence", "no"}, // frames = time
        {"-bestpath", "no"},       // segments as found
        {"-allphone_ci", "yes"},
        {"-remove_noise", "no"},
        {"-beam", "1e-80"},
        {"-wbeam", "1e-60"},
        {"-pbeam", "1e-80"},
    };
    for (const auto &setting : settings) {
        const auto same = std::find_if(args.begin(), args.end(), [&](const auto &a) {
            return qstrcmp(a.first, setting.first) == 0;
        });
        if (same != args.end())
            same->second = setting.second;
        else
            args.push_back(setting);
    }
    std::vector<char *> argv;
    for (const auto &[name, value] : args) {
        argv.push_back(const_cast<char *>(name));
        argv.push_back(const_cast<char *>(value));
    }
    cmd_ln_t *config = cmd_ln_parse_r(nullptr, ps_args(), int32(argv.size()), argv.data(), TRUE);
    if (!config)
        return fail(QStringLiteral("the recogniser's settings were refused"));
    ps_decoder_t *ps = ps_init(config);
    cmd_ln_free_r(config);
    if (!ps)
        return fail(QStringLiteral("the speech model in %1 did not load").arg(modelDir));
    for (qsizetype p = 0; p < phonePrefixes.size(); ++p) {
        for (const char *phone : phones) {
            const QByteArray word = phonePrefixes[p] + QByteArray(phone);
            const QByteArray pron = QByteArray(phone).toUpper();
            const bool last = p + 1 == phonePrefixes.size() && phone == phones[38];
            if (ps_add_word(ps, word.constData(), pron.constData(), last) < 0) {
                ps_free(ps);
                return fail(
                    QStringLiteral("the model has no phone %1").arg(QLatin1StringView(pron)));
            }
        }
    }
    if (ps_set_allphone(ps, phoneSearch, nullptr) < 0) {
        ps_free(ps);
        return fail(QStringLiteral("the phone loop could not be set up"));
    }
    return ps;
}

double natsPerUnit(ps_decoder_t *ps) {
    return std::log(logmath_get_base(ps_get_logmath(ps))) * double(1 << scoreShift);
}

QByteArray baseWord(const QByteArray &word) {
    const qsizetype paren = word.indexOf('(');
    return paren > 0 ? word.left(paren) : word;
}

bool isFiller(const QByteArray &word) {
    return word.startsWith('<') || word.startsWith('[') || word.startsWith('(') ||
           word.startsWith('#') || word.startsWith('%');
}

bool grammarSafe(const QString &spelled) {
    static const QRegularExpression plain(QStringLiteral("^[a-z]+('[a-z]+)*$"));
    return plain.match(spelled).hasMatch();
}

int phoneCount(ps_decoder_t *ps, const QByteArray &word) {
    char *pron = ps_lookup_word(ps, word.constData());
    if (!pron)
        return 0;
    const int count = int(QByteArray(pron).simplified().count(' ')) + 1;
    ckd_free(pron);
    return count;
}

std::optional<std::vector<Segment>> decode(ps_decoder_t *ps, const char *search, const short *pcm,
                                           size_t count) {
    if (ps_set_search(ps, search) < 0 || ps_start_utt(ps) < 0)
        return std::nullopt;
    ps_process_raw(ps, pcm, count, FALSE, TRUE);
    ps_end_utt(ps);
    if (!ps_get_hyp(ps, nullptr))
        return std::nullopt;
    // The iterator frees itself at the end. (The decoder leaks about 1 KB in it when the
    // optional pass skipped a word; nothing to free from here.)
    std::vector<Segment> segments;
    for (ps_seg_t *seg = ps_seg_iter(ps); seg; seg = ps_seg_next(seg)) {
        Segment s;
        s.word = ps_seg_word(seg);
        ps_seg_frames(seg, &s.first, &s.last);
        int32 ascr = 0, lscr = 0, lback = 0;
        ps_seg_prob(seg, &ascr, &lscr, &lback);
        s.ascr = ascr;
        if (s.last >= s.first)
            segments.push_back(s);
    }
    return segments;
}

bool setWideFsg(ps_decoder_t *ps, const char *name, fsg_model_t *fsg) {
    constexpr double wideBeam = 1e-200;
    cmd_ln_t *config = ps_get_config(ps);
    const char *beams[] = {"-beam", "-wbeam", "-pbeam"};
    double saved[std::size(beams)];
    for (size_t i = 0; i < std::size(beams); ++i) {
        saved[i] = cmd_ln_float64_r(config, beams[i]);
        cmd_ln_set_float64_r(config, beams[i], wideBeam);
    }
    const bool ready = ps_set_fsg(ps, name, fsg) == 0;
    for (size_t i = 0; i < std::size(beams); ++i)
        cmd_ln_set_float64_r(config, beams[i], saved[i]);
    return ready;
}

void addPhoneLoop(ps_decoder_t *ps, fsg_model_t *fsg, int state, char prefix, double prob) {
    logmath_t *lmath = ps_get_logmath(ps);
    const auto lw = float32(cmd_ln_float32_r(ps_get_config(ps), "-lw"));
    const int cost = int(logmath_log(lmath, prob) * lw);
    for (const char *phone : phones) {
        const QByteArray word = prefix + QByteArray(phone);
        fsg_model_trans_add(fsg, state, state, cost, fsg_model_word_add(fsg, word.constData()));
    }
}

double loopScore(const std::vector<Segment> &phones, int first, int last) {
    double sum = 0;
    for (const Segment &p : phones) {
        const int from = std::max(first, p.first), to = std::min(last, p.last);
        if (to >= from)
            sum += double(p.ascr) * (to - from + 1) / (p.last - p.first + 1);
    }
    return sum;
}

} // namespace sphinx
