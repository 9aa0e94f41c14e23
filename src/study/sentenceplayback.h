#pragma once

#include "study/playbackhooks.h"

#include <QObject>
#include <QString>
#include <QStringView>

class ShortSoundPlayer;
class Ticker;
class VoicePlayer;
struct TrainerState;

// The timers sentence playback runs on. Not owned: they must outlive the playback. The
// program hands QtTickers (makeQt); tests hand ManualTickers and tick them by hand.
struct PlaybackTimers {
    Ticker *Timer1 = nullptr;  // sentence-end watch, 30 ms
    Ticker *Timer2 = nullptr;  // repeat pause, interval from the pause rule
    Ticker *endShot = nullptr; // one-shot that ends a sentence between two polls of Timer1

    // Timer1 30 ms, Timer2 10 ms, endShot 1 ms, all stopped, children of parent.
    static PlaybackTimers makeQt(QObject *parent);
};

// Sentence playback and repeat: plays one sentence of the lesson audio from its Start to
// its End, waits the pause and plays it again until it has been heard the repeat count of
// times (Combo2's number; "0" and "1" both mean one play).
//
// One sentence's cycle: idle -> playing (Timer1 polls the player) -> ended and pausing
// (Timer2 runs the pause once) -> playing again while repeatCount is below the repeat
// count, else idle. When the pause after the last play has passed, repeatsFinished() is
// emitted: full-text reading moves on from there, and so does mini's continuous advance.
//
// Units: voiceStart, voiceEnd and voicePosition are in the player's unit (seconds with
// playerKind 2, milliseconds with playerKind 1); sentence times are taken from the table in
// seconds and converted where they are stored. Timer intervals are milliseconds.
//
// A sentence is never restarted behind the learner's back: every handler that starts a
// sentence, and every handler that silences playback, also stops a pending repeat pause.
// Only the reading pause button (Command7) leaves it running, so that pausing between two
// plays does not hold back the next play.
class SentencePlayback : public QObject {
    Q_OBJECT
public:
    SentencePlayback(TrainerState &state, VoicePlayer &player, ShortSoundPlayer &sounds,
                     PlaybackTimers timers, QString programDir, QObject *parent = nullptr);

    PlaybackHooks &hooks() { return m_hooks; }
    TrainerState &state() { return m_state; }
    VoicePlayer &player() { return m_player; }

    // --- Handlers of the window's controls (i is the 1-based sentence row) ---

    // English line Label6(i) released: hides every underline; in 全文浏览 plays sentence i
    // with its repeats, underlines it and puts full-text reading there. Focus to Combo4.
    void onLabel6Released(int i);
    // Play icon Image2(i) pressed: the pressed look (15 twips right and down) and MouDown.wav.
    void onImage2Pressed(int i);
    // Play icon released: back from the pressed look, MouUp.wav, sentence i plays with its
    // repeats and is underlined. readingSentence stays.
    void onImage2Released(int i);
    // 朗读: one more play of the current sentence, without resetting repeatCount. The typing
    // box takes the focus (orvessa; mini leaves it).
    void onCommand4();
    // 标准发音: the same as 朗读.
    void onCommand11() { onCommand4(); }
    // A click on the lesson panel outside a line: silence at once, no underline, reading
    // off, focus to Combo4.
    void onPanelBackgroundClicked();
    // The learner picked a repeat count or a pause. Focus to the typing box in 句子学习,
    // otherwise to Combo4.
    void onCombo2Picked(const QString &text);
    void onCombo3Picked(const QString &text);

    // --- For the study views, full-text reading, the menu and mini ---

    // The picker texts of a mode: studyRepeats/studyPause in 句子学习, browseRepeats/
    // browsePause in 全文浏览, "1"/"0" in 回想中文, 回想英文, 跟读对比 and 听写测试; other
    // modes keep the pickers. Timer2's interval follows the pause.
    void applyModePair(int studyMode);
    // cc's common steps: repeatCount 0, reading off (captions, Command7 disabled), Timer2's
    // interval from Combo3, Timer2 stopped. Either order with applyModePair() is right.
    void resetForModeChange();
    // A repeat count or pause set from code (mini's settings dialog): as a pick, without
    // moving the focus.
    void setRepeatText(const QString &text);
    void setPauseText(const QString &text);
    // 重置's playback part: focus to Combo4, playback silenced, the panel back at its top.
    void resetPlayback();
    // Starts the current sentence's times (voiceStart/voiceEnd as set by the single-sentence
    // view) once more: 朗读 without the focus. Plays nothing when the current sentence has
    // no playable times.
    void playCurrentTimes();
    // Starts sentence i from its Start: its times into voiceStart/voiceEnd, the watch on,
    // seek, play. A sentence without playable times silences the player and starts nothing;
    // returns whether it started. Does not touch repeatCount or the underlines.
    bool startSentence(int i);
    // Whether sentence i has playable times.
    bool hasTimes(int i) const;
    // Watch off and player paused; a pending repeat pause is dropped as well.
    void stopPlayback();
    // Only the watch off (the menu leaves the player running into the dictation set-up).
    void stopWatch();
    // The watch and the repeat pause off, the player left alone (a lesson load, which
    // resets the player itself).
    void stopSentenceTimers();
    // The single-sentence view is about to store its sentence's times: a sentence started
    // from the panel or by full-text reading that still plays, or waits for its repeat, is
    // silenced first, its underline hidden and reading ended. Its watch would otherwise end
    // it at the other sentence's End and repeat the other sentence.
    void stopPanelSentence();
    // Player paused where it is, the watch left running (the reading pause button).
    void holdPlayback();
    // The player plays on from where it was held, if a sentence was held mid-play (the watch
    // still runs). Held between two plays the player stands past the sentence's End: playing
    // on there would run into the next sentence unwatched, and the repeat pause starts the
    // next play anyway, so nothing is played then.
    void resumePlayback();
    // Reading off: the reading button and the pause button back to their resting captions,
    // the pause button disabled.
    void endReading();
    void hideUnderlines();
    // The rate was changed (the speed choice): re-aims the end of a sentence about to end.
    void rateChanged();

    // The repeat count as a number (Combo2's leading number).
    double repeatTarget() const;
    // Timer2's interval for a pause text: seconds x 1000 + 10 ms, never below 10 ms.
    static int pauseInterval(QStringView pauseText);

    // Sentence-end watch and repeat pause; connected to the timers' timeouts.
    void onTimer1();
    void onTimer2();
    void onEndShot();

    static constexpr int pressedOffset = 15; // twips of the pressed look

Q_SIGNALS:
    // The pause after the last play of the current sentence has passed.
    void repeatsFinished();

private:
    // Watch on, seek to voiceStart, play.
    void playFromStart();
    void watchPosition();
    void endOfSentence();
    void focusAfterPick();
    void storeForMode(QString &studyText, QString &browseText, const QString &text) const;
    bool reachedEnd() const;
    bool isRow(int i) const;
    double unitsPerMs() const;
    double currentRate() const;
    void call(const std::function<void()> &hook) const;

    TrainerState &m_state;
    VoicePlayer &m_player;
    ShortSoundPlayer &m_sounds;
    Ticker *m_Timer1;
    Ticker *m_Timer2;
    Ticker *m_endShot;
    QString m_programDir;
    PlaybackHooks m_hooks;

    double m_shotArmedAt = 0; // voicePosition when endShot was armed
    // The play icon now pressed (0 for none) and where the pressed look put it: a release
    // undoes only a look it finds in place, so an unpaired release never shifts an icon.
    int m_pressedRow = 0;
    int m_pressedLeft = 0;
    int m_pressedTop = 0;
    // voiceStart/voiceEnd were stored by startSentence (a panel click or reading) rather
    // than by the single-sentence view.
    bool m_panelTimes = false;
};
