#pragma once

#include "desktop/accessiblecontrol.h"
#include "speech/speechtypes.h"

#include <QWidget>

// The pitch of the model (above) and of the learner's recording (below), word by word: each
// word of the sentence has a slot as wide as the model says it, and each speaker's pitch over
// that word is stretched to fill it, so that the tunes compare even when the speeds differ.
// Under the words: "慢" or "快" where the learner was much slower or faster, "漏读" where a word
// was left out. A recording that was not judged but has a pitch (the model could not be
// analysed, say) still shows it: each speaker's voiced stretch across the whole row, not word
// by word. The view only paints the feedback it is given.
class PitchContourView : public QWidget, public AccessibleControl {
    Q_OBJECT
public:
    explicit PitchContourView(QWidget *parent = nullptr);

    void setFeedback(const SentenceFeedback &feedback);
    void clear();
    // Word by word, from a judged recording.
    bool hasContours() const { return m_feedback.judged && !m_feedback.words.empty(); }
    // The whole sentence's pitch, from a recording not judged.
    bool hasWholeContours() const;

    AccessiblePart accessiblePart(int part) const override;
    void pressAccessiblePart(int) override {}

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    SentenceFeedback m_feedback;
};

// What the view says to a screen reader about the feedback's timing.
QString paceDescription(const SentenceFeedback &feedback);
