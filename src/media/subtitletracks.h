#pragma once

// The subtitle tracks a video file carries (MKV, MP4, WebM...), and the text of one of them.
// Text tracks (SubRip, ASS/SSA, mov_text, WebVTT and the other text formats FFmpeg decodes)
// are read; picture tracks (Blu-ray PGS, DVD, DVB) are listed but hold no text to read. Only
// regular local files are opened; broken or hostile files give one error line.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

struct SubtitleStream {
    int stream = -1; // the stream's index in the file
    // The stream's "language" tag as the file has it ("eng", "chi", "zh-Hans"), or empty.
    QString language;
    QString title; // its "title" tag, or empty
    // FFmpeg's name of its format: "subrip", "ass", "mov_text", "hdmv_pgs_subtitle"...
    QString codec;
    bool text = false; // a text track; false for pictures of text and formats FFmpeg cannot read
};

struct SubtitleStreams {
    std::vector<SubtitleStream> streams; // in the file's order; none when the file has none
    QString error;                       // one line; empty when the file could be read
};

SubtitleStreams listSubtitleStreams(const QString &path);

// One subtitle event, its lines as shown. ASS, mov_text and the other formats lose their
// markup here: override blocks ("{\i1}") and drawings go, "\N" breaks the line. SubRip and
// WebVTT events come as the file has them, tags, entities and all, for the subtitle reader's
// own clean-up, so that a track reads as the same subtitles in a file would.
struct TrackCue {
    double start = 0; // seconds on the timeline of the sound convertToMp3 takes, >= 0
    double end = 0;   // > start
    QStringList lines;
};

struct TrackText {
    std::vector<TrackCue> cues; // in the file's order; events without text left out
    QString error;              // one line; empty on success, and then there is a cue
};

// The events of the text track at stream, timed as they fall in the MP3 convertToMp3 makes of
// the file (which starts with the first audio stream's first sound, often not the timeline's
// zero); an event that ends before the sound starts is left out. An event without a stated end
// lasts until the next one starts, at most maxOpenEndedSeconds. Refused with an error: a stream
// that is no subtitle track, a picture track, more than maxTrackCues events, a track FFmpeg cannot
// decode.
TrackText readSubtitleTrack(const QString &path, int stream);

// The lines an ASS event's Text field shows: override blocks ("{\i1}", "{\pos(10,20)}") and
// comments in braces go, so do drawing commands (from "{\p1}" to "{\p0}"); "\N" breaks the
// line, "\n" and "\h" are spaces; white space is collapsed and empty lines dropped.
QStringList assEventLines(QStringView text);

inline constexpr double maxOpenEndedSeconds = 5;
inline constexpr int maxTrackCues = 50000;
