#include "mpvbackend.h"

#include "files/filebytes.h"

#include <QFileInfo>
#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cmath>
#include <mpv/client.h>

namespace {

// A seek the engine has not confirmed within this time is given up, so that a lost
// event can never pin position() to a stale target.
constexpr qint64 seekTimeoutMs = 2000;
constexpr double probeTimeoutS = 2.0;
// The longest time position() counts on past the last time-pos update, in seconds of wall
// time: one and a half update intervals (50 ms with PulseAudio, measured).
constexpr double maxEstimateS = 0.075;
// How far time-pos must have moved before its reports anchor the estimate, in seconds of
// wall time: while the output starts it wavers by a millisecond or two about the start.
constexpr double movedS = 0.005;

// 10 ms of silence as a WAV file (8 kHz mono 16-bit), inline for the output probe.
QByteArray probeUrl() {
    const int samples = 80;
    QByteArray wav;
    auto le32 = [&wav](quint32 v) {
        for (int i = 0; i < 4; ++i)
            wav.append(char((v >> (8 * i)) & 0xff));
    };
    auto le16 = [&wav](quint16 v) {
        wav.append(char(v & 0xff));
        wav.append(char(v >> 8));
    };
    wav.append("RIFF");
    le32(36 + samples * 2);
    wav.append("WAVEfmt ");
    le32(16);
    le16(1);        // PCM
    le16(1);        // mono
    le32(8000);     // samples per second
    le32(8000 * 2); // bytes per second
    le16(2);        // block align
    le16(16);       // bits per sample
    wav.append("data");
    le32(samples * 2);
    wav.append(QByteArray(samples * 2, '\0'));
    return "hex://" + wav.toHex();
}

std::int64_t steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void setOption(mpv_handle *mpv, const char *name, const char *value) {
    mpv_set_option_string(mpv, name, value);
}

} // namespace

std::unique_ptr<MpvBackend> MpvBackend::create(Output output) {
    // libmpv refuses to start under a locale that writes "0,5" for 0.5.
    std::setlocale(LC_NUMERIC, "C");
    mpv_handle *mpv = mpv_create();
    if (!mpv)
        return nullptr;
    setOption(mpv, "config", "no");
    setOption(mpv, "terminal", "no");
    setOption(mpv, "load-scripts", "no");
    setOption(mpv, "osc", "no");
    setOption(mpv, "ytdl", "no");
    setOption(mpv, "input-default-bindings", "no");
    setOption(mpv, "input-vo-keyboard", "no");
    setOption(mpv, "resume-playback", "no");
    setOption(mpv, "vo", "null");
    setOption(mpv, "vid", "no");
    setOption(mpv, "audio-display", "no");
    setOption(mpv, "sub-auto", "no");
    setOption(mpv, "audio-file-auto", "no");
    setOption(mpv, "idle", "yes");
    setOption(mpv, "pause", "yes");
    setOption(mpv, "keep-open", "yes");
    setOption(mpv, "hr-seek", "yes");
    // Seek the demuxer a little early so that the first syllable after an exact seek
    // is decoded in full instead of clipped.
    setOption(mpv, "hr-seek-demuxer-offset", "0.2");
    setOption(mpv, "audio-pitch-correction", "yes");
    setOption(mpv, "volume-max", "100");
    // A lesson file is read as one audio stream: no playlists, references to other
    // files or network streams, whatever its bytes claim to be.
    setOption(mpv, "demuxer", "lavf");
    setOption(mpv, "access-references", "no");
    setOption(mpv, "load-unsafe-playlists", "no");
    setOption(mpv, "demuxer-lavf-o", "protocol_whitelist=file");
    setOption(mpv, "ao", output == Output::Device ? "pulse,alsa" : "null");
    if (mpv_initialize(mpv) < 0) {
        mpv_terminate_destroy(mpv);
        return nullptr;
    }
    std::unique_ptr<MpvBackend> backend(new MpvBackend(mpv));
    if (output == Output::Device)
        backend->probeOutput();
    else
        backend->m_audioOutput = QStringLiteral("null");
    backend->startEvents();
    return backend;
}

MpvBackend::MpvBackend(mpv_handle *mpv) : m_mpv(mpv) {}

MpvBackend::~MpvBackend() {
    // Clearing the callback waits for one that is running on mpv's thread; after it no
    // new wake-up can be posted to this object.
    mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
    mpv_terminate_destroy(m_mpv);
}

// The audio output opens only when audio is decoded, so a silent clip is loaded (paused)
// and the events tell whether "current-ao" came up or the file ended with "no sound".
bool MpvBackend::probeOutput() {
    const QByteArray url = probeUrl();
    const char *load[] = {"loadfile", url.constData(), nullptr};
    if (mpv_command(m_mpv, load) < 0)
        return false;
    QElapsedTimer clock;
    clock.start();
    bool done = false;
    while (!done) {
        const double left = probeTimeoutS - clock.elapsed() / 1000.0;
        if (left <= 0)
            break;
        mpv_event *event = mpv_wait_event(m_mpv, left);
        switch (event->event_id) {
        case MPV_EVENT_AUDIO_RECONFIG: {
            char *ao = mpv_get_property_string(m_mpv, "current-ao");
            if (ao) {
                m_audioOutput = QString::fromUtf8(ao);
                mpv_free(ao);
                done = true;
            }
            break;
        }
        case MPV_EVENT_END_FILE:
        case MPV_EVENT_SHUTDOWN:
            done = true;
            break;
        default:
            break;
        }
    }
    const char *stop[] = {"stop", nullptr};
    mpv_command(m_mpv, stop);
    // Let the probe's end pass so that none of its events reach the lesson files.
    clock.restart();
    while (clock.elapsed() < 300) {
        const mpv_event_id id = mpv_wait_event(m_mpv, 0.1)->event_id;
        if (id == MPV_EVENT_IDLE || id == MPV_EVENT_NONE || id == MPV_EVENT_SHUTDOWN)
            break;
    }
    return !m_audioOutput.isEmpty();
}

void MpvBackend::useSilentOutput() {
    mpv_set_property_string(m_mpv, "ao", "null");
    m_audioOutput = QStringLiteral("null");
}

void MpvBackend::startEvents() {
    mpv_observe_property(m_mpv, 0, "eof-reached", MPV_FORMAT_FLAG);
    // Read as soon as the engine updates it: a report seen promptly anchors the
    // estimate in position() best.
    mpv_observe_property(m_mpv, 0, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_set_wakeup_callback(m_mpv, &MpvBackend::wakeup, this);
}

// Runs on one of mpv's threads: only posts to the GUI thread, once per batch.
void MpvBackend::wakeup(void *self) {
    auto *backend = static_cast<MpvBackend *>(self);
    if (backend->m_wakePending.exchange(true))
        return;
    QMetaObject::invokeMethod(
        backend,
        [backend] {
            backend->m_wakePending = false;
            backend->drainEvents();
        },
        Qt::QueuedConnection);
}

void MpvBackend::drainEvents() {
    while (!m_dead) {
        mpv_event *event = mpv_wait_event(m_mpv, 0);
        switch (event->event_id) {
        case MPV_EVENT_NONE:
            return;
        case MPV_EVENT_SHUTDOWN:
            m_dead = true;
            m_fileOpen = m_loaded = m_playing = m_seekPending = false;
            return;
        case MPV_EVENT_START_FILE:
            ++m_filesStarted;
            break;
        case MPV_EVENT_FILE_LOADED:
            if (m_filesStarted != m_loadsIssued || !m_fileOpen)
                break;
            m_loaded = true;
            if (m_seekBeforeLoad) {
                m_seekBeforeLoad = false;
                issueSeek(m_seekTarget);
            }
            // play() before the file had loaded: start only now, after the seek.
            if (m_playing)
                setPaused(false);
            break;
        case MPV_EVENT_END_FILE: {
            // Only the current file counts; a replaced file ends after the next load
            // was issued.
            const auto *end = static_cast<mpv_event_end_file *>(event->data);
            if (m_filesStarted == m_loadsIssued && end->reason == MPV_END_FILE_REASON_ERROR) {
                m_fileOpen = m_loaded = m_playing = false;
                m_seekPending = m_seekBeforeLoad = false;
                m_eof = false;
            }
            break;
        }
        case MPV_EVENT_COMMAND_REPLY:
            if (event->reply_userdata == m_seekId && m_seekId != 0) {
                m_seekAcked = true;
                if (event->error < 0)
                    m_seekPending = false;
            }
            break;
        case MPV_EVENT_PLAYBACK_RESTART:
            if (m_seekPending && m_seekAcked)
                m_seekPending = false;
            break;
        case MPV_EVENT_PROPERTY_CHANGE: {
            const auto *prop = static_cast<mpv_event_property *>(event->data);
            if (qstrcmp(prop->name, "time-pos") == 0) {
                if (prop->format == MPV_FORMAT_DOUBLE && m_loaded && m_playing && !m_seekPending)
                    noteReport(*static_cast<double *>(prop->data));
            } else if (qstrcmp(prop->name, "eof-reached") == 0) {
                const bool eof = prop->format == MPV_FORMAT_FLAG && *static_cast<int *>(prop->data);
                // An end reported before our latest seek or load belongs to the old
                // place or file.
                const bool current = m_loaded && m_filesStarted == m_loadsIssued;
                if (!eof || (!m_seekPending && current))
                    m_eof = eof && m_fileOpen;
            }
            break;
        }
        default:
            break;
        }
    }
}

void MpvBackend::setPaused(bool paused) {
    int flag = paused ? 1 : 0;
    mpv_set_property(m_mpv, "pause", MPV_FORMAT_FLAG, &flag);
}

// After a play, seek or rate change the estimate starts afresh: until playback has moved
// past its first report again, position() reports time-pos as it stands. An old anchor
// would count from a place playback has left, through a pause, or at a speed it no
// longer has.
void MpvBackend::forgetReport() {
    m_firstReport = m_lastReport = -1;
    m_anchored = false;
}

void MpvBackend::noteReport(double pos) {
    if (!std::isfinite(pos))
        return;
    if (m_firstReport < 0)
        m_firstReport = pos;
    m_lastReport = pos;
    if (pos - m_firstReport < movedS * m_rate)
        return;
    const double anchor = pos - m_rate * (steadyNs() / 1e9);
    m_anchor = m_anchored ? std::max(m_anchor, anchor) : anchor;
    m_anchored = true;
}

void MpvBackend::open(const QString &path) {
    if (m_dead)
        return;
    drainEvents();
    forgetReport();
    m_playing = m_loaded = m_eof = false;
    m_seekPending = m_seekBeforeLoad = false;
    m_floor = 0;
    setPaused(true);
    const QFileInfo info(path);
    if (path.isEmpty() || fileKind(path) != FileKind::Regular || !info.isReadable()) {
        m_fileOpen = false;
        const char *stop[] = {"stop", nullptr};
        mpv_command(m_mpv, stop);
        return;
    }
    // An absolute path can never be taken for a protocol ("xyz://") or an option.
    const QByteArray file = info.absoluteFilePath().toUtf8();
    const char *load[] = {"loadfile", file.constData(), "replace", nullptr};
    m_fileOpen = mpv_command(m_mpv, load) >= 0;
    if (m_fileOpen)
        ++m_loadsIssued;
}

void MpvBackend::play() {
    drainEvents();
    if (m_dead || !m_fileOpen)
        return;
    if (!m_playing)
        forgetReport();
    m_playing = true;
    if (m_loaded)
        setPaused(false);
}

// The position is read once more and then held: time-pos may still move by a few
// milliseconds while the output drains, and a paused player must not seem to move.
void MpvBackend::pause() {
    if (m_dead)
        return;
    if (m_playing)
        position();
    m_playing = false;
    setPaused(true);
}

void MpvBackend::issueSeek(double pos) {
    m_seekAcked = false;
    const QByteArray target = QByteArray::number(pos, 'f', 6);
    const char *seek[] = {"seek", target.constData(), "absolute+exact", nullptr};
    if (mpv_command_async(m_mpv, ++m_seekId, seek) < 0)
        m_seekPending = false;
}

void MpvBackend::setPosition(double pos) {
    drainEvents();
    if (m_dead || !m_fileOpen || std::isnan(pos))
        return;
    pos = std::max(0.0, pos);
    forgetReport();
    m_seekTarget = m_floor = pos;
    m_seekPending = true;
    m_eof = false;
    m_seekClock.start();
    if (m_loaded)
        issueSeek(pos);
    else
        m_seekBeforeLoad = true;
}

double MpvBackend::position() {
    drainEvents();
    if (m_dead || !m_fileOpen)
        return m_floor;
    if (m_seekPending) {
        if (m_seekClock.elapsed() < seekTimeoutMs)
            return m_seekTarget;
        m_seekPending = false;
    }
    double pos = 0;
    if (!m_loaded || (!m_playing && !m_eof) ||
        mpv_get_property(m_mpv, "time-pos", MPV_FORMAT_DOUBLE, &pos) < 0)
        return m_floor;
    noteReport(pos);
    if (m_estimate && m_anchored && m_playing && !m_eof) {
        const double counted = m_anchor + m_rate * (steadyNs() / 1e9);
        pos = std::max(pos, std::min(counted, m_lastReport + maxEstimateS * m_rate));
    }
    m_floor = std::max(m_floor, pos);
    return m_floor;
}

// The engine keeps a few hundred milliseconds of audio rendered at the old rate and
// estimates time-pos as if it were at the new one: the rate is heard late and the
// position is off by up to half a second until that audio has played. An exact seek to
// where playback stands drops the old audio: the new rate is heard at once and the
// position stays right.
void MpvBackend::setRate(double rate) {
    drainEvents();
    if (m_dead || !(rate > 0))
        return;
    rate = std::clamp(rate, 0.25, 4.0);
    if (rate == m_rate)
        return;
    const bool resync = m_fileOpen && (m_loaded || m_seekBeforeLoad);
    const double here = resync ? position() : 0;
    m_rate = rate;
    forgetReport();
    mpv_set_property(m_mpv, "speed", MPV_FORMAT_DOUBLE, &rate);
    if (resync && !m_eof)
        setPosition(here);
}

void MpvBackend::setVolume(int volume) {
    if (m_dead)
        return;
    double v = std::clamp(volume, 0, 100);
    mpv_set_property(m_mpv, "volume", MPV_FORMAT_DOUBLE, &v);
}

bool MpvBackend::isPlaying() const {
    return !m_dead && m_fileOpen && m_playing && !m_eof;
}
