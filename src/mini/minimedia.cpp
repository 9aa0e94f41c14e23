#include "minimedia.h"

#include "miniwindow.h"

MiniMedia::MiniMedia(MiniWindow &window, QObject *parent)
    : QObject(parent), m_window(window),
      m_mpris(serviceSuffix, QStringLiteral("Orvessa Mini"), QStringLiteral("orvessa-mini"),
              MprisControls{[this] {
                                m_window.togglePause();
                                update();
                            },
                            [this] {
                                if (m_window.pausedByLearner())
                                    m_window.togglePause();
                                update();
                            },
                            [this] {
                                if (!m_window.pausedByLearner())
                                    m_window.togglePause();
                                update();
                            },
                            [this] {
                                if (m_window.core().state().AR3.enabled)
                                    m_window.core().view().nextSentence();
                                update();
                            },
                            [this] {
                                if (m_window.core().state().AR2.enabled)
                                    m_window.core().view().previousSentence();
                                update();
                            },
                            [this] {
                                m_window.showNormal();
                                m_window.raise();
                                m_window.activateWindow();
                            },
                            [this] { m_window.close(); }}) {
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
