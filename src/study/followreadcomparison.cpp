#include "followreadcomparison.h"

#include "audio/ticker.h"
#include "study/playbackhooks.h"
#include "study/sentenceplayback.h"
#include "study/trainerstate.h"

FollowReadComparison::FollowReadComparison(TrainerState &state, SentencePlayback &playback,
                                           VoiceRecorder &recorder, Ticker *recordLimit,
                                           QString recordingPath, QObject *parent)
    : QObject(parent), m_state(state), m_playback(playback), m_recorder(recorder),
      m_recordLimit(recordLimit), m_recordingPath(std::move(recordingPath)),
      m_buttons(state.followRead) {
    Q_ASSERT(m_recordLimit);
    m_recordLimit->stop();
    m_recordLimit->setInterval(limitMs);
    connect(m_recordLimit, &Ticker::timeout, this, &FollowReadComparison::onRecordLimit);
    connect(&m_recorder, &VoiceRecorder::playbackFinished, this,
            &FollowReadComparison::onRecordingPlayed);

    std::function<void()> &hook = m_playback.hooks().onSentenceEndInMode5;
    hook = [this, earlier = std::move(hook)] {
        if (earlier)
            earlier();
        onSentenceEndInMode5();
    };
}

std::array<FollowReadButton, 8> FollowReadComparison::buttons() const {
    const FollowReadState &b = m_buttons;
    return {b.Command11,
            b.Command8,
            b.Command10,
            b.Command12,
            b.Command9,
            FollowReadButton{QStringLiteral("上一句"), m_state.Command13.enabled},
            FollowReadButton{QStringLiteral("下一句"), m_state.Command14.enabled},
            b.Command15};
}

bool FollowReadComparison::looping() const {
    return !m_buttons.Command9.enabled && m_buttons.Command12.enabled;
}

void FollowReadComparison::prepare() {
    m_recordLimit->stop();
    stopRecorder();
    m_recorder.prepare();
    m_buttons = FollowReadState{};
    m_shownSentence = m_state.currentSentence;
    Q_EMIT recordingDropped();
    Q_EMIT buttonsChanged();
}

void FollowReadComparison::onCommand11() {
    if (m_buttons.Command11.enabled)
        m_playback.playCurrentTimes();
}

void FollowReadComparison::onCommand8() {
    m_recordLimit->stop();
    const VoiceRecorder::Start started = m_recorder.startRecording(m_recordingPath);
    Q_EMIT recordingDropped();
    if (started == VoiceRecorder::Start::Started) {
        m_buttons.notice.clear();
        m_buttons.Command10.enabled = true;
        m_recordLimit->start();
    } else {
        // The earlier recording is gone with the attempt; offering to play or compare
        // nothing would only confuse.
        m_buttons.notice = noticeFor(started);
        m_buttons.Command10.enabled = false;
        m_buttons.Command12.enabled = false;
        m_buttons.Command9.enabled = false;
    }
    Q_EMIT buttonsChanged();
}

void FollowReadComparison::onCommand10() {
    if (!m_buttons.Command10.enabled)
        return;
    m_recordLimit->stop();
    if (m_recorder.isRecording()) {
        endRecording();
    } else {
        m_buttons.Command10.enabled = false;
        m_buttons.Command9.enabled = true;
        m_buttons.Command12.enabled = true;
    }
    stopRecorder();
    m_playback.stopPlayback();
    Q_EMIT buttonsChanged();
}

void FollowReadComparison::onCommand12() {
    if (!m_buttons.Command12.enabled)
        return;
    // Pressed while recording: the learner is done and wants to hear the new take.
    if (m_recorder.isRecording()) {
        onCommand10();
        if (!m_buttons.Command12.enabled)
            return; // no take; the notice says why
    }
    playRecording();
    Q_EMIT buttonsChanged();
}

void FollowReadComparison::onCommand9() {
    if (!m_buttons.Command9.enabled)
        return;
    if (m_recorder.isRecording()) {
        onCommand10();
        if (!m_buttons.Command9.enabled)
            return;
    }
    m_buttons.Command9.enabled = false;
    m_buttons.Command10.enabled = true;
    // The loop begins with the model alone, not over a playback 您的发音 started.
    m_recorder.stopPlayback();
    m_playback.playCurrentTimes();
    Q_EMIT buttonsChanged();
}

void FollowReadComparison::onCommand13() {
    if (!sentenceMoveEnabled(false))
        return;
    if (m_hooks.previousSentence)
        m_hooks.previousSentence();
    leaveSentence();
}

void FollowReadComparison::onCommand14() {
    if (!sentenceMoveEnabled(true))
        return;
    if (m_hooks.nextSentence)
        m_hooks.nextSentence();
    leaveSentence();
}

void FollowReadComparison::onCommand15() {
    if (!m_buttons.Command15.enabled)
        return;
    if (m_hooks.firstSentence)
        m_hooks.firstSentence();
    // Already on the first sentence nothing changes; from another one the take goes.
    sentenceShown(m_state.currentSentence);
}

VoiceRecorder::Start FollowReadComparison::onLabel13() {
    m_watchingLevel = true;
    return m_recorder.watchInputLevel(levelWatchMs);
}

void FollowReadComparison::leavePage() {
    m_recordLimit->stop();
    bool changed = false;
    if (m_recorder.isRecording()) {
        endRecording();
        changed = true;
    }
    if (looping()) {
        endLoop();
        changed = true;
    }
    m_recorder.stopPlayback();
    if (m_watchingLevel) {
        m_watchingLevel = false;
        m_recorder.watchInputLevel(0);
    }
    if (changed)
        Q_EMIT buttonsChanged();
}

void FollowReadComparison::lessonLoading() {
    if (m_recorder.isRecording())
        endRecording();
    leaveSentence();
}

void FollowReadComparison::sentenceShown(int sentence) {
    if (sentence == m_shownSentence)
        return;
    leaveSentence();
}

void FollowReadComparison::onSentenceEndInMode5() {
    if (looping() && !m_recorder.isRecording()) {
        playRecording();
        Q_EMIT buttonsChanged();
    }
}

void FollowReadComparison::onRecordingPlayed() {
    // The page may have been left while the recording played; the model then stays silent.
    if (looping() && m_state.studyMode == 5)
        m_playback.playCurrentTimes();
}

QString FollowReadComparison::noticeFor(VoiceRecorder::Start reason) {
    switch (reason) {
    case VoiceRecorder::Start::Started:
        return {};
    case VoiceRecorder::Start::NoInputDevice:
        return QStringLiteral("没有找到录音设备，无法录音。");
    case VoiceRecorder::Start::NoSoundServer:
        return QStringLiteral("没有连接到声音服务，无法录音。");
    case VoiceRecorder::Start::FileNotWritable:
        return QStringLiteral("录音文件无法写入，无法录音。");
    }
    return {};
}

QString FollowReadComparison::noticeFor(VoiceRecorder::Take take) {
    switch (take) {
    case VoiceRecorder::Take::NotRecording:
    case VoiceRecorder::Take::Made:
        return {};
    case VoiceRecorder::Take::Empty:
        return QStringLiteral("没有录到声音，请再录一次。");
    case VoiceRecorder::Take::NotSaved:
        return QStringLiteral("录音没能保存，请再录一次。");
    }
    return {};
}

QString FollowReadComparison::noticeFor(VoiceRecorder::Play play) {
    switch (play) {
    case VoiceRecorder::Play::Started:
        return {};
    case VoiceRecorder::Play::NoRecording:
        return QStringLiteral("录音无法读取，请再录一次。");
    case VoiceRecorder::Play::OutputFailed:
        return QStringLiteral("放音设备无法打开，听不到您的录音。");
    }
    return {};
}

void FollowReadComparison::onRecordLimit() {
    m_recordLimit->stop();
    // Only the recording ends: whatever else plays (on this page or another) plays on.
    if (m_recorder.isRecording()) {
        endRecording();
        Q_EMIT buttonsChanged();
    }
}

bool FollowReadComparison::endRecording() {
    m_recordLimit->stop();
    const VoiceRecorder::Take take = m_recorder.stopRecording();
    if (take == VoiceRecorder::Take::Made) {
        m_buttons.notice.clear();
        m_buttons.Command10.enabled = false;
        m_buttons.Command9.enabled = true;
        m_buttons.Command12.enabled = true;
        Q_EMIT recordingMade();
        return true;
    }
    m_buttons.notice = noticeFor(take);
    m_buttons.Command10.enabled = false;
    m_buttons.Command9.enabled = false;
    m_buttons.Command12.enabled = false;
    Q_EMIT recordingDropped();
    return false;
}

void FollowReadComparison::endLoop() {
    m_buttons.Command10.enabled = false;
    m_buttons.Command9.enabled = true;
}

// The take from its start. One that cannot be heard says why, and a loop waiting for it
// ends rather than stall after the model.
void FollowReadComparison::playRecording() {
    const VoiceRecorder::Play played = m_recorder.playFromStart();
    if (played == VoiceRecorder::Play::Started) {
        m_buttons.notice.clear();
        return;
    }
    m_buttons.notice = noticeFor(played);
    if (played == VoiceRecorder::Play::NoRecording) {
        m_buttons.Command10.enabled = false;
        m_buttons.Command9.enabled = false;
        m_buttons.Command12.enabled = false;
        Q_EMIT recordingDropped();
    } else if (looping()) {
        endLoop();
    }
}

// A recording belongs to the sentence it was made for: the learner records anew.
void FollowReadComparison::leaveSentence() {
    m_shownSentence = m_state.currentSentence;
    m_recordLimit->stop();
    m_buttons.Command9.enabled = false;
    m_buttons.Command10.enabled = false;
    m_buttons.Command12.enabled = false;
    stopRecorder();
    // Off the page the lesson player belongs to the page shown (a dictation's next sentence).
    if (m_state.studyMode == 5)
        m_playback.stopPlayback();
    Q_EMIT recordingDropped();
    Q_EMIT buttonsChanged();
}

void FollowReadComparison::stopRecorder() {
    m_recorder.stopRecording();
    m_recorder.stopPlayback();
}

bool FollowReadComparison::sentenceMoveEnabled(bool next) const {
    return next ? m_state.Command14.enabled : m_state.Command13.enabled;
}
