#pragma once

// How the learner's recording is played back: every sample multiplied by gain (1 leaves it
// as recorded), and the playback beginning skipMs milliseconds into the recording.
struct PlaybackShape {
    double gain = 1.0;
    int skipMs = 0;

    friend bool operator==(const PlaybackShape &, const PlaybackShape &) = default;
};
