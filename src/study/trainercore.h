#pragma once

#include "content/dataplaces.h"
#include "content/rowlayout.h"
#include "lessonloader.h"
#include "media/segmentdecoder.h"
#include "speech/speechfeedback.h"
#include "study/dictationtest.h"
#include "study/followreadcomparison.h"
#include "study/followreadsounds.h"
#include "study/fulltextreader.h"
#include "study/sentenceplayback.h"
#include "study/speedchoice.h"
#include "study/studyview.h"
#include "study/trainerstate.h"

#include <QObject>
#include <functional>

class ShortSoundPlayer;
class Ticker;
class VoicePlayer;
class VoiceRecorder;

// A program window's timers. Not owned by the window's code: the program makes QtTickers
// (makeQt); tests hand ManualTickers and tick them.
struct WindowTimers {
    Ticker *Timer1 = nullptr;  // sentence-end watch, 30 ms
    Ticker *Timer2 = nullptr;  // repeat pause
    Ticker *Timer3 = nullptr;  // deferred lesson load after a book switch, 10 ms
    Ticker *endShot = nullptr; // ends a sentence between two polls of Timer1
    // Ends a recording left running (60 s); nullptr: the window makes a Qt one.
    Ticker *recordLimit = nullptr;

    static WindowTimers makeQt(QObject *parent);
};

// What the core asks of the window that shows it. Empty hooks are skipped.
struct CoreSurface {
    std::function<void()> focusCombo4;    // the hidden key-catching selector takes the keys
    std::function<void()> focusTypingBox; // the typing box does, where it shows
    std::function<void(const QString &text, const QString &title, MessageIcon icon)> messageBox;
    std::function<void()> panelChanged;    // the lesson panel's rows or scroll place changed
    std::function<void()> controlsChanged; // a caption, enabled state or picture changed
};

// The trainer without its window: the window state and the study code that both programs
// run on it (the lesson loader, the single-sentence view, sentence playback and repeat,
// full-text reading, the speed choice, the dictation test and the follow-read comparison),
// wired to one another. Each program's window owns one, shows its state and hands it the
// learner's clicks; what only one program has (the results store, the review list, the
// catalogue's widgets) stays with that window.
class TrainerCore : public QObject {
    Q_OBJECT
public:
    // All references must outlive the core. measurer: the text widths the row layout uses,
    // the window's fonts (a FontMeasurer) in the programs. recordLimit: the recording's time
    // limit; nullptr makes a Qt timer.
    TrainerCore(Program program, const DataPlaces &places, const TextMeasurer &measurer,
                VoicePlayer &player, ShortSoundPlayer &sounds, VoiceRecorder &recorder,
                PlaybackTimers timers, Ticker *recordLimit, QObject *parent = nullptr);

    CoreSurface &surface() { return m_surface; }
    // The desktop is ending the program (a termination signal, the session's end): nobody
    // is there to close a message box, so a failed save is told on standard error.
    void setEndedByDesktop() { m_endedByDesktop = true; }

    // The program ends: the window's settings record is saved where this program keeps it
    // (set.dat or mnset.dat; a failure is said in a message box), then a recording under way
    // is completed (its file stays a readable wave file), the recording's playback and the
    // sentence timers stop and the player pauses, so nothing plays on while the program closes.
    void unload(const QString &settingsRecord);

    TrainerState &state() { return m_state; }
    const TrainerState &state() const { return m_state; }
    const TextMeasurer &measurer() const { return m_measurer; }
    LessonLoader &loader() { return m_loader; }
    StudyView &view() { return m_view; }
    DictationTest &dictation() { return m_dictation; }
    SentencePlayback &playback() { return m_playback; }
    FullTextReader &reader() { return m_reader; }
    SpeedChoice &speed() { return m_speed; }
    FollowReadComparison &followRead() { return m_followRead; }
    FollowReadSounds &followReadSounds() { return m_followSounds; }
    VoicePlayer &player() { return m_player; }
    VoiceRecorder &recorder() { return m_recorder; }

private:
    void wire();
    void focusCombo4();
    void focusTypingBox();
    void messageBox(const QString &text, const QString &title, MessageIcon icon);
    void endPlayback();

    bool m_endedByDesktop = false;
    CoreSurface m_surface;
    DataPlaces m_places;
    PlaybackTimers m_timers;
    VoicePlayer &m_player;
    VoiceRecorder &m_recorder;
    TrainerState m_state;
    const TextMeasurer &m_measurer;
    LessonLoader m_loader;
    StudyView m_view;
    DictationTest m_dictation;
    SentencePlayback m_playback;
    FullTextReader m_reader;
    SpeedChoice m_speed;
    SegmentDecoder m_decoder;
    SpeechFeedback m_speechFeedback;
    FollowReadComparison m_followRead;
    FollowReadSounds m_followSounds;
};
