#include "qtplayerbackend.h"

#include "files/filebytes.h"

#include <QAudio>
#include <QAudioOutput>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cmath>

#if defined(Q_OS_UNIX)
#include <dlfcn.h>
#endif

namespace {

constexpr int watchdogIntervalMs = 200;
// Reloads in a row without the position moving again before the watchdog gives up on
// the file, so that a file that cannot play is not reloaded for ever.
constexpr int maxRecoveriesInARow = 3;
// The player's position runs ahead of the sound by what the sound server still holds:
// about 20 ms of wall time with PulseAudio 16.1 (measured on a null sink, the same at rates
// 0.5, 1 and 2). Positions read while playing are moved back by a little more, so that a
// sentence is not paused while its last syllable is still to be heard.
constexpr double outputLagMs = 25;

#if defined(Q_OS_UNIX)
// The elements Qt 6.4's GStreamer player and audio output are built from. The library
// is opened at run time so that building needs no GStreamer development files.
QString missingGstreamerElements() {
    void *lib = dlopen("libgstreamer-1.0.so.0", RTLD_LAZY | RTLD_LOCAL);
    if (!lib)
        return QStringLiteral("the GStreamer library is not installed");
    using InitCheck = int (*)(int *, char ***, void **);
    using FactoryFind = void *(*)(const char *);
    using ObjectUnref = void (*)(void *);
    auto initCheck = reinterpret_cast<InitCheck>(dlsym(lib, "gst_init_check"));
    auto factoryFind = reinterpret_cast<FactoryFind>(dlsym(lib, "gst_element_factory_find"));
    auto objectUnref = reinterpret_cast<ObjectUnref>(dlsym(lib, "gst_object_unref"));
    if (!initCheck || !factoryFind || !objectUnref)
        return QStringLiteral("the GStreamer library lacks its entry points");
    void *error = nullptr; // GError, left unread (and unfreed) on this one-time failure
    if (!initCheck(nullptr, nullptr, &error))
        return QStringLiteral("GStreamer does not initialise");
    auto has = [&](const char *element) {
        void *factory = factoryFind(element);
        if (factory)
            objectUnref(factory);
        return factory != nullptr;
    };
    QStringList missing;
    for (const char *element : {"input-selector", "queue", "fakesink", "decodebin", "uridecodebin",
                                "audioconvert", "audioresample", "volume", "autoaudiosink"}) {
        if (!has(element))
            missing << QString::fromLatin1(element);
    }
    if (!has("videoconvertscale")) {
        for (const char *element : {"videoconvert", "videoscale"}) {
            if (!has(element))
                missing << QString::fromLatin1(element);
        }
    }
    // The library stays loaded: Qt's GStreamer plug-in uses the same one.
    return missing.isEmpty() ? QString()
                             : QStringLiteral("missing GStreamer elements: ") +
                                   missing.join(QStringLiteral(", "));
}
#endif

} // namespace

QString QtPlayerBackend::unavailableReason() {
#if defined(Q_OS_UNIX)
    static const QString reason = missingGstreamerElements();
    return reason;
#else
    return {};
#endif
}

std::unique_ptr<QtPlayerBackend> QtPlayerBackend::create() {
    if (!unavailableReason().isEmpty())
        return nullptr;
    return std::unique_ptr<QtPlayerBackend>(new QtPlayerBackend);
}

QtPlayerBackend::QtPlayerBackend()
    : m_player(new QMediaPlayer(this)), m_output(new QAudioOutput(this)) {
    m_player->setAudioOutput(m_output);
    m_clock.start();
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, &QtPlayerBackend::onStatus);
    connect(m_player, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error error) {
        if (error == QMediaPlayer::NoError || !m_hasFile)
            return;
        m_hasFile = m_loading = m_wantPlay = false;
        m_watchdog.stop();
    });
    connect(m_player, &QMediaPlayer::durationChanged, this, [this](qint64 duration) {
        if (m_waitingForLength && duration > 0)
            QMetaObject::invokeMethod(this, &QtPlayerBackend::finishStart, Qt::QueuedConnection);
    });
    // A file whose length stays unknown still plays.
    m_lengthFallback.setSingleShot(true);
    m_lengthFallback.setInterval(300);
    connect(&m_lengthFallback, &QTimer::timeout, this, [this] {
        if (m_waitingForLength)
            finishStart();
    });
    m_watchdog.setInterval(watchdogIntervalMs);
    connect(&m_watchdog, &QTimer::timeout, this, &QtPlayerBackend::checkForFreeze);
}

QtPlayerBackend::~QtPlayerBackend() {
    m_watchdog.stop();
    m_player->stop();
}

// setSource() emits the old source's last signals from inside the call; they must not
// be taken for the new one's.
void QtPlayerBackend::load(const QUrl &source) {
    const bool hadFile = !source.isEmpty();
    m_lengthFallback.stop();
    m_waitingForLength = false;
    m_hasFile = false;
    m_source = source;
    // The same URL again would be ignored: clear it first.
    m_player->setSource(QUrl());
    m_player->setSource(source);
    m_hasFile = hadFile;
}

void QtPlayerBackend::open(const QString &path) {
    m_watchdog.stop();
    m_loading = m_wantPlay = m_atEnd = false;
    m_floor = 0;
    m_recoveriesInARow = 0;
    const QFileInfo info(path);
    const bool readable =
        !path.isEmpty() && fileKind(path) == FileKind::Regular && info.isReadable();
    // Loading now finds a file that cannot be played before anyone wants to play it.
    load(readable ? QUrl::fromLocalFile(info.absoluteFilePath()) : QUrl());
}

void QtPlayerBackend::startAfresh() {
    m_loading = true;
    load(m_source);
    // Normally the loaded signal starts playback. Should it have come from inside
    // setSource(), where it is ignored, look again once the queued signals are through.
    QTimer::singleShot(50, this, [this] {
        if (m_hasFile && m_loading && m_player->mediaStatus() == QMediaPlayer::LoadedMedia)
            startLoaded();
    });
}

// Pause, seek and play in one go: the stream never sits corked. The seek waits for the
// file's length (known a few milliseconds after the pause): Qt 6.4 seeks to a segment
// that ends at the length, so a seek before it is known ends the file at once. Qt also
// drops a seek on a player that has not been paused or played yet, ends the file at once
// when played from where it was loaded without a seek, and skips a seek to where it
// believes it is; a seek to at least 1 ms after the pause avoids all of these.
void QtPlayerBackend::startLoaded() {
    if (!m_loading || m_waitingForLength)
        return;
    if (!m_wantPlay) {
        m_loading = false;
        return;
    }
    m_player->pause();
    m_waitingForLength = true;
    if (m_player->duration() > 0)
        finishStart();
    else
        m_lengthFallback.start();
}

void QtPlayerBackend::finishStart() {
    if (!m_waitingForLength)
        return;
    m_lengthFallback.stop();
    m_waitingForLength = m_loading = false;
    if (!m_wantPlay)
        return;
    m_startedAt = m_floor;
    m_player->setPosition(std::max<qint64>(1, m_floor));
    m_player->play();
    m_stall.restart(m_clock.elapsed());
    m_watchdog.start();
}

void QtPlayerBackend::onStatus(QMediaPlayer::MediaStatus status) {
    if (!m_hasFile)
        return;
    switch (status) {
    case QMediaPlayer::LoadedMedia:
        // Not from inside the signal: Qt goes on changing the pipeline's state after
        // it, and a start made here waits well over a second for WMA files.
        if (m_loading)
            QMetaObject::invokeMethod(this, &QtPlayerBackend::startLoaded, Qt::QueuedConnection);
        break;
    case QMediaPlayer::EndOfMedia:
        m_floor = std::max(m_floor, m_player->position());
        m_atEnd = true;
        m_watchdog.stop();
        break;
    case QMediaPlayer::InvalidMedia:
        m_hasFile = m_loading = m_wantPlay = false;
        m_watchdog.stop();
        break;
    default:
        break;
    }
}

bool QtPlayerBackend::playerRunning() const {
    return !m_loading && m_player->playbackState() == QMediaPlayer::PlayingState;
}

void QtPlayerBackend::play() {
    // At the end nothing is left to play until a seek moves the position back.
    if (!m_hasFile || m_atEnd)
        return;
    m_wantPlay = true;
    if (!m_loading && !playerRunning())
        startAfresh();
}

void QtPlayerBackend::pause() {
    m_wantPlay = false;
    m_watchdog.stop();
    if (playerRunning()) {
        m_floor = std::max(m_floor, m_player->position());
        m_player->pause();
    }
}

void QtPlayerBackend::setPosition(double pos) {
    if (!m_hasFile || std::isnan(pos))
        return;
    m_floor = qint64(std::clamp(std::round(pos), 0.0, 9.0e15));
    m_atEnd = false;
    // A running player starts afresh there; otherwise the next start begins there.
    if (playerRunning())
        startAfresh();
}

// Never backwards while playing: m_floor only grows during a run, and the run started at
// m_startedAt. A pause reports where the player stands, which is never less.
double QtPlayerBackend::position() {
    if (m_hasFile && playerRunning()) {
        m_floor = std::max(m_floor, m_player->position());
        if (m_compensateLag) {
            const auto lag = qint64(std::lround(outputLagMs * m_player->playbackRate()));
            return double(std::max(m_startedAt, m_floor - lag));
        }
    }
    return double(m_floor);
}

// The rate lasts across setSource(). A running player starts afresh at the new rate:
// on a loaded machine, changing it in place stalled the sound for half a second at times.
void QtPlayerBackend::setRate(double rate) {
    if (!(rate > 0))
        return;
    rate = std::clamp(rate, 0.25, 4.0);
    if (rate == m_player->playbackRate())
        return;
    const bool running = m_hasFile && playerRunning();
    if (running)
        m_floor = std::max(m_floor, m_player->position());
    m_player->setPlaybackRate(rate);
    if (running)
        startAfresh();
}

void QtPlayerBackend::setVolume(int volume) {
    const double level = std::clamp(volume, 0, 100) / 100.0;
    m_output->setVolume(float(
        QAudio::convertVolume(level, QAudio::LogarithmicVolumeScale, QAudio::LinearVolumeScale)));
}

bool QtPlayerBackend::isPlaying() const {
    return m_hasFile && m_wantPlay && !m_atEnd;
}

void QtPlayerBackend::checkForFreeze() {
    if (!m_wantPlay || m_atEnd || m_loading)
        return;
    const qint64 pos = m_player->position();
    if (m_recoveriesInARow > 0 && pos > m_recoveredAt + 200)
        m_recoveriesInARow = 0;
    if (!m_stall.check(m_clock.elapsed(), pos, playerRunning()))
        return;
    if (m_recoveriesInARow >= maxRecoveriesInARow) {
        m_watchdog.stop();
        return;
    }
    ++m_recoveries;
    ++m_recoveriesInARow;
    m_floor = m_recoveredAt = std::max(m_floor, pos);
    startAfresh();
}
