#pragma once

#include "audioclip.h"

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

// A whole recording as the recogniser takes it: 16 kHz mono, 16-bit (an hour is 115 MB).
struct SpeechTrack {
    std::vector<qint16> samples;
    QString error;          // one line, empty on success (then samples is not empty)
    bool cancelled = false; // the progress callback asked to stop (error says so too)
    double seconds() const { return double(samples.size()) / 16000; }
};

// Decodes a stretch [startSec, endSec) of a lesson's audio file (anything FFmpeg reads: MP3,
// WMA, WAV...) to 16 kHz mono, for drawing and measuring, never for playing.
//
// Times are seconds on the file's own timeline as the lesson player counts them: 0 is the
// first sample of the audio stream. Sample i of a decoded clip sounds at startSec + i / 16000;
// a clip holds round((endSec - startSec) * 16000) samples unless the file ends before endSec,
// where it stops. A failure of any kind (no file, not audio, broken or hostile data, nothing
// in the stretch) gives an empty clip, never a crash or a hang.
class SegmentDecoder : public QObject {
    Q_OBJECT
public:
    static constexpr int sampleRate = 16000;
    // A longer stretch is cut to this: sentences are seconds long, and a slip of the caller
    // (a whole lesson as one stretch) must not take hundreds of megabytes.
    static constexpr double maxStretchSeconds = 600;
    // Decoding is abandoned after this, whatever the file holds.
    static constexpr int timeLimitMs = 15000;
    // The longest recording decodeTrack takes (460 MB as 16-bit samples): a longer one, or a
    // small hostile file that expands to more, is refused rather than filling the memory.
    static constexpr double maxTrackSeconds = 4 * 3600;

    // progress(fraction 0..1); returning false asks the decoding to stop.
    using Progress = std::function<bool(double)>;

    explicit SegmentDecoder(QObject *parent = nullptr);
    // Jobs still queued are dropped, a running one is told to stop and waited for (it stops
    // within one packet); no signal comes after this.
    ~SegmentDecoder() override;

    // Queues the stretch for decoding on a worker thread; decoded() comes with the returned
    // ticket, on this object's thread. Tickets count up from 1; jobs finish in order.
    quint64 decode(const QString &path, double startSec, double endSec);

    // The same, blocking the calling thread. On failure the clip is empty and error (if
    // given) says why, for a log.
    static AudioClip decodeNow(const QString &path, double startSec, double endSec,
                               QString *error = nullptr);

    // The whole audio stream (up to maxStretchSeconds) as mono at the stream's own rate,
    // blocking: a recording read as it is, for the recogniser to resample itself.
    static AudioClip decodeWholeNow(const QString &path, QString *error = nullptr);

    // The first (best) audio stream of any file FFmpeg reads (MP3, WAV, M4A, the sound of an
    // MP4, MKV or WebM) as a SpeechTrack, blocking, with no time limit: progress is called
    // about every ten seconds of audio and ends the decoding when it returns false. Never more
    // samples than the stream holds (the header's length is only a hint); damage is skipped as
    // for a stretch.
    static SpeechTrack decodeTrack(const QString &path, const Progress &progress = {});

Q_SIGNALS:
    // The clip of the job with that ticket; empty when it could not be decoded.
    void decoded(quint64 ticket, const AudioClip &clip);

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    QThreadPool m_pool;
    quint64 m_lastTicket = 0;
};
