#pragma once

// One lesson made from an audio file and its subtitles, added to a book of a program (or
// per-user data) directory: book/<title>/<n>.dat, Sound/<title>/<n>.mp3, the book's
// lesson-name list and its results file. Everything is checked before anything is written,
// and a failure while writing takes back what was written. Each file replaces its target by
// one rename, the lesson-name list last, so an import killed at any point leaves a book the
// programs read as before; the next import replaces the files it left for the lesson the
// list does not name yet.

#include "subtitles.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// What the audio layer tells about an audio file, and how it makes an MP3 of one. The tool
// hands these in; the content layer reads no audio itself.
struct AudioFacts {
    double seconds = 0;
    bool isMp3 = false;
    QString error; // one line; empty when the file is usable audio
};

struct AudioTools {
    std::function<AudioFacts(const QString &path)> probe;
    // Writes an MP3 of from at to; returns an error line, empty on success.
    std::function<QString(const QString &from, const QString &to)> convertToMp3;
    // After a conversion that succeeded: what the converter had to leave out of the audio,
    // for a note; empty when nothing. Optional.
    std::function<QString()> conversionNote;
};

struct ImportRequest {
    QString dir;       // the program directory or the learner's folder
    QString book;      // the book title (a folder name)
    QString name;      // the lesson name for the lesson-name list
    QString audio;     // any audio file the audio layer reads
    QString subtitles; // .srt, .vtt or .lrc
    QString chinese;   // optional second subtitle file giving the Chinese lines
};

struct ImportResult {
    QString lessonPath; // the lesson file written
    QString error;      // one line; empty on success
    QStringList notes;  // what the learner should know (e.g. the lesson was written as UTF-8)
};

// The cues become the lesson's sentences in order of their start. Refused: a cue holding
// "*" or "#", more cues than a lesson holds (SentenceTable::maxSentences), a cue that starts
// at or after the end of the audio. A cue that runs past the end of the audio ends with it;
// notes tell that, cues put in order, and cues that overlap the one before them.
// afterRename is for tests: asked after each file of the commit has replaced its target
// (1 for the first; 0 before any), it can stop the import there as a kill would.
ImportResult importLesson(const ImportRequest &request, const AudioTools &audio,
                          const std::function<bool(int renamed)> &afterRename = {});

// The lesson text of cues: "*English#Chinese#Start#End#" per cue and a closing "*", times in
// seconds with three decimals.
QString lessonTextOf(const std::vector<SubtitleCue> &cues);

// Bytes of a content file for text: GBK when every character has a GBK code, otherwise
// UTF-8 with a byte-order mark (which the readers accept). utf8 says which was chosen.
struct EncodedContent {
    QByteArray bytes;
    bool utf8 = false;
};
EncodedContent encodeContent(QStringView text);
