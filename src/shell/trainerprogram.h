#pragma once

#include "audio/voicebackendfactory.h"
#include "desktop/programlauncher.h"
#include "displaycheck.h"
#include "trainermedia.h"
#include "trainerwindow.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class ShortSoundPlayer;
class VoicePlayer;
class VoiceRecorder;

// What the trainer's start needs from its surroundings. The defaults are the real ones;
// tests hand in a fake back-end, a screen, hand-ticked timers and a launcher that starts
// nothing.
struct TrainerProgramParts {
    QString programDir; // the running program's
    // Where the learner's files go when programDir cannot take them; empty: the desktop's
    // per-user data folder.
    QString userDataDir;
    std::function<ChosenBackend()> chooseBackend = chooseVoiceBackend;
    // The learner's recorder; empty: the desktop's.
    std::function<std::unique_ptr<VoiceRecorder>()> makeRecorder;
    std::function<ScreenReading()> readScreen; // empty: the primary screen
    std::optional<WindowTimers> timers;        // empty: Qt timers
    // Replaces the modal message boxes, the display check's included; empty shows them.
    std::function<void(const QString &text, const QString &title, MessageIcon icon)> messageSink;
    ProgramLauncher launcher = ProgramLauncher::system();
    // How "导入课程" reads and converts audio and finds a text's sentences; empty: the
    // programs' own tools.
    std::function<AudioTools()> importTools;
    // What the voice options page switches the lesson player between.
    VoiceEngines engines = VoiceEngines::system();
};

// The whole start of orvessa in its order: the display check and its message, WmpEnable 0,
// the hidden player with the audio back-end (playerKind follows), then the window's own
// steps (TrainerWindow::startup), then the window on the session bus as a media player.
// Owns the player and the window; the window's close ends the program.
class TrainerProgram {
public:
    // sounds must outlive the program.
    TrainerProgram(TrainerProgramParts parts, ShortSoundPlayer &sounds);
    ~TrainerProgram();
    TrainerProgram(const TrainerProgram &) = delete;
    TrainerProgram &operator=(const TrainerProgram &) = delete;

    void start();

    TrainerWindow *window() const { return m_window.get(); }
    TrainerMedia *media() const { return m_media.get(); }
    VoicePlayer *player() const { return m_player.get(); }
    VoiceRecorder *recorder() const { return m_recorder.get(); }
    // Where the window reads and writes its files, decided at the start.
    const DataPlaces &places() const { return m_places; }
    // What the display check read and whether it told the learner.
    const ScreenReading &screen() const { return m_screen; }
    bool displayMessageShown() const { return m_displayMessageShown; }

    static constexpr QSize designSize{TrainerWindow::widthTwips / 15,
                                      TrainerWindow::heightTwips / 15};

private:
    TrainerProgramParts m_parts;
    ShortSoundPlayer &m_sounds;
    ScreenReading m_screen;
    DataPlaces m_places;
    bool m_displayMessageShown = false;
    QObject m_timerOwner;
    std::unique_ptr<VoicePlayer> m_player;
    std::unique_ptr<VoiceRecorder> m_recorder;
    std::unique_ptr<TrainerWindow> m_window;
    std::unique_ptr<TrainerMedia> m_media;
};
