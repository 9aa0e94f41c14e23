#pragma once

#include "content/dataplaces.h"
#include "study/trainerstate.h"

#include <QObject>
#include <QString>
#include <functional>

class VoicePlayer;

// What loadlesson reads from the window: the book selector's text and the lesson list's
// selection. The loader never changes the selection.
struct LessonSelection {
    DataPlaces places;  // where the running program's files lie
    QString bookTitle;  // Combo1's text
    int listIndex = -1; // List1's selected position; -1 when nothing is selected
    QString lessonName; // List1's text
};

// The parts of a load that later code supplies. Every hook may be empty: it is then
// skipped. Hooks run on the window thread in the middle of the load and may change state.
struct LoaderHooks {
    // The next-sentence action (Command1): moves from sentence 0 to 1 and shows it, playing
    // it where the study mode says so. Not called for an empty lesson.
    std::function<void(TrainerState &)> nextSentence = defaultNextSentence;
    // Lays the rows out for the study mode.
    std::function<void(TrainerState &)> cc = defaultCc;
    // A modal message box with an OK button.
    std::function<void(const QString &)> messageBox;
    // Gives the keyboard focus to the key-capture box Combo4.
    std::function<void()> focusCombo4;
    // Stops the sentence-end watch and the repeat pause. Runs first: a sentence of the
    // replaced lesson must neither be watched against the new lesson's times nor repeated.
    std::function<void()> stopSentenceTimers;

    // currentSentence + 1 and the buttons of Command1's action, without showing anything.
    static void defaultNextSentence(TrainerState &state);
    // Every row as full-text browsing shows it with both languages on: lines in the shown
    // colour, the English line with the pointing hand, numbers shown, play icons and click
    // strips hidden.
    static void defaultCc(TrainerState &state);
};

struct LoadResult {
    LessonNote note = LessonNote::None; // why the lesson has no rows, if it has none
    bool audioMissing = false;          // the missing-audio message was shown
};

// loadlesson: makes the selected lesson current. Opens its audio through the player,
// reads the lesson file into the sentence table, builds the rows and resets the counters,
// progress line and buttons in the bound state, in the order the window's other code relies
// on: VoiceSet, VoiceOpen, the next-sentence action, the rows, cc, focus. A load that opens
// no audio (nothing selected, a refused title) pauses the player instead of opening: the
// previous lesson's file would otherwise play on under the new lesson.
//
// A missing or unreadable lesson file, an empty lesson and a book title that is not a
// safe folder name all give a lesson without rows and a note for the panel; the program
// goes on. A missing audio file gives one message per load (none when the lesson file
// itself is missing: the note says enough), shown after everything else so that the lesson
// is complete, and the window consistent, while the message box runs its event loop.
class LessonLoader : public QObject {
    Q_OBJECT
public:
    LessonLoader(TrainerState &state, VoicePlayer &player, const TextMeasurer &measurer,
                 QObject *parent = nullptr);

    LoaderHooks &hooks() { return m_hooks; }
    void setHooks(LoaderHooks hooks) { m_hooks = std::move(hooks); }

    LoadResult loadlesson(const LessonSelection &selection);

    static QString missingAudioMessage();
    // Lesson files above this size are refused as unreadable (the largest real lesson,
    // 32,767 long sentences, stays far below it).
    static constexpr qint64 maxLessonFileBytes = 64 * 1024 * 1024;

Q_SIGNALS:
    // The state holds a new lesson: refresh everything shown from it. Emitted before the
    // missing-audio message, so the new lesson is on screen behind the message box.
    void lessonLoaded();

private:
    TrainerState &m_state;
    VoicePlayer &m_player;
    const TextMeasurer &m_measurer;
    LoaderHooks m_hooks;
};
