#pragma once

#include "speechtypes.h"

// The pitch of a recording, for drawing the learner's intonation against the model's.
//
// A YIN tracker: for each frame of 40 ms, every hopMs, the squared difference between the
// signal and itself shifted by each lag of 2–16.7 ms (500–60 Hz), normalised by its running
// mean; the first lag whose normalised difference falls under 0.15 (refined to the bottom of
// its dip and between samples by a parabola) gives the period. A frame is voiced when such a
// lag exists and the frame is loud enough: at least -50 dBFS and no more than 35 dB below the
// loudest frame. One-frame octave slips are removed by a median over three voiced frames.
//
// Values are semitones around the median of the voiced frames' pitch, 12·log2(f / median),
// one per hop, value i centred on i·hopMs; NaN where nothing is voiced. Any sample rate is
// taken (resampled to 16 kHz first). An empty contour when hopMs is not positive.
PitchContour pitchContour(const SpeechAudio &audio, int hopMs = 10);

// The contour's values centred in [fromMs, toMs): the stretch of one word.
std::vector<float> contourBetween(const PitchContour &contour, int fromMs, int toMs);
