#pragma once

#include "audio/voicerecorder.h"
#include "study/followreadstate.h"

#include <QObject>
#include <QString>
#include <array>
#include <functional>

class SentencePlayback;
class Ticker;
struct TrainerState;

// Sentence moves of the single-sentence view, run by the page's navigation buttons. Empty
// hooks are skipped.
struct FollowReadHooks {
    std::function<void()> previousSentence;
    std::function<void()> nextSentence;
    std::function<void()> firstSentence;
};

// The follow-read comparison (studyMode 5): the learner hears the model sentence, records
// their voice, plays it back, and can let model and recording alternate (the loop).
//
// States, read off the buttons:
//   no recording  录音 on, 停止 off, 您的发音 off, 循环对比 off  (start, any change of the
//                 shown sentence, a recording that could not start or left no playable take)
//   recording     停止 on, the other two as before              (录音)
//   recorded      停止 off, 您的发音 on, 循环对比 on              (停止 with a take, 60 s of
//                 recording, leaving the page while recording)
//   looping       停止 on, 您的发音 on, 循环对比 off               (循环对比)
// The loop has no flag of its own: it runs exactly while 循环对比 is disabled and 您的发音
// enabled. While it runs, the end of the model sentence plays the recording from its start,
// and the end of the recording plays the model sentence again. 您的发音 and 循环对比 pressed
// while recording end the recording first, as 停止 does.
//
// A recording runs at most limitMs; the recordLimit ticker (not owned, outlives this) is
// handed in so that tests can fire it by hand. The limit ends the recording and nothing else.
// The constructor hooks the sentence-end watch of mode 5 (chaining a hook already set) and
// listens to the recorder's end of playback.
class FollowReadComparison : public QObject {
    Q_OBJECT
public:
    static constexpr int limitMs = 60000;
    // How long "录音音量调节" shows the microphone's level when nothing records.
    static constexpr int levelWatchMs = 8000;

    // recordingPath: where each recording is written (the per-user or program-directory
    // Recorder.wav). All references must outlive the comparison.
    FollowReadComparison(TrainerState &state, SentencePlayback &playback, VoiceRecorder &recorder,
                         Ticker *recordLimit, QString recordingPath, QObject *parent = nullptr);

    FollowReadHooks &hooks() { return m_hooks; }
    const FollowReadState &buttonsState() const { return m_buttons; }
    // The eight buttons in page order: 标准发音, 录音, 停止, 您的发音, 循环对比, 上一句,
    // 下一句, 首句.
    std::array<FollowReadButton, 8> buttons() const;
    bool looping() const;
    const QString &recordingPath() const { return m_recordingPath; }

    // Start-up: nothing records or plays, the buttons as at start.
    void prepare();

    // The page's handlers. A handler of a disabled button does nothing.
    void onCommand11(); // 标准发音: the model sentence once
    void onCommand8();  // 录音: records anew, dropping the previous recording
    void onCommand10(); // 停止: ends recording or the loop; both players stop
    void onCommand12(); // 您的发音: the recording from its beginning
    void onCommand9();  // 循环对比: the loop starts with the model sentence
    void onCommand13(); // 上一句
    void onCommand14(); // 下一句
    void onCommand15(); // 首句
    // 录音音量调节: the microphone's level is reported for levelWatchMs (and while
    // recording). Returns Started, or why the microphone cannot be opened.
    VoiceRecorder::Start onLabel13();

    // The page is left for another study mode, or the program closes: a recording under way
    // ends as 停止 ends it, the loop ends and the recording's playback stops; the lesson
    // player is left to the page that comes.
    void leavePage();
    // A lesson is about to load: a recording under way ends as 停止 ends it, then what a
    // change of sentence does.
    void lessonLoading();
    // The single-sentence view shows sentence (every move, a lesson load). Another sentence
    // than the one shown before ends the loop, stops the recording's playback (and, on the
    // page, the lesson player) and disables 停止, 您的发音 and 循环对比: a recording made
    // for one sentence is not compared with another.
    void sentenceShown(int sentence);

    // The sentence-end watch stopped the model sentence in studyMode 5.
    void onSentenceEndInMode5();
    // The recorder played the recording to its end.
    void onRecordingPlayed();

    // What the page says when recording cannot start, or a stop left nothing to play, or
    // the recording cannot be played, for this reason.
    static QString noticeFor(VoiceRecorder::Start reason);
    static QString noticeFor(VoiceRecorder::Take take);
    static QString noticeFor(VoiceRecorder::Play play);

Q_SIGNALS:
    // Captions, enabled states or the notice changed: re-read them.
    void buttonsChanged();
    // A recording ended and its file is complete (停止, or the time limit).
    void recordingMade();
    // The recording in hand no longer counts: a new one starts, or the sentence changed.
    void recordingDropped();

private:
    void onRecordLimit();
    void leaveSentence();
    void stopRecorder();
    // Ends the recording under way; returns whether it left a playable take (recorded)
    // rather than none (no recording, with the notice saying why).
    bool endRecording();
    void endLoop();
    void playRecording();
    bool sentenceMoveEnabled(bool next) const;

    TrainerState &m_state;
    SentencePlayback &m_playback;
    VoiceRecorder &m_recorder;
    Ticker *m_recordLimit;
    QString m_recordingPath;
    FollowReadState &m_buttons; // TrainerState::followRead
    FollowReadHooks m_hooks;
    int m_shownSentence = 0; // the sentence the take belongs to
    bool m_watchingLevel = false;
};
