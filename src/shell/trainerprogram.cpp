#include "trainerprogram.h"

#include "audio/voicebackend.h"
#include "audio/voiceplayer.h"
#include "audio/voicerecorder.h"
#include "content/staletemporaries.h"
#include "importing/importtools.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

TrainerProgram::TrainerProgram(TrainerProgramParts parts, ShortSoundPlayer &sounds)
    : m_parts(std::move(parts)), m_sounds(sounds) {}

TrainerProgram::~TrainerProgram() {
    m_media.reset();
    m_window.reset(); // before the player and the recorder it plays through
}

void TrainerProgram::start() {
    if (m_window)
        return;
    // 1. The display check, before anything is shown.
    m_screen = m_parts.readScreen ? m_parts.readScreen()
                                  : ScreenReading::of(QGuiApplication::primaryScreen());
    if (displayMessageNeeded(m_screen, designSize)) {
        m_displayMessageShown = true;
        if (m_parts.messageSink) {
            m_parts.messageSink(displayMessageText(), QStringLiteral("Orvessa"), MessageIcon::None);
        } else {
            QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Orvessa"), displayMessageText(),
                            QMessageBox::Ok);
            box.exec();
        }
    }

    // 2 and 3. WmpEnable is 0 until the media player exists. playerKind is the player's
    // own: it follows from the back-end's units (2 for the media player), which are what
    // every stored time is converted to.
    ChosenBackend chosen;
    if (m_parts.chooseBackend)
        chosen = m_parts.chooseBackend();
    const int WmpEnable = chosen.backend ? chosen.WmpEnable : 0;
    m_player = std::make_unique<VoicePlayer>(Program::Orvessa, std::move(chosen.backend));
    m_player->WmpEnable = WmpEnable;

    const WindowTimers timers =
        m_parts.timers ? *m_parts.timers : WindowTimers::makeQt(&m_timerOwner);
    m_places = DataPlaces::forProgram(m_parts.programDir, m_parts.userDataDir);
    // What a killed save or import left where this program writes.
    removeStaleTemporaries(m_places.writeRoot());
    m_recorder = m_parts.makeRecorder ? m_parts.makeRecorder() : createSystemVoiceRecorder();
    m_window = std::make_unique<TrainerWindow>(m_places, *m_player, m_sounds, *m_recorder, timers);
    m_window->messageSink = m_parts.messageSink;
    m_window->launcher = m_parts.launcher;
    m_window->engines = m_parts.engines;
    m_window->importTools = m_parts.importTools ? m_parts.importTools() : lessonImportTools();
    m_window->startup();
    m_media = std::make_unique<TrainerMedia>(*m_window);
}
