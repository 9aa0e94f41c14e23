#include "audio/fakevoicebackend.h"
#include "audio/shortsound.h"
#include "audio/ticker.h"
#include "audio/voiceplayer.h"
#include "study/lessonloader.h"
#include "study/sentenceplayback.h"
#include "study/studyview.h"
#include "support/fakemeasurer.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString programDir = QStringLiteral("/prog");

QString sound(const char *name) {
    return programDir + QStringLiteral("/SETTING/Sound/") + QString::fromLatin1(name);
}

// "*Sentence i.#句子i。#start#end#*..." with sentence i at 2i .. 2i+1.5 seconds.
QString lessonText(int count) {
    QString text = QStringLiteral("*");
    for (int i = 1; i <= count; ++i) {
        text += QStringLiteral("Sentence %1.#句子%1。#%2#%3#*")
                    .arg(i)
                    .arg(2.0 * i, 0, 'f', 1)
                    .arg(2.0 * i + 1.5, 0, 'f', 1);
    }
    return text;
}

class StudyViewTest : public ::testing::Test {
protected:
    explicit StudyViewTest(Program program = Program::Orvessa,
                           VoiceBackend::Unit unit = VoiceBackend::Unit::Seconds)
        : state(TrainerState::forProgram(program)),
          player(program, std::make_unique<FakeVoiceBackend>(unit)),
          view(state, player, sounds, measurer, programDir) {
        state.view = StudyViewState::forProgram(program);
        // Colours unlike any default, so that only row 0's values can match.
        state.rowTemplate.englishText = {10, 20, 30};
        state.rowTemplate.englishBack = {240, 241, 242};
        state.rowTemplate.chineseText = {40, 50, 60};
        state.rowTemplate.chineseBack = {250, 251, 252};

        StudyViewHooks &h = view.hooks();
        h.playCurrentSentence = [this] { log << QStringLiteral("play"); };
        h.resetForModeChange = [this] { log << QStringLiteral("resetForModeChange"); };
        h.applyModePair = [this](int mode) { log << QStringLiteral("applyModePair %1").arg(mode); };
        h.stopPlaybackAndScrollTop = [this] { log << QStringLiteral("stopPlaybackAndScrollTop"); };
        h.focusCombo4 = [this] { log << QStringLiteral("focusCombo4"); };
        h.focusTypingBox = [this] { log << QStringLiteral("focusTypingBox"); };
        h.messageBox = [this](const QString &text, const QString &title, MessageIcon icon) {
            log << QStringLiteral("message %1|%2|%3")
                       .arg(text, title, icon == MessageIcon::Information ? u"i" : u"-");
        };
        h.resetSentenceCounters = [this] { log << QStringLiteral("resetSentenceCounters"); };
        h.dictationReplay = [this] { log << QStringLiteral("dictationReplay"); };
        h.dictationHint = [this] { log << QStringLiteral("dictationHint"); };
        h.dictationRedo = [this] { log << QStringLiteral("dictationRedo"); };
        h.dictationChecked = [this](const LetterCheck &check) {
            log << QStringLiteral("dictationChecked %1").arg(check.right ? u"right" : u"wrong");
        };
        QObject::connect(&view, &StudyView::viewChanged, [this] { ++changes; });
    }

    // What the loader leaves behind: table, rows, sentence 1 shown, buttons, cc.
    void load(int count, int mode = 1) {
        state.studyMode = mode;
        state.sentences = SentenceTable::fromText(lessonText(count));
        state.sentenceCount = state.sentences.count();
        state.currentSentence = 0;
        if (count > 0)
            view.nextSentence();
        setSentenceButtons(state);
        layoutRowsInto(state.rows, state.sentences, state.rowTemplate, measurer);
        view.cc();
        log.clear();
        sounds.played.clear();
        changes = 0;
    }

    std::vector<TwipRect> boxes() const {
        std::vector<TwipRect> result;
        for (const SentenceRow &row : state.rows) {
            result.push_back(row.Label6.box);
            result.push_back(row.Label8.box);
        }
        return result;
    }

    bool chineseShown(int i) const {
        return state.row(i).Label8.colour == state.rowTemplate.chineseText;
    }
    bool chineseHidden(int i) const {
        return state.row(i).Label8.colour == state.rowTemplate.chineseBack;
    }
    bool englishShown(int i) const {
        return state.row(i).Label6.colour == state.rowTemplate.englishText;
    }
    bool englishHidden(int i) const {
        return state.row(i).Label6.colour == state.rowTemplate.englishBack;
    }

    TrainerState state;
    FakeMeasurer measurer;
    VoicePlayer player;
    RecordingShortSoundPlayer sounds;
    StudyView view;
    QStringList log;
    int changes = 0;
};

// --- ty and the single-sentence view ------------------------------------------------------

TEST_F(StudyViewTest, TyShowsTheSentenceItsMaskAndPosition) {
    load(3);
    state.playback.repeatCount = 2;
    state.view.Text2.text = QStringLiteral("typed");
    state.view.Text2.selectionStart = 3;
    state.currentSentence = 2;
    view.ty();
    const StudyViewState &v = state.view;
    EXPECT_EQ(v.Label1.text, QStringLiteral("Sentence 2."));
    EXPECT_EQ(v.Label51.text, QStringLiteral("________ 2."));
    EXPECT_EQ(v.Label2.text, QStringLiteral("句子2。"));
    EXPECT_EQ(v.Label7_5.text, QStringLiteral("2 / 3"));
    EXPECT_EQ(state.playback.repeatCount, 0);
    EXPECT_TRUE(v.Text2.text.isEmpty());
    EXPECT_EQ(v.Text2.selectionStart, 0);
    EXPECT_EQ(log, QStringList({"resetSentenceCounters", "focusTypingBox"}));
    EXPECT_EQ(changes, 1);
}

class StudyViewUnits : public StudyViewTest, public ::testing::WithParamInterface<bool> {
protected:
    StudyViewUnits()
        : StudyViewTest(Program::Orvessa, GetParam() ? VoiceBackend::Unit::Seconds
                                                     : VoiceBackend::Unit::Milliseconds) {}
};

TEST_P(StudyViewUnits, TyStoresTheTimesInThePlayersUnit) {
    load(3);
    state.currentSentence = 3;
    view.ty();
    const double scale = GetParam() ? 1.0 : 1000.0;
    EXPECT_DOUBLE_EQ(player.voiceStart, 6.0 * scale);
    EXPECT_DOUBLE_EQ(player.voiceEnd, 7.5 * scale);
}

INSTANTIATE_TEST_SUITE_P(StudyView, StudyViewUnits, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "seconds" : "milliseconds"; });

TEST_F(StudyViewTest, TyOfARecordWithoutTimesLeavesNoOldTimesBehind) {
    load(2);
    state.currentSentence = 2;
    view.ty();
    ASSERT_GT(player.voiceEnd, 0);
    state.sentences = SentenceTable::fromText(u"*First.#一。#1.0#2.0#*Broken.#坏。#abc##*");
    state.currentSentence = 2;
    view.ty();
    EXPECT_EQ(state.view.Label1.text, QStringLiteral("Broken."));
    EXPECT_EQ(player.voiceStart, 0);
    EXPECT_EQ(player.voiceEnd, 0);
}

TEST_F(StudyViewTest, TyCutsTheSentenceFieldsAsTheLessonFormatDoes) {
    // Only spaces are trimmed; tabs and line breaks are part of the field, as everywhere
    // else the fields are read (the rows, the content tool).
    struct Case {
        const char16_t *record;
        const char16_t *english;
        const char16_t *chinese;
    };
    const Case cases[] = {
        {u"*  Spaces.  # 空格。 #1#2#*", u"Spaces.", u"空格。"},
        {u"*\tTabbed.\t#\t制表。\t#1#2#*", u"\tTabbed.\t", u"\t制表。\t"},
        {u"*\r\nBroken.\r\n# \n换行。\r #1#2#*", u"\r\nBroken.\r\n", u"\n换行。\r"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.english).toStdString());
        state.sentences = SentenceTable::fromText(c.record);
        state.sentenceCount = 1;
        state.currentSentence = 1;
        view.ty();
        const StudyViewState &v = state.view;
        EXPECT_EQ(state.sentences.entry(1).english, QString::fromUtf16(c.english));
        EXPECT_EQ(v.Label1.text, QString::fromUtf16(c.english));
        EXPECT_EQ(v.Label10.text, QString::fromUtf16(c.english));
        EXPECT_EQ(v.Label2.text, QString::fromUtf16(c.chinese));
        EXPECT_EQ(v.Label11.text, QString::fromUtf16(c.chinese));
    }
}

TEST_F(StudyViewTest, TyOutsideTheTableShowsNothing) {
    load(0);
    view.ty();
    EXPECT_TRUE(state.view.Label1.text.isEmpty());
    EXPECT_TRUE(state.view.Label51.text.isEmpty());
    EXPECT_EQ(state.view.Label7_5.text, QStringLiteral("0 / 0"));
}

TEST_F(StudyViewTest, TyShowsSentenceOrMaskByModeAndOption) {
    load(2);
    view.setCheckValue(1, 0);
    view.ty();
    EXPECT_FALSE(state.view.Label1.visible);
    EXPECT_TRUE(state.view.Label51.visible);
    view.setCheckValue(1, 1);
    view.ty();
    EXPECT_TRUE(state.view.Label1.visible);
    EXPECT_FALSE(state.view.Label51.visible);
    // Dictation always starts a sentence masked, whatever the option says.
    state.studyMode = 8;
    view.ty();
    EXPECT_FALSE(state.view.Label1.visible);
    EXPECT_TRUE(state.view.Label51.visible);
}

struct WrapCase {
    const char *name;
    int naturalWidth;
    int availableWidth;
    int lines;
};

class FollowReadWrap : public ::testing::TestWithParam<WrapCase> {};

TEST_P(FollowReadWrap, Lines) {
    const WrapCase c = GetParam();
    EXPECT_EQ(followReadLines(c.naturalWidth, c.availableWidth), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    StudyView, FollowReadWrap,
    ::testing::Values(
        // W = 8180: the divisor is 0.95 W = 7771.
        WrapCase{"fits", 8180, 8180, 1}, WrapCase{"oneTwipWider", 8181, 8180, 2},
        WrapCase{"justBelowTwoDivisors", 15541, 8180, 2}, WrapCase{"twoDivisors", 15542, 8180, 3},
        // The divisor is rounded half to even before dividing: 9.5 -> 10, 28.5 -> 28.
        WrapCase{"halfRoundsUpToEven", 11, 10, 2}, WrapCase{"halfRoundsDownToEven", 56, 30, 3},
        WrapCase{"noRoomNoWrap", 5000, 0, 1}, WrapCase{"negativeRoomNoWrap", 5000, -700, 1},
        WrapCase{"hugeTextStaysBounded", 2147483647, 1, maxCanvasTwips}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(StudyViewTest, FollowReadPanelWrapsTheEnglishAndPlacesTheChineseBelow) {
    load(1);
    const FollowReadGeometry &g = state.view.followRead;
    const int W = g.availableWidth();
    // Short: auto-sized, one line.
    measurer.widths.insert(QStringLiteral("Sentence 1."), 2000);
    view.ty();
    EXPECT_TRUE(state.view.Label10.autoSize);
    EXPECT_EQ(state.view.Label10.width, 2000);
    EXPECT_EQ(state.view.Label10.height, g.Label10LineHeight);
    EXPECT_EQ(state.view.Label11.text, QStringLiteral("句子1。"));
    EXPECT_EQ(state.view.Label11.top, g.Label10Top + g.Label10LineHeight + 130);
    // Wider than the panel: W wide, (width \ 0.95 W) + 1 lines.
    measurer.widths.insert(QStringLiteral("Sentence 1."), 2 * W);
    view.ty();
    EXPECT_FALSE(state.view.Label10.autoSize);
    EXPECT_EQ(state.view.Label10.width, W);
    EXPECT_EQ(state.view.Label10.lines, 3);
    EXPECT_EQ(state.view.Label10.height, 3 * g.Label10LineHeight);
    EXPECT_EQ(state.view.Label11.top, g.Label10Top + 3 * g.Label10LineHeight + 130);
}

// --- Navigation --------------------------------------------------------------------------

TEST_F(StudyViewTest, PageKeysAreDisabledAtTheEnds) {
    load(3);
    ASSERT_EQ(state.currentSentence, 1);
    EXPECT_FALSE(state.Command2.enabled);
    EXPECT_FALSE(view.keyPressed(Qt::Key_PageUp));
    EXPECT_EQ(state.currentSentence, 1);

    EXPECT_TRUE(view.keyPressed(Qt::Key_PageDown));
    EXPECT_TRUE(view.keyPressed(Qt::Key_PageDown));
    EXPECT_EQ(state.currentSentence, 3);
    EXPECT_FALSE(state.Command1.enabled);
    EXPECT_FALSE(state.Command14.enabled);
    EXPECT_TRUE(state.Command2.enabled);
    EXPECT_TRUE(state.Command13.enabled);
    EXPECT_FALSE(view.keyPressed(Qt::Key_PageDown));
    EXPECT_EQ(state.currentSentence, 3);
    EXPECT_EQ(state.view.Label7_5.text, QStringLiteral("3 / 3"));

    EXPECT_TRUE(view.keyPressed(Qt::Key_PageUp));
    EXPECT_TRUE(view.keyPressed(Qt::Key_PageUp));
    EXPECT_EQ(state.currentSentence, 1);
    EXPECT_FALSE(state.Command2.enabled);
    EXPECT_FALSE(state.Command13.enabled);
    EXPECT_TRUE(state.Command1.enabled);
    EXPECT_TRUE(state.Command14.enabled);
}

TEST_F(StudyViewTest, PageDownOnlyInSentenceStudyPageUpWhereverEnabled) {
    load(3, 2);
    EXPECT_FALSE(view.keyPressed(Qt::Key_PageDown));
    EXPECT_EQ(state.currentSentence, 1);
    state.currentSentence = 2;
    setSentenceButtons(state);
    EXPECT_TRUE(view.keyPressed(Qt::Key_PageUp));
    EXPECT_EQ(state.currentSentence, 1);
}

TEST_F(StudyViewTest, MovesBeyondTheTableDoNothing) {
    load(2);
    state.currentSentence = 2;
    view.nextSentence();
    EXPECT_EQ(state.currentSentence, 2);
    state.currentSentence = 1;
    view.previousSentence();
    EXPECT_EQ(state.currentSentence, 1);
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(changes, 0);
}

struct MovePlayCase {
    const char *name;
    int mode;
    const char *repeats;
    int move; // 1 next, -1 previous, 0 first
    bool plays;
};

class MovePlays : public StudyViewTest, public ::testing::WithParamInterface<MovePlayCase> {};

TEST_P(MovePlays, ThePlayerStartsWhereTheModeSays) {
    const MovePlayCase c = GetParam();
    load(3, c.mode);
    state.currentSentence = 2;
    setSentenceButtons(state);
    state.playback.Combo2Text = QString::fromLatin1(c.repeats);
    log.clear();
    if (c.move > 0)
        view.nextSentence();
    else if (c.move < 0)
        view.previousSentence();
    else
        view.firstSentence();
    EXPECT_EQ(log.contains(QStringLiteral("play")), c.plays);
    // The sentence is shown before it plays: its times are in place.
    if (c.plays) {
        EXPECT_EQ(log.last(), QStringLiteral("play"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    StudyView, MovePlays,
    ::testing::Values(MovePlayCase{"studyNextWithRepeats", 1, "2", 1, true},
                      MovePlayCase{"studyPreviousWithRepeats", 1, "2", -1, true},
                      MovePlayCase{"studyFirstWithRepeats", 1, "1", 0, true},
                      MovePlayCase{"studyRepeatZero", 1, "0", 1, false},
                      MovePlayCase{"studyRepeatNotANumber", 1, "x", 1, false},
                      MovePlayCase{"dictationNext", 8, "0", 1, true},
                      MovePlayCase{"dictationFirst", 8, "0", 0, true},
                      MovePlayCase{"dictationPreviousIsSilent", 8, "1", -1, false},
                      MovePlayCase{"browsingNeverPlays", 2, "3", 1, false},
                      MovePlayCase{"followReadNeverPlays", 5, "3", -1, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(StudyViewTest, FirstSentenceResetsTheButtons) {
    load(3);
    state.currentSentence = 3;
    setSentenceButtons(state);
    EXPECT_TRUE(view.keyPressed(Qt::Key_F1));
    EXPECT_EQ(state.currentSentence, 1);
    EXPECT_EQ(state.view.Label7_5.text, QStringLiteral("1 / 3"));
    EXPECT_TRUE(state.Command1.enabled);
    EXPECT_TRUE(state.Command14.enabled);
    EXPECT_FALSE(state.Command2.enabled);
    EXPECT_FALSE(state.Command13.enabled);
}

TEST_F(StudyViewTest, FirstSentenceOfAOneSentenceLessonKeepsNextDisabled) {
    load(1);
    view.firstSentence();
    EXPECT_EQ(state.currentSentence, 1);
    EXPECT_FALSE(state.Command1.enabled);
    EXPECT_FALSE(view.keyPressed(Qt::Key_PageDown));
    EXPECT_EQ(state.currentSentence, 1);
}

TEST_F(StudyViewTest, FirstSentenceOfAnEmptyLessonDoesNothing) {
    load(0);
    EXPECT_TRUE(view.keyPressed(Qt::Key_F1));
    EXPECT_EQ(state.currentSentence, 0);
    EXPECT_TRUE(log.isEmpty());
}

// --- Display options ---------------------------------------------------------------------

TEST_F(StudyViewTest, ClearingShowChineseHidesEveryChineseLineWithoutMovingAny) {
    load(12, 2);
    const std::vector<TwipRect> before = boxes();
    view.toggleCheck(3);
    EXPECT_EQ(state.view.Check3.value, 0);
    EXPECT_EQ(state.view.Image12.path, QStringLiteral("bitmap/0.jpg"));
    for (int i = 1; i <= 12; ++i) {
        EXPECT_TRUE(chineseHidden(i)) << i;
        EXPECT_TRUE(englishShown(i)) << i;
    }
    EXPECT_EQ(boxes(), before);
    EXPECT_EQ(log, QStringList({"focusCombo4"}));

    view.toggleCheck(3);
    EXPECT_EQ(state.view.Image12.path, QStringLiteral("bitmap/a1.jpg"));
    for (int i = 1; i <= 12; ++i)
        EXPECT_EQ(state.row(i).Label8.colour, (RgbColour{40, 50, 60})) << i;
    EXPECT_EQ(boxes(), before);
}

TEST_F(StudyViewTest, EnglishOptionOfFullTextHidesEnglishLines) {
    load(3, 2);
    view.toggleCheck(5);
    EXPECT_EQ(state.view.Image27.path, QStringLiteral("bitmap/0.jpg"));
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(englishHidden(i));
        EXPECT_TRUE(chineseShown(i));
    }
    // The options outlive a mode change: browsing again keeps the English hidden.
    state.studyMode = 1;
    view.cc();
    state.studyMode = 2;
    view.cc();
    EXPECT_TRUE(englishHidden(2));
    EXPECT_EQ(state.view.Image27.path, QStringLiteral("bitmap/0.jpg"));
}

struct OptionCase {
    const char *name;
    int check;
    const char *tickedPicture;
};

class OptionTwins : public StudyViewTest, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(OptionTwins, TheTwinFlipsTheValueAndThePicture) {
    const OptionCase c = GetParam();
    load(2);
    ASSERT_EQ(view.checkValue(c.check), 1);
    view.toggleCheck(c.check);
    EXPECT_EQ(view.checkValue(c.check), 0);
    EXPECT_EQ(view.checkPicture(c.check, 0), QStringLiteral("bitmap/0.jpg"));
    view.toggleCheck(c.check);
    EXPECT_EQ(view.checkValue(c.check), 1);
    EXPECT_EQ(view.checkPicture(c.check, 1), QString::fromLatin1(c.tickedPicture));
}

INSTANTIATE_TEST_SUITE_P(StudyView, OptionTwins,
                         ::testing::Values(OptionCase{"englishHint", 1, "bitmap/1.jpg"},
                                           OptionCase{"chineseHint", 2, "bitmap/1.jpg"},
                                           OptionCase{"chineseRows", 3, "bitmap/a1.jpg"},
                                           OptionCase{"followReadChinese", 4, "bitmap/1.jpg"},
                                           OptionCase{"englishRows", 5, "bitmap/a1.jpg"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(StudyViewTest, OptionEffectsOnTheSentenceLabels) {
    load(2);
    const StudyViewState &v = state.view;
    view.setCheckValue(1, 0);
    EXPECT_EQ(v.Image10.path, QStringLiteral("bitmap/0.jpg"));
    EXPECT_FALSE(v.Label1.visible);
    EXPECT_TRUE(v.Label51.visible);
    view.setCheckValue(2, 0);
    EXPECT_EQ(v.Image11.path, QStringLiteral("bitmap/0.jpg"));
    EXPECT_FALSE(v.Label2.visible);
    view.setCheckValue(4, 0);
    EXPECT_EQ(v.Image13.path, QStringLiteral("bitmap/0.jpg"));
    EXPECT_FALSE(v.Label11.visible);
    view.setCheckValue(2, 1);
    view.setCheckValue(4, 1);
    EXPECT_TRUE(v.Label2.visible);
    EXPECT_TRUE(v.Label11.visible);
}

TEST_F(StudyViewTest, SettingTheValueABoxAlreadyHasRunsNothing) {
    load(3, 2);
    view.setCheckValue(3, 1); // already 1
    view.setCheckValue(3, 2); // not a check-box value
    view.setCheckValue(9, 0); // no such box
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(changes, 0);
    // Row colours changed behind the box's back stay as they are: the handler did not run.
    state.row(1).Label8.colour = state.rowTemplate.chineseBack;
    view.setCheckValue(3, 1);
    EXPECT_TRUE(chineseHidden(1));
}

// --- Recall views ------------------------------------------------------------------------

TEST_F(StudyViewTest, RecallChineseRevealsAndHidesAClickedLine) {
    load(4, 3);
    for (int i = 1; i <= 4; ++i) {
        EXPECT_TRUE(chineseHidden(i));
        EXPECT_TRUE(englishShown(i));
        EXPECT_EQ(state.row(i).Label8.cursor, RowCursor::PointingHand);
    }
    const std::vector<TwipRect> before = boxes();
    view.rowPressed({2, RowElement::ChineseClickArea});
    EXPECT_EQ(sounds.played, QStringList({sound("MouDown.wav")}));
    EXPECT_TRUE(chineseHidden(2));
    view.rowReleased({2, RowElement::ChineseClickArea});
    EXPECT_EQ(sounds.played, QStringList({sound("MouDown.wav"), sound("MouUp.wav")}));
    EXPECT_TRUE(chineseShown(2));
    EXPECT_TRUE(chineseHidden(1));
    EXPECT_TRUE(chineseHidden(3));

    // The same line clicked on the line itself hides it again.
    view.rowPressed({2, RowElement::ChineseLine});
    view.rowReleased({2, RowElement::ChineseLine});
    EXPECT_TRUE(chineseHidden(2));
    EXPECT_EQ(boxes(), before);

    // English lines and strips of the other language do nothing here.
    sounds.played.clear();
    view.rowPressed({3, RowElement::EnglishLine});
    view.rowReleased({3, RowElement::EnglishLine});
    view.rowReleased({3, RowElement::EnglishClickArea});
    EXPECT_TRUE(sounds.played.isEmpty());
    EXPECT_TRUE(englishShown(3));
    EXPECT_TRUE(chineseHidden(3));
}

TEST_F(StudyViewTest, RecallEnglishUnderlineFollowsTheLastToggledLine) {
    load(4, 4);
    for (int i = 1; i <= 4; ++i) {
        EXPECT_TRUE(englishHidden(i));
        EXPECT_TRUE(chineseShown(i));
        EXPECT_TRUE(state.row(i).Image2.visible);
        EXPECT_FALSE(state.row(i).Label12.visible);
    }
    view.rowReleased({1, RowElement::EnglishClickArea});
    EXPECT_TRUE(englishShown(1));
    EXPECT_TRUE(state.row(1).Line3.visible);
    view.rowReleased({3, RowElement::EnglishLine});
    EXPECT_TRUE(englishShown(3));
    EXPECT_FALSE(state.row(1).Line3.visible);
    EXPECT_TRUE(state.row(3).Line3.visible);
    // Hiding a line again still marks it as the one touched last.
    view.rowReleased({1, RowElement::EnglishClickArea});
    EXPECT_TRUE(englishHidden(1));
    EXPECT_TRUE(state.row(1).Line3.visible);
    EXPECT_FALSE(state.row(3).Line3.visible);
    // Chinese lines do nothing in this mode.
    view.rowReleased({2, RowElement::ChineseLine});
    EXPECT_TRUE(chineseShown(2));
    EXPECT_TRUE(state.row(1).Line3.visible);
}

TEST_F(StudyViewTest, RowClicksOutsideTheRecallModesChangeNothing) {
    for (int mode : {1, 2, 5, 8}) {
        load(3, mode);
        const auto rowsBefore = state.rows;
        for (RowElement e : {RowElement::EnglishLine, RowElement::ChineseLine,
                             RowElement::EnglishClickArea, RowElement::ChineseClickArea}) {
            view.rowPressed({2, e});
            view.rowReleased({2, e});
        }
        EXPECT_TRUE(sounds.played.isEmpty()) << mode;
        for (size_t i = 0; i < rowsBefore.size(); ++i) {
            EXPECT_EQ(state.rows[i].Label6.colour, rowsBefore[i].Label6.colour) << mode;
            EXPECT_EQ(state.rows[i].Label8.colour, rowsBefore[i].Label8.colour) << mode;
            EXPECT_EQ(state.rows[i].Line3.visible, rowsBefore[i].Line3.visible) << mode;
        }
    }
}

TEST_F(StudyViewTest, RowHitsOutsideTheRowsAreIgnored) {
    load(2, 3);
    view.rowPressed({0, RowElement::ChineseLine});
    view.rowReleased({3, RowElement::ChineseLine});
    view.rowReleased({-1, RowElement::ChineseLine});
    EXPECT_TRUE(sounds.played.isEmpty());
}

TEST_F(StudyViewTest, ResetHidesTheRecallLinesAgainAndStopsPlayback) {
    load(3, 3);
    view.rowReleased({1, RowElement::ChineseLine});
    view.rowReleased({3, RowElement::ChineseLine});
    log.clear();
    view.reset();
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(chineseHidden(i));
        EXPECT_TRUE(englishShown(i));
        EXPECT_EQ(state.row(i).Label6.cursor, RowCursor::Default);
        EXPECT_EQ(state.row(i).Label8.cursor, RowCursor::PointingHand);
    }
    EXPECT_EQ(log, QStringList({"focusCombo4", "stopPlaybackAndScrollTop"}));

    load(3, 4);
    view.rowReleased({2, RowElement::EnglishLine});
    state.row(2).Image2.visible = false;
    view.reset();
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(englishHidden(i));
        EXPECT_TRUE(chineseShown(i));
        EXPECT_TRUE(state.row(i).Image2.visible);
        EXPECT_EQ(state.row(i).Label6.cursor, RowCursor::PointingHand);
    }
}

TEST_F(StudyViewTest, ResetInOtherModesOnlyStopsPlayback) {
    load(3, 2);
    view.toggleCheck(3);
    log.clear();
    view.reset();
    EXPECT_TRUE(chineseHidden(1));
    EXPECT_EQ(log, QStringList({"focusCombo4", "stopPlaybackAndScrollTop"}));
}

// --- cc ----------------------------------------------------------------------------------

struct LayoutCase {
    int mode;
    const char16_t *title;
    bool lessonPanel, followRead, sentenceButtons, fullText, reset, dictation, position;
};

class ModeLayouts : public StudyViewTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(ModeLayouts, ShowWhatTheModeNeeds) {
    const LayoutCase c = GetParam();
    load(3, c.mode);
    const StudyViewState &v = state.view;
    EXPECT_EQ(v.Label7_12.text, QString::fromUtf16(c.title));
    EXPECT_EQ(v.Picture5Visible, c.lessonPanel);
    EXPECT_EQ(v.Shape8Visible, c.lessonPanel);
    EXPECT_EQ(v.Picture4Visible, c.followRead);
    EXPECT_EQ(v.Label13Visible, c.followRead);
    EXPECT_EQ(v.Command4Visible, c.sentenceButtons);
    EXPECT_EQ(state.Command1.visible, c.sentenceButtons);
    EXPECT_EQ(v.pickersVisible, c.sentenceButtons);
    EXPECT_EQ(v.speedOptionsVisible, c.sentenceButtons);
    EXPECT_EQ(v.Command6Visible, c.fullText);
    EXPECT_EQ(v.Label23.visible, c.fullText);
    EXPECT_EQ(v.Image27.visible, c.fullText);
    EXPECT_EQ(v.Command16Visible, c.reset);
    EXPECT_EQ(v.dictationControlsVisible, c.dictation);
    EXPECT_EQ(v.Label7_5.visible, c.position);
    EXPECT_FALSE(v.Picture11Visible);
    EXPECT_EQ(v.Label7_13.text.isEmpty(), !c.reset);
}

INSTANTIATE_TEST_SUITE_P(
    StudyView, ModeLayouts,
    ::testing::Values(
        //         title          panel  follow buttons fullTxt reset  dictat position
        LayoutCase{1, u"句子学习", false, false, true, false, false, false, true},
        LayoutCase{8, u"听写测试", false, false, false, false, false, true, true},
        LayoutCase{2, u"全文浏览", true, false, false, true, false, false, false},
        LayoutCase{3, u"回想中文", true, false, false, false, true, false, false},
        LayoutCase{4, u"回想英文", true, false, false, false, true, false, false},
        LayoutCase{5, u"跟读对比", false, true, false, false, false, false, false}),
    [](const auto &info) { return "mode" + std::to_string(info.param.mode); });

TEST_F(StudyViewTest, CcPutsTheModesPairBeforeTheCommonSteps) {
    load(2);
    state.studyMode = 2;
    view.cc();
    EXPECT_EQ(log, QStringList({"applyModePair 2", "resetForModeChange"}));
}

TEST_F(StudyViewTest, CcOfTheMenuOnlyModesRunsOnlyTheCommonSteps) {
    for (int mode : {6, 7}) {
        load(3, 2);
        view.setCheckValue(3, 0);
        log.clear();
        const TrainerState before = state;
        state.studyMode = mode;
        view.cc();
        EXPECT_EQ(log, QStringList({"resetForModeChange"})) << mode;
        EXPECT_EQ(state.view.Label7_12.text, before.view.Label7_12.text);
        EXPECT_EQ(state.view.Picture5Visible, before.view.Picture5Visible);
        EXPECT_TRUE(chineseHidden(1));
    }
}

TEST_F(StudyViewTest, SentenceStudyAndDictationPlaceTheChineseTwin) {
    load(2, 8);
    StudyViewState &v = state.view;
    EXPECT_EQ(v.Label22.left, v.Label21.left);
    EXPECT_EQ(v.Label22.caption, QStringLiteral("    句子中文提示"));
    EXPECT_FALSE(v.Label21.visible);
    EXPECT_TRUE(v.Label22.visible);
    EXPECT_TRUE(v.Image11.visible);
    EXPECT_FALSE(v.Label1.visible);
    EXPECT_TRUE(v.Label51.visible);

    state.studyMode = 1;
    view.cc();
    EXPECT_EQ(v.Label22.left, v.Label21.left + v.Label21.width + 60);
    EXPECT_EQ(v.Label22.caption, QStringLiteral("    显示中文"));
    EXPECT_TRUE(v.Label21.visible);
    EXPECT_TRUE(v.Label1.visible); // Check1 is ticked
    EXPECT_FALSE(v.Label51.visible);
    EXPECT_EQ(log.last(), QStringLiteral("resetForModeChange"));
    EXPECT_TRUE(log.contains(QStringLiteral("focusTypingBox")));
}

TEST_F(StudyViewTest, FullTextBrowsingRowsFollowTheOptions) {
    load(3, 4);
    view.rowReleased({2, RowElement::EnglishLine});
    view.toggleCheck(3); // Chinese off, while recalling English
    state.studyMode = 2;
    view.cc();
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(englishShown(i));
        EXPECT_TRUE(chineseHidden(i));
        EXPECT_EQ(state.row(i).Label6.cursor, RowCursor::PointingHand);
        EXPECT_EQ(state.row(i).Label8.cursor, RowCursor::Default);
        EXPECT_FALSE(state.row(i).Image2.visible);
        EXPECT_FALSE(state.row(i).Label17.visible);
        EXPECT_FALSE(state.row(i).Label18.visible);
        EXPECT_TRUE(state.row(i).Label12.visible);
    }
    EXPECT_EQ(state.view.Image12.path, QStringLiteral("bitmap/0.jpg"));
}

// Together with the playback code: the pickers get the pair of the mode entered, and the
// repeat pause takes that mode's pause.
TEST_F(StudyViewTest, SwitchingModesRestoresTheModesRepeatPair) {
    ManualTicker timer1(30), timer2(10), endShot(1);
    PlaybackTimers timers{&timer1, &timer2, &endShot};
    SentencePlayback playback(state, player, sounds, timers, programDir);
    view.hooks().applyModePair = [&playback](int mode) { playback.applyModePair(mode); };
    view.hooks().resetForModeChange = [&playback] { playback.resetForModeChange(); };
    PlaybackState &pb = state.playback;
    pb.studyRepeats = QStringLiteral("3");
    pb.studyPause = QStringLiteral("2");
    pb.browseRepeats = QStringLiteral("5");
    pb.browsePause = QStringLiteral("1");

    struct Step {
        int mode;
        const char *repeats;
        const char *pause;
        int interval;
    };
    const Step steps[] = {{2, "5", "1", 1010}, {1, "3", "2", 2010}, {3, "1", "0", 10},
                          {2, "5", "1", 1010}, {8, "1", "0", 10},   {1, "3", "2", 2010}};
    load(3, 2);
    for (const Step &step : steps) {
        timer2.start();
        state.studyMode = step.mode;
        view.cc();
        EXPECT_EQ(pb.Combo2Text, QString::fromLatin1(step.repeats)) << step.mode;
        EXPECT_EQ(pb.Combo3Text, QString::fromLatin1(step.pause)) << step.mode;
        EXPECT_EQ(timer2.interval(), step.interval) << step.mode;
        EXPECT_FALSE(timer2.isActive()) << step.mode;
        EXPECT_EQ(pb.repeatCount, 0);
    }
}

// --- Hint, keys and the typing check -----------------------------------------------------

TEST_F(StudyViewTest, HintShowsTheEnglishUntilTheNextSentence) {
    load(3);
    view.setCheckValue(1, 0);
    log.clear();
    view.hint();
    EXPECT_EQ(log, QStringList({"focusTypingBox"}));
    EXPECT_TRUE(state.view.Label1.visible);
    EXPECT_FALSE(state.view.Label51.visible);
    view.nextSentence();
    EXPECT_FALSE(state.view.Label1.visible);
    EXPECT_TRUE(state.view.Label51.visible);
}

TEST_F(StudyViewTest, HintWithTheEnglishShownExplainsItself) {
    load(3);
    EXPECT_TRUE(view.keyPressed(Qt::Key_F8));
    ASSERT_EQ(log.size(), 2);
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("message ")));
    EXPECT_EQ(log[1], QStringLiteral("focusTypingBox"));
}

struct KeyCase {
    const char *name;
    int mode;
    int key;
    bool handled;
    const char *call; // first hook called, or "" for none
};

class ShortcutKeys : public StudyViewTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(ShortcutKeys, RunTheirActionInTheirModes) {
    const KeyCase c = GetParam();
    load(3, c.mode);
    view.setCheckValue(1, 0);
    log.clear();
    EXPECT_EQ(view.keyPressed(c.key), c.handled);
    EXPECT_EQ(log.isEmpty() ? QString() : log.first(), QString::fromLatin1(c.call));
}

INSTANTIATE_TEST_SUITE_P(
    StudyView, ShortcutKeys,
    ::testing::Values(KeyCase{"F7PlaysInStudy", 1, Qt::Key_F7, true, "play"},
                      KeyCase{"F7ReplaysInDictation", 8, Qt::Key_F7, true, "dictationReplay"},
                      KeyCase{"F7NothingInBrowsing", 2, Qt::Key_F7, false, ""},
                      KeyCase{"F8HintsInStudy", 1, Qt::Key_F8, true, "focusTypingBox"},
                      KeyCase{"F8HintsInDictation", 8, Qt::Key_F8, true, "dictationHint"},
                      KeyCase{"F8NothingInRecall", 3, Qt::Key_F8, false, ""},
                      KeyCase{"F9RedoesInDictation", 8, Qt::Key_F9, true, "dictationRedo"},
                      KeyCase{"F9NothingInStudy", 1, Qt::Key_F9, false, ""},
                      KeyCase{"otherKeysPassOn", 1, Qt::Key_A, false, ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(StudyViewTest, WrongTypingSelectsTheFirstWrongLetterAndBuzzes) {
    load(3);
    state.view.Text2.text = QStringLiteral("Sentencx 1");
    int selections = 0;
    QObject::connect(&view, &StudyView::typingBoxSelectionChanged, [&selections] { ++selections; });
    EXPECT_TRUE(view.typingBoxKey(Qt::Key_Return));
    EXPECT_EQ(sounds.played, QStringList({sound("wrong.wav")}));
    EXPECT_EQ(state.view.Text2.selectionStart, 7);
    EXPECT_EQ(state.view.Text2.selectionLength, 1);
    EXPECT_EQ(selections, 1);
    EXPECT_EQ(state.currentSentence, 1);
}

TEST_F(StudyViewTest, RightTypingMovesOnAndFinishesOnTheLastSentence) {
    load(2);
    state.view.Text2.text = QStringLiteral("sentence 1");
    EXPECT_TRUE(view.typingBoxKey(Qt::Key_Enter));
    EXPECT_TRUE(sounds.played.isEmpty());
    EXPECT_EQ(state.currentSentence, 2);
    EXPECT_TRUE(state.view.Text2.text.isEmpty());

    state.view.Text2.text = QStringLiteral("SENTENCE 2!");
    log.clear();
    EXPECT_TRUE(view.typingBoxKey(Qt::Key_Return));
    EXPECT_EQ(state.currentSentence, 2);
    EXPECT_EQ(log, QStringList({QStringLiteral("message 已完成！|提示|i")}));
}

TEST_F(StudyViewTest, OtherKeysClickAndPassIntoTheBox) {
    load(2);
    EXPECT_FALSE(view.typingBoxKey(Qt::Key_A));
    EXPECT_FALSE(view.typingBoxKey(Qt::Key_Backspace));
    EXPECT_EQ(sounds.played, QStringList({sound("type.wav"), sound("type.wav")}));
}

TEST_F(StudyViewTest, RightTypingOutsideSentenceStudyStays) {
    load(2, 2);
    state.view.Text2.text = QStringLiteral("sentence 1");
    EXPECT_TRUE(view.typingBoxKey(Qt::Key_Return));
    EXPECT_EQ(state.currentSentence, 1);
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(StudyViewTest, DictationKeysEndTheHintAndHandTheCheckOver) {
    load(2, 8);
    state.view.Label1.visible = true; // a hint is showing
    state.view.Label51.visible = false;
    state.view.Picture12Visible = false;
    EXPECT_FALSE(view.typingBoxKey(Qt::Key_S));
    EXPECT_FALSE(state.view.Label1.visible);
    EXPECT_TRUE(state.view.Label51.visible);
    EXPECT_TRUE(state.view.Picture12Visible);

    state.view.Text2.text = QStringLiteral("sentense");
    log.clear();
    EXPECT_TRUE(view.typingBoxKey(Qt::Key_Return));
    EXPECT_EQ(log, QStringList({"dictationChecked wrong"}));
    EXPECT_EQ(sounds.played.last(), sound("wrong.wav"));
    EXPECT_EQ(state.currentSentence, 1);

    state.view.Text2.text = QStringLiteral("sentence 1");
    log.clear();
    EXPECT_TRUE(view.typingBoxKey(Qt::Key_Return));
    EXPECT_EQ(log, QStringList({"dictationChecked right"}));
    EXPECT_EQ(state.currentSentence, 1); // the dictation decides what follows
}

// The loader with the study view's next-sentence action and cc in place of its defaults.
TEST_F(StudyViewTest, ALoadShowsSentenceOneInTheCurrentMode) {
    LessonLoader loader(state, player, measurer);
    loader.hooks().nextSentence = [this](TrainerState &) { view.nextSentence(); };
    loader.hooks().cc = [this](TrainerState &) { view.cc(); };
    state.studyMode = 3;
    loader.loadlesson(
        LessonSelection{DataPlaces::portable(QStringLiteral(ORVESSA_TEST_DATA_DIR "/loader")),
                        QStringLiteral("测试课本"), 0, QStringLiteral("第1课")});
    ASSERT_EQ(state.sentenceCount, 3);
    EXPECT_EQ(state.currentSentence, 1);
    EXPECT_EQ(state.view.Label1.text, QStringLiteral("Good morning."));
    EXPECT_EQ(state.view.Label51.text, QStringLiteral("____ _______."));
    EXPECT_EQ(state.view.Label7_5.text, QStringLiteral("1 / 3"));
    EXPECT_DOUBLE_EQ(player.voiceStart, 0.5);
    EXPECT_FALSE(state.Command2.enabled);
    EXPECT_TRUE(state.Command1.enabled);
    EXPECT_EQ(state.view.Label7_12.text, QStringLiteral("回想中文"));
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(chineseHidden(i));
        EXPECT_TRUE(state.row(i).Label17.visible);
    }
}

// --- mini --------------------------------------------------------------------------------

class MiniStudyViewTest : public StudyViewTest {
protected:
    MiniStudyViewTest() : StudyViewTest(Program::Mini) {}
};

TEST_F(MiniStudyViewTest, EnglishOptionShowsOrHidesTheSentenceWithoutAMask) {
    load(2);
    view.setCheckValue(1, 0);
    EXPECT_FALSE(state.view.Label1.visible);
    EXPECT_FALSE(state.view.Label51.visible);
    EXPECT_EQ(state.view.Label22.caption, QStringLiteral("    显示中文句子"));
    EXPECT_TRUE(state.view.sentenceToolTip.contains(QStringLiteral("本课共有2句，当前是第1句")));
}

TEST_F(MiniStudyViewTest, FullTextBrowsingAlwaysShowsTheEnglish) {
    load(2, 2);
    view.setCheckValue(5, 0);
    EXPECT_EQ(view.checkValue(5), 1);
    view.setCheckValue(3, 0);
    EXPECT_EQ(state.view.Image12.path, QStringLiteral("bitmap/0.jpg"));
    view.setCheckValue(3, 1);
    EXPECT_EQ(state.view.Image12.path, QStringLiteral("bitmap/1.jpg"));
    EXPECT_FALSE(state.view.Label31.visible);
    EXPECT_TRUE(englishShown(1));
}

TEST_F(MiniStudyViewTest, KeysAndMessages) {
    load(3, 2);
    EXPECT_TRUE(view.keyPressed(Qt::Key_PageDown)); // any mode
    EXPECT_EQ(state.currentSentence, 2);
    log.clear();
    EXPECT_TRUE(view.keyPressed(Qt::Key_F8));
    EXPECT_EQ(log, QStringList({"play"}));
    EXPECT_FALSE(view.keyPressed(Qt::Key_F7));
    log.clear();
    EXPECT_TRUE(view.keyPressed(Qt::Key_F9));
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log.first(),
              QStringLiteral("message 请在“显示英文句子”处于未选中状态时使用此功能（快捷键F9）。"
                             "|Talvero|i"));

    state.studyMode = 1;
    state.currentSentence = 3;
    setSentenceButtons(state);
    view.ty();
    state.view.Text2.text = QStringLiteral("sentence 3");
    log.clear();
    view.typingBoxKey(Qt::Key_Return);
    EXPECT_EQ(log, QStringList({QStringLiteral("message 已完成！||-")}));
}

} // namespace
