#include "speech/speechaligner.h"
#include "testwav.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <random>

// Recordings from tools/speech/make_fixtures.sh: espeak-ng sentences (intact, one word cut
// out, under white noise at 0 dB SNR, with a made-up word) and real read speech.

namespace {

const QString booking = QStringLiteral("I would like to book a room for two nights.");
const QString illDisposed =
    QStringLiteral("Unless to be rather cold-hearted and rather selfish is to be ill-disposed.");

class SpeechAlignerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        QString error;
        aligner = SpeechAligner::create(&error).release();
        ASSERT_NE(aligner, nullptr) << error.toStdString();
    }
    static void TearDownTestSuite() {
        delete aligner;
        aligner = nullptr;
    }

    static SpeechAnalysis analyse(const QString &file, const QString &sentence) {
        const SpeechAudio audio =
            readTestWav(QStringLiteral(ORVESSA_TEST_DATA_DIR "/speech/") + file);
        EXPECT_FALSE(audio.samples.empty()) << file.toStdString();
        return aligner->analyse(audio, sentence);
    }

    static SpeechAligner *aligner;
};

SpeechAligner *SpeechAlignerTest::aligner = nullptr;

std::string describe(const SpeechAnalysis &a) {
    std::string s = a.aligned ? "aligned:" : "not aligned:";
    for (const AlignedWord &w : a.words)
        s += " " + w.text.toStdString() + (w.present ? "" : "(left out)") + "[" +
             std::to_string(w.startMs) + "-" + std::to_string(w.endMs) + " " +
             std::to_string(w.confidence) + "]";
    return s;
}

TEST(SpeechAlignerWords, SpellsWordsAsTheDictionaryDoes) {
    struct Case {
        QString sentence;
        QStringList texts;
        QStringList spelled;
    } cases[] = {
        {booking,
         {"I", "would", "like", "to", "book", "a", "room", "for", "two", "nights"},
         {"i", "would", "like", "to", "book", "a", "room", "for", "two", "nights"}},
        {QStringLiteral("\"Don't,\" she said\u2014I won\u2019t!"),
         {"Don't", "she", "said", "I", "won\u2019t"},
         {"don't", "she", "said", "i", "won't"}},
        {QStringLiteral("A well-known 10 o'clock train, 3.5 km."),
         {"A", "well", "known", "10", "o'clock", "train", "3.5", "km"},
         {"a", "well", "known", "10", "o'clock", "train", "3.5", "km"}},
        {QStringLiteral("'Hello' ... -- U.S. (see) caf\u00e9"),
         {"Hello", "U.S", "see", "caf\u00e9"},
         {"hello", "us", "see", "caf\u00e9"}},
        {QStringLiteral(" ... "), {}, {}},
    };
    for (const Case &c : cases) {
        QStringList texts, spelled;
        for (const SentenceWord &w : SpeechAligner::words(c.sentence)) {
            texts << w.text;
            spelled << w.spelled;
        }
        EXPECT_EQ(texts, c.texts) << c.sentence.toStdString();
        EXPECT_EQ(spelled, c.spelled) << c.sentence.toStdString();
    }
}

// Which words each recording keeps, which it cannot check, and that the forced alignment
// puts them in order inside the recording, clearly enough where the speech is clean.
TEST_F(SpeechAlignerTest, AlignsEachRecordingAndFindsTheWordsSaid) {
    struct Case {
        QString file;
        QString sentence;
        QStringList leftOut;
        QStringList notChecked;
        int firstStartMs; // the first word starts at or after this
        double lowestConfidence;
    } cases[] = {
        {"intact.wav", booking, {}, {}, 0, -2.0},
        {"cut_two.wav", booking, {"two"}, {}, 0, -2.0 /* the words left in */},
        {"unknown.wav", "Please ask Zorblatt to call me tomorrow.", {}, {"Zorblatt"}, 0, -5.0},
        {"goforward.wav", "Go forward ten meters.", {}, {}, 300, -1.0},
        {"illdisposed.wav",
         "Unless to be rather cold-hearted and rather selfish is to be ill-disposed.",
         {},
         {},
         200,
         -1.0},
    };
    for (const Case &c : cases) {
        const SCOPED_TRACE(c.file.toStdString());
        const SpeechAudio audio =
            readTestWav(QStringLiteral(ORVESSA_TEST_DATA_DIR "/speech/") + c.file);
        const SpeechAnalysis a = aligner->analyse(audio, c.sentence);
        ASSERT_TRUE(a.aligned) << a.error.toStdString();
        EXPECT_TRUE(a.error.isEmpty());
        ASSERT_EQ(a.words.size(), SpeechAligner::words(c.sentence).size()) << describe(a);
        QStringList leftOut, notChecked;
        int previousEnd = c.firstStartMs;
        for (const AlignedWord &w : a.words) {
            if (!w.present)
                leftOut << w.text;
            if (!w.inDictionary)
                notChecked << w.text;
            EXPECT_GE(w.startMs, previousEnd) << describe(a);
            EXPECT_GE(w.endMs, w.startMs) << describe(a);
            previousEnd = w.endMs;
            if (w.inDictionary && w.present) {
                EXPECT_GT(w.endMs, w.startMs) << describe(a);
                EXPECT_GE(w.confidence, c.lowestConfidence) << describe(a);
                EXPECT_LE(w.confidence, 2.0) << describe(a); // nats per frame
            }
            if (!w.inDictionary) {
                EXPECT_TRUE(std::isnan(w.confidence));
            }
        }
        EXPECT_LE(previousEnd, int(audio.seconds() * 1000)) << describe(a);
        EXPECT_EQ(leftOut, c.leftOut) << describe(a);
        EXPECT_EQ(notChecked, c.notChecked) << describe(a);
    }
}

// The word cut out of the recording is the one whose sounds fit far worse than before; its
// neighbours barely change, and the alignment squeezes it into the cut.
TEST_F(SpeechAlignerTest, CutWordScoresFarBelowItsIntactSelf) {
    const SpeechAnalysis intact = analyse("intact.wav", booking);
    const SpeechAnalysis cut = analyse("cut_two.wav", booking);
    ASSERT_TRUE(intact.aligned && cut.aligned);
    ASSERT_EQ(intact.words.size(), cut.words.size());
    for (size_t i = 0; i < intact.words.size(); ++i) {
        const AlignedWord &before = intact.words[i], &after = cut.words[i];
        if (before.text == QStringLiteral("two")) {
            EXPECT_LT(after.confidence, before.confidence - 5) << describe(cut);
            EXPECT_LT(after.endMs - after.startMs, (before.endMs - before.startMs) / 2);
        } else {
            EXPECT_NEAR(after.confidence, before.confidence, 1.0) << before.text.toStdString();
        }
    }
}

// The analysis of a recording depends on that recording alone, not on what the decoder
// heard before it: the same take judged again after others gives the same words, times and
// scores (a learner playing one file three times must get one verdict).
TEST_F(SpeechAlignerTest, TheSameRecordingGivesTheSameAnalysisWhateverCameBefore) {
    const std::pair<const char *, QString> takes[] = {{"intact.wav", booking},
                                                      {"noisy_0db.wav", booking},
                                                      {"illdisposed.wav", illDisposed},
                                                      {"cut_two.wav", booking}};
    for (const auto &[file, sentence] : takes) {
        const std::string first = describe(analyse(file, sentence));
        for (const auto &[other, otherSentence] : takes)
            analyse(other, otherSentence);
        EXPECT_EQ(describe(analyse(file, sentence)), first) << file;
    }
}

// White noise as loud as the sentence: the alignment still goes through here, but words are
// lost and the rest fit worse on average. Silence gives no alignment at all.
TEST_F(SpeechAlignerTest, NoiseAndSilenceAreMarkedAsSuch) {
    auto meanConfidence = [](const SpeechAnalysis &a) {
        double sum = 0;
        for (const AlignedWord &w : a.words)
            sum += w.confidence;
        return sum / double(a.words.size());
    };
    const SpeechAnalysis intact = analyse("intact.wav", booking);
    const SpeechAnalysis noisy = analyse("noisy_0db.wav", booking);
    ASSERT_TRUE(intact.aligned);
    if (noisy.aligned) {
        EXPECT_LT(meanConfidence(noisy), meanConfidence(intact) - 0.5) << describe(noisy);
        EXPECT_TRUE(std::any_of(noisy.words.begin(), noisy.words.end(), [](const AlignedWord &w) {
            return !w.present;
        })) << describe(noisy);
    }

    // A quiet room (noise at -60 dBFS) is decoded and holds no sentence; a muted microphone
    // (exact zeros) is not decoded at all.
    SpeechAudio room, muted;
    std::mt19937 random(7);
    std::normal_distribution<float> floor(0.0f, 0.001f);
    for (int i = 0; i < 3 * 16000; ++i)
        room.samples.push_back(floor(random));
    muted.samples.assign(3 * 16000, 0.0f);
    for (const auto &[audio, error] : {std::pair{room, false}, {muted, true}}) {
        const SpeechAnalysis quiet = aligner->analyse(audio, booking);
        EXPECT_FALSE(quiet.aligned) << describe(quiet);
        EXPECT_EQ(quiet.error.isEmpty(), !error) << quiet.error.toStdString();
        EXPECT_EQ(quiet.failure, error ? AnalysisFailure::Silent : AnalysisFailure::None);
        for (const AlignedWord &w : quiet.words)
            EXPECT_FALSE(w.present) << describe(quiet);
    }
}

// What the recogniser cannot run on says why, and still lists the sentence's words.
TEST_F(SpeechAlignerTest, RefusesWhatItCannotAnalyse) {
    const SpeechAudio speech =
        readTestWav(QStringLiteral(ORVESSA_TEST_DATA_DIR "/speech/intact.wav"));
    SpeechAudio at8k = speech, blip = speech, hum = speech;
    at8k.sampleRate = 8000;
    blip.samples.resize(16000 / 10 - 1);
    for (float &s : hum.samples)
        s *= 0.0005f; // below the least the recogniser decodes
    struct Case {
        const char *what;
        SpeechAudio audio;
        QString sentence;
        size_t words;
        AnalysisFailure failure;
    } cases[] = {
        {"no word in the dictionary", speech, "Zorblatt 42!", 2, AnalysisFailure::NoKnownWord},
        {"no words at all", speech, " -- ", 0, AnalysisFailure::NoKnownWord},
        {"empty audio", SpeechAudio{}, booking, 10, AnalysisFailure::TooShort},
        {"just under a tenth of a second", blip, booking, 10, AnalysisFailure::TooShort},
        {"all but silent", hum, booking, 10, AnalysisFailure::Silent},
        {"8 kHz audio", at8k, booking, 10, AnalysisFailure::Recogniser},
    };
    for (const Case &c : cases) {
        const SpeechAnalysis a = aligner->analyse(c.audio, c.sentence);
        EXPECT_FALSE(a.aligned) << c.what;
        EXPECT_FALSE(a.error.isEmpty()) << c.what;
        EXPECT_EQ(a.failure, c.failure) << c.what;
        EXPECT_EQ(a.words.size(), c.words) << c.what;
        for (const AlignedWord &w : a.words)
            EXPECT_EQ(w.present, !w.inDictionary) << c.what << ": " << describe(a);
    }

    QString error;
    EXPECT_EQ(SpeechAligner::create(&error, QStringLiteral("/nonexistent/model")), nullptr);
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
