#include "trainermedia.h"

#include "audio/voicebackend.h"
#include "audio/voiceplayer.h"
#include "catalogueview.h"
#include "study/fulltextreader.h"
#include "trainerwindow.h"

TrainerMedia::TrainerMedia(TrainerWindow &window, QObject *parent)
    : QObject(parent), m_window(window),
      m_mpris(QStringLiteral("orvessa"), QStringLiteral("Orvessa"), QStringLiteral("orvessa"),
              withWindowControls(MprisControls{[this] { playPause(); },
                                               [this] { play(); },
                                               [this] { pause(); },
                                               [this] { next(); },
                                               [this] { previous(); },
                                               {},
                                               {}},
                                 window)) {
    if (!m_mpris.registered())
        return; // nobody to tell
    update();
    m_poll.setInterval(pollMs);
    connect(&m_poll, &QTimer::timeout, this, &TrainerMedia::update);
    m_poll.start();
}

bool TrainerMedia::readingOn() const {
    const TrainerState &s = m_window.state();
    return s.playback.Command6Caption != readingCaptions(s.program).start;
}

bool TrainerMedia::playing() const {
    const TrainerState &s = m_window.state();
    if (readingOn() && s.playback.Command7Caption == readingCaptions(s.program).pause)
        return true; // also in the pause between two sentences
    return m_window.core().player().backend().isPlaying();
}

void TrainerMedia::playPause() {
    TrainerState &s = m_window.state();
    if (readingOn())
        m_window.reader().onCommand7();
    else if (m_window.core().player().backend().isPlaying())
        m_window.playback().stopPlayback();
    else if (s.studyMode == 2)
        m_window.reader().onCommand6();
    else if (s.studyMode == 8)
        m_window.dictation().replay();
    else
        m_window.playback().onCommand4();
    update();
}

void TrainerMedia::play() {
    if (!playing())
        playPause();
}

void TrainerMedia::pause() {
    if (playing())
        playPause();
}

bool TrainerMedia::canGoNext() const {
    const ControlState &button = m_window.state().Command1;
    return button.enabled && button.visible;
}

bool TrainerMedia::canGoPrevious() const {
    const ControlState &button = m_window.state().Command2;
    return button.enabled && button.visible;
}

void TrainerMedia::next() {
    if (canGoNext())
        m_window.studyView().nextSentence();
    update();
}

void TrainerMedia::previous() {
    if (canGoPrevious())
        m_window.studyView().previousSentence();
    update();
}

void TrainerMedia::update() {
    const TrainerState &s = m_window.state();
    m_mpris.setPlaybackStatus(playing()             ? MprisPlayer::Status::Playing
                              : s.sentenceCount > 0 ? MprisPlayer::Status::Paused
                                                    : MprisPlayer::Status::Stopped);
    // Reading, and a line played in 全文浏览, stand at their own sentence.
    const int reading = s.playback.readingSentence;
    const int r = s.studyMode == 2 && reading >= 1 ? reading : s.currentSentence;
    const QString sentence =
        r >= 1 && r <= s.sentences.count() ? s.sentences.entry(r).english : QString();
    const QString lesson =
        s.Label7_20.text.isEmpty() ? m_window.catalogue()->lessonName() : s.Label7_20.text;
    m_mpris.setMetadata(lesson, sentence, m_window.catalogue()->bookTitle());
    m_mpris.setNavigation(canGoNext(), canGoPrevious());
}
