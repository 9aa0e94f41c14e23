#include "speech/textaligner.h"
#include "spokentext.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

class TextAlignerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        QString error;
        aligner = TextAligner::create(&error).release();
        ASSERT_NE(aligner, nullptr) << error.toStdString();
    }
    static void TearDownTestSuite() {
        delete aligner;
        aligner = nullptr;
    }
    static TextAligner *aligner;
};

TextAligner *TextAlignerTest::aligner = nullptr;

TEST(TextAlignerWords, SpellsNumbersAsTheyAreRead) {
    const struct {
        const char *sentence;
        const char *spoken;
    } cases[] = {
        {"It rose 3.5 points.", "it rose three point five points"},
        {"In 1999, on the 21st.", "in nineteen ninety nine on the twenty first"},
        {"It costs $5, or 10% more.", "it costs five dollars or ten percent more"},
        {"About 1,250 people; 2005 and 1900.",
         "about one thousand two hundred fifty people two thousand five and nineteen hundred"},
        {"The 2nd, 3rd and 12th.", "the second third and twelfth"},
        {"Flight 007 at 40 MPH", "flight zero zero seven at forty mph"},
        {"Don't stop\u2014now!", "don't stop now"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TextAligner::spokenWords(QString::fromUtf8(c.sentence)).join(u' '),
                  QString::fromLatin1(c.spoken))
            << c.sentence;
}

// A part of a generated recording: a sentence in a voice, or (say null) a jingle of tones.
struct Part {
    const char *say;
    const char *voice;
    double pauseAfter;
    int inText; // index of the text sentence it reads; -1: not in the text
};

std::vector<qint16> jingle(double seconds) {
    std::vector<qint16> out;
    const double notes[] = {523.25, 659.25, 783.99, 1046.5};
    for (int i = 0; i < int(seconds * 16000); ++i) {
        const double f = notes[(i / 4000) % 4], t = i / 16000.0;
        out.push_back(
            qint16(6000 * (std::sin(2 * M_PI * f * t) + 0.4 * std::sin(4 * M_PI * f * t))));
    }
    return out;
}

const char *const weather = "The weather was cold and the wind blew hard all night.";
const char *const village = "In the morning the whole village was covered in snow.";
const char *const children = "The children ran outside to build a snowman by the gate.";
const char *const mother = "Their mother called them back for a warm breakfast.";
const char *const school = "After that they walked together to the little school.";
const char *const teacher = "Their teacher was waiting for them at the door.";
const char *const numbers = "The bridge is 3.5 miles long and Zorbwick built it in 1999.";

// Every sentence found holds all of its own sound and none of its neighbours'; the sentences
// the recording lacks are not found; the starts sit the margin before the sound.
TEST_F(TextAlignerTest, PlacesEverySentenceOfAGeneratedRecording) {
    if (!haveFlite())
        GTEST_SKIP() << "flite is not installed";
    const struct Case {
        const char *name;
        std::vector<Part> audio;
        std::vector<const char *> text;
        bool refused = false;
        bool noteExpected = false;
    } cases[] = {
        {"four voices, pauses 0.3-1.5 s",
         {{weather, "rms", 0.3, 0},
          {village, "slt", 1.5, 1},
          {children, "awb", 0.6, 2},
          {mother, "kal16", 0.4, 3},
          {school, "rms", 1.0, 4},
          {teacher, "slt", 0.8, 5}},
         {weather, village, children, mother, school, teacher}},
        {"soft onsets and quiet endings (awb's \"Their\")",
         {{school, "awb", 0.9, 0},
          {teacher, "awb", 1.1, 1},
          {mother, "awb", 0.5, 2},
          {children, "awb", 1.3, 3}},
         {school, teacher, mother, children}},
        {"a line the reader skipped",
         {{weather, "rms", 0.7, 0},
          {village, "rms", 0.7, 1},
          {mother, "rms", 0.7, 3},
          {school, "rms", 0.7, 4}},
         {weather, village, children, mother, school}},
        {"the last line skipped",
         {{weather, "kal16", 0.7, 0}, {village, "kal16", 0.7, 1}},
         {weather, village, children}},
        {"a title read otherwise, a line added and a jingle",
         {{"Part seven. Winter comes.", "slt", 1.0, -1},
          {weather, "slt", 0.5, 1},
          {"And nobody could sleep that night at all.", "slt", 0.6, -1},
          {village, "slt", 0.8, 2},
          {nullptr, nullptr, 0.8, -1},
          {children, "slt", 0.5, 3},
          {mother, "slt", 0.9, 4}},
         {"Chapter Seven: The Long Winter", weather, village, children, mother},
         false,
         true},
        {"digits and a name outside the dictionary",
         {{weather, "awb", 0.6, 0}, {numbers, "awb", 0.6, 1}, {village, "awb", 0.6, 2}},
         {weather, numbers, village}},
        {"short pauses between sentences",
         {{weather, "slt", 0.2, 0},
          {village, "slt", 0.15, 1},
          {children, "slt", 0.25, 2},
          {mother, "slt", 0.15, 3}},
         {weather, village, children, mother}},
        {"a recording of another text",
         {{"Please send the report to the office before Friday.", "rms", 0.6, -1},
          {"The train to the airport leaves every twenty minutes.", "rms", 0.6, -1},
          {"My favourite colour has always been green.", "rms", 0.6, -1}},
         {weather, village, children, mother},
         true},
    };
    QTemporaryDir dir;
    std::vector<double> startErrors;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SpokenTrack track;
        track.pause(0.8);
        std::vector<int> partOf(c.text.size(), -1);
        for (const Part &p : c.audio) {
            if (p.inText >= 0)
                partOf[size_t(p.inText)] = int(track.sentences.size());
            track.append(
                p.say ? speak(QString::fromUtf8(p.say), QString::fromLatin1(p.voice), dir.path())
                      : jingle(3.0),
                QString::fromUtf8(p.say ? p.say : "(jingle)"));
            ASSERT_GT(track.sentences.back().soundEnd, track.sentences.back().soundStart);
            track.pause(p.pauseAfter);
        }
        track.pause(0.5);
        QStringList text;
        for (const char *t : c.text)
            text << QString::fromUtf8(t);
        const TextAlignment a = aligner->align(track.samples, text);
        if (c.refused) {
            EXPECT_TRUE(a.error.contains(QStringLiteral("does not match the text")))
                << a.error.toStdString();
            continue;
        }
        ASSERT_TRUE(a.error.isEmpty()) << a.error.toStdString();
        ASSERT_EQ(a.sentences.size(), c.text.size());
        EXPECT_EQ(!a.notes.isEmpty(), c.noteExpected) << a.notes.join(u'|').toStdString();
        double lastEnd = 0;
        for (size_t i = 0; i < c.text.size(); ++i) {
            SCOPED_TRACE(c.text[i]);
            const SentenceAlignment &s = a.sentences[i];
            if (s.found) {
                EXPECT_LE(lastEnd, s.start) << "overlaps the sentence before";
                lastEnd = s.end;
            }
            if (partOf[i] < 0) {
                // Not in the recording (a title read otherwise may still be placed, doubtful).
                EXPECT_TRUE(!s.found || s.doubtful) << s.start << "-" << s.end;
                continue;
            }
            ASSERT_TRUE(s.found);
            EXPECT_FALSE(s.doubtful) << s.confidence;
            const auto part = size_t(partOf[i]);
            const SpokenSentence &own = track.sentences[part];
            EXPECT_LE(s.start, own.soundStart) << "cuts its first sound";
            EXPECT_GE(s.end, own.soundEnd) << "cuts its last sound";
            if (part > 0) {
                EXPECT_GT(s.start, track.sentences[part - 1].soundEnd) << "takes the sound before";
            }
            if (part + 1 < track.sentences.size()) {
                EXPECT_LT(s.end, track.sentences[part + 1].soundStart) << "takes the sound after";
            }
            startErrors.push_back(std::abs(s.start - (own.soundStart - 0.05)));
        }
    }
    ASSERT_FALSE(startErrors.empty());
    std::sort(startErrors.begin(), startErrors.end());
    EXPECT_LE(startErrors[startErrors.size() / 2], 0.060);
}

// A real voice's clips, each a sentence of the text or (text empty) sound that is not.
struct RealClips {
    const char *name;
    std::vector<std::pair<std::vector<qint16>, QString>> clips;
    std::vector<double> gaps; // pauses put after the clips in turn; none: the clips' own
};

// Five clips of an audio book, as the recogniser's test data has them (16 kHz).
RealClips audioBook() {
    RealClips book{"an audio book's clips, with pauses", {}, {0.4, 1.2, 0.7, 1.0, 0.5}};
    const QString dir = QStringLiteral("/usr/share/pocketsphinx/test/data/librivox/");
    QFile list(dir + QStringLiteral("transcription"));
    if (!list.open(QIODevice::ReadOnly))
        return book;
    for (const QByteArray &line : list.readAll().split('\n')) {
        const qsizetype open = line.lastIndexOf('(');
        if (open < 0)
            continue;
        const QString id =
            QString::fromLatin1(line.mid(open + 1, line.lastIndexOf(')') - open - 1));
        QString words = QString::fromLatin1(line.left(open));
        words.remove(QStringLiteral("<s>")).remove(QStringLiteral("</s>"));
        book.clips.push_back({readPcmWav(dir + id + QStringLiteral(".wav")), words.simplified()});
    }
    return book;
}

// The sound system's channel names read by a woman (48 kHz, each clip with its own short
// silence and room), with its noise test between: sentences with hardly a pause between.
RealClips channelNames() {
    RealClips names{"channel names read back to back, noise between", {}, {}};
    const QString dir = QStringLiteral("/usr/share/sounds/alsa/");
    const char *const clips[][2] = {
        {"Front_Left", "Front left."},     {"Front_Right", "Front right."},
        {"Front_Center", "Front center."}, {"Noise", ""},
        {"Rear_Left", "Rear left."},       {"Rear_Right", "Rear right."},
        {"Side_Left", "Side left."},       {"Side_Right", "Side right."},
    };
    for (const auto &clip : clips) {
        const std::vector<qint16> wide =
            readPcmWav(dir + QString::fromLatin1(clip[0]) + QStringLiteral(".wav"));
        if (wide.empty())
            return {};
        std::vector<qint16> narrow; // 48 to 16 kHz: the mean of each three samples
        for (size_t i = 0; i + 2 < wide.size(); i += 3)
            narrow.push_back(qint16((wide[i] + wide[i + 1] + wide[i + 2]) / 3));
        names.clips.push_back({narrow, QString::fromLatin1(clip[1])});
    }
    return names;
}

// Real voices: each sentence is found within its own clip (and the margins around it), the
// sentences never overlap, and sound that is not in the text is in none of them.
TEST_F(TextAlignerTest, FindsEachClipOfRealSpeech) {
    int voices = 0;
    for (const RealClips &real : {audioBook(), channelNames()}) {
        if (real.clips.empty())
            continue;
        SCOPED_TRACE(real.name);
        ++voices;
        SpokenTrack track;
        QStringList text;
        std::vector<size_t> clipOf; // per sentence of the text
        for (size_t i = 0; i < real.clips.size(); ++i) {
            const auto &[clip, words] = real.clips[i];
            ASSERT_FALSE(clip.empty());
            track.append(clip, words); // the clip's own edges, not its sound
            if (!words.isEmpty()) {
                text << words;
                clipOf.push_back(i);
            }
            if (!real.gaps.empty())
                track.pause(real.gaps[i % real.gaps.size()]);
        }
        const TextAlignment a = aligner->align(track.samples, text);
        ASSERT_TRUE(a.error.isEmpty()) << a.error.toStdString();
        double lastEnd = 0;
        for (size_t i = 0; i < a.sentences.size(); ++i) {
            SCOPED_TRACE(text[qsizetype(i)].toStdString());
            const SentenceAlignment &s = a.sentences[i];
            const SpokenSentence &clip = track.sentences[clipOf[i]];
            EXPECT_TRUE(s.found);
            EXPECT_FALSE(s.doubtful) << s.confidence;
            EXPECT_LE(lastEnd, s.start) << "overlaps the sentence before";
            lastEnd = s.end;
            // A clip's room tone is sound too: its margins may reach into the next clip.
            EXPECT_GE(s.start, clip.soundStart - 0.06);
            EXPECT_LE(s.end, clip.soundEnd + 0.07);
            EXPECT_GT(s.end - s.start, 0.8 * (clip.soundEnd - clip.soundStart) - 0.5);
        }
    }
    if (voices == 0)
        GTEST_SKIP() << "neither pocketsphinx-testdata nor alsa-utils is installed";
}

// A voice the model fits badly (espeak-ng's British formant voice, read as one paragraph) lost
// every path of the search within its usual beams. The recording still matches its text: it
// is aligned, its sentences in order and marked doubtful, never refused as another text.
TEST_F(TextAlignerTest, AVoiceTheModelFitsBadlyIsAlignedAndDoubtful) {
    if (QStandardPaths::findExecutable(QStringLiteral("espeak-ng")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty())
        GTEST_SKIP() << "espeak-ng or sox is not installed";
    const QStringList text = {
        QStringLiteral("Last summer, Mr. Brown took his family to Qingdao for 12 days."),
        QStringLiteral("They stayed in a small hotel near the beach, which cost about 350 yuan a "
                       "night."),
        QStringLiteral("Every morning, the children swam in the sea while their parents read the "
                       "newspaper."),
        QStringLiteral("On the 3rd day it rained, so they visited the beer museum instead."),
        QStringLiteral("\"This is the best holiday we have ever had,\" said his daughter Emily."),
        QStringLiteral("The trip ended on August 21st, and they flew home to Beijing."),
    };
    QTemporaryDir dir;
    const QString spoken = dir.filePath(QStringLiteral("spoken.wav"));
    const QString resampled = dir.filePath(QStringLiteral("16k.wav"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("espeak-ng"),
                                {QStringLiteral("-v"), QStringLiteral("en-gb"),
                                 QStringLiteral("-w"), spoken, text.join(u' ')}),
              0);
    ASSERT_EQ(QProcess::execute(QStringLiteral("sox"),
                                {spoken, QStringLiteral("-r"), QStringLiteral("16000"), resampled}),
              0);
    const TextAlignment a = aligner->align(readPcmWav(resampled), text);
    ASSERT_TRUE(a.error.isEmpty()) << a.error.toStdString();
    double lastEnd = 0;
    int found = 0;
    for (const SentenceAlignment &s : a.sentences) {
        if (!s.found)
            continue;
        ++found;
        EXPECT_GE(s.start, lastEnd);
        EXPECT_TRUE(s.doubtful) << s.confidence;
        lastEnd = s.end;
    }
    EXPECT_GE(found, 3);
}

} // namespace
