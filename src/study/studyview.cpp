#include "studyview.h"

#include "audio/shortsound.h"
#include "audio/voiceplayer.h"
#include "content/contentpaths.h"
#include "content/lessonfile.h"
#include "content/settingsrecord.h"
#include "study/pure/maskedsentence.h"

#include <algorithm>

namespace {

// A cell of the mode table: shown, hidden, or left as it is.
enum Cell : signed char { Keep = -1, H = 0, S = 1 };

void apply(Cell cell, bool &visible) {
    if (cell != Keep)
        visible = cell == S;
}

// Which controls each mode shows. Columns as the mode table reads.
struct ModeLayout {
    int mode;
    const char16_t *title;
    const char16_t *instruction;
    Cell lessonPanel, followRead, Label13, Check1, Check2, twin1, twin2, speed, position, pickers,
        sentenceButtons, fullText, Command16, dictation, Picture11, Picture12, Shape3, Shape8,
        Label7_6;
};

constexpr char16_t recallChineseText[] =
    u"点击英文句子下方的空行即可显示相对应的中文，按“重置”为恢复。";
constexpr char16_t recallEnglishText[] =
    u"点击中文句子上方的空行即可显示相对应的英文，按“重置”为恢复。";

// clang-format off
constexpr ModeLayout modeLayouts[] = {
    //  title        instruction        pan fol L13 C1 C2 tw1 tw2 spd pos pck btn ful C16 dic P11 P12   Sh3   Sh8 L76
    {1, u"句子学习", u"",               H,  H,  H,  S, S, S,  S,  S,  S,  S,  S,  H,  H,  H,  H,  H,    S,    H,  S},
    {8, u"听写测试", u"",               H,  H,  H,  H, S, H,  S,  H,  S,  H,  H,  H,  H,  S,  H,  H,    S,    H,  S},
    {2, u"全文浏览", u"",               S,  H,  H,  H, H, H,  H,  H,  H,  H,  H,  S,  H,  H,  H,  Keep, H,    S,  S},
    {3, u"回想中文", recallChineseText, S,  H,  H,  H, H, H,  H,  H,  H,  H,  H,  H,  S,  H,  H,  Keep, H,    S,  S},
    {4, u"回想英文", recallEnglishText, S,  H,  H,  H, H, H,  H,  H,  H,  H,  H,  H,  S,  H,  H,  Keep, H,    S,  S},
    {5, u"跟读对比", u"",               H,  S,  S,  H, H, H,  H,  H,  H,  H,  H,  H,  H,  H,  H,  Keep, Keep, H,  Keep},
};
// clang-format on

const ModeLayout *layoutFor(int mode) {
    for (const ModeLayout &layout : modeLayouts) {
        if (layout.mode == mode)
            return &layout;
    }
    return nullptr;
}

// Integer division n / d rounded half to even, for n >= 0 and d > 0.
qint64 roundHalfEvenDiv(qint64 n, qint64 d) {
    const qint64 q = n / d;
    const qint64 r2 = (n % d) * 2;
    if (r2 > d || (r2 == d && (q % 2) != 0))
        return q + 1;
    return q;
}

constexpr int twinGap = 60; // between the English twin and the Chinese twin of sentence study

} // namespace

// Emits viewChanged() once, when the outermost action ends.
class StudyView::ChangeScope {
public:
    explicit ChangeScope(StudyView &view) : m_view(view) { ++m_view.m_changeDepth; }
    ~ChangeScope() {
        if (--m_view.m_changeDepth == 0)
            Q_EMIT m_view.viewChanged();
    }
    ChangeScope(const ChangeScope &) = delete;
    ChangeScope &operator=(const ChangeScope &) = delete;

private:
    StudyView &m_view;
};

int followReadLines(int naturalWidth, int availableWidth) {
    if (availableWidth < 1 || naturalWidth <= availableWidth)
        return 1;
    const qint64 divisor = std::max<qint64>(1, roundHalfEvenDiv(qint64(availableWidth) * 95, 100));
    return int(std::min<qint64>(naturalWidth / divisor + 1, maxCanvasTwips));
}

StudyView::StudyView(TrainerState &state, VoicePlayer &player, ShortSoundPlayer &sounds,
                     const TextMeasurer &measurer, const QString &programDir, QObject *parent)
    : QObject(parent), m_state(state), m_player(player), m_sounds(sounds), m_measurer(measurer),
      m_programDir(programDir) {}

void StudyView::playSound(const char *fileName) {
    m_sounds.play(clickSoundPath(m_programDir, QString::fromLatin1(fileName)));
}

const CheckBox *StudyView::checkBox(int check) const {
    const StudyViewState &v = m_state.view;
    switch (check) {
    case 1:
        return &v.Check1;
    case 2:
        return &v.Check2;
    case 3:
        return &v.Check3;
    case 4:
        return &v.Check4;
    case 5:
        return &v.Check5;
    default:
        return nullptr;
    }
}

TwinPicture *StudyView::checkImage(int check) {
    StudyViewState &v = m_state.view;
    switch (check) {
    case 1:
        return &v.Image10;
    case 2:
        return &v.Image11;
    case 3:
        return &v.Image12;
    case 4:
        return &v.Image13;
    case 5:
        return &v.Image27;
    default:
        return nullptr;
    }
}

QString StudyView::checkPicture(int check, int value) const {
    if (value != 1)
        return QStringLiteral("bitmap/0.jpg");
    // The whole-text options tick with their own picture; mini's Chinese option does not.
    const bool wholeText = check == 5 || (check == 3 && !isMini());
    return wholeText ? QStringLiteral("bitmap/a1.jpg") : QStringLiteral("bitmap/1.jpg");
}

int StudyView::checkValue(int check) const {
    const CheckBox *box = checkBox(check);
    return box ? box->value : 0;
}

void StudyView::setCheckValue(int check, int value) {
    CheckBox *box = checkBox(check);
    if (!box || (value != 0 && value != 1) || box->value == value)
        return;
    if (check == 5 && isMini())
        return; // mini has no English option: its English lines always show
    ChangeScope scope(*this);
    box->value = value;
    checkImage(check)->path = checkPicture(check, value);
    applyCheckEffect(check);
}

void StudyView::toggleCheck(int check) {
    if (!checkBox(check))
        return;
    setCheckValue(check, checkValue(check) == 1 ? 0 : 1);
}

void StudyView::applyCheckEffect(int check) {
    StudyViewState &v = m_state.view;
    switch (check) {
    case 1:
        showSentenceOrMask();
        break;
    case 2:
        v.Label2.visible = v.Check2.value == 1;
        break;
    case 3:
        paintRowLines(true, v.Check3.value == 1);
        if (m_hooks.focusCombo4)
            m_hooks.focusCombo4();
        break;
    case 4:
        v.Label11.visible = v.Check4.value == 1;
        break;
    case 5:
        paintRowLines(false, v.Check5.value == 1);
        if (m_hooks.focusCombo4)
            m_hooks.focusCombo4();
        break;
    default:
        break;
    }
}

void StudyView::paintRowLines(bool chineseLines, bool shown) {
    const RowTemplate &tpl = m_state.rowTemplate;
    const RgbColour colour = shown ? tpl.shownColour(chineseLines) : tpl.hiddenColour(chineseLines);
    for (SentenceRow &row : m_state.rows)
        (chineseLines ? row.Label8 : row.Label6).colour = colour;
}

// Sentence study's English option: the sentence or its mask (mini has no mask).
void StudyView::showSentenceOrMask() {
    StudyViewState &v = m_state.view;
    const bool english = v.Check1.value == 1;
    v.Label1.visible = english;
    v.Label51.visible = !english && !isMini();
}

void StudyView::cc() {
    ChangeScope scope(*this);
    TrainerState &s = m_state;
    StudyViewState &v = s.view;
    const int mode = s.studyMode;
    if (mode != 5 && m_hooks.followReadLeft)
        m_hooks.followReadLeft();

    if (const ModeLayout *layout = layoutFor(mode)) {
        v.Label7_12.text = QString::fromUtf16(layout->title);
        v.Label7_13.text = QString::fromUtf16(layout->instruction);
        apply(layout->lessonPanel, v.Picture5Visible);
        apply(layout->followRead, v.Picture4Visible);
        apply(layout->Label13, v.Label13Visible);
        apply(layout->Check1, v.Check1.visible);
        apply(layout->Check2, v.Check2.visible);
        apply(layout->twin1, v.Label21.visible);
        apply(layout->twin1, v.Image10.visible);
        apply(layout->twin2, v.Label22.visible);
        apply(layout->twin2, v.Image11.visible);
        apply(layout->speed, v.speedOptionsVisible);
        apply(layout->position, v.Label7_5.visible);
        apply(layout->pickers, v.pickersVisible);
        apply(layout->sentenceButtons, s.Command1.visible);
        apply(layout->sentenceButtons, s.Command2.visible);
        apply(layout->sentenceButtons, v.Command3Visible);
        apply(layout->sentenceButtons, v.Command4Visible);
        apply(layout->sentenceButtons, v.Command5Visible);
        apply(layout->fullText, v.Command6Visible);
        apply(layout->fullText, v.Command7Visible);
        apply(layout->fullText, v.Label23.visible);
        apply(layout->fullText, v.Image12.visible);
        // mini offers only the Chinese option in full-text browsing.
        apply(isMini() ? H : layout->fullText, v.Label31.visible);
        apply(isMini() ? H : layout->fullText, v.Image27.visible);
        apply(layout->Command16, v.Command16Visible);
        apply(layout->dictation, v.dictationControlsVisible);
        apply(layout->Picture11, v.Picture11Visible);
        apply(layout->Picture12, v.Picture12Visible);
        apply(layout->Shape3, v.Shape3Visible);
        apply(layout->Shape8, v.Shape8Visible);
        apply(layout->Label7_6, v.Label7_6Visible);
        if (m_hooks.applyModePair)
            m_hooks.applyModePair(mode);
    }

    const RowTemplate &tpl = s.rowTemplate;
    switch (mode) {
    case 1:
        showSentenceOrMask();
        v.Label22.left = v.Label21.left + v.Label21.width + twinGap;
        v.Label22.caption =
            isMini() ? QStringLiteral("    显示中文句子") : QStringLiteral("    显示中文");
        if (m_hooks.focusTypingBox)
            m_hooks.focusTypingBox();
        break;
    case 8:
        v.Label1.visible = false;
        v.Label51.visible = true;
        // The Chinese option alone, where the English one stood, reads as the Chinese hint.
        v.Label22.left = v.Label21.left;
        v.Label22.caption = QStringLiteral("    句子中文提示");
        if (m_hooks.focusTypingBox)
            m_hooks.focusTypingBox();
        break;
    case 5:
        // A sentence played from the lesson panel left its own times behind.
        storeSentenceTimes();
        break;
    case 2: {
        const bool chinese = v.Check3.value == 1;
        const bool english = isMini() || v.Check5.value == 1;
        v.Image12.path = checkPicture(3, v.Check3.value);
        v.Image27.path = checkPicture(5, v.Check5.value);
        ::paintRowLines(s.rows, tpl, english, RowCursor::PointingHand, chinese, RowCursor::Default);
        for (SentenceRow &row : s.rows) {
            row.Image2.visible = false;
            row.Label17.visible = false;
            row.Label18.visible = false;
            row.Label12.visible = true;
        }
        break;
    }
    case 3:
        ::paintRowLines(s.rows, tpl, true, RowCursor::Default, false, RowCursor::PointingHand);
        for (SentenceRow &row : s.rows) {
            row.Line3.visible = false;
            row.Label18.visible = false;
            row.Image2.visible = false;
            row.Label17.visible = true;
            row.Label12.visible = true;
        }
        break;
    case 4:
        ::paintRowLines(s.rows, tpl, false, RowCursor::PointingHand, true, RowCursor::Default);
        for (SentenceRow &row : s.rows) {
            row.Image2.visible = true;
            row.Label18.visible = true;
            row.Line3.visible = false;
            row.Label17.visible = false;
            row.Label12.visible = false;
        }
        break;
    default:
        break;
    }

    if (m_hooks.resetForModeChange)
        m_hooks.resetForModeChange();
}

void StudyView::ty() {
    ChangeScope scope(*this);
    TrainerState &s = m_state;
    StudyViewState &v = s.view;

    if (m_hooks.stopPanelSentence)
        m_hooks.stopPanelSentence();
    v.Label51.text.clear();
    s.playback.repeatCount = 0;

    const bool inTable = s.currentSentence >= 1 && s.currentSentence <= s.sentences.count();
    QString english;
    QString chinese;
    if (inTable) {
        const SentenceEntry &entry = s.sentences.entry(s.currentSentence);
        english = entry.english;
        chinese = entry.chinese;
    }
    storeSentenceTimes();

    // Trimmed as the lesson format trims: spaces only.
    v.Label1.text = trimSpaces(english).toString();
    v.Label51.text = maskedSentence(v.Label1.text);
    v.Label2.text = trimSpaces(chinese).toString();
    v.Label7_5.text = QString::number(s.currentSentence) + QStringLiteral(" / ") +
                      QString::number(s.sentenceCount);
    if (isMini()) {
        v.sentenceToolTip = s.Label7_20.text + QStringLiteral(" 本课共有") +
                            QString::number(s.sentenceCount) + QStringLiteral("句，当前是第") +
                            QString::number(s.currentSentence) + QStringLiteral("句");
    }
    layoutFollowRead();

    if (s.studyMode == 1) {
        showSentenceOrMask();
    } else if (s.studyMode == 8) {
        v.Label1.visible = false;
        v.Label51.visible = true;
    }

    if (m_hooks.resetSentenceCounters)
        m_hooks.resetSentenceCounters();
    v.Text2 = TypingBox{};
    if (m_hooks.sentenceShown)
        m_hooks.sentenceShown();
    if (m_hooks.focusTypingBox)
        m_hooks.focusTypingBox();
}

void StudyView::storeSentenceTimes() {
    const TrainerState &s = m_state;
    const bool inTable = s.currentSentence >= 1 && s.currentSentence <= s.sentences.count();
    // A record without playable times leaves nothing of the previous sentence to replay.
    const std::optional<SentenceTimes> times =
        inTable ? s.sentences.times(s.currentSentence) : std::nullopt;
    m_player.voiceStart = times ? m_player.toPlayerUnits(times->start) : 0.0;
    m_player.voiceEnd = times ? m_player.toPlayerUnits(times->end) : 0.0;
}

void StudyView::layoutFollowRead() {
    StudyViewState &v = m_state.view;
    const FollowReadGeometry &g = v.followRead;
    FollowReadLabel &en = v.Label10;
    FollowReadLabel &zh = v.Label11;

    en.text = v.Label1.text;
    en.left = g.Label10Left;
    en.top = g.Label10Top;
    const int natural = std::max(0, m_measurer.widthTwips(en.text, LineFont::English));
    const int available = g.availableWidth();
    en.lines = followReadLines(natural, available);
    en.autoSize = !(available >= 1 && natural > available);
    en.width = en.autoSize ? natural : available;
    en.height = int(std::min<qint64>(qint64(en.lines) * g.Label10LineHeight, maxCanvasTwips));

    zh.text = v.Label2.text;
    zh.left = g.Label11Left;
    zh.top = int(std::min<qint64>(qint64(en.top) + en.height + g.Label11Gap, maxCanvasTwips));
    zh.width = std::max(0, m_measurer.widthTwips(zh.text, LineFont::Chinese));
    zh.height = g.Label11LineHeight;
    zh.lines = 1;
}

bool StudyView::repeatPickerAboveZero() const {
    return leadingNumber(m_state.playback.Combo2Text) > 0;
}

void StudyView::playIfMoveShouldPlay(bool fromPrevious) {
    const int mode = m_state.studyMode;
    const bool dictation = mode == 8 && !fromPrevious && !isMini();
    if ((dictation || (mode == 1 && repeatPickerAboveZero())) && m_hooks.playCurrentSentence)
        m_hooks.playCurrentSentence();
}

void StudyView::nextSentence() {
    TrainerState &s = m_state;
    const int target = std::max(0, s.currentSentence) + 1;
    if (target > s.sentenceCount)
        return; // the last sentence has no next one
    ChangeScope scope(*this);
    s.currentSentence = target;
    ty();
    if (s.currentSentence == s.sentenceCount)
        s.Command1.enabled = s.Command14.enabled = s.AR3.enabled = false;
    s.Command2.enabled = s.Command13.enabled = s.AR2.enabled = true;
    playIfMoveShouldPlay(false);
}

void StudyView::previousSentence() {
    TrainerState &s = m_state;
    const int target = s.currentSentence - 1;
    if (target < 1 || target > s.sentenceCount)
        return;
    ChangeScope scope(*this);
    s.currentSentence = target;
    ty();
    if (s.currentSentence == 1)
        s.Command2.enabled = s.Command13.enabled = s.AR2.enabled = false;
    s.Command1.enabled = s.Command14.enabled = s.AR3.enabled = true;
    playIfMoveShouldPlay(true);
}

void StudyView::firstSentence() {
    TrainerState &s = m_state;
    if (s.sentenceCount < 1)
        return;
    ChangeScope scope(*this);
    s.currentSentence = 1;
    ty();
    playIfMoveShouldPlay(false);
    // A one-sentence lesson has no next sentence either.
    s.Command1.enabled = s.Command14.enabled = s.AR3.enabled = s.sentenceCount > 1;
    s.Command2.enabled = s.Command13.enabled = s.AR2.enabled = false;
}

void StudyView::hint() {
    ChangeScope scope(*this);
    StudyViewState &v = m_state.view;
    if (v.Check1.value == 1 && m_hooks.messageBox) {
        if (isMini()) {
            m_hooks.messageBox(
                QStringLiteral("请在“显示英文句子”处于未选中状态时使用此功能（快捷键F9）。"),
                QStringLiteral("Talvero"), MessageIcon::Information);
        } else {
            m_hooks.messageBox(
                QStringLiteral(
                    "英文句子已经显示。提示功能请在“显示英文”未选中时使用（快捷键F8）。"),
                QString(), MessageIcon::None);
        }
    }
    v.Label1.visible = true;
    v.Label51.visible = false;
    if (m_hooks.focusTypingBox)
        m_hooks.focusTypingBox();
}

void StudyView::reset() {
    ChangeScope scope(*this);
    TrainerState &s = m_state;
    const RowTemplate &tpl = s.rowTemplate;
    if (s.studyMode == 3) {
        ::paintRowLines(s.rows, tpl, true, RowCursor::Default, false, RowCursor::PointingHand);
    } else if (s.studyMode == 4) {
        ::paintRowLines(s.rows, tpl, false, RowCursor::PointingHand, true, RowCursor::Default);
        for (SentenceRow &row : s.rows)
            row.Image2.visible = true;
    }
    if (m_hooks.focusCombo4)
        m_hooks.focusCombo4();
    if (m_hooks.stopPlaybackAndScrollTop)
        m_hooks.stopPlaybackAndScrollTop();
}

namespace {

// The recall line a press or release on this element reveals in this mode, if any.
bool isRecallTarget(int studyMode, RowElement element) {
    if (studyMode == 3)
        return element == RowElement::ChineseLine || element == RowElement::ChineseClickArea;
    if (studyMode == 4)
        return element == RowElement::EnglishLine || element == RowElement::EnglishClickArea;
    return false;
}

} // namespace

void StudyView::rowPressed(RowHit hit) {
    if (hit.row < 1 || hit.row > int(m_state.rows.size()) ||
        !isRecallTarget(m_state.studyMode, hit.element))
        return;
    playSound("MouDown.wav");
}

void StudyView::rowReleased(RowHit hit) {
    TrainerState &s = m_state;
    if (hit.row < 1 || hit.row > int(s.rows.size()) || !isRecallTarget(s.studyMode, hit.element))
        return;
    ChangeScope scope(*this);
    playSound("MouUp.wav");
    const bool chinese = s.studyMode == 3;
    const RowTemplate &tpl = s.rowTemplate;
    if (!chinese) {
        for (SentenceRow &row : s.rows)
            row.Line3.visible = false;
    }
    SentenceRow &row = s.row(hit.row);
    RowText &line = chinese ? row.Label8 : row.Label6;
    const bool hidden = line.colour == tpl.hiddenColour(chinese);
    line.colour = hidden ? tpl.shownColour(chinese) : tpl.hiddenColour(chinese);
    if (!chinese)
        row.Line3.visible = true;
}

bool StudyView::keyPressed(int key) {
    TrainerState &s = m_state;
    const int mode = s.studyMode;
    const bool mini = isMini();
    switch (key) {
    case Qt::Key_PageUp:
        if (!s.Command2.enabled)
            return false;
        previousSentence();
        return true;
    case Qt::Key_PageDown:
        if (!s.Command1.enabled || (!mini && mode != 1))
            return false;
        nextSentence();
        return true;
    case Qt::Key_F1:
        firstSentence();
        return true;
    case Qt::Key_F7:
        if (mini)
            return false;
        if (mode == 1 && m_hooks.playCurrentSentence) {
            m_hooks.playCurrentSentence();
            return true;
        }
        if (mode == 8 && m_hooks.dictationReplay) {
            m_hooks.dictationReplay();
            return true;
        }
        return false;
    case Qt::Key_F8:
        if (mini) {
            if (m_hooks.playCurrentSentence)
                m_hooks.playCurrentSentence();
            return true;
        }
        if (mode == 1) {
            hint();
            return true;
        }
        if (mode == 8 && m_hooks.dictationHint) {
            m_hooks.dictationHint();
            return true;
        }
        return false;
    case Qt::Key_F9:
        if (mini) {
            hint();
            return true;
        }
        if (mode == 8 && m_hooks.dictationRedo) {
            m_hooks.dictationRedo();
            return true;
        }
        return false;
    default:
        return false;
    }
}

LetterCheck StudyView::checkTypingBox() {
    ChangeScope scope(*this);
    StudyViewState &v = m_state.view;
    const LetterCheck check = checkTyping(v.Label1.text, v.Text2.text);
    v.Text2.selectionStart = check.selectionStart;
    v.Text2.selectionLength = check.selectionLength;
    Q_EMIT typingBoxSelectionChanged();
    if (!check.right)
        playSound("wrong.wav");
    return check;
}

bool StudyView::typingBoxKey(int key) {
    ChangeScope scope(*this);
    TrainerState &s = m_state;
    StudyViewState &v = s.view;
    const bool dictation = s.studyMode == 8 && !isMini();
    if (dictation) {
        // Typing ends a hint.
        v.Label1.visible = false;
        v.Label51.visible = true;
        v.Picture12Visible = true;
    }
    if (key != Qt::Key_Return && key != Qt::Key_Enter) {
        playSound("type.wav");
        return false;
    }

    const LetterCheck check = checkTypingBox();
    if (dictation) {
        // The box the dictation may open should stand in front of the current view.
        Q_EMIT viewChanged();
        if (m_hooks.dictationChecked)
            m_hooks.dictationChecked(check);
        return true;
    }
    if (!check.right || s.studyMode != 1)
        return true;
    if (s.Command1.enabled) {
        nextSentence();
    } else if (m_hooks.messageBox) {
        Q_EMIT viewChanged();
        if (isMini())
            m_hooks.messageBox(QStringLiteral("已完成！"), QString(), MessageIcon::None);
        else
            m_hooks.messageBox(QStringLiteral("已完成！"), QStringLiteral("提示"),
                               MessageIcon::Information);
    }
    return true;
}
