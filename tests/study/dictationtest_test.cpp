#include "playbackrig.h"
#include "study/dictationtest.h"
#include "study/studyview.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const QString rule = QStringLiteral("\r\n\r\n（评分标准：每提示1次扣20分，错误1次扣10分，复读1次扣5"
                                    "分，得分高于过关分数即可过关）");

// A run of the dictation over sentences with the real study view and sentence playback on
// the fake player. Every event the learner would notice goes into one log, in order.
class DictationRig {
public:
    explicit DictationRig(const QStringList &english)
        : rig({}), view(rig.state, rig.player, rig.sounds, rig.measurer, QStringLiteral("/prog")),
          test(rig.state, view, rig.measurer) {
        QString text = QStringLiteral("*");
        for (int i = 0; i < english.size(); ++i)
            text += QStringLiteral("%1#句%2#%3#%4#*")
                        .arg(english[i])
                        .arg(i + 1)
                        .arg(2 * i)
                        .arg(2 * i + 1);
        TrainerState &s = rig.state;
        s.sentences = SentenceTable::fromText(text);
        s.sentenceCount = s.sentences.count();
        s.studyMode = 8;

        StudyViewHooks &v = view.hooks();
        v.playCurrentSentence = [this] {
            log << QStringLiteral("play %1").arg(rig.state.currentSentence);
            rig.playback.onCommand4();
        };
        v.resetSentenceCounters = [this] { test.resetSentenceCounters(); };
        v.dictationReplay = [this] { test.replay(); };
        v.dictationHint = [this] { test.hint(); };
        v.dictationRedo = [this] { test.redo(); };
        v.dictationChecked = [this](const LetterCheck &check) { test.checked(check); };

        DictationHooks &d = test.hooks();
        d.playCurrentSentence = v.playCurrentSentence;
        d.messageBox = [this](const QString &text, const QString &title, MessageIcon icon) {
            // Where the test stands while the box is open: nothing may move before it closes.
            log << QStringLiteral("message %1 %2|%3|%4")
                       .arg(rig.state.currentSentence)
                       .arg(text, title, icon == MessageIcon::Information ? u"i" : u"-");
        };
        d.passMarkText = [this] { return passMark; };
        d.setPassMarkText = [this](const QString &text) { passMark = text; };
        d.lessonCompleted = [this] { log << QStringLiteral("lessonCompleted"); };
        d.wrongChecked = [this](int sentence, const LetterCheck &check) {
            log << QStringLiteral("wrongChecked %1 %2").arg(sentence).arg(check.typedLetters);
        };
        test.start();
        log.clear();
        rig.sounds.played.clear();
    }

    // One learner action: "hint", "replay", "redo", "first", "pgup", or "=typing" (typed,
    // then Enter).
    void act(const QString &step) {
        if (step.startsWith(u'=')) {
            rig.state.view.Text2.text = step.mid(1);
            view.typingBoxKey(Qt::Key_Return);
        } else if (step == u"hint") {
            view.keyPressed(Qt::Key_F8);
        } else if (step == u"replay") {
            view.keyPressed(Qt::Key_F7);
        } else if (step == u"redo") {
            view.keyPressed(Qt::Key_F9);
        } else if (step == u"first") {
            test.firstSentence();
        } else if (step == u"pgup") {
            view.keyPressed(Qt::Key_PageUp);
        }
    }

    PlaybackRig rig;
    StudyView view;
    DictationTest test;
    QString passMark = QStringLiteral("60");
    QStringList log;
};

QString passedMessage(int sentence, int points) {
    return QStringLiteral("message %1 本句得分：%2分，恭喜您已过关，请按回车键进入下一句。")
               .arg(sentence)
               .arg(points) +
           rule + QStringLiteral("|本句成绩|i");
}
QString failedMessage(int sentence, int points) {
    return QStringLiteral("message %1 本句得分：%2分，您未能过关，请按回车键重做当前句子。")
               .arg(sentence)
               .arg(points) +
           rule + QStringLiteral("|本句成绩|i");
}
QString lessonMessage(int sentence, int points) {
    return QStringLiteral("message %1 本句得分：%2分，恭喜您本课已过关，请按回车键查看本册成绩。")
               .arg(sentence)
               .arg(points) +
           rule + QStringLiteral("|本句成绩|i");
}

struct ScoringCase {
    const char *name;
    QStringList sentences;
    QString passMark;
    QStringList steps;
    QStringList log; // what the learner saw and heard, in order
    DictationCounters counters;
    int currentSentence;
    int passedCount;
    int selectionStart;
    int selectionLength;
    int wrongSounds;
};

class DictationScoring : public ::testing::TestWithParam<ScoringCase> {};

TEST_P(DictationScoring, CountersVerdictsAndOrderOfEvents) {
    const ScoringCase &c = GetParam();
    DictationRig d(c.sentences);
    d.passMark = c.passMark;
    for (const QString &step : c.steps)
        d.act(step);
    const TrainerState &s = d.rig.state;
    EXPECT_EQ(d.log, c.log);
    EXPECT_EQ(s.dictation.hintCount, c.counters.hintCount);
    EXPECT_EQ(s.dictation.errorCount, c.counters.errorCount);
    EXPECT_EQ(s.dictation.replayCount, c.counters.replayCount);
    EXPECT_EQ(s.dictation.sentencePoints, c.counters.sentencePoints);
    EXPECT_EQ(s.currentSentence, c.currentSentence);
    EXPECT_EQ(s.passedCount, c.passedCount);
    EXPECT_EQ(s.Label33.text, QString::number(c.passedCount));
    EXPECT_EQ(s.Label7_36.left, s.Label33.right() + 40);
    EXPECT_EQ(s.Label34.left, s.Label7_36.right() + 40);
    const DictationGeometry &g = s.dictationGeometry;
    EXPECT_EQ(s.Picture10Left,
              qRound(double(g.Picture9Width) * c.passedCount / s.sentenceCount) - g.Picture10Width);
    EXPECT_EQ(s.view.Text2.selectionStart, c.selectionStart);
    EXPECT_EQ(s.view.Text2.selectionLength, c.selectionLength);
    EXPECT_EQ(d.rig.sounds.played.filter(QStringLiteral("wrong.wav")).size(), c.wrongSounds);
}

const QStringList hello = {QStringLiteral("Hello world."), QStringLiteral("Bye.")};
const QStringList morning = {QStringLiteral("Good morning."), QStringLiteral("Bye.")};
const QStringList five = {QStringLiteral("hint"), QStringLiteral("hint"), QStringLiteral("hint"),
                          QStringLiteral("hint"), QStringLiteral("hint")};

INSTANTIATE_TEST_SUITE_P(
    Dictation, DictationScoring,
    ::testing::Values(
        // A pass: the box first, then the next sentence starts playing.
        ScoringCase{"caseAndPunctuationIgnored",
                    hello,
                    "60",
                    {"=HELLO, world!!"},
                    {passedMessage(1, 100), "play 2"},
                    {0, 0, 0, 100},
                    2,
                    1,
                    0,
                    0,
                    0},
        ScoringCase{"digitsAreNotLetters",
                    {"Lesson 5", "Bye."},
                    "60",
                    {"=lesson"},
                    {passedMessage(1, 100), "play 2"},
                    {0, 0, 0, 100},
                    2,
                    1,
                    0,
                    0,
                    0},
        ScoringCase{"letterlessSentenceEmptyBox",
                    {"5 + 5 = 10.", "Bye."},
                    "100",
                    {"="},
                    {passedMessage(1, 100), "play 2"},
                    {0, 0, 0, 100},
                    2,
                    1,
                    0,
                    0,
                    0},
        ScoringCase{"emptyEnterIsWrong",
                    hello,
                    "60",
                    {"="},
                    {"wrongChecked 1 "},
                    {0, 1, 0, 90},
                    1,
                    0,
                    0,
                    0,
                    1},
        ScoringCase{"missingLastLetter",
                    morning,
                    "60",
                    {"=Good mornin"},
                    {"wrongChecked 1 goodmornin"},
                    {0, 1, 0, 90},
                    1,
                    0,
                    11,
                    0,
                    1},
        ScoringCase{"wrongLastLetter",
                    morning,
                    "60",
                    {"=Good mornink"},
                    {"wrongChecked 1 goodmornink"},
                    {0, 1, 0, 90},
                    1,
                    0,
                    11,
                    1,
                    1},
        ScoringCase{"surplusLetter",
                    {"Hi.", "Bye."},
                    "60",
                    {"=Hi there"},
                    {"wrongChecked 1 hit"},
                    {0, 1, 0, 90},
                    1,
                    0,
                    3,
                    1,
                    1},
        ScoringCase{"twoHintsPassAt60",
                    hello,
                    "60",
                    {"hint", "hint", "=hello world"},
                    {passedMessage(1, 60), "play 2"},
                    {0, 0, 0, 100},
                    2,
                    1,
                    0,
                    0,
                    0},
        // A failure: the box, then the sentence again from 100.
        ScoringCase{"twoHintsFailAt70",
                    hello,
                    "70",
                    {"hint", "hint", "=hello world"},
                    {failedMessage(1, 60), "play 1"},
                    {0, 0, 0, 100},
                    1,
                    0,
                    0,
                    0,
                    0},
        ScoringCase{"belowZeroShowsZero",
                    hello,
                    "60",
                    five + QStringList{"=x", "=hello world"},
                    {"wrongChecked 1 x", failedMessage(1, 0), "play 1"},
                    {0, 0, 0, 100},
                    1,
                    0,
                    0,
                    0,
                    1},
        ScoringCase{"hintsReplaysAndErrorsAddUp",
                    hello,
                    "60",
                    {"hint", "replay", "replay", "=hellp"},
                    {"play 1", "play 1", "wrongChecked 1 hellp"},
                    {1, 1, 2, 60},
                    1,
                    0,
                    4,
                    1,
                    1},
        ScoringCase{"redoStartsTheSentenceOver",
                    hello,
                    "60",
                    {"hint", "=h x", "redo"},
                    {"wrongChecked 1 hx", "play 1"},
                    {0, 0, 0, 100},
                    1,
                    0,
                    0,
                    0,
                    1},
        // The last sentence: the count first, then the box, then the results store once.
        ScoringCase{"lastSentenceCompletesTheLesson",
                    {"Bye."},
                    "60",
                    {"=bye", "=bye"},
                    {lessonMessage(1, 100), "lessonCompleted"},
                    {0, 0, 0, 100},
                    1,
                    1,
                    3,
                    0,
                    0},
        ScoringCase{"firstSentenceStartsTheRunOver",
                    hello,
                    "60",
                    {"=hello world", "first"},
                    {passedMessage(1, 100), "play 2", "play 1"},
                    {0, 0, 0, 100},
                    1,
                    0,
                    0,
                    0,
                    0},
        // Passing a sentence again after Page Up counts it once, so the lesson can end.
        ScoringCase{"passedAgainAfterPageUpCountsOnce",
                    {"One.", "Two."},
                    "60",
                    {"=one", "pgup", "=one", "=two"},
                    {passedMessage(1, 100), "play 2", passedMessage(1, 100), "play 2",
                     lessonMessage(2, 100), "lessonCompleted"},
                    {0, 0, 0, 100},
                    2,
                    2,
                    3,
                    0,
                    0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(DictationPassMark, BelowSixtyIsRefusedAndAListPickReturnsToTyping) {
    struct Row {
        const char *typed;
        bool refused;
    };
    for (const Row &row : {Row{"5", true}, Row{"abc", true}, Row{"", true}, Row{"59.5", true},
                           Row{"60", false}, Row{"75", false}}) {
        SCOPED_TRACE(row.typed);
        DictationRig d({QStringLiteral("Hi.")});
        d.passMark = QString::fromLatin1(row.typed);
        d.test.passMarkEdited();
        EXPECT_EQ(d.log, row.refused
                             ? QStringList{QStringLiteral("message 1 最低值不能低于60分！||-")}
                             : QStringList{});
        EXPECT_EQ(d.passMark, row.refused ? QStringLiteral("60") : QString::fromLatin1(row.typed));
    }
    DictationRig d({QStringLiteral("Hi.")});
    d.rig.focus.clear();
    QStringList focus;
    d.test.hooks().focusTypingBox = [&focus] { focus << QStringLiteral("typing"); };
    d.test.passMarkPicked();
    EXPECT_EQ(focus, QStringList{QStringLiteral("typing")});
}

TEST(DictationRun, StartPlaysSentenceOneWithoutPausingAndEmptiesTheProgress) {
    DictationRig d({QStringLiteral("One."), QStringLiteral("Two."), QStringLiteral("Three.")});
    d.act(QStringLiteral("=one"));
    d.rig.player.VoicePlay();
    d.rig.fake.calls.clear();
    d.test.start();
    const TrainerState &s = d.rig.state;
    EXPECT_EQ(s.currentSentence, 1);
    EXPECT_EQ(s.passedCount, 0);
    EXPECT_EQ(s.Picture10Left, -s.dictationGeometry.Picture10Width);
    EXPECT_TRUE(s.Command1.enabled);
    EXPECT_FALSE(s.Command2.enabled);
    EXPECT_FALSE(s.view.Label1.visible);
    EXPECT_TRUE(s.view.Label51.visible);
    EXPECT_FALSE(d.rig.fake.calls.contains(QStringLiteral("pause")));
    EXPECT_EQ(d.rig.fake.calls.first(), QStringLiteral("seek 0"));
}

} // namespace
