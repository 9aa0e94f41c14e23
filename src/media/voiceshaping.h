#pragma once

#include "audioclip.h"
#include "playbackshape.h"

#include <QByteArrayView>
#include <QString>

// Reads a 16-bit integer PCM wave file of one or two channels (the recorder's own format;
// two channels are averaged) into a clip. A data chunk whose size is 0 or more than the
// file holds (a recording cut off before its header got the real sizes) runs to the end of
// the file. Only the first maxRecordingSeconds are read. Empty when the file is missing or
// is not such a wave file.
AudioClip readWaveClip(const QString &path);
// The same on the file's bytes:
//   "RIFF" <size> "WAVE" "fmt " 10000000 0100 0100 80BB0000 00770100 0200 1000 "data" <n> <samples>
AudioClip waveClipFromBytes(QByteArrayView bytes);
constexpr int maxRecordingSeconds = 600;

// Limits of the shaping, in dB: the most a recording is ever boosted (more would only bring
// up the room's noise), and the highest sample peak the shaped recording may reach.
constexpr double maxBoostDb = 24.0;
constexpr double peakCeilingDb = -1.0;
// How much sound before the first clear sound the playback keeps (a soft first consonant).
constexpr int skipPreRollMs = 40;

// How to play the learner's recording so that it sounds as loud as the model, and where its
// first sound begins.
//
// gain: the model's integrated loudness (EBU R128) minus the recording's, as a factor, but
// never above maxBoostDb nor so high that the recording's sample peak passes peakCeilingDb
// (a recording already louder than the model is turned down). 1 when either loudness is
// unknown: a clip shorter than one 400 ms measuring block, or silent.
//
// skipMs: where the first stretch that clearly sounds begins, less skipPreRollMs; 0 when
// the recording never clearly sounds. "Clearly" is judged against the recording's own
// level, its noise and an absolute floor, so that both a quiet and a loud voice are found
// and room noise or a click are not taken for speech.
PlaybackShape shapeRecording(const AudioClip &model, const AudioClip &recording);
