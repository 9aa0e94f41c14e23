#include "qtshortsoundplayer.h"

#include "clipstream.h"
#include "files/filebytes.h"
#include "wavclip.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QFile>
#include <QMediaDevices>
#include <QTimer>
#include <algorithm>

namespace {

constexpr int maxCachedClips = 32;

QAudioFormat formatFor(const QAudioDevice &device) {
    QAudioFormat format = device.preferredFormat();
    if (format.isValid() && format.channelCount() >= 1)
        return format;
    format.setSampleRate(44100);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

} // namespace

QtShortSoundPlayer::QtShortSoundPlayer(QObject *parent)
    : QObject(parent), m_stream(new ClipStream(this)), m_idle(new QTimer(this)) {
    m_idle->setSingleShot(true);
    connect(m_idle, &QTimer::timeout, this, &QtShortSoundPlayer::suspendIfIdle);
}

QtShortSoundPlayer::~QtShortSoundPlayer() {
    dropOutput();
}

void QtShortSoundPlayer::play(const QString &path) {
    if (!ensureOutput())
        return;
    const QByteArray clip = clipFor(path);
    if (clip.isEmpty())
        return;
    m_stream->start(clip);
    if (m_sink->state() == QAudio::SuspendedState)
        m_sink->resume();
    const qint64 clipMs = m_format.durationForBytes(qsizetype(clip.size())) / 1000;
    m_idle->start(int(std::min<qint64>(clipMs, 60000)) + idleMs);
}

QAudio::State QtShortSoundPlayer::outputState() const {
    return m_sink ? m_sink->state() : QAudio::StoppedState;
}

void QtShortSoundPlayer::preload(const QStringList &paths) {
    if (!ensureOutput())
        return;
    for (const QString &path : paths)
        clipFor(path);
}

bool QtShortSoundPlayer::ensureOutput() {
    if (m_sink) {
        if (m_sink->error() == QAudio::NoError || m_sink->error() == QAudio::UnderrunError)
            return true;
        dropOutput(); // the device went away: try the one that is there now
    }
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return false;
    const QAudioFormat format = formatFor(device);
    if (format != m_format)
        m_clips.clear();
    m_format = format;
    m_stream->setSilence(format.sampleFormat() == QAudioFormat::UInt8 ? char(0x80) : char(0));
    m_stream->stop();
    m_sink = new QAudioSink(device, format, this);
    m_sink->setBufferSize(qsizetype(format.bytesForDuration(bufferMs * 1000)));
    m_sink->start(m_stream);
    if (m_sink->error() != QAudio::NoError) {
        dropOutput();
        return false;
    }
    return true;
}

void QtShortSoundPlayer::dropOutput() {
    m_idle->stop();
    if (!m_sink)
        return;
    m_sink->stop();
    delete m_sink;
    m_sink = nullptr;
}

QByteArray QtShortSoundPlayer::clipFor(const QString &path) {
    const auto cached = m_clips.constFind(path);
    if (cached != m_clips.constEnd())
        return *cached;
    const FileBytes file = readFileBytes(path, maxFileBytes);
    if (path.isEmpty() || !file.error.isEmpty())
        return {}; // not cached: a sound file put in place later plays
    const auto decoded = decodeWav(file.bytes);
    const PcmClip *clip = std::get_if<PcmClip>(&decoded);
    const QByteArray rendered = clip ? renderClip(*clip, m_format) : QByteArray();
    if (m_clips.size() >= maxCachedClips)
        m_clips.clear();
    m_clips.insert(path, rendered);
    return rendered;
}

void QtShortSoundPlayer::suspendIfIdle() {
    if (!m_sink)
        return;
    if (m_stream->isPlaying()) {
        m_idle->start(idleMs);
        return;
    }
    if (m_sink->state() == QAudio::ActiveState || m_sink->state() == QAudio::IdleState)
        m_sink->suspend();
}
