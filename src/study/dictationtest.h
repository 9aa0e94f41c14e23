#pragma once

#include "study/pure/dictationscore.h"
#include "study/pure/lettercheck.h"
#include "study/studyview.h"

#include <QObject>
#include <QString>
#include <functional>

struct TrainerState;
class TextMeasurer;

// What the dictation asks of the window. Every hook may be empty: it is then skipped. Hooks
// run on the window thread in the middle of an action.
struct DictationHooks {
    // Command4 "朗读": plays the current sentence with the repeat settings.
    std::function<void()> playCurrentSentence;
    std::function<void()> focusTypingBox;
    // A modal message box with an OK button; it returns when the learner has closed it.
    std::function<void(const QString &text, const QString &title, MessageIcon icon)> messageBox;
    // The pass-mark picker Combo5: its text as it stands, and a text put into it.
    std::function<QString()> passMarkText;
    std::function<void(const QString &text)> setPassMarkText;
    // The last sentence was passed and its message closed: the results store marks the
    // current lesson as passed, shows the results panel and saves the book's results file.
    std::function<void()> lessonCompleted;
    // A wrong check of sentence number `sentence` (1-based), after its deduction.
    std::function<void(int sentence, const LetterCheck &check)> wrongChecked;
    // Command28 "成绩": the results panel.
    std::function<void()> showResults;
};

// The dictation test of studyMode 8: a run over the lesson, the per-sentence counters and
// their deductions, the verdict of a right check against the pass mark and the progress
// line. Works on the bound TrainerState and moves through the lesson with the StudyView's
// navigation. Emits changed() once after each action so the window can repaint.
class DictationTest : public QObject {
    Q_OBJECT
public:
    // All references must outlive the test.
    DictationTest(TrainerState &state, StudyView &view, const TextMeasurer &measurer,
                  QObject *parent = nullptr);

    DictationHooks &hooks() { return m_hooks; }

    // A run from sentence 1 with nothing passed; the first sentence plays. The player is
    // left running: the function menu does not pause it for this mode.
    void start();
    // ty's part: a new sentence starts with no hints, errors or replays and 100 points.
    void resetSentenceCounters();
    void replay();        // Command22 复读, F7
    void hint();          // Command23 提示, F8
    void redo();          // Command25 重做, F9, and after a failed check
    void firstSentence(); // Command24 首句(&F): the run starts over
    void showResults();   // Command28 成绩
    // The typing check of an Enter has run (selection set, wrong.wav played when wrong).
    void checked(const LetterCheck &check);

    // The learner has finished typing into the pass-mark picker (Enter, or the focus left).
    void passMarkEdited();
    // An entry was picked from the pass-mark picker's list.
    void passMarkPicked();

Q_SIGNALS:
    void changed();

private:
    bool hasSentence() const;
    void passed(bool lastSentence);
    void updateProgress();
    void focusTypingBox();
    void message(DictationVerdict verdict);

    TrainerState &m_state;
    StudyView &m_view;
    const TextMeasurer &m_measurer;
    DictationHooks m_hooks;
    bool m_checkingPassMark = false; // the box may take the focus and finish the edit again
};
