#include "sentenceplayback.h"

#include "audio/shortsound.h"
#include "audio/ticker.h"
#include "audio/voiceplayer.h"
#include "content/contentpaths.h"
#include "content/settingsrecord.h"
#include "study/trainerstate.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr int watchIntervalMs = 30;
constexpr int pauseAddedMs = 10;

} // namespace

PlaybackTimers PlaybackTimers::makeQt(QObject *parent) {
    PlaybackTimers timers;
    timers.Timer1 = new QtTicker(watchIntervalMs, parent);
    timers.Timer2 = new QtTicker(pauseAddedMs, parent);
    timers.endShot = new QtTicker(1, parent);
    return timers;
}

SentencePlayback::SentencePlayback(TrainerState &state, VoicePlayer &player,
                                   ShortSoundPlayer &sounds, PlaybackTimers timers,
                                   QString programDir, QObject *parent)
    : QObject(parent), m_state(state), m_player(player), m_sounds(sounds), m_Timer1(timers.Timer1),
      m_Timer2(timers.Timer2), m_endShot(timers.endShot), m_programDir(std::move(programDir)) {
    Q_ASSERT(m_Timer1 && m_Timer2 && m_endShot);
    m_Timer1->stop();
    m_Timer2->stop();
    m_endShot->stop();
    m_Timer2->setInterval(pauseInterval(m_state.playback.Combo3Text));
    connect(m_Timer1, &Ticker::timeout, this, &SentencePlayback::onTimer1);
    connect(m_Timer2, &Ticker::timeout, this, &SentencePlayback::onTimer2);
    connect(m_endShot, &Ticker::timeout, this, &SentencePlayback::onEndShot);
}

// --- Handlers -----------------------------------------------------------------------------

void SentencePlayback::onLabel6Released(int i) {
    hideUnderlines();
    if (m_state.studyMode == 2 && isRow(i)) {
        m_state.playback.repeatCount = 0;
        m_state.playback.readingSentence = i;
        startSentence(i);
        m_state.row(i).Line3.visible = true;
    }
    call(m_hooks.panelChanged);
    call(m_hooks.focusCombo4);
}

void SentencePlayback::onImage2Pressed(int i) {
    if (!isRow(i))
        return;
    TwipRect &box = m_state.row(i).Image2.box;
    if (m_pressedRow != i) {
        box.left += pressedOffset;
        box.top += pressedOffset;
        m_pressedRow = i;
        m_pressedLeft = box.left;
        m_pressedTop = box.top;
    }
    m_sounds.play(clickSoundPath(m_programDir, QStringLiteral("MouDown.wav")));
    call(m_hooks.panelChanged);
}

void SentencePlayback::onImage2Released(int i) {
    if (!isRow(i))
        return;
    TwipRect &box = m_state.row(i).Image2.box;
    if (m_pressedRow == i && box.left == m_pressedLeft && box.top == m_pressedTop) {
        box.left -= pressedOffset;
        box.top -= pressedOffset;
    }
    m_pressedRow = 0;
    m_sounds.play(clickSoundPath(m_programDir, QStringLiteral("MouUp.wav")));
    m_state.playback.repeatCount = 0;
    startSentence(i);
    hideUnderlines();
    m_state.row(i).Line3.visible = true;
    call(m_hooks.panelChanged);
}

void SentencePlayback::onCommand4() {
    playCurrentTimes();
    if (m_state.program == Program::Orvessa)
        call(m_hooks.focusTypingBox);
}

void SentencePlayback::onPanelBackgroundClicked() {
    hideUnderlines();
    stopPlayback();
    endReading();
    call(m_hooks.panelChanged);
    call(m_hooks.controlsChanged);
    call(m_hooks.focusCombo4);
}

void SentencePlayback::onCombo2Picked(const QString &text) {
    setRepeatText(text);
    focusAfterPick();
}

void SentencePlayback::onCombo3Picked(const QString &text) {
    setPauseText(text);
    focusAfterPick();
}

// --- Mode pairs and the pickers -------------------------------------------------------------

void SentencePlayback::applyModePair(int studyMode) {
    PlaybackState &pb = m_state.playback;
    switch (studyMode) {
    case 1:
        pb.Combo2Text = pb.studyRepeats;
        pb.Combo3Text = pb.studyPause;
        break;
    case 2:
        pb.Combo2Text = pb.browseRepeats;
        pb.Combo3Text = pb.browsePause;
        break;
    case 3:
    case 4:
    case 5:
    case 8:
        pb.Combo2Text = QStringLiteral("1");
        pb.Combo3Text = QStringLiteral("0");
        break;
    default:
        return;
    }
    m_Timer2->setInterval(pauseInterval(pb.Combo3Text));
    call(m_hooks.controlsChanged);
}

void SentencePlayback::resetForModeChange() {
    m_state.playback.repeatCount = 0;
    endReading();
    m_Timer2->setInterval(pauseInterval(m_state.playback.Combo3Text));
    m_Timer2->stop();
    call(m_hooks.controlsChanged);
}

void SentencePlayback::setRepeatText(const QString &text) {
    PlaybackState &pb = m_state.playback;
    pb.Combo2Text = text;
    pb.repeatCount = 0;
    storeForMode(pb.studyRepeats, pb.browseRepeats, text);
    call(m_hooks.controlsChanged);
}

void SentencePlayback::setPauseText(const QString &text) {
    PlaybackState &pb = m_state.playback;
    pb.Combo3Text = text;
    storeForMode(pb.studyPause, pb.browsePause, text);
    m_Timer2->setInterval(pauseInterval(text));
    call(m_hooks.controlsChanged);
}

void SentencePlayback::storeForMode(QString &studyText, QString &browseText,
                                    const QString &text) const {
    if (m_state.studyMode == 1)
        studyText = text;
    else if (m_state.studyMode == 2)
        browseText = text;
}

void SentencePlayback::focusAfterPick() {
    call(m_state.studyMode == 1 ? m_hooks.focusTypingBox : m_hooks.focusCombo4);
}

double SentencePlayback::repeatTarget() const {
    return leadingNumber(m_state.playback.Combo2Text);
}

int SentencePlayback::pauseInterval(QStringView pauseText) {
    // leadingNumber() is always finite; a negative pause counts as none, and an absurd one is
    // held inside what a timer can take.
    const double ms = std::max(0.0, leadingNumber(pauseText)) * 1000.0 + pauseAddedMs;
    return int(std::clamp(std::nearbyint(ms), double(pauseAddedMs), double(INT_MAX)));
}

// --- Starting and stopping --------------------------------------------------------------------

void SentencePlayback::resetPlayback() {
    call(m_hooks.focusCombo4);
    stopPlayback();
    scrollPanelToTop(m_state);
    call(m_hooks.panelChanged);
}

void SentencePlayback::playCurrentTimes() {
    m_Timer2->stop();
    m_endShot->stop();
    if (!hasTimes(m_state.currentSentence)) {
        // No current sentence, or one without times: whatever voiceStart/voiceEnd still hold
        // belongs to another sentence (or another lesson).
        stopPlayback();
        return;
    }
    m_panelTimes = false;
    playFromStart();
}

bool SentencePlayback::startSentence(int i) {
    m_Timer2->stop();
    m_endShot->stop();
    const std::optional<SentenceTimes> times = m_state.sentences.times(i);
    if (!times) {
        stopPlayback();
        return false;
    }
    m_player.voiceStart = m_player.toPlayerUnits(times->start);
    m_player.voiceEnd = m_player.toPlayerUnits(times->end);
    m_panelTimes = true;
    playFromStart();
    return true;
}

bool SentencePlayback::hasTimes(int i) const {
    return i >= 1 && i <= m_state.sentenceCount && m_state.sentences.times(i).has_value();
}

void SentencePlayback::stopPlayback() {
    stopWatch();
    m_Timer2->stop();
    m_player.VoicePause();
}

void SentencePlayback::stopWatch() {
    m_Timer1->stop();
    m_endShot->stop();
}

void SentencePlayback::stopSentenceTimers() {
    stopWatch();
    m_Timer2->stop();
}

void SentencePlayback::stopPanelSentence() {
    if (!m_panelTimes || !(m_Timer1->isActive() || m_Timer2->isActive()))
        return;
    stopPlayback();
    hideUnderlines();
    endReading();
    call(m_hooks.panelChanged);
    call(m_hooks.controlsChanged);
}

void SentencePlayback::holdPlayback() {
    m_endShot->stop();
    m_player.VoicePause();
}

void SentencePlayback::resumePlayback() {
    if (!m_Timer1->isActive())
        return;
    m_player.VoicePlay();
    m_player.VoiceGetPosition();
    if (!reachedEnd())
        watchPosition(); // held just before the End: aim at it again
}

void SentencePlayback::endReading() {
    const ReadingCaptions captions = readingCaptions(m_state.program);
    PlaybackState &pb = m_state.playback;
    pb.Command6Caption = captions.start;
    pb.Command7Caption = captions.pause;
    pb.Command7Enabled = false;
}

void SentencePlayback::hideUnderlines() {
    for (SentenceRow &row : m_state.rows)
        row.Line3.visible = false;
}

void SentencePlayback::rateChanged() {
    if (m_Timer1->isActive()) {
        m_player.VoiceGetPosition();
        if (reachedEnd())
            endOfSentence();
        else
            watchPosition();
    }
}

// --- The sentence-end watch and the repeat pause --------------------------------------------

void SentencePlayback::playFromStart() {
    m_Timer1->start();
    m_player.VoiceSetPosition();
    m_player.VoicePlay();
    // A sentence shorter than one poll would otherwise run on until the first poll.
    m_player.VoiceGetPosition();
    if (!reachedEnd())
        watchPosition();
}

void SentencePlayback::onTimer1() {
    m_player.VoiceGetPosition();
    if (reachedEnd())
        endOfSentence();
    else
        watchPosition();
}

// Polling alone lets up to one poll's worth of the next sentence through. When less than
// that is left, a one-shot timer ends the sentence when the rest has played.
void SentencePlayback::watchPosition() {
    const double remaining = m_player.voiceEnd - m_player.voicePosition;
    const double rate = currentRate();
    const double pollSpan = m_Timer1->interval() * rate * unitsPerMs();
    if (remaining > 0 && remaining < pollSpan) {
        // The rounding slack keeps a position a hair short of a whole millisecond from
        // costing a whole millisecond more.
        const double wallMs = std::ceil(remaining / unitsPerMs() / rate - 1e-6);
        m_shotArmedAt = m_player.voicePosition;
        m_endShot->setInterval(int(std::clamp(wallMs, 1.0, double(m_Timer1->interval()))));
        m_endShot->start();
    } else {
        m_endShot->stop();
    }
}

void SentencePlayback::onEndShot() {
    m_endShot->stop();
    if (!m_Timer1->isActive())
        return;
    const double armedAt = m_shotArmedAt;
    m_player.VoiceGetPosition();
    if (reachedEnd())
        endOfSentence();
    else if (m_player.voicePosition > armedAt)
        watchPosition(); // a little is left: aim again at what remains
    // A player that has not moved (held or stalled) is left to Timer1: ending here would cut
    // the sentence short.
}

void SentencePlayback::endOfSentence() {
    m_Timer1->stop();
    m_endShot->stop();
    m_player.VoicePause();
    ++m_state.playback.repeatCount;
    m_Timer2->start();
    if (m_state.studyMode == 5)
        call(m_hooks.onSentenceEndInMode5);
}

void SentencePlayback::onTimer2() {
    m_Timer2->stop();
    const double target = repeatTarget();
    if (m_state.playback.repeatCount < target)
        playFromStart();
    if (m_state.playback.repeatCount >= target)
        Q_EMIT repeatsFinished();
}

// --- Helpers ----------------------------------------------------------------------------------

bool SentencePlayback::isRow(int i) const {
    return i >= 1 && i <= int(m_state.rows.size());
}

// Positions are sums of floating-point steps: one a microsecond short of the End has
// reached it, rather than costing another poll or another millisecond.
bool SentencePlayback::reachedEnd() const {
    return m_player.voicePosition >= m_player.voiceEnd - 0.001 * unitsPerMs();
}

double SentencePlayback::unitsPerMs() const {
    return m_player.playerKind == 2 ? 0.001 : 1.0;
}

double SentencePlayback::currentRate() const {
    const double rate = m_state.playback.rate;
    return std::isfinite(rate) && rate > 0 ? std::clamp(rate, 0.25, 4.0) : 1.0;
}

void SentencePlayback::call(const std::function<void()> &hook) const {
    if (hook)
        hook();
}
