#pragma once

#include "speechtypes.h"

// Whether a recording is clean enough to judge.
//
// The recording is cut into frames of 25 ms and each frame's level taken in dBFS. The noise
// floor is the 10th percentile of those levels (the pauses before, between and after the
// words), the speech level the 90th; snrDb is their difference. hasSpeech asks for at least
// 300 ms of frames 10 dB or more above the floor, and a speech level above -55 dBFS (a
// recording of nothing but the microphone's hiss has neither).
struct SignalQuality {
    double snrDb = 0;
    bool hasSpeech = false;
};

SignalQuality measureSignal(const SpeechAudio &audio);
