#include "playbackrig.h"
#include "study/dictationtest.h"
#include "study/studyview.h"

#include <gtest/gtest.h>

#include <utility>

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

// The box of a right check as the log shows it: "message <sentence> <text>|<title>|i".
QString box(int sentence, int points, const char16_t *verdict) {
    return QStringLiteral("message %1 本句得分：%2").arg(sentence).arg(points) +
           QString::fromUtf16(verdict) + rule + QStringLiteral("|本句成绩|i");
}
constexpr char16_t passed[] = u"分，恭喜您已过关，请按回车键进入下一句。";
constexpr char16_t failed[] = u"分，您未能过关，请按回车键重做当前句子。";
constexpr char16_t lesson[] = u"分，恭喜您本课已过关，请按回车键查看本册成绩。";

struct ScoringCase {
    const char *name;
    QStringList sentences;
    QString passMark;
    QStringList steps;
    QStringList log; // what the learner saw and heard, in order
    // Counters, place and Text2's selection afterwards:
    // "hints errors replays points | sentence passedCount | selectionStart+selectionLength".
    QString after;
};

void PrintTo(const ScoringCase &c, std::ostream *out) {
    *out << c.name;
}

class DictationScoring : public ::testing::TestWithParam<ScoringCase> {};

TEST_P(DictationScoring, CountersVerdictsAndOrderOfEvents) {
    const ScoringCase &c = GetParam();
    DictationRig d(c.sentences);
    d.passMark = c.passMark;
    for (const QString &step : c.steps)
        d.act(step);
    const TrainerState &s = d.rig.state;
    const DictationCounters &k = s.dictation;
    EXPECT_EQ(d.log, c.log);
    EXPECT_EQ(QStringLiteral("%1 %2 %3 %4 | %5 %6 | %7+%8")
                  .arg(k.hintCount)
                  .arg(k.errorCount)
                  .arg(k.replayCount)
                  .arg(k.sentencePoints)
                  .arg(s.currentSentence)
                  .arg(s.passedCount)
                  .arg(s.view.Text2.selectionStart)
                  .arg(s.view.Text2.selectionLength),
              c.after);
    EXPECT_EQ(d.rig.sounds.played.filter(QStringLiteral("wrong.wav")).size(),
              c.log.filter(QStringLiteral("wrongChecked")).size());
    // The progress line and bar follow every change of the count.
    EXPECT_EQ(s.Label33.text, QString::number(s.passedCount));
    EXPECT_EQ(s.Label7_36.left, s.Label33.right() + 40);
    EXPECT_EQ(s.Label34.left, s.Label7_36.right() + 40);
    const DictationGeometry &g = s.dictationGeometry;
    EXPECT_EQ(s.Picture10Left,
              qRound(double(g.Picture9Width) * s.passedCount / s.sentenceCount) - g.Picture10Width);
}

const QStringList hello = {QStringLiteral("Hello world."), QStringLiteral("Bye.")};
const QStringList morning = {QStringLiteral("Good morning."), QStringLiteral("Bye.")};
const QStringList fiveHints = {QStringLiteral("hint"), QStringLiteral("hint"),
                               QStringLiteral("hint"), QStringLiteral("hint"),
                               QStringLiteral("hint")};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Dictation, DictationScoring, ::testing::Values(
    // A pass: the box first, then the next sentence starts playing.
    ScoringCase{"caseAndPunctuationIgnored", hello, "60", {"=HELLO, world!!"},
                {box(1, 100, passed), "play 2"}, "0 0 0 100 | 2 1 | 0+0"},
    ScoringCase{"digitsAreNotLetters", {"Lesson 5", "Bye."}, "60", {"=lesson"},
                {box(1, 100, passed), "play 2"}, "0 0 0 100 | 2 1 | 0+0"},
    ScoringCase{"letterlessSentenceEmptyBox", {"5 + 5 = 10.", "Bye."}, "100", {"="},
                {box(1, 100, passed), "play 2"}, "0 0 0 100 | 2 1 | 0+0"},
    // Wrong checks: 10 points, wrong.wav, the caret or the wrong letter, nothing moves.
    ScoringCase{"emptyEnterIsWrong", hello, "60", {"="},
                {"wrongChecked 1 "}, "0 1 0 90 | 1 0 | 0+0"},
    ScoringCase{"missingLastLetter", morning, "60", {"=Good mornin"},
                {"wrongChecked 1 goodmornin"}, "0 1 0 90 | 1 0 | 11+0"},
    ScoringCase{"wrongLastLetter", morning, "60", {"=Good mornink"},
                {"wrongChecked 1 goodmornink"}, "0 1 0 90 | 1 0 | 11+1"},
    ScoringCase{"surplusLetter", {"Hi.", "Bye."}, "60", {"=Hi there"},
                {"wrongChecked 1 hit"}, "0 1 0 90 | 1 0 | 3+1"},
    ScoringCase{"hintsReplaysAndErrorsAddUp", hello, "60", {"hint", "replay", "replay", "=hellp"},
                {"play 1", "play 1", "wrongChecked 1 hellp"}, "1 1 2 60 | 1 0 | 4+1"},
    ScoringCase{"twoHintsPassAt60", hello, "60", {"hint", "hint", "=hello world"},
                {box(1, 60, passed), "play 2"}, "0 0 0 100 | 2 1 | 0+0"},
    // A failure: the box, then the sentence again from 100.
    ScoringCase{"twoHintsFailAt70", hello, "70", {"hint", "hint", "=hello world"},
                {box(1, 60, failed), "play 1"}, "0 0 0 100 | 1 0 | 0+0"},
    ScoringCase{"belowZeroShowsZero", hello, "60", fiveHints + QStringList{"=x", "=hello world"},
                {"wrongChecked 1 x", box(1, 0, failed), "play 1"}, "0 0 0 100 | 1 0 | 0+0"},
    ScoringCase{"redoStartsTheSentenceOver", hello, "60", {"hint", "=h x", "redo"},
                {"wrongChecked 1 hx", "play 1"}, "0 0 0 100 | 1 0 | 0+0"},
    // The last sentence: counted, the box, then the results store once; Enter again is quiet.
    ScoringCase{"lastSentenceCompletesTheLesson", {"Bye."}, "60", {"=bye", "=bye"},
                {box(1, 100, lesson), "lessonCompleted"}, "0 0 0 100 | 1 1 | 3+0"},
    ScoringCase{"firstSentenceStartsTheRunOver", hello, "60", {"=hello world", "first"},
                {box(1, 100, passed), "play 2", "play 1"}, "0 0 0 100 | 1 0 | 0+0"},
    // Passing a sentence again after Page Up counts it once, so the lesson can still end.
    ScoringCase{"passedAgainAfterPageUpCountsOnce", {"One.", "Two."}, "60",
                {"=one", "pgup", "=one", "=two"},
                {box(1, 100, passed), "play 2", box(1, 100, passed), "play 2",
                 box(2, 100, lesson), "lessonCompleted"}, "0 0 0 100 | 2 2 | 3+0"}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

TEST(DictationPassMark, BelowSixtyIsRefusedAndAListPickReturnsToTyping) {
    const std::pair<const char *, bool> rows[] = {{"5", true},    {"abc", true}, {"", true},
                                                  {"59.5", true}, {"60", false}, {"75", false}};
    for (const auto &[typed, refused] : rows) {
        SCOPED_TRACE(typed);
        DictationRig d({QStringLiteral("Hi.")});
        d.passMark = QString::fromLatin1(typed);
        d.test.passMarkEdited();
        EXPECT_EQ(d.log, refused ? QStringList{QStringLiteral("message 1 最低值不能低于60分！||-")}
                                 : QStringList{});
        EXPECT_EQ(d.passMark, refused ? QStringLiteral("60") : QString::fromLatin1(typed));
    }
    DictationRig d({QStringLiteral("Hi.")});
    QStringList focus;
    d.test.hooks().focusTypingBox = [&focus] { focus << QStringLiteral("typing"); };
    d.test.passMarkPicked();
    EXPECT_EQ(focus, QStringList{QStringLiteral("typing")});
}

} // namespace
