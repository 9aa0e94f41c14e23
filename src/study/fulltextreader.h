#pragma once

#include <QObject>
#include <QString>

class SentencePlayback;
struct TrainerState;

// Full-text reading: plays the lesson from its first sentence to its last, each sentence
// with the repeat count and pause of sentence playback, underlining the sentence being read
// and keeping it in view. Also the scrolling of the lesson panel by hand: the arrows
// Command32/Command33 and Combo4's Up and Down keys. Positions are twips.
//
// States by captions: off (Command6 "全文朗读", Command7 disabled) -> reading (Command6
// "停止朗读", Command7 "暂停朗读") <-> paused (Command7 "继续朗读"). Reading moves on to the
// next sentence when the pause after a sentence's last play has passed, while the study mode
// is 全文浏览 and the reading button reads "停止朗读" (orvessa; mini moves on by its own
// advance).
class FullTextReader : public QObject {
    Q_OBJECT
public:
    FullTextReader(TrainerState &state, SentencePlayback &playback, QObject *parent = nullptr);

    // The reading button: starts reading at sentence 1 or stops it; the panel goes to its top.
    void onCommand6();
    // The pause button: holds the player or resumes it where it stopped.
    void onCommand7();
    // Starts the next sentence after readingSentence, or ends reading after the last one.
    // Sentences without playable times are passed over.
    void autoread();
    // The arrows: about 500 twips up or down, to where a row starts, never past either end.
    void onCommand32();
    void onCommand33();
    // Combo4's key-down with a key code (38 Up, 40 Down); true when the key scrolled.
    bool onCombo4Key(int keyCode);

    // Moves the panel so that sentence r's English line comes into view when it ends below
    // the viewport: half a viewport up, or until the canvas's bottom meets the viewport's.
    void keepInView(int r);

    static constexpr int keyUp = 38;
    static constexpr int keyDown = 40;

private:
    void continueReading();
    void scrollBarStep(int delta);
    void notifyPanel();
    void notifyControls();
    void focusCombo4();

    TrainerState &m_state;
    SentencePlayback &m_playback;
};
