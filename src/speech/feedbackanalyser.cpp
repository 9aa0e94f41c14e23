#include "feedbackanalyser.h"

#include "feedbackjudge.h"
#include "pitchtrack.h"
#include "signalquality.h"
#include "speechaligner.h"
#include "speechaudio.h"

FeedbackAnalyser::FeedbackAnalyser(int keptModels) : m_keptModels(keptModels) {}

FeedbackAnalyser::~FeedbackAnalyser() = default;

bool FeedbackAnalyser::load() {
    if (m_aligner)
        return true;
    if (!m_loadError.isEmpty())
        return false;
    QString error;
    m_aligner = SpeechAligner::create(&error);
    if (!m_aligner)
        m_loadError = error.isEmpty() ? QStringLiteral("no speech model") : error;
    return bool(m_aligner);
}

ModelAnalysis FeedbackAnalyser::analyseModel(const QString &sentence, const SpeechAudio &audio) {
    if (!load()) {
        ModelAnalysis none;
        none.analysis.error = m_loadError;
        return none;
    }
    const SpeechAudio audio16k = resampledTo16k(audio);
    return {m_aligner->analyse(audio16k, sentence), pitchContour(audio16k)};
}

bool FeedbackAnalyser::hasModel(const QString &sentence, quint64 modelKey) const {
    const auto found = m_models.constFind(modelKey);
    return found != m_models.constEnd() && found->sentence == sentence;
}

const ModelAnalysis &FeedbackAnalyser::model(const QString &sentence, quint64 modelKey,
                                             const SpeechAudio &audio) {
    if (hasModel(sentence, modelKey))
        return m_models.constFind(modelKey)->model;
    if (m_keptModels > 0 && m_models.size() >= m_keptModels)
        m_models.clear();
    Kept &kept = m_models[modelKey];
    kept.sentence = sentence;
    kept.model = analyseModel(sentence, audio);
    return kept.model;
}

namespace {

// What every take gets on a machine without the recogniser's model.
SentenceFeedback withoutRecogniser() {
    SentenceFeedback none;
    none.summary = QStringLiteral("无法分析录音：没有找到英语语音模型。");
    return none;
}

} // namespace

SentenceFeedback FeedbackAnalyser::judge(const QString &sentence, quint64 modelKey,
                                         const SpeechAudio &model, const SpeechAudio &recording) {
    if (!load())
        return withoutRecogniser();
    return judge(this->model(sentence, modelKey, model), sentence, recording);
}

SentenceFeedback FeedbackAnalyser::judge(const ModelAnalysis &model, const QString &sentence,
                                         const SpeechAudio &recording) {
    if (!load())
        return withoutRecogniser();
    const SpeechAudio learner = resampledTo16k(recording);
    const SignalQuality quality = measureSignal(learner);
    // A recording too noisy or silent to judge is not aligned at all.
    const bool judgeable = quality.hasSpeech && quality.snrDb >= minimumSnrDb;
    const SpeechAnalysis learnerAnalysis =
        judgeable ? m_aligner->analyse(learner, sentence) : SpeechAnalysis{};
    return judgeSentence(model.analysis, learnerAnalysis, model.pitch,
                         judgeable ? pitchContour(learner) : PitchContour{}, quality);
}

QString FeedbackAnalyser::whyModelCannotBeJudged(const ModelAnalysis &model) {
    if (modelCanBeJudged(model.analysis))
        return {};
    if (!model.analysis.error.isEmpty())
        return model.analysis.error;
    return QStringLiteral("the sentence could not be aligned with its audio");
}
