#pragma once

#include "media/playbackshape.h"

#include <QObject>
#include <QString>
#include <memory>

// The learner's own voice: one recording at a time, made into a wave file and played back
// from there. Separate from the lesson player; the two may sound at once.
//
// States: idle -> recording (startRecording) -> idle with a recording (stopRecording, when
// it made a take) -> playing (playFromStart) -> idle again, either by stopPlayback or by
// reaching the end of the recording, which alone emits playbackFinished(). Starting a new
// recording stops a playback and drops the previous recording. Every call is harmless in
// every state: a stop with nothing to stop, or a play with no recording, does nothing.
//
// The file a recording is for is replaced only by a take: the recording goes into a file of
// its own beside it, which becomes the recording file when stopRecording() makes a take and
// is removed otherwise. A start that fails, or a take with nothing in it, leaves the file
// that was there (a portable copy's shipped Recorder.wav among them) as it was.
//
// Units: milliseconds from the recording's first sample. A playback starts at the shape's
// skip (0 unless a shape says otherwise) and runs to the end; nothing here is timed by the
// caller. How long a recording may run is the caller's business.
class VoiceRecorder : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    enum class Start {
        Started,
        NoInputDevice,   // no microphone or other capture device is there
        NoSoundServer,   // the audio system could not be reached
        FileNotWritable, // the recording file cannot be created or written
    };
    // What a stopRecording() made of the recording.
    enum class Take {
        NotRecording, // nothing was recording
        Made,         // a playable take replaced the recording file
        Empty,        // no sound came in before the stop
        NotSaved,     // the take could not be completed or put in place
    };
    // What a playFromStart() did.
    enum class Play {
        Started,
        NoRecording,  // no take, or a recording under way
        OutputFailed, // the sound output would not start
    };

    // Looks up ahead of time what a start needs (which device to record from), so that a
    // later startRecording() records at once. Optional: a start without it only takes longer.
    virtual void prepare() {}
    // Records for filePath (see above) until stopRecording(). Anything that cannot start
    // returns why and leaves the recorder idle without a recording.
    virtual Start startRecording(const QString &filePath) = 0;
    // Ends the recording. With Take::Made the file is complete and playable; otherwise the
    // recorder has no recording.
    virtual Take stopRecording() = 0;
    // Plays the recording from its beginning, restarting a playback that is under way.
    virtual Play playFromStart() = 0;
    // Silences the playback without emitting playbackFinished().
    virtual void stopPlayback() = 0;
    // Applies to every later playFromStart() (not to one under way): the samples are
    // multiplied by shape.gain, clamped to the sample range, and the playback begins
    // shape.skipMs into the recording (from its beginning if that leaves nothing). A new
    // recording resets it to PlaybackShape{}.
    virtual void setPlaybackShape(PlaybackShape shape) = 0;
    virtual PlaybackShape playbackShape() const = 0;
    // Where the playback is in the recording, skip included: roughly what is being heard
    // now, for a moving position line. -1 when not playing.
    virtual qint64 playbackPositionMs() const = 0;

    // Reports the microphone's level (inputLevel()) for the next ms milliseconds, opening
    // the capture device for it when nothing records; a recording reports its level anyway.
    // 0 ends a check under way. Returns Start::Started, or why the device cannot be opened.
    virtual Start watchInputLevel(int ms) = 0;

    virtual bool isRecording() const = 0;
    virtual bool isPlaying() const = 0;
    virtual bool hasRecording() const = 0;

Q_SIGNALS:
    // The playback reached the end of the recording by itself.
    void playbackFinished();
    // The loudest sample heard since the last report, 0 to 1 of full scale, about twenty
    // times a second while recording or watching; clipped: a sample reached full scale.
    void inputLevel(double peak, bool clipped);
};

// The recorder on the desktop's sound system (the default capture device and output).
std::unique_ptr<VoiceRecorder> createSystemVoiceRecorder();
