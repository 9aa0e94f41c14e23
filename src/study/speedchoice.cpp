#include "speedchoice.h"

#include "audio/voiceplayer.h"
#include "study/sentenceplayback.h"
#include "study/trainerstate.h"

namespace {
const QString chosenPicture = QStringLiteral("bitmap/t.jpg");
const QString otherPicture = QStringLiteral("bitmap/f.jpg");
} // namespace

SpeedChoice::SpeedChoice(TrainerState &state, SentencePlayback &playback, QObject *parent)
    : QObject(parent), m_state(state), m_playback(playback) {}

double SpeedChoice::rateOf(int option) {
    switch (option) {
    case 0:
        return 0.5;
    case 2:
        return 2.0;
    default:
        return 1.0;
    }
}

void SpeedChoice::onLabel20Clicked(int k) {
    if (k < 0 || k >= optionCount)
        return;
    PlaybackState &pb = m_state.playback;
    for (QString &picture : pb.Image9Picture)
        picture = otherPicture;
    pb.Image9Picture[size_t(k)] = chosenPicture;
    if (m_playback.hooks().controlsChanged)
        m_playback.hooks().controlsChanged();
    selectOption(k);
}

void SpeedChoice::selectOption(int k) {
    if (k < 0 || k >= optionCount || m_state.playback.speedOption == k)
        return;
    m_state.playback.speedOption = k;
    onOptionSelected(k);
}

void SpeedChoice::onOptionSelected(int k) {
    // mini sets its speed through its menu only; its options just move the focus.
    if (m_state.program == Program::Orvessa)
        applyRate(rateOf(k));
    const PlaybackHooks &hooks = m_playback.hooks();
    const auto &focus = m_state.studyMode == 1 ? hooks.focusTypingBox : hooks.focusCombo4;
    if (focus)
        focus();
}

void SpeedChoice::onMenuSpeedChosen(bool normal) {
    m_playback.player().normalPlay = normal;
    applyRate(normal ? 1.0 : 0.5);
}

void SpeedChoice::applyRate(double rate) {
    m_playback.player().setRate(rate);
    m_state.playback.rate = rate;
    m_playback.rateChanged();
    if (m_playback.hooks().controlsChanged)
        m_playback.hooks().controlsChanged();
}
