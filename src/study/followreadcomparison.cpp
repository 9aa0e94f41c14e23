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
    m_buttons.Command10.enabled = false;
    m_buttons.Command9.enabled = true;
    m_buttons.Command12.enabled = true;
    const bool wasRecording = m_recorder.isRecording();
    stopRecorder();
    m_playback.stopPlayback();
    if (wasRecording && m_recorder.hasRecording())
        Q_EMIT recordingMade();
    Q_EMIT buttonsChanged();
}

void FollowReadComparison::onCommand12() {
    // Playing while recording would cut the learner off mid-sentence.
    if (m_buttons.Command12.enabled && !m_recorder.isRecording())
        m_recorder.playFromStart();
}

void FollowReadComparison::onCommand9() {
    if (!m_buttons.Command9.enabled)
        return;
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
    if (m_buttons.Command15.enabled && m_hooks.firstSentence)
        m_hooks.firstSentence();
}

void FollowReadComparison::onSentenceEndInMode5() {
    if (looping() && !m_recorder.isRecording())
        m_recorder.playFromStart();
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

void FollowReadComparison::onRecordLimit() {
    m_recordLimit->stop();
    if (m_recorder.isRecording())
        onCommand10();
}

// A recording belongs to the sentence it was made for: the learner records anew.
void FollowReadComparison::leaveSentence() {
    m_recordLimit->stop();
    m_buttons.Command9.enabled = false;
    m_buttons.Command10.enabled = false;
    m_buttons.Command12.enabled = false;
    stopRecorder();
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
