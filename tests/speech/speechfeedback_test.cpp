// The whole feedback as the page gets it: recordings made for the tests, judged on the
// feedback's own thread against their model.

#include "speech/speechfeedback.h"
#include "testwav.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <optional>

namespace {

SpeechAudio fixture(const char *name) {
    return readTestWav(QStringLiteral(ORVESSA_TEST_DATA_DIR "/speech/") + QString::fromUtf8(name));
}

QStringList marked(const SentenceFeedback &f, WordMark mark) {
    QStringList words;
    for (const WordFeedback &w : f.words) {
        if (w.mark == mark)
            words << w.text;
    }
    return words;
}

TEST(SpeechFeedback, MarksWhatTheRecordingsLackAndAsksAgainWhenTooNoisy) {
    const QString booking = QStringLiteral("I would like to book a room for two nights.");
    const QString unknown = QStringLiteral("Please ask Zorblatt to call me tomorrow.");
    const QString read = QStringLiteral(
        "Unless to be rather cold-hearted and rather selfish is to be ill-disposed.");
    struct Case {
        const char *model;
        const char *take;
        QString sentence;
        QStringList leftOut;
        QStringList notChecked;
        bool reRecord;
        Unjudged why = Unjudged::None;
    } cases[] = {
        {"intact.wav", "intact.wav", booking, {}, {}, false},
        {"intact.wav", "cut_two.wav", booking, {"two"}, {}, false},
        {"intact.wav", "noisy_0db.wav", booking, {}, {}, true, Unjudged::TakeUnclear},
        // A model of nothing but digital silence: why, and the take's pitch still there.
        {"", "intact.wav", booking, {}, {}, false, Unjudged::ModelSilent},
        {"unknown.wav", "unknown.wav", unknown, {}, {"Zorblatt"}, false},
        // Real read speech, whole and with a word cut out.
        {"illdisposed.wav", "illdisposed.wav", read, {}, {}, false},
        {"illdisposed.wav", "cut_selfish.wav", read, {"selfish"}, {}, false},
    };
    SpeechFeedback feedback;
    std::optional<SentenceFeedback> got;
    quint64 wanted = 0;
    QObject::connect(&feedback, &SpeechFeedback::feedbackReady,
                     [&](quint64 ticket, const SentenceFeedback &f) {
                         if (ticket == wanted)
                             got = f;
                     });
    quint64 modelKey = 0;
    for (const Case &c : cases) {
        got.reset();
        const SpeechAudio model =
            *c.model ? fixture(c.model) : SpeechAudio{16000, std::vector<float>(32000, 0.0f)};
        wanted = feedback.request(c.sentence, ++modelKey, model, fixture(c.take));
        QElapsedTimer clock;
        clock.start();
        while (!got && clock.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_TRUE(got) << c.take << ": no feedback";
        EXPECT_EQ(got->reRecord, c.reRecord) << c.take << ": " << got->summary.toStdString();
        EXPECT_EQ(got->why, c.why) << c.take << ": " << got->summary.toStdString();
        EXPECT_EQ(got->judged, c.why == Unjudged::None) << c.take;
        // Whatever became of the model, a clean take's pitch is there to be drawn.
        EXPECT_EQ(std::any_of(got->learnerPitch.semitones.begin(),
                              got->learnerPitch.semitones.end(),
                              [](float v) { return !std::isnan(v); }),
                  !c.reRecord)
            << c.take;
        EXPECT_EQ(marked(*got, WordMark::LeftOut), c.leftOut) << c.take;
        EXPECT_EQ(marked(*got, WordMark::NotChecked), c.notChecked) << c.take;
        if (c.reRecord) {
            EXPECT_TRUE(got->summary.startsWith(QStringLiteral("录音不够清楚，请重新录音。")));
        }
    }

    // A newer request passes over one still waiting: only the newest is answered.
    got.reset();
    const quint64 first =
        feedback.request(booking, 1, fixture("intact.wav"), fixture("cut_two.wav"));
    wanted = feedback.request(booking, 1, fixture("intact.wav"), fixture("intact.wav"));
    EXPECT_GT(wanted, first);
    QElapsedTimer clock;
    clock.start();
    while (!got && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(got);
    EXPECT_TRUE(marked(*got, WordMark::LeftOut).isEmpty());
}

// However far a page got with its feedback, closing it ends the thread and frees the
// recogniser at once; the sanitized build's leak check holds each case to it.
TEST(SpeechFeedback, ClosingAtAnyPointLeavesNothingRunningOrHeld) {
    const QString booking = QStringLiteral("I would like to book a room for two nights.");
    enum class Stage { NeverUsed, WarmedUp, RequestPending, RequestCancelled, Answered };
    struct Case {
        const char *name;
        Stage stage;
    } cases[] = {
        {"never used", Stage::NeverUsed},
        {"warmed up", Stage::WarmedUp},
        {"closed during an analysis", Stage::RequestPending},
        {"request cancelled", Stage::RequestCancelled},
        {"answered", Stage::Answered},
    };
    for (const Case &c : cases) {
        bool answered = false;
        QElapsedTimer closing;
        {
            SpeechFeedback feedback;
            QObject::connect(&feedback, &SpeechFeedback::feedbackReady,
                             [&](quint64, const SentenceFeedback &) { answered = true; });
            if (c.stage == Stage::WarmedUp)
                feedback.warmUp();
            if (c.stage >= Stage::RequestPending)
                feedback.request(booking, 1, fixture("intact.wav"), fixture("intact.wav"));
            if (c.stage == Stage::RequestCancelled)
                feedback.cancel();
            if (c.stage == Stage::Answered) {
                QElapsedTimer clock;
                clock.start();
                while (!answered && clock.elapsed() < 20000)
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
                ASSERT_TRUE(answered) << c.name << ": no feedback";
            }
            closing.start();
        }
        EXPECT_LT(closing.elapsed(), 10000) << c.name << ": closing waited too long";
        // Nothing comes from a feedback that is gone.
        const bool answeredBefore = answered;
        answered = false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        EXPECT_FALSE(answered) << c.name;
        EXPECT_EQ(answeredBefore, c.stage == Stage::Answered) << c.name;
    }
}

} // namespace
