#pragma once

// Which of a video's subtitle tracks give a lesson its English and its Chinese when the
// learner has not said: one rule for the import and for the window's choice of tracks.
//
// English: the first text track tagged English ("eng", "en", "en-US"...); else the first
// untagged text track whose cues mostly hold Latin letters; else the first track tagged
// Chinese whose cues mostly hold Latin letters too (a bilingual track). A track tagged with
// any other language is never taken for English, however Latin its text.
//
// Chinese: a text track tagged Chinese ("chi", "zho", "zh", "cmn", "yue", "zh-Hans"...), the
// learner's Simplified before the rest: marked Simplified (zh-Hans, zh-CN, zh-SG, or "简"/
// "Simplified"/"chs" in its title) first, then unmarked, then Traditional (zh-Hant, zh-TW,
// zh-HK, "繁"/"Traditional"/"cht"); in file order within each. Else the first untagged text
// track whose cues mostly hold ideographs. Never the English track itself: a bilingual
// track's Chinese lines come with its cues.
//
// Picture tracks (PGS, DVD, DVB subtitles) are never chosen.
//
// What the tracks' english and chinese flags say is not asked: markTrackChoice sets them.

#include "lessonimport.h"

#include <functional>
#include <vector>

struct TrackChoice {
    int english = -1; // stream numbers as the tracks give them; -1: none fits
    int chinese = -1;
};

// cuesOf reads a track's cues (empty when it cannot be read); it is asked only for tracks
// whose tags do not decide, each at most once.
TrackChoice chooseTracks(const std::vector<EmbeddedTrack> &tracks,
                         const std::function<std::vector<SubtitleCue>(int stream)> &cuesOf);

// Flags the chosen English track english and the chosen Chinese track chinese, every other
// track neither: the import and the window's choice of tracks go by these flags.
void markTrackChoice(std::vector<EmbeddedTrack> &tracks,
                     const std::function<std::vector<SubtitleCue>(int stream)> &cuesOf);
