#pragma once

// What a trainer window under test runs on instead of the sound card and the clock: short
// sounds and a recorder that only remember, and timers the test ticks itself.

#include "audio/fakevoicerecorder.h"
#include "audio/shortsound.h"
#include "audio/ticker.h"
#include "study/trainercore.h"

struct TrainerWindowFakes {
    RecordingShortSoundPlayer sounds;
    FakeVoiceRecorder recorder;
    ManualTicker recordLimit{60000};
    ManualTicker Timer1{30};
    ManualTicker Timer2{10};
    ManualTicker Timer3{10};
    ManualTicker endShot{1};

    WindowTimers timers() { return {&Timer1, &Timer2, &Timer3, &endShot, &recordLimit}; }
};
