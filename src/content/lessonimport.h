#pragma once

// One lesson made from an audio file and its subtitles (or a plain text whose sentences the
// recogniser finds in the audio, or the audio file's own subtitle tracks), added to a book of a
// program (or per-user data) directory: book/<title>/<n>.dat, Sound/<title>/<n>.mp3, the book's
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

// Reports how far a long step has come (fraction 0..1); returning false asks the step to
// stop as soon as it can.
using ImportProgress = std::function<bool(double fraction)>;

// One sentence of a plain text as the recogniser found it in the audio.
struct SentenceTiming {
    double start = 0; // seconds on the audio's timeline, the pause margins included
    double end = 0;
    double confidence = 0; // higher is surer; the aligner documents its scale
    bool found = true;     // false: the audio does not hold it (a line the reader skipped)
    bool doubtful = false; // found, but its times may be off: the learner should check them
};

struct TextTiming {
    std::vector<SentenceTiming> sentences; // one per sentence asked for, in order
    QString error;                         // one English line; empty when it worked
    QStringList notes;                     // e.g. stretches of audio that match no sentence
};

// A subtitle stream inside an audio or video file.
struct EmbeddedTrack {
    int stream = -1;  // the file's stream index
    QString language; // the language tag as the file has it ("eng", "chi", "zh-Hans"), or empty
    QString title;
    QString codec;        // "subrip", "ass", "mov_text", "webvtt", "hdmv_pgs_subtitle"...
    bool text = true;     // a text track (bitmap tracks cannot give sentences)
    bool english = false; // the track chosen for English (by its tag, else by its text)
    bool chinese = false; // the track chosen for Chinese (see trackchoice.h)
};

// The streams an import takes when the learner has not chosen, going by their english and chinese
// flags (see trackchoice.h): for English the flagged track, else the first text track not flagged
// Chinese; for Chinese the flagged track unless it is englishStream. -1: none.
int flaggedEnglishTrack(const std::vector<EmbeddedTrack> &tracks);
int flaggedChineseTrack(const std::vector<EmbeddedTrack> &tracks, int englishStream);

struct AudioTools {
    // What the audio is. It decodes the whole file (a film's sound takes a while): progress
    // as convertToMp3's.
    std::function<AudioFacts(const QString &path, const ImportProgress &progress)> probe;
    // Writes an MP3 of from at to; returns an error line, empty on success. progress may be
    // empty; when it returns false the conversion stops, to stays as it was and an error
    // comes back.
    std::function<QString(const QString &from, const QString &to, const ImportProgress &progress)>
        convertToMp3;
    // After a conversion that succeeded: what the converter had to leave out of the audio,
    // for a note; empty when nothing. Optional.
    std::function<QString()> conversionNote;
    // Where each sentence lies in the audio (English sentences, in order). Optional: without
    // it a plain text cannot be imported.
    std::function<TextTiming(const QString &audio, const QStringList &sentences,
                             const ImportProgress &progress)>
        alignText;
    // The subtitle streams of an audio or video file, in stream order. Optional.
    std::function<std::vector<EmbeddedTrack>(const QString &path)> subtitleTracks;
    // One text subtitle stream as SubRip text (cues numbered from 1 in file order); on failure
    // an empty text and *error set to one line.
    std::function<QString(const QString &path, int stream, QString *error)> readTrack;
};

// What the file given for the sentences is.
enum class TextKind {
    Auto,      // told apart by the content: subtitles when it is SubRip, WebVTT or LRC
    Subtitles, // SubRip, WebVTT or LRC, timed by its cues
    Plain,     // sentences one per line or running text, timed by the recogniser
};

struct ImportRequest {
    QString dir;       // the program directory or the learner's folder
    QString book;      // the book title (a folder name)
    QString name;      // the lesson name for the lesson-name list
    QString audio;     // any audio file the audio layer reads
    QString subtitles; // .srt, .vtt or .lrc, or a plain text; empty: the audio file's tracks
    QString chinese;   // optional second subtitle file (or, with a plain text, a text)
                       // giving the Chinese lines
    TextKind kind = TextKind::Auto;
    // With no subtitles: the audio file's subtitle streams giving English and Chinese.
    // autoTrack takes the first track taken to be English (else the first text track) and
    // the first other one taken to be Chinese; noTrack takes none (Chinese only).
    static constexpr int autoTrack = -1;
    static constexpr int noTrack = -2;
    int englishTrack = autoTrack;
    int chineseTrack = autoTrack;
    // Called through the long steps (finding the sentences, converting the audio); false
    // stops the import with nothing written (ImportResult::cancelled).
    ImportProgress progress;
};

struct ImportResult {
    QString lessonPath;     // the lesson file written
    QString error;          // one English line; empty on success
    QString learnerError;   // the same for the window: one Chinese line
    bool cancelled = false; // stopped through the progress callback; nothing was written
    QStringList notes;      // what the learner should know (e.g. the lesson was written as UTF-8)
    std::vector<int> doubtful; // sentences (1-based, in the lesson) whose times may be off
};

// The cues become the lesson's sentences in order of their start. A plain text's sentences
// are found in the audio by audio.alignText; sentences it does not find are left out, with a
// note, and the import is refused when it finds none. Refused: a cue holding
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
