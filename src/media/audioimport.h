#pragma once

// Audio files brought into a book: what a file holds, and the MP3 the lesson players read.
// Anything FFmpeg reads is accepted (MP3, WAV, WMA, M4A, OGG, FLAC...). Only regular local
// files are opened.

#include <QString>

struct AudioFileFacts {
    double seconds = 0; // the audio stream's length
    bool isMp3 = false; // an MP3 file (not MP3 audio inside another container)
    QString error;      // one line, empty when fine
};

// Opens the file and decodes its best audio stream. The length is the stream's, else the
// container's, unless decoding found a different amount of audio (a file cut short keeps
// the length of the whole in its header): then it is what was decoded. An MP3's stated length
// includes the encoder's delay and padding (some 50 ms at 44.1 kHz, up to 0.2 s at 8 kHz).
// A file whose audio cannot be decoded at all is an error.
AudioFileFacts probeAudioFile(const QString &path);

// Decodes the audio of from and encodes it as an MP3 file at to (replacing a file there):
// mono or stereo as the source (more channels are mixed down to two), at the source's
// sample rate when MP3 has it, else 44.1 kHz; constant bit rate, 128 kbit/s for stereo and
// 64 kbit/s for mono. Returns an error line, empty on success (with FFmpeg's reason where it
// gave one); on failure to is as it was. FFmpeg's own lines never reach the terminal. Stretches
// the decoder found damaged are left out of the MP3; damage (if given) then says so in one
// line, and is empty otherwise.
QString convertToMp3(const QString &from, const QString &to, QString *damage = nullptr);
