#pragma once

// Audio files brought into a book: what a file holds, and the MP3 the lesson players read.
// Anything FFmpeg reads is accepted (MP3, WAV, WMA, M4A, OGG, FLAC, and the sound of a video:
// MP4, MKV, WebM...): the file's first audio stream FFmpeg can decode. Only regular local
// files are opened.

#include <QString>

#include <functional>

struct AudioFileFacts {
    double seconds = 0; // the audio stream's length
    bool isMp3 = false; // an MP3 file (not MP3 audio inside another container)
    QString error;      // one line, empty when fine
};

// Opens the file and decodes its first audio stream. The length is the stream's, else the
// container's, unless decoding found a different amount of audio (a file cut short keeps
// the length of the whole in its header): then it is what was decoded. An MP3's stated length
// includes the encoder's delay and padding (some 50 ms at 44.1 kHz, up to 0.2 s at 8 kHz).
// A file whose audio cannot be decoded at all is an error. progress is as convertToMp3's
// (below): the sound of a film takes a while to decode.
using ConversionProgress = std::function<bool(double fraction)>;
AudioFileFacts probeAudioFile(const QString &path, const ConversionProgress &progress = {});

// Decodes the audio of from and encodes it as an MP3 file at to (replacing a file there):
// mono or stereo as the source (more channels are mixed down to two), at the source's
// sample rate when MP3 has it, else 44.1 kHz; constant bit rate, 128 kbit/s for stereo and
// 64 kbit/s for mono. Returns an error line, empty on success (with FFmpeg's reason where it
// gave one); on failure to is as it was. FFmpeg's own lines never reach the terminal. Stretches
// the decoder found damaged are left out of the MP3; damage (if given) then says so in one
// line, and is empty otherwise.
//
// progress, when given, is told how far the conversion is (0 to 1, by the audio's time, or by
// the bytes read where the length is unknown) some fifty times a second; when it returns
// false the conversion stops at once, the passing file goes, to is as it was and the error is
// "stopped". A damaged file is read a second time (see damage), and the fraction then starts
// over.
QString convertToMp3(const QString &from, const QString &to, QString *damage = nullptr,
                     const ConversionProgress &progress = {});
