#pragma once

// Subtitles for lesson import: SubRip (.srt), WebVTT (.vtt) and LRC lyrics (.lrc) read into
// cues with English and Chinese text and start and end times in seconds.
//
//   1
//   00:00:01,500 --> 00:00:03,250
//   <i>Good morning.</i>
//   早上好。
//
// Every cue line is cleaned of formatting (HTML-like tags, {\...} override blocks, a few HTML
// entities, control characters, runs of white space); a cue left without text is dropped. A line
// holding a CJK ideograph is Chinese, any other line English; a cue's English lines joined make its
// English, its Chinese lines its Chinese.

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

struct SubtitleCue {
    double start = 0; // seconds, whole milliseconds
    double end = 0;
    QString english;
    QString chinese;
    int number = 0; // the cue's own number, 1-based in file order (LRC: time order)
};

enum class SubtitleFormat { SubRip, WebVtt, Lrc };

// The format named by the file suffix (.srt, .vtt, .lrc in any case); for any other name the
// text decides: a "WEBVTT" first line, else the first line that is an LRC stamp ("[mm:ss") or
// a SubRip/WebVTT timing line ("-->"). Nothing when neither names a format.
std::optional<SubtitleFormat> subtitleFormatOf(const QString &fileName, QStringView text);

// The text of a subtitle file: UTF-16 (little or big endian) when it starts with that
// byte-order mark, or without the mark when the zero bytes of its ASCII characters show the
// byte order; UTF-8 (with or without its mark) when the bytes are valid UTF-8, GBK
// otherwise. Invalid bytes become U+FFFD.
QString decodeSubtitleText(QByteArrayView bytes);

// The cues in file order (LRC: in time order), or an error: one English line naming the line
// of the file, e.g. `line 12: bad time "00:01:xx,000"`. On error there are no cues; on
// success there is at least one, each with some text and End > Start >= 0.
struct SubtitleParse {
    std::vector<SubtitleCue> cues;
    QString error;
};

// audioSeconds is the length of the lesson audio, where the last LRC line ends (LRC gives
// starts only). When it is unknown (<= 0) the last LRC line lasts 5 seconds.
SubtitleParse parseSubtitles(QStringView text, SubtitleFormat format, double audioSeconds);

// The English cues, each given the text of the Chinese cue it overlaps longest in time (of
// two equal overlaps the one that starts first). That text is the Chinese cue's Chinese, or
// its English when it has no ideograph at all ("OK!" in a Chinese file). An English cue that
// overlaps no Chinese cue keeps its own Chinese.
std::vector<SubtitleCue> mergeChinese(std::vector<SubtitleCue> english,
                                      const std::vector<SubtitleCue> &chinese);
