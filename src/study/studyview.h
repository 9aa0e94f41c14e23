#pragma once

#include "content/rowlayout.h"
#include "study/pure/lettercheck.h"
#include "study/trainerstate.h"

#include <QObject>
#include <QString>
#include <functional>
#include <utility>

class ShortSoundPlayer;
class VoicePlayer;

enum class MessageIcon { None, Information };

// What the study view asks of the rest of the window. Every hook may be empty: it is then
// skipped. Hooks run on the window thread in the middle of an action and may change state.
struct StudyViewHooks {
    // Command4 "朗读": plays the sentence whose times ty stored, with the repeat settings.
    std::function<void()> playCurrentSentence;
    // cc's common steps: repeatCount 0, Command6/Command7 captions, Command7 disabled, the
    // repeat-pause interval from the pause picker, the repeat pause stopped. Runs after the
    // mode's own part, so the interval comes from the pause the mode put into the picker.
    std::function<void()> resetForModeChange;
    // Puts the mode's repeat count and pause into Combo2 and Combo3.
    std::function<void(int studyMode)> applyModePair;
    // The playback part of the reset: Timer1 off, VoicePause, canvas top 0, thumb at 255.
    std::function<void()> stopPlaybackAndScrollTop;
    // ty is about to store the current sentence's times in voiceStart/voiceEnd: a sentence
    // started from the lesson panel or by full-text reading that is still running stops.
    std::function<void()> stopPanelSentence;
    // ty has shown currentSentence (a move, a lesson load, a sentence picked elsewhere).
    std::function<void()> sentenceShown;
    // cc lays out another mode than the follow-read page: the page is left.
    std::function<void()> followReadLeft;
    std::function<void()> focusCombo4;
    std::function<void()> focusTypingBox;
    // A modal message box with an OK button; an empty title leaves the box without one.
    std::function<void(const QString &text, const QString &title, MessageIcon icon)> messageBox;

    // Dictation (studyMode 8).
    std::function<void()> resetSentenceCounters; // ty: hints, errors, replays 0, score 100
    std::function<void()> dictationReplay;       // F7, 复读
    std::function<void()> dictationHint;         // F8, 提示
    std::function<void()> dictationRedo;         // F9, 重做
    // After the typing check of an Enter in mode 8 has set the selection and played
    // wrong.wav for a wrong typing: the scoring and what follows.
    std::function<void(const LetterCheck &check)> dictationChecked;
};

// The study area: cc lays it out for studyMode, ty shows the current sentence, and the
// handlers of its buttons, display options, recall rows, shortcut keys and typing box.
// Works on the bound TrainerState; emits viewChanged() once after each action so that the
// window can repaint what it shows from the state.
class StudyView : public QObject {
    Q_OBJECT
public:
    // All references must outlive the view. programDir locates the click sounds.
    StudyView(TrainerState &state, VoicePlayer &player, ShortSoundPlayer &sounds,
              const TextMeasurer &measurer, const QString &programDir, QObject *parent = nullptr);

    StudyViewHooks &hooks() { return m_hooks; }
    void setHooks(StudyViewHooks hooks) { m_hooks = std::move(hooks); }

    // Lays the study area out for studyMode (1 to 5 and 8; 6 and 7 get the common steps only).
    // The follow-read page starts on the times of the sentence it shows, whatever the lesson
    // panel played last.
    void cc();
    // Shows sentence currentSentence in the single-sentence views and stores its times in the
    // player's units; an out-of-range sentence shows empty texts and times 0.
    void ty();

    // Command1/Command14 下一句, Command2/Command13 上一句, Command3/Command15 首句. A move
    // that would leave the sentence table does nothing. After a move the sentence plays in
    // dictation (next and first only) and in sentence study with a repeat count above 0.
    void nextSentence();
    void previousSentence();
    void firstSentence();
    // Command5 提示(&H): shows the English sentence until the next ty or Check1 change.
    void hint();
    // Command16 重置: hides the recall lines again, then stops playback and scrolls to the top.
    void reset();

    // Check boxes 1 to 5. Setting a new value runs the click handler (picture, then effect);
    // setting the value a box already has, a value other than 0 or 1, or mini's Check5 runs
    // nothing.
    void setCheckValue(int check, int value);
    int checkValue(int check) const;
    // A click on the check box or on its twin label: the value flips.
    void toggleCheck(int check);

    // Presses and releases on the rows (any mouse button), as the canvas reports them: a
    // release goes to what the press hit. In recall Chinese and recall English they reveal
    // or hide a line with the click sounds; in other modes they change nothing. Where the
    // playback code also handles an English line's release, run it first: it hides every
    // underline, and recall English then underlines the line touched.
    void rowPressed(RowHit hit);
    void rowReleased(RowHit hit);

    // A key the window sees before its controls (Qt::Key values). Returns whether a shortcut
    // took it; the window then keeps it from the focused control.
    bool keyPressed(int key);

    // A key typed into Text2: Enter (or Return), or any key that types or deletes. Returns
    // whether the key is swallowed (Enter, whose check then ran).
    bool typingBoxKey(int key);
    // The typing check of Text2 against Label1: sets the selection, plays wrong.wav when the
    // typing is wrong, and returns the result. Moves nothing.
    LetterCheck checkTypingBox();

    // Path of a tick picture for a check value, relative to the program directory.
    QString checkPicture(int check, int value) const;

Q_SIGNALS:
    // The state changed: repaint the study area and the rows.
    void viewChanged();
    // Text2's selection was set by a check: apply view.Text2's selection to the widget.
    void typingBoxSelectionChanged();

private:
    class ChangeScope;
    void applyCheckEffect(int check);
    void paintRowLines(bool chineseLines, bool shown);
    void showSentenceOrMask();
    void layoutFollowRead();
    void storeSentenceTimes();
    void playIfMoveShouldPlay(bool fromPrevious);
    bool repeatPickerAboveZero() const;
    void playSound(const char *fileName);
    const CheckBox *checkBox(int check) const;
    CheckBox *checkBox(int check) {
        return const_cast<CheckBox *>(std::as_const(*this).checkBox(check));
    }
    TwinPicture *checkImage(int check);
    bool isMini() const { return m_state.program == Program::Mini; }

    TrainerState &m_state;
    VoicePlayer &m_player;
    ShortSoundPlayer &m_sounds;
    const TextMeasurer &m_measurer;
    QString m_programDir;
    StudyViewHooks m_hooks;
    int m_changeDepth = 0;
};

// Lines of an English sentence of naturalWidth twips in the follow-read panel with
// availableWidth twips: 1 when it fits, else naturalWidth \ (0.95 x availableWidth) + 1,
// where the divisor is rounded half to even to whole twips before the integer division.
// 1 for an available width below 1 twip (no room to wrap into).
int followReadLines(int naturalWidth, int availableWidth);
