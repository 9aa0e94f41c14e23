#include "trainercore.h"

#include "audio/ticker.h"
#include "audio/voiceplayer.h"
#include "audio/voicerecorder.h"
#include "content/contentpaths.h"
#include "content/settingsfile.h"

#include <QTextStream>

WindowTimers WindowTimers::makeQt(QObject *parent) {
    const PlaybackTimers playback = PlaybackTimers::makeQt(parent);
    return WindowTimers{playback.Timer1, playback.Timer2, new QtTicker(10, parent),
                        playback.endShot, new QtTicker(FollowReadComparison::limitMs, parent)};
}

TrainerCore::TrainerCore(Program program, const DataPlaces &places, const TextMeasurer &measurer,
                         VoicePlayer &player, ShortSoundPlayer &sounds, VoiceRecorder &recorder,
                         PlaybackTimers timers, Ticker *recordLimit, QObject *parent)
    : QObject(parent), m_places(places), m_timers(timers), m_player(player), m_recorder(recorder),
      m_state(TrainerState::forProgram(program)), m_measurer(measurer),
      m_loader(m_state, player, m_measurer),
      m_view(m_state, player, sounds, m_measurer, places.programDir()),
      m_dictation(m_state, m_view, m_measurer),
      m_playback(m_state, player, sounds, timers, places.programDir()),
      m_reader(m_state, m_playback), m_speed(m_state, m_playback),
      m_followRead(m_state, m_playback, recorder,
                   recordLimit ? recordLimit : new QtTicker(FollowReadComparison::limitMs, this),
                   places.preparedWritePath(ContentFile::recorder())),
      m_followSounds(m_decoder, recorder, m_speechFeedback) {
    wire();
}

void TrainerCore::wire() {
    LoaderHooks &loader = m_loader.hooks();
    loader.nextSentence = [this](TrainerState &) { m_view.nextSentence(); };
    loader.cc = [this](TrainerState &) { m_view.cc(); };
    loader.messageBox = [this](const QString &text) {
        messageBox(text, QString(), MessageIcon::None);
    };
    loader.focusCombo4 = [this] { focusCombo4(); };
    loader.stopSentenceTimers = [this] {
        m_playback.stopSentenceTimers();
        m_followRead.lessonLoading();
    };

    StudyViewHooks &view = m_view.hooks();
    view.playCurrentSentence = [this] { m_playback.onCommand4(); };
    view.resetForModeChange = [this] { m_playback.resetForModeChange(); };
    view.applyModePair = [this](int mode) { m_playback.applyModePair(mode); };
    view.stopPlaybackAndScrollTop = [this] { m_playback.resetPlayback(); };
    view.stopPanelSentence = [this] { m_playback.stopPanelSentence(); };
    view.sentenceShown = [this] { m_followRead.sentenceShown(m_state.currentSentence); };
    view.followReadLeft = [this] { m_followRead.leavePage(); };
    view.focusCombo4 = [this] { focusCombo4(); };
    view.focusTypingBox = [this] { focusTypingBox(); };
    view.messageBox = [this](const QString &text, const QString &title, MessageIcon icon) {
        messageBox(text, title, icon);
    };
    view.resetSentenceCounters = [this] { m_dictation.resetSentenceCounters(); };
    view.dictationReplay = [this] { m_dictation.replay(); };
    view.dictationHint = [this] { m_dictation.hint(); };
    view.dictationRedo = [this] { m_dictation.redo(); };
    view.dictationChecked = [this](const LetterCheck &check) { m_dictation.checked(check); };

    DictationHooks &dictation = m_dictation.hooks();
    dictation.playCurrentSentence = [this] { m_playback.onCommand4(); };
    dictation.focusTypingBox = [this] { focusTypingBox(); };
    dictation.messageBox = [this](const QString &text, const QString &title, MessageIcon icon) {
        messageBox(text, title, icon);
    };

    PlaybackHooks &playback = m_playback.hooks();
    playback.focusCombo4 = [this] { focusCombo4(); };
    playback.focusTypingBox = [this] { focusTypingBox(); };
    playback.panelChanged = [this] {
        if (m_surface.panelChanged)
            m_surface.panelChanged();
    };
    playback.controlsChanged = [this] {
        if (m_surface.controlsChanged)
            m_surface.controlsChanged();
    };

    m_followRead.hooks() = {[this] { m_view.previousSentence(); },
                            [this] { m_view.nextSentence(); }, [this] { m_view.firstSentence(); }};
    connect(&m_followRead, &FollowReadComparison::recordingMade, this,
            [this] { m_followSounds.recordingMade(m_followRead.recordingPath()); });
    connect(&m_followRead, &FollowReadComparison::recordingDropped, &m_followSounds,
            &FollowReadSounds::recordingDropped);
}

void TrainerCore::unload(const QString &settingsRecord) {
    const bool mini = m_state.program == Program::Mini;
    const SaveResult saved =
        saveSettingsRecord(m_places.preparedWritePath(ContentFile::settings(mini)), settingsRecord);
    if (!saved.ok() && m_endedByDesktop)
        QTextStream(stderr) << saveFailureMessage(saved) << Qt::endl;
    else if (!saved.ok())
        messageBox(saveFailureMessage(saved), QString(), MessageIcon::None);
    endPlayback();
}

void TrainerCore::endPlayback() {
    // A take under way is kept, as 停止 keeps it.
    m_followRead.leavePage();
    m_recorder.stopRecording();
    m_recorder.stopPlayback();
    for (Ticker *timer : {m_timers.Timer1, m_timers.Timer2, m_timers.endShot}) {
        if (timer)
            timer->stop();
    }
    m_player.VoicePause();
}

void TrainerCore::focusCombo4() {
    if (m_surface.focusCombo4)
        m_surface.focusCombo4();
}

void TrainerCore::focusTypingBox() {
    if (m_surface.focusTypingBox)
        m_surface.focusTypingBox();
}

void TrainerCore::messageBox(const QString &text, const QString &title, MessageIcon icon) {
    if (m_surface.messageBox)
        m_surface.messageBox(text, title, icon);
}
