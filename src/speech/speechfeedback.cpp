#include "speechfeedback.h"

#include "feedbackjudge.h"
#include "pitchtrack.h"
#include "signalquality.h"
#include "speechaligner.h"
#include "speechaudio.h"

#include <QHash>
#include <QMetaObject>

namespace {

constexpr int keptModels = 8;

struct ModelAnalysis {
    SpeechAnalysis analysis;
    PitchContour pitch;
};

} // namespace

// The recogniser and what it found in the models, on the feedback thread only.
class FeedbackWorker : public QObject {
public:
    void warmUp() {
        if (m_aligner || !m_loadError.isEmpty())
            return;
        QString error;
        m_aligner = SpeechAligner::create(&error);
        if (!m_aligner)
            m_loadError = error.isEmpty() ? QStringLiteral("no speech model") : error;
    }

    SentenceFeedback analyse(const QString &sentence, quint64 modelKey, const SpeechAudio &model,
                             const SpeechAudio &recording) {
        warmUp();
        if (!m_aligner) {
            SentenceFeedback none;
            none.summary = QStringLiteral("无法分析录音：没有找到英语语音模型。");
            return none;
        }
        const SpeechAudio learner = resampledTo16k(recording);
        const SignalQuality quality = measureSignal(learner);
        const ModelAnalysis &judgedModel = modelAnalysis(sentence, modelKey, model);
        // A recording too noisy or silent to judge is not aligned at all.
        const bool judgeable = quality.hasSpeech && quality.snrDb >= minimumSnrDb;
        const SpeechAnalysis learnerAnalysis =
            judgeable ? m_aligner->analyse(learner, sentence) : SpeechAnalysis{};
        return judgeSentence(judgedModel.analysis, learnerAnalysis, judgedModel.pitch,
                             judgeable ? pitchContour(learner) : PitchContour{}, quality);
    }

private:
    const ModelAnalysis &modelAnalysis(const QString &sentence, quint64 modelKey,
                                       const SpeechAudio &model) {
        const auto found = m_models.constFind(modelKey);
        if (found != m_models.constEnd() && found->sentence == sentence)
            return found->model;
        if (m_models.size() >= keptModels)
            m_models.clear();
        const SpeechAudio audio = resampledTo16k(model);
        Cached &cached = m_models[modelKey];
        cached.sentence = sentence;
        cached.model = {m_aligner->analyse(audio, sentence), pitchContour(audio)};
        return cached.model;
    }

    struct Cached {
        QString sentence;
        ModelAnalysis model;
    };
    std::unique_ptr<SpeechAligner> m_aligner;
    QString m_loadError;
    QHash<quint64, Cached> m_models;
};

SpeechFeedback::SpeechFeedback(QObject *parent)
    : QObject(parent), m_latest(std::make_shared<std::atomic<quint64>>(0)) {
    qRegisterMetaType<SentenceFeedback>();
    m_thread.setObjectName(QStringLiteral("speech feedback"));
    m_worker = std::make_unique<FeedbackWorker>();
    m_worker->moveToThread(&m_thread);
}

// The thread starts with the first request, so the worker cannot wait for its end to be
// deleted: it is deleted here, once nothing runs on its thread any more.
SpeechFeedback::~SpeechFeedback() {
    m_latest->store(0);
    m_thread.quit();
    m_thread.wait();
    m_worker.reset();
}

void SpeechFeedback::warmUp() {
    if (!m_thread.isRunning())
        m_thread.start(QThread::LowPriority);
    QMetaObject::invokeMethod(m_worker.get(), [worker = m_worker.get()] { worker->warmUp(); });
}

quint64 SpeechFeedback::request(const QString &sentence, quint64 modelKey, const SpeechAudio &model,
                                const SpeechAudio &recording) {
    if (!m_thread.isRunning())
        m_thread.start(QThread::LowPriority);
    const quint64 ticket = m_latest->load() + 1;
    m_latest->store(ticket);
    QMetaObject::invokeMethod(m_worker.get(), [this, worker = m_worker.get(), latest = m_latest,
                                               ticket, sentence, modelKey, model, recording] {
        if (latest->load() != ticket)
            return; // a newer request, or none wanted any more
        const SentenceFeedback feedback = worker->analyse(sentence, modelKey, model, recording);
        if (latest->load() != ticket)
            return;
        // Back on the thread the feedback object lives in; dropped if it is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, latest, ticket, feedback] {
                if (latest->load() == ticket)
                    Q_EMIT feedbackReady(ticket, feedback);
            },
            Qt::QueuedConnection);
    });
    return ticket;
}

void SpeechFeedback::cancel() {
    m_latest->store(m_latest->load() + 1);
}
