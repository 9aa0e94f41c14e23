#pragma once

#include "speechtypes.h"

#include <QObject>
#include <QThread>
#include <atomic>
#include <memory>

class FeedbackWorker;

// Feedback on the learner's recording of a sentence against the model: the recogniser runs on
// a thread of its own, created with the first request (or warmUp()), so that the window never
// waits for it. The model's analysis is kept per sentence; only the newest request is worked
// on, older ones still waiting are passed over.
class SpeechFeedback : public QObject {
    Q_OBJECT
public:
    explicit SpeechFeedback(QObject *parent = nullptr);
    ~SpeechFeedback() override; // waits for an analysis under way (well under a second)

    // Loads the recogniser now, on its thread (the follow-read page has been opened).
    void warmUp();
    // Judges recording against model for sentence; modelKey names the model audio (the same
    // key, the same model: its analysis is reused). Returns the ticket feedbackReady carries.
    quint64 request(const QString &sentence, quint64 modelKey, const SpeechAudio &model,
                    const SpeechAudio &recording);
    // The last request is no longer wanted (a new sentence, the recording dropped).
    void cancel();

Q_SIGNALS:
    void feedbackReady(quint64 ticket, const SentenceFeedback &feedback);

private:
    QThread m_thread;
    // Lives on m_thread, which may never have started; deleted once the thread has stopped.
    std::unique_ptr<FeedbackWorker> m_worker;
    std::shared_ptr<std::atomic<quint64>> m_latest;
};

Q_DECLARE_METATYPE(SentenceFeedback)
