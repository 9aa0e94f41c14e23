#include "minimedia.h"

#include "miniwindow.h"

MiniMedia::MiniMedia(MiniWindow &window, QObject *parent)
    : QObject(parent), m_window(window),
      m_mpris(serviceSuffix, QStringLiteral("Orvessa Mini"), QStringLiteral("orvessa-mini"),
              withWindowControls(MprisControls{[this] { act([this] { m_window.togglePause(); }); },
                                               [this] { setPaused(false); },
                                               [this] { setPaused(true); },
                                               [this] { step(true); },
                                               [this] { step(false); },
                                               {},
                                               {}},
                                 window)) {
    if (!m_mpris.registered())
        return; // nobody to tell
    update();
    m_poll.setInterval(pollMs);
    connect(&m_poll, &QTimer::timeout, this, &MiniMedia::update);
    m_poll.start();
}

// The strip plays on by itself unless the learner paused it; between two plays of a sentence
// it is still playing.
void MiniMedia::update() {
    const TrainerState &s = m_window.core().state();
    m_mpris.setPlaybackStatus(m_window.pausedByLearner() ? MprisPlayer::Status::Paused
                              : s.sentenceCount > 0      ? MprisPlayer::Status::Playing
                                                         : MprisPlayer::Status::Stopped);
    m_mpris.setMetadata(s.Label7_20.text, s.view.Label1.text, m_window.bookText());
    m_mpris.setNavigation(s.AR3.enabled, s.AR2.enabled);
}

// A control from the desktop, then the new state told.
void MiniMedia::act(const std::function<void()> &control) {
    control();
    update();
}

void MiniMedia::setPaused(bool paused) {
    act([this, paused] {
        if (m_window.pausedByLearner() != paused)
            m_window.togglePause();
    });
}

// Next and Previous as the menu's 下一句/上一句, when they are enabled.
void MiniMedia::step(bool forward) {
    act([this, forward] {
        const TrainerState &s = m_window.core().state();
        if (forward && s.AR3.enabled)
            m_window.core().view().nextSentence();
        else if (!forward && s.AR2.enabled)
            m_window.core().view().previousSentence();
    });
}
