#include "study/dictationtest.h"

#include "study/trainerstate.h"

#include <QScopedValueRollback>
#include <algorithm>

DictationTest::DictationTest(TrainerState &state, StudyView &view, const TextMeasurer &measurer,
                             QObject *parent)
    : QObject(parent), m_state(state), m_view(view), m_measurer(measurer) {}

void DictationTest::focusTypingBox() {
    if (m_hooks.focusTypingBox)
        m_hooks.focusTypingBox();
}

void DictationTest::updateProgress() {
    placeProgressLine(m_state, m_measurer);
    placeProgressKnob(m_state);
}

void DictationTest::start() {
    TrainerState &s = m_state;
    s.passedCount = 0;
    updateProgress();
    if (s.sentenceCount == 0) {
        Q_EMIT changed(); // a lesson without sentences has no test to run
        return;
    }
    // From before the first record: the next-sentence action shows and plays sentence 1.
    s.currentSentence = 0;
    m_view.nextSentence();
    s.currentSentence = s.sentenceCount > 0 ? 1 : 0;
    // A one-sentence lesson has no next sentence: an enabled 下一句 would make its right
    // typing move on instead of ending the test.
    s.Command1.enabled = s.Command14.enabled = s.sentenceCount > 1;
    s.Command2.enabled = s.Command13.enabled = false;
    Q_EMIT changed();
}

void DictationTest::resetSentenceCounters() {
    m_state.dictation = DictationCounters{};
}

// Without a sentence there is nothing to hear, hint, redo or score.
bool DictationTest::hasSentence() const {
    return m_state.sentenceCount > 0 && m_state.currentSentence >= 1;
}

void DictationTest::replay() {
    if (!hasSentence())
        return;
    if (m_hooks.playCurrentSentence)
        m_hooks.playCurrentSentence();
    DictationCounters &d = m_state.dictation;
    ++d.replayCount;
    d.sentencePoints -= DictationScore::replayCost;
    focusTypingBox();
    Q_EMIT changed();
}

void DictationTest::hint() {
    if (!hasSentence())
        return;
    StudyViewState &v = m_state.view;
    // Shown until the next key in the typing box.
    v.Label1.visible = true;
    v.Label51.visible = false;
    DictationCounters &d = m_state.dictation;
    ++d.hintCount;
    d.sentencePoints -= DictationScore::hintCost;
    focusTypingBox();
    Q_EMIT changed();
}

void DictationTest::redo() {
    if (!hasSentence())
        return;
    StudyViewState &v = m_state.view;
    v.Label1.visible = false;
    v.Label51.visible = true;
    resetSentenceCounters();
    if (m_hooks.playCurrentSentence)
        m_hooks.playCurrentSentence();
    v.Text2 = TypingBox{};
    focusTypingBox();
    Q_EMIT changed();
}

void DictationTest::firstSentence() {
    m_state.passedCount = 0;
    updateProgress();
    m_view.firstSentence();
    Q_EMIT changed();
}

void DictationTest::showResults() {
    if (m_hooks.showResults)
        m_hooks.showResults();
}

void DictationTest::message(DictationVerdict verdict) {
    // The box reports the score the label shows: repaint first.
    Q_EMIT changed();
    if (m_hooks.messageBox)
        m_hooks.messageBox(dictationMessage(verdict, m_state.dictation.sentencePoints),
                           QStringLiteral("本句成绩"), MessageIcon::Information);
}

void DictationTest::checked(const LetterCheck &check) {
    TrainerState &s = m_state;
    if (s.studyMode != 8 || !hasSentence())
        return;
    DictationCounters &d = s.dictation;
    if (!check.right) {
        ++d.errorCount;
        d.sentencePoints -= DictationScore::errorCost;
        Q_EMIT changed();
        if (m_hooks.wrongChecked)
            m_hooks.wrongChecked(s.currentSentence, check);
        return;
    }

    const bool lastSentence = !s.Command1.enabled;
    if (lastSentence && s.passedCount >= s.sentenceCount)
        return; // the lesson is already complete in this run
    d.sentencePoints = std::max(d.sentencePoints, 0);
    const QString passMark = m_hooks.passMarkText ? m_hooks.passMarkText() : QString();
    if (passMarkOf(passMark) > d.sentencePoints) {
        message(DictationVerdict::Failed);
        redo();
        return;
    }
    passed(lastSentence);
}

void DictationTest::passed(bool lastSentence) {
    TrainerState &s = m_state;
    // Counted by place, not by pass: the test only moves forward by passing, so sentences
    // 1 to passedCount are the ones passed. A sentence passed again after Page Up counts
    // once, and the count can never pass the last sentence before the lesson is complete.
    const int passedSentence = s.currentSentence;
    if (!lastSentence) {
        // The next sentence starts playing only after the learner has closed the box.
        message(DictationVerdict::Passed);
        m_view.nextSentence();
        s.passedCount = std::max(s.passedCount, passedSentence);
        updateProgress();
        Q_EMIT changed();
        return;
    }
    s.passedCount = std::max(s.passedCount, passedSentence);
    updateProgress();
    message(DictationVerdict::LessonPassed);
    if (m_hooks.lessonCompleted)
        m_hooks.lessonCompleted();
    Q_EMIT changed();
}

void DictationTest::passMarkEdited() {
    const QString text = m_hooks.passMarkText ? m_hooks.passMarkText() : QString();
    if (m_checkingPassMark || passMarkOf(text) >= DictationScore::lowestPassMark)
        return;
    const QScopedValueRollback<bool> checking(m_checkingPassMark, true);
    if (m_hooks.messageBox)
        m_hooks.messageBox(QStringLiteral("最低值不能低于60分！"), QString(), MessageIcon::None);
    if (m_hooks.setPassMarkText)
        m_hooks.setPassMarkText(QString::number(DictationScore::lowestPassMark));
}

void DictationTest::passMarkPicked() {
    focusTypingBox();
}
