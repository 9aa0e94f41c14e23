#pragma once

#include <QObject>
#include <QString>

// One lesson-audio engine. All calls come from the GUI thread and return at once;
// playback runs on its own. Positions are in the engine's own unit (see unit()):
// seconds of the recording for the media player, whole milliseconds for the fallback
// device. The rate never changes what a position means: at 0.5 the position still counts
// seconds of the recording.
//
// States as callers see them: no file -> opened and paused at a position -> playing
// -> (at the end of the file) paused at the end, atEnd() true.
// open() never starts playback; pause() keeps the position so that play() resumes there.
// Every call is harmless with no file open (a missing, unreadable or undecodable file
// counts as no file): play() and setPosition() do nothing and position() stays put.
class VoiceBackend : public QObject {
    Q_OBJECT
public:
    enum class Unit { Seconds, Milliseconds };

    using QObject::QObject;
    ~VoiceBackend() override = default;

    virtual Unit unit() const = 0;
    // Opens a file (paused at 0), replacing any file open before. A missing or
    // unreadable file leaves nothing to play; later calls are then harmless no-ops.
    virtual void open(const QString &path) = 0;
    // Unloads the file: nothing plays until the next open().
    virtual void close() { open(QString()); }
    virtual void play() = 0;
    virtual void pause() = 0;
    // Seeks exactly to pos (in unit()). Takes effect for the next position() reads even
    // while the engine is still completing the seek.
    virtual void setPosition(double pos) = 0;
    // The current playback position in unit(). While playing it never steps backwards
    // unless setPosition() or open() moved it.
    virtual double position() = 0;
    // Playback rate, 0.5 to 2.0; pitch is kept where the engine can. Takes effect at
    // once, also in the middle of playback, and lasts across open().
    virtual void setRate(double rate) = 0;
    // Volume 0 to 100 as a player control would show it (linear to the ear).
    virtual void setVolume(int volume) = 0;
    virtual bool isPlaying() const = 0;
    // True once playback has run into the end of the file and stopped there; the
    // position then stays at the end. setPosition() and open() clear it.
    virtual bool atEnd() const { return false; }
    // A short name for diagnostics ("mpv", "qt", "silent", "fake").
    virtual QString name() const = 0;
};
