#include "feedbackjudge.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {

constexpr int minWordsForUnclear = 3;
constexpr double scatterTimes = 3;
constexpr double minUnclearGap = 1.0; // log units per frame
constexpr double slowerRatio = 1.6;
constexpr double fasterRatio = 0.6;
constexpr double minPaceChangeMs = 100;

const QString unclearRecording = QStringLiteral("录音不够清楚，请重新录音。");
const QString modelFailed = QStringLiteral("无法分析示范录音。");
const QString learnerFailed = QStringLiteral("无法分析这段录音。");

bool ran(const SpeechAnalysis &a) {
    return a.aligned && a.error.isEmpty();
}

// A learner's take with a word left out often cannot be forced onto the whole sentence; the
// pass in which words may be skipped still says which were said, and where.
bool ranOnTake(const SpeechAnalysis &a) {
    return a.error.isEmpty() && !a.words.empty();
}

bool sameWords(const SpeechAnalysis &a, const SpeechAnalysis &b) {
    return std::equal(a.words.begin(), a.words.end(), b.words.begin(), b.words.end(),
                      [](const AlignedWord &x, const AlignedWord &y) { return x.text == y.text; });
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void markUnclear(const SpeechAnalysis &model, const SpeechAnalysis &learner,
                 std::vector<WordFeedback> &words) {
    std::vector<size_t> compared;
    std::vector<double> differences;
    for (size_t i = 0; i < words.size(); ++i) {
        if (words[i].mark != WordMark::Ok || !model.words[i].present || !learner.words[i].present)
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

SentenceFeedback judgeSentence(const SpeechAnalysis &model, const SpeechAnalysis &learner,
                               PitchContour modelPitch, PitchContour learnerPitch,
                               const SignalQuality &learnerSignal) {
    SentenceFeedback feedback;
    feedback.modelPitch = std::move(modelPitch);
    feedback.learnerPitch = std::move(learnerPitch);
    feedback.learnerSnrDb = learnerSignal.snrDb;
    if (!learnerSignal.hasSpeech || learnerSignal.snrDb < minimumSnrDb) {
        feedback.reRecord = true;
        feedback.summary = unclearRecording;
        return feedback;
    }
    if (!modelCanBeJudged(model)) {
        feedback.summary = modelFailed;
        return feedback;
    }
    if (!ranOnTake(learner) || !sameWords(model, learner)) {
        feedback.summary = learnerFailed;
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
        else if (m.present && !l.present)
            w.mark = WordMark::LeftOut;
        feedback.words.push_back(w);
    }
    markUnclear(model, learner, feedback.words);
    measurePace(model, learner, feedback.words);
    feedback.judged = true;
    feedback.summary = summary(feedback.words);
    return feedback;
}

bool modelCanBeJudged(const SpeechAnalysis &model) {
    return ran(model);
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
