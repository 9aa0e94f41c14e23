#include "speechfeedback.h"

#include "feedbackanalyser.h"

#include <QMetaObject>

// The analyser, on the feedback thread only.
class FeedbackWorker : public QObject {
public:
    FeedbackAnalyser analyser;
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
    QMetaObject::invokeMethod(m_worker.get(),
                              [worker = m_worker.get()] { worker->analyser.load(); });
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
        const SentenceFeedback feedback =
            worker->analyser.judge(sentence, modelKey, model, recording);
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
