#pragma once

#include <QObject>

class SentencePlayback;
struct TrainerState;

// The speed choice beside "语速调节：": three labels Label20(0..2) "    慢速", "    常速",
// "    快速" with radio pictures Image9(0..2), and the option controls Option1..Option3 that
// carry the choice (PlaybackState::speedOption 0, 1, 2). Rates 0.5, 1.0 and 2.0; normal at
// every start, not saved.
//
// The rate is the player's and takes effect at once, also in the middle of a sentence;
// positions stay in the recording's own time, so a sentence still stops at its End. It is
// applied on both back-ends: the fallback device plays at the rate too (with the pitch
// following the rate) rather than leaving the learner's choice without effect.
class SpeedChoice : public QObject {
    Q_OBJECT
public:
    SpeedChoice(TrainerState &state, SentencePlayback &playback, QObject *parent = nullptr);

    // A click on Label20(k): the pictures show k as chosen, then Option(k+1) is selected.
    // Choosing the speed already chosen changes nothing else. Other k are ignored.
    void onLabel20Clicked(int k);
    // Option(k+1) := selected. Runs the option's handler only when k was not selected yet.
    void selectOption(int k);
    // mini's menu "播放速度": NormalPlay ("常速", rate 1.0) or SlowPlay ("慢速", rate 0.5).
    // The choice is remembered in the player, whose VoiceOpen applies it to every lesson.
    void onMenuSpeedChosen(bool normal);

    static double rateOf(int option);
    static constexpr int optionCount = 3;

private:
    void onOptionSelected(int k);
    void applyRate(double rate);

    TrainerState &m_state;
    SentencePlayback &m_playback;
};
