// The analyser the page's worker and the content tool share, and the lines the tool prints
// from its verdicts.

#include "speech/feedbackanalyser.h"
#include "speech/feedbackreport.h"
#include "testwav.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

const QString booking = QStringLiteral("I would like to book a room for two nights.");

SpeechAudio fixture(const char *name) {
    return readTestWav(QStringLiteral(ORVESSA_TEST_DATA_DIR "/speech/") + QString::fromUtf8(name));
}

SpeechAudio silence(double seconds) {
    SpeechAudio audio;
    audio.samples.assign(size_t(seconds * audio.sampleRate), 0.0f);
    return audio;
}

// Each word of a JSON line as "text:mark:pace".
QStringList wordsOf(const QJsonObject &line) {
    QStringList words;
    for (const QJsonValue &w : line.value(QStringLiteral("words")).toArray()) {
        const QJsonObject word = w.toObject();
        words << word.value(QStringLiteral("text")).toString() + u':' +
                     word.value(QStringLiteral("mark")).toString() + u':' +
                     word.value(QStringLiteral("pace")).toString();
    }
    return words;
}

// The names of a JSON object's members in the order the line writes them.
QStringList keysInOrder(const QString &line) {
    static const QRegularExpression key(QStringLiteral("[{,]\"([A-Za-z]+)\":"));
    QStringList keys;
    for (auto it = key.globalMatch(line); it.hasNext();)
        keys << it.next().captured(1);
    return keys;
}

// The tool's JSON line for an intact take, a take with "two" cut out, a take too noisy to
// judge and a take against a model no take can be judged against: marks, keys in their
// promised order, one line, and the same verdict as the page's keyed path.
TEST(FeedbackAnalyser, JsonLinesCarryTheVerdictInThePromisedShape) {
    struct Case {
        const char *name;
        const char *model; // nullptr: two seconds of digital silence
        const char *take;
        bool judged;
        bool reRecord;
        QStringList leftOut;
    } cases[] = {
        {"intact", "intact.wav", "intact.wav", true, false, {}},
        {"left out", "intact.wav", "cut_two.wav", true, false, {"two"}},
        {"too noisy", "intact.wav", "noisy_0db.wav", false, true, {}},
        {"silent model", nullptr, "intact.wav", false, false, {}},
    };
    FeedbackAnalyser analyser;
    ASSERT_TRUE(analyser.load()) << analyser.loadError().toStdString();
    quint64 key = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const SpeechAudio modelAudio = c.model ? fixture(c.model) : silence(2);
        const ModelAnalysis model = analyser.analyseModel(booking, modelAudio);
        const SentenceFeedback feedback = analyser.judge(model, booking, fixture(c.take));
        // The page's path: the model kept under a key.
        const SentenceFeedback keyed = analyser.judge(booking, ++key, modelAudio, fixture(c.take));
        EXPECT_EQ(keyed.summary, feedback.summary);

        const QString path = QStringLiteral("录音/") + QString::fromUtf8(c.take);
        const QString line = feedbackJsonLine(path, feedback, 42);
        EXPECT_FALSE(line.contains(u'\n'));
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8(), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        EXPECT_EQ(keysInOrder(line).mid(0, 5),
                  (QStringList{"recording", "judged", "reRecord", "summary", "words"}));
        EXPECT_EQ(keysInOrder(line).last(), QStringLiteral("analysisMs"));
        EXPECT_EQ(object.value(QStringLiteral("recording")).toString(), path);
        EXPECT_EQ(object.value(QStringLiteral("judged")).toBool(), c.judged);
        EXPECT_EQ(object.value(QStringLiteral("reRecord")).toBool(), c.reRecord);
        EXPECT_EQ(object.value(QStringLiteral("summary")).toString(), feedback.summary);
        EXPECT_EQ(object.value(QStringLiteral("analysisMs")).toInteger(), 42);
        QStringList expected;
        if (c.judged) {
            for (const QString &word : QStringList{"I", "would", "like", "to", "book", "a", "room",
                                                   "for", "two", "nights"}) {
                const QString mark = c.leftOut.contains(word) ? "left-out" : "ok";
                expected << word + u':' + mark;
            }
        }
        QStringList got;
        for (const QString &word : wordsOf(object)) {
            EXPECT_TRUE(word.endsWith(u":even") || word.endsWith(u":slower") ||
                        word.endsWith(u":faster"))
                << word.toStdString();
            got << word.section(u':', 0, 1);
        }
        EXPECT_EQ(got, expected);
        EXPECT_EQ(FeedbackAnalyser::whyModelCannotBeJudged(model).isEmpty(), c.model != nullptr);
    }
}

// Why a model cannot be judged, in words a content maker can act on.
TEST(FeedbackAnalyser, SaysWhyAModelCannotBeJudged) {
    struct Case {
        const char *name;
        QString sentence;
        SpeechAudio audio;
        const char *why; // empty: it can be judged
    } cases[] = {
        {"intact", booking, fixture("intact.wav"), ""},
        {"silent", booking, silence(2), "silent"},
        {"too short", booking, silence(0.05), "too short"},
        {"no known word", QStringLiteral("Zorblatt Xqzvv."), fixture("unknown.wav"), "dictionary"},
        // Far more words than the audio has room for.
        {"another sentence",
         QStringLiteral("I would like to book a room for two nights, and then another room for "
                        "three more nights after that, please, if you have one available."),
         fixture("goforward.wav"), "could not be aligned"},
    };
    FeedbackAnalyser analyser;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString why =
            FeedbackAnalyser::whyModelCannotBeJudged(analyser.analyseModel(c.sentence, c.audio));
        if (*c.why == 0)
            EXPECT_TRUE(why.isEmpty()) << why.toStdString();
        else
            EXPECT_TRUE(why.contains(QString::fromUtf8(c.why))) << why.toStdString();
    }
}

// The plain line: path, a tab, the summary; what would break the line is written out.
TEST(FeedbackReport, TextLineIsOneLinePerRecording) {
    SentenceFeedback feedback;
    feedback.summary = QStringLiteral("漏读 1 个词：two");
    const struct {
        QString path;
        QString line;
    } cases[] = {
        {QStringLiteral("take.wav"), QStringLiteral("take.wav\t漏读 1 个词：two")},
        {QStringLiteral("a\tb\nc.wav"), QStringLiteral("a\\tb\\nc.wav\t漏读 1 个词：two")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(feedbackTextLine(c.path, feedback), c.line);
    // Without a time there is no analysisMs.
    EXPECT_FALSE(feedbackJsonLine(QStringLiteral("x.wav"), feedback).contains(u"analysisMs"));
}

} // namespace
