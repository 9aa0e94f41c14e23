#include "feedbackjudge.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {

constexpr int minWordsForUnclear = 3;
constexpr double scatterTimes = 5;
constexpr double minUnclearGap = 3.0; // log units per frame
// A word the optional pass skipped is marked left out only when the forced alignment agrees:
// squeezed into far less than its share of the take's time, or fitting far worse than the
// learner's other words (see markLeftOut).
constexpr double durationWeight = 2;
constexpr double leftOutBelow = 0;
constexpr double slowerRatio = 1.6;
constexpr double fasterRatio = 0.6;
constexpr double minPaceChangeMs = 100;

// Why the model could not be analysed; None when it was.
Unjudged modelFailure(const SpeechAnalysis &model) {
    if (model.error.isEmpty())
        return model.aligned ? Unjudged::None : Unjudged::ModelNotMatched;
    switch (model.failure) {
    case AnalysisFailure::NoKnownWord:
        return Unjudged::ModelNoKnownWord;
    case AnalysisFailure::TooShort:
        return Unjudged::ModelTooShort;
    case AnalysisFailure::Silent:
        return Unjudged::ModelSilent;
    case AnalysisFailure::None: // an error without a reason
    case AnalysisFailure::Recogniser:
        break;
    }
    return Unjudged::ModelFailed;
}

// Why the take could not be judged; None when it can be. A learner's take with a word left out
// often cannot be forced onto the whole sentence; the pass in which words may be skipped still
// says which were said, and where. When that pass found none of them either, the take holds no
// trace of the sentence, and marking every word left out would blame a reading the recogniser
// merely missed.
Unjudged takeFailure(const SpeechAnalysis &model, const SpeechAnalysis &learner) {
    const bool sameWords = std::equal(
        model.words.begin(), model.words.end(), learner.words.begin(), learner.words.end(),
        [](const AlignedWord &x, const AlignedWord &y) { return x.text == y.text; });
    if (!learner.error.isEmpty() || learner.words.empty() || !sameWords)
        return Unjudged::TakeFailed;
    const bool anyFound =
        std::any_of(learner.words.begin(), learner.words.end(),
                    [](const AlignedWord &w) { return w.inDictionary && w.present; });
    if (!learner.aligned && !anyFound)
        return Unjudged::TakeNotFound;
    return Unjudged::None;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The words both analyses measured (said by the model, timed and scored in both).
std::vector<size_t> measuredWords(const SpeechAnalysis &model, const SpeechAnalysis &learner) {
    std::vector<size_t> out;
    for (size_t i = 0; i < model.words.size(); ++i) {
        const AlignedWord &m = model.words[i], &l = learner.words[i];
        if (m.inDictionary && l.inDictionary && m.present && m.endMs > m.startMs &&
            l.endMs > l.startMs && !std::isnan(m.confidence) && !std::isnan(l.confidence))
            out.push_back(i);
    }
    return out;
}

// How far the forced alignment shows a word as missing from the learner's take: the log of
// the word's share of the take's time against its share of the model's, weighted, plus the
// word's confidence against the model's, measured from the take's usual difference (a voice
// unlike the model's lowers every word alike). A word said is about 0; a word left out, which
// the alignment must squeeze between its neighbours, falls well below.
void markLeftOut(const SpeechAnalysis &model, const SpeechAnalysis &learner,
                 std::vector<WordFeedback> &words) {
    // Without the forced alignment there is no second opinion, and no mark.
    if (!learner.aligned)
        return;
    const std::vector<size_t> measured = measuredWords(model, learner);
    if (measured.size() < 2)
        return;
    double learnerTime = 0, modelTime = 0;
    std::vector<double> differences;
    for (const size_t i : measured) {
        learnerTime += learner.words[i].endMs - learner.words[i].startMs;
        modelTime += model.words[i].endMs - model.words[i].startMs;
        differences.push_back(learner.words[i].confidence - model.words[i].confidence);
    }
    const double usual = median(differences);
    for (size_t k = 0; k < measured.size(); ++k) {
        const size_t i = measured[k];
        if (learner.words[i].present || words[i].mark != WordMark::Ok)
            continue;
        const double learnerShare =
            (learner.words[i].endMs - learner.words[i].startMs) / learnerTime;
        const double modelShare = (model.words[i].endMs - model.words[i].startMs) / modelTime;
        const double evidence =
            durationWeight * std::log(learnerShare / modelShare) + differences[k] - usual;
        if (evidence < leftOutBelow)
            words[i].mark = WordMark::LeftOut;
    }
}

bool nextToLeftOut(const std::vector<WordFeedback> &words, size_t i) {
    return (i > 0 && words[i - 1].mark == WordMark::LeftOut) ||
           (i + 1 < words.size() && words[i + 1].mark == WordMark::LeftOut);
}

void markUnclear(const SpeechAnalysis &model, const SpeechAnalysis &learner,
                 std::vector<WordFeedback> &words) {
    std::vector<size_t> compared;
    std::vector<double> differences;
    for (size_t i = 0; i < words.size(); ++i) {
        // The neighbours of a word left out lose or gain its frames: their scores say little.
        if (words[i].mark != WordMark::Ok || !model.words[i].present || !learner.words[i].present ||
            nextToLeftOut(words, i))
            continue;
        compared.push_back(i);
        differences.push_back(learner.words[i].confidence - model.words[i].confidence);
    }
    if (compared.size() < size_t(minWordsForUnclear))
        return;
    const double centre = median(differences);
    std::vector<double> deviations;
    for (double d : differences)
        deviations.push_back(std::abs(d - centre));
    const double limit =
        std::min(centre, 0.0) - std::max(scatterTimes * median(deviations), minUnclearGap);
    for (size_t k = 0; k < compared.size(); ++k)
        if (differences[k] < limit)
            words[compared[k]].mark = WordMark::Unclear;
}

void measurePace(const SpeechAnalysis &model, const SpeechAnalysis &learner,
                 std::vector<WordFeedback> &words) {
    auto timed = [](const AlignedWord &w) { return w.present && w.endMs > w.startMs; };
    std::vector<size_t> compared;
    for (size_t i = 0; i < words.size(); ++i)
        if (words[i].mark != WordMark::NotChecked && timed(model.words[i]) &&
            timed(learner.words[i]))
            compared.push_back(i);
    if (compared.size() < 2)
        return;
    // Each word's span: its length, and the pause after the word before it when that one is
    // compared as well (the gap left by a word skipped or not checked belongs to neither).
    auto span = [&](const SpeechAnalysis &a, size_t k) {
        const AlignedWord &w = a.words[compared[k]];
        const bool afterCompared = k > 0 && compared[k - 1] + 1 == compared[k];
        const int from =
            afterCompared ? std::min(w.startMs, a.words[compared[k - 1]].endMs) : w.startMs;
        return double(w.endMs - from);
    };
    auto whole = [&](const SpeechAnalysis &a) {
        double sum = 0;
        for (size_t k = 0; k < compared.size(); ++k)
            sum += span(a, k);
        return sum;
    };
    const double modelWhole = whole(model), learnerWhole = whole(learner);
    for (size_t k = 0; k < compared.size(); ++k) {
        const double modelSpan = span(model, k);
        const double learnerAtModelSpeed = span(learner, k) * modelWhole / learnerWhole;
        if (modelSpan <= 0)
            continue;
        const double ratio = learnerAtModelSpeed / modelSpan;
        const double change = learnerAtModelSpeed - modelSpan;
        Pace &pace = words[compared[k]].pace;
        if (ratio > slowerRatio && change >= minPaceChangeMs)
            pace = Pace::Slower;
        else if (ratio < fasterRatio && -change >= minPaceChangeMs)
            pace = Pace::Faster;
    }
}

QString summary(const std::vector<WordFeedback> &words) {
    QStringList leftOut, unclear, notChecked;
    for (const WordFeedback &w : words) {
        if (w.mark == WordMark::LeftOut)
            leftOut << w.text;
        else if (w.mark == WordMark::Unclear)
            unclear << w.text;
        else if (w.mark == WordMark::NotChecked)
            notChecked << QStringLiteral("“%1”").arg(w.text);
    }
    QStringList parts;
    if (!leftOut.isEmpty())
        parts << QStringLiteral("漏读 %1 个词：%2").arg(leftOut.size()).arg(leftOut.join(", "));
    if (!unclear.isEmpty())
        parts << QStringLiteral("%1 个词不清楚：%2").arg(unclear.size()).arg(unclear.join(", "));
    QString line;
    if (!parts.isEmpty())
        line = parts.join(QStringLiteral("；"));
    else if (notChecked.size() == qsizetype(words.size()))
        return QStringLiteral("这句话没有可以检查的词。");
    else
        line = QStringLiteral("全部读出，没有漏读。");
    if (!notChecked.isEmpty())
        line += QStringLiteral("（%1未检查）").arg(notChecked.join(QStringLiteral("、")));
    return line;
}

} // namespace

QString unjudgedSummary(Unjudged why) {
    // The take's troubles come first, then what to do; the model's, only why (nothing the
    // learner does can mend them).
    const QString again = QStringLiteral("录音不够清楚，请重新录音。");
    const QString model = QStringLiteral("无法分析示范录音：");
    const QString take = QStringLiteral("无法分析这段录音");
    switch (why) {
    case Unjudged::None:
        break;
    case Unjudged::TakeUnclear:
        return again + QStringLiteral("请靠近麦克风，减少周围噪音，完整读出整句。");
    case Unjudged::TakeNotFound:
        return take + QStringLiteral("：没有听出这句话。请完整读出整句后再录一次。");
    case Unjudged::TakeFailed:
        return take + QStringLiteral("。请完整读出整句后再录一次。");
    case Unjudged::ModelNoKnownWord:
        return model + QStringLiteral("句中没有可以检查的英语单词。");
    case Unjudged::ModelTooShort:
        return model + QStringLiteral("示范录音太短。");
    case Unjudged::ModelSilent:
        return model + QStringLiteral("示范录音没有声音。");
    case Unjudged::ModelNotMatched:
        return model + QStringLiteral("示范录音与句子对不上。");
    case Unjudged::ModelFailed:
        return model + QStringLiteral("语音识别出错。");
    }
    return {};
}

SentenceFeedback judgeSentence(const SpeechAnalysis &model, const SpeechAnalysis &learner,
                               PitchContour modelPitch, PitchContour learnerPitch,
                               const SignalQuality &learnerSignal) {
    SentenceFeedback feedback;
    feedback.modelPitch = std::move(modelPitch);
    feedback.learnerPitch = std::move(learnerPitch);
    feedback.learnerSnrDb = learnerSignal.snrDb;
    if (!learnerSignal.hasSpeech || learnerSignal.snrDb < minimumSnrDb) {
        feedback.reRecord = true;
        feedback.why = Unjudged::TakeUnclear;
    } else {
        feedback.why = modelFailure(model);
        if (feedback.why == Unjudged::None)
            feedback.why = takeFailure(model, learner);
    }
    if (feedback.why != Unjudged::None) {
        feedback.summary = unjudgedSummary(feedback.why);
        return feedback;
    }

    for (size_t i = 0; i < model.words.size(); ++i) {
        const AlignedWord &m = model.words[i], &l = learner.words[i];
        WordFeedback w;
        w.text = m.text;
        w.modelStartMs = m.startMs;
        w.modelEndMs = m.endMs;
        w.learnerStartMs = l.startMs;
        w.learnerEndMs = l.endMs;
        if (!m.inDictionary || !l.inDictionary)
            w.mark = WordMark::NotChecked;
        feedback.words.push_back(w);
    }
    markLeftOut(model, learner, feedback.words);
    markUnclear(model, learner, feedback.words);
    measurePace(model, learner, feedback.words);
    feedback.judged = true;
    feedback.summary = summary(feedback.words);
    return feedback;
}

bool modelCanBeJudged(const SpeechAnalysis &model) {
    return modelFailure(model) == Unjudged::None;
}

QString accessibleDescription(const SentenceFeedback &feedback) {
    if (!feedback.judged)
        return feedback.summary;
    QStringList out;
    for (const WordFeedback &w : feedback.words) {
        QStringList notes;
        switch (w.mark) {
        case WordMark::LeftOut:
            notes << QStringLiteral("漏读");
            break;
        case WordMark::Unclear:
            notes << QStringLiteral("不清楚");
            break;
        case WordMark::NotChecked:
            notes << QStringLiteral("未检查");
            break;
        case WordMark::Ok:
            break;
        }
        if (w.pace == Pace::Slower)
            notes << QStringLiteral("读得慢");
        else if (w.pace == Pace::Faster)
            notes << QStringLiteral("读得快");
        out << (notes.isEmpty()
                    ? w.text
                    : w.text + QStringLiteral("（%1）").arg(notes.join(QStringLiteral("，"))));
    }
    return out.join(' ');
}
