#pragma once

#include "speechtypes.h"

// The recogniser's input: mono at 16 kHz. A recording at another rate is resampled with a
// windowed-sinc filter whose cut-off keeps what lies below both Nyquist frequencies.
SpeechAudio resampledTo16k(const SpeechAudio &audio);

// 16-bit samples as the recogniser reads them (clipped to the 16-bit range).
std::vector<short> pcm16(const SpeechAudio &audio16k);
