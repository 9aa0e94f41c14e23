#include "qtvoicerecorder.h"

#include "files/filebytes.h"
#include "media/voiceshaping.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QAudioSource>
#include <QMediaDevices>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace {

PcmLayout layoutOf(const QAudioFormat &format) {
    return {format.sampleRate(), format.channelCount(), format.bytesPerSample() * 8};
}

// 16-bit mono at the device's own rate if it takes that, else at a common rate: speech needs
// no more, and a rate the device runs at natively spares the server a resampler.
QAudioFormat captureFormat(const QAudioDevice &device) {
    QList<int> rates{device.preferredFormat().sampleRate(), 48000, 44100, 16000};
    for (int rate : rates) {
        QAudioFormat format;
        format.setSampleRate(rate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        if (rate > 0 && device.isFormatSupported(format))
            return format;
    }
    return {};
}

// Multiplies 16-bit little-endian samples by gain in place, clamped to their range.
void scaleSamples(QByteArray &samples, double gain) {
    if (gain == 1.0)
        return;
    char *p = samples.data();
    for (qsizetype at = 0; at + 1 < samples.size(); at += 2) {
        const double scaled = std::round(qFromLittleEndian<qint16>(p + at) * gain);
        qToLittleEndian(qint16(std::clamp(scaled, -32768.0, 32767.0)), p + at);
    }
}

} // namespace

QtVoiceRecorder::QtVoiceRecorder(QObject *parent) : VoiceRecorder(parent) {
    m_drained.setSingleShot(true);
    m_drained.setTimerType(Qt::PreciseTimer);
    connect(&m_drained, &QTimer::timeout, this, [this] {
        endPlayback();
        Q_EMIT playbackFinished();
    });
    m_levelTimer.setInterval(levelIntervalMs);
    connect(&m_levelTimer, &QTimer::timeout, this, &QtVoiceRecorder::reportLevel);
}

QtVoiceRecorder::~QtVoiceRecorder() {
    stopPlayback();
    m_watchMs = 0;
    stopRecording();
    stopWatchSource();
    for (QProcess *process : {m_lookup, m_events}) {
        if (process) {
            process->disconnect(this);
            process->kill();
            process->waitForFinished(500);
        }
    }
}

void QtVoiceRecorder::prepare() {
    const QString pactl = QStandardPaths::findExecutable(QStringLiteral("pactl"));
    if (pactl.isEmpty())
        return;
    if (!m_events) {
        m_events = new QProcess(this);
        connect(m_events, &QProcess::readyReadStandardOutput, this,
                &QtVoiceRecorder::onServerEvents);
        // Gone with the server (or never started): what is known may be stale.
        connect(m_events, &QProcess::finished, this, [this] {
            m_knownSource.reset();
            std::exchange(m_events, nullptr)->deleteLater();
        });
        m_events->start(pactl, {QStringLiteral("subscribe")}, QIODevice::ReadOnly);
    }
    if (m_lookup || m_knownSource)
        return;
    m_lookup = new QProcess(this);
    connect(m_lookup, &QProcess::finished, this, &QtVoiceRecorder::onDefaultSourceAnswered);
    connect(m_lookup, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            onDefaultSourceAnswered();
    });
    m_lookup->start(pactl, {QStringLiteral("get-default-source")}, QIODevice::ReadOnly);
}

// "Event 'change' on server" is what a new default source (among other settings) gives.
void QtVoiceRecorder::onServerEvents() {
    const QByteArray lines = m_events->readAllStandardOutput();
    if (!lines.contains("on server"))
        return;
    m_knownSource.reset();
    if (m_lookup) {
        // An answer on its way may predate the change: ask again once it is in.
        m_lookup->disconnect(this);
        connect(m_lookup, &QProcess::finished, m_lookup, &QObject::deleteLater);
        m_lookup = nullptr;
    }
    prepare();
}

void QtVoiceRecorder::onDefaultSourceAnswered() {
    QProcess *lookup = std::exchange(m_lookup, nullptr);
    if (!lookup)
        return;
    const bool answered = lookup->exitStatus() == QProcess::NormalExit && lookup->exitCode() == 0 &&
                          lookup->error() != QProcess::FailedToStart;
    const QString name = QString::fromUtf8(lookup->readAllStandardOutput()).trimmed();
    lookup->deleteLater();
    // No answer is not remembered: the next start asks again, and tells a missing server.
    if (answered && !name.isEmpty())
        m_knownSource = name;
    else
        m_knownSource.reset();
}

QString QtVoiceRecorder::serverDefaultSource(bool *serverAnswered, int timeoutMs) {
    if (serverAnswered)
        *serverAnswered = false;
    const QString pactl = QStandardPaths::findExecutable(QStringLiteral("pactl"));
    if (pactl.isEmpty())
        return {};
    QProcess process;
    process.start(pactl, {QStringLiteral("get-default-source")}, QIODevice::ReadOnly);
    if (!process.waitForFinished(timeoutMs)) {
        // A server that hangs must not hang the learner's click.
        process.kill();
        process.waitForFinished(500);
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    if (serverAnswered)
        *serverAnswered = true;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QAudioDevice QtVoiceRecorder::chooseInput(bool *serverAnswered) const {
    QString wanted;
    if (m_knownSource) {
        wanted = *m_knownSource;
        *serverAnswered = true;
    } else {
        wanted = serverDefaultSource(serverAnswered);
    }
    if (!wanted.isEmpty()) {
        const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
        for (const QAudioDevice &device : inputs) {
            if (QString::fromUtf8(device.id()) == wanted)
                return device;
        }
    }
    return QMediaDevices::defaultAudioInput();
}

VoiceRecorder::Start QtVoiceRecorder::findInput(QAudioDevice &device, QAudioFormat &format) {
    bool serverAnswered = false;
    if (QMediaDevices::audioInputs().isEmpty()) {
        // Qt lists nothing both when the server is gone and when it has no source; pactl
        // tells the two apart where there is a PulseAudio-speaking server to ask.
        serverDefaultSource(&serverAnswered);
        const bool pactlThere = !QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty();
        return pactlThere && !serverAnswered ? Start::NoSoundServer : Start::NoInputDevice;
    }
    device = chooseInput(&serverAnswered);
    if (device.isNull())
        return Start::NoInputDevice;
    format = captureFormat(device);
    if (!format.isValid())
        return Start::NoInputDevice;
    m_serverAnswered = serverAnswered;
    return Start::Started;
}

VoiceRecorder::Start QtVoiceRecorder::startRecording(const QString &filePath) {
    stopPlayback();
    stopRecording();
    dropRecording();
    stopWatchSource();

    QAudioDevice device;
    QAudioFormat format;
    if (const Start found = findInput(device, format); found != Start::Started)
        return found;

    // The take goes into a temporary file beside filePath; filePath itself is untouched
    // until stopRecording() finds a take to put in its place.
    // A pipe or device in its place would take the take's bytes, or block the write for ever.
    if (!writeTargetProblem(filePath).isEmpty())
        return Start::FileNotWritable;
    m_file.setFileName(filePath);
    if (!m_file.open(QIODevice::WriteOnly)) {
        m_file.setFileName({});
        return Start::FileNotWritable;
    }
    if (m_file.write(wavHeader(layoutOf(format), 0)) != wavHeaderBytes) {
        m_file.cancelWriting();
        m_file.commit(); // removes the temporary file
        return Start::FileNotWritable;
    }

    m_tap.setTarget(&m_file);
    m_tap.take();
    m_tap.open(QIODevice::WriteOnly);
    m_source = new QAudioSource(device, format, this);
    m_source->start(&m_tap);
    if (m_source->error() != QAudio::NoError || m_source->state() == QAudio::StoppedState) {
        const bool serverGone = m_source->error() == QAudio::OpenError && !m_serverAnswered;
        delete m_source;
        m_source = nullptr;
        m_tap.close();
        m_file.cancelWriting();
        m_file.commit();
        return serverGone ? Start::NoSoundServer : Start::NoInputDevice;
    }
    m_format = format;
    m_path = filePath;
    m_inputId = QString::fromUtf8(device.id());
    m_levelTimer.start();
    return Start::Started;
}

VoiceRecorder::Take QtVoiceRecorder::stopRecording() {
    if (!m_source)
        return Take::NotRecording;
    m_source->stop();
    delete m_source;
    m_source = nullptr;
    m_tap.close();
    const PcmLayout layout = layoutOf(m_format);
    // A stop in the middle of a frame leaves a part frame; the header counts whole ones.
    const qint64 data = m_file.size() - wavHeaderBytes;
    Take take = Take::Made;
    if (data < layout.blockAlign()) {
        take = Take::Empty;
        m_file.cancelWriting();
    } else if (!patchWavHeader(m_file, layout, data) || !m_file.flush()) {
        take = Take::NotSaved;
        m_file.cancelWriting();
    }
    // A cancelled file is removed here; a kept one takes the recording file's place.
    if (!m_file.commit() && take == Take::Made)
        take = Take::NotSaved;
    m_hasRecording = take == Take::Made;
    reportLevel();
    // The learner asked to watch the level for a few seconds that are not over yet.
    if (!m_watchSource && m_watchClock.isValid() && m_watchClock.elapsed() < m_watchMs)
        startWatchSource();
    return take;
}

void QtVoiceRecorder::dropRecording() {
    m_hasRecording = false;
    m_shape = {};
    m_playback.close();
    m_playback.setData(QByteArray());
}

VoiceRecorder::Play QtVoiceRecorder::playFromStart() {
    if (!m_hasRecording || isRecording())
        return Play::NoRecording;
    endPlayback();
    // Recordings are seconds long: reading the samples whole keeps the sink's reads off the
    // disk, and the sink stops at their exact end.
    // As much as the follow-read page analyses, so that a take left running for an hour
    // cannot fill the memory.
    const qint64 most =
        wavHeaderBytes + m_format.bytesForDuration(qint64(maxRecordingSeconds) * 1000000);
    QByteArray samples = readFileStart(m_path, most).bytes;
    if (samples.size() < wavHeaderBytes)
        return Play::NoRecording;
    samples.remove(0, wavHeaderBytes);
    const qint64 block = layoutOf(m_format).blockAlign();
    samples.truncate(samples.size() / block * block);
    if (samples.isEmpty())
        return Play::NoRecording;
    // A skip that would leave nothing to hear is ignored rather than playing nothing.
    const qint64 skipBytes =
        std::max(0, m_shape.skipMs) * qint64(m_format.sampleRate()) / 1000 * block;
    m_playbackSkipMs = 0;
    if (skipBytes > 0 && skipBytes < samples.size()) {
        samples.remove(0, skipBytes);
        m_playbackSkipMs = m_shape.skipMs;
    }
    if (m_format.sampleFormat() == QAudioFormat::Int16 && std::isfinite(m_shape.gain) &&
        m_shape.gain >= 0)
        scaleSamples(samples, m_shape.gain);
    m_playbackMs = samples.size() / block * 1000 / m_format.sampleRate();
    m_playback.setData(samples);
    m_playback.open(QIODevice::ReadOnly);

    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    if (output.isNull()) {
        m_playback.close();
        return Play::OutputFailed;
    }
    m_sink = new QAudioSink(output, m_format, this);
    m_sink->setBufferSize(m_format.bytesForDuration(playbackBufferMs * 1000));
    connect(m_sink, &QAudioSink::stateChanged, this, &QtVoiceRecorder::onSinkState);
    m_sink->start(&m_playback);
    if (m_sink->state() == QAudio::StoppedState || m_sink->error() == QAudio::OpenError) {
        endPlayback();
        return Play::OutputFailed;
    }
    return Play::Started;
}

void QtVoiceRecorder::onSinkState() {
    // Idle with every sample handed over is the end reached by itself; idle before that is
    // an underrun the sink recovers from.
    if (!m_sink || m_sink->state() != QAudio::IdleState || !m_playback.atEnd() ||
        m_drained.isActive())
        return;
    m_drained.start(playbackBufferMs);
}

qint64 QtVoiceRecorder::playbackPositionMs() const {
    if (!m_sink)
        return -1;
    // The sink counts what the server has played out, less its latency: close to what is heard.
    return m_playbackSkipMs + std::clamp<qint64>(m_sink->processedUSecs() / 1000, 0, m_playbackMs);
}

void QtVoiceRecorder::stopPlayback() {
    endPlayback();
}

void QtVoiceRecorder::endPlayback() {
    m_drained.stop();
    if (!m_sink)
        return;
    QAudioSink *sink = m_sink;
    m_sink = nullptr;
    // Its last state changes must not reach onSinkState and count as an end.
    sink->disconnect(this);
    sink->stop();
    sink->deleteLater();
    m_playback.close();
}

VoiceRecorder::Start QtVoiceRecorder::watchInputLevel(int ms) {
    m_watchClock.start();
    m_watchMs = std::max(0, ms);
    if (m_watchMs == 0) {
        stopWatchSource();
        reportLevel();
        return Start::Started;
    }
    if (isRecording()) {
        m_levelTimer.start();
        return Start::Started; // the recording reports its level anyway
    }
    QAudioDevice device;
    QAudioFormat format;
    if (const Start found = findInput(device, format); found != Start::Started)
        return found;
    stopWatchSource();
    m_watchDevice = device;
    m_watchFormat = format;
    startWatchSource();
    return m_watchSource ? Start::Started : Start::NoInputDevice;
}

void QtVoiceRecorder::startWatchSource() {
    if (m_watchDevice.isNull() || !m_watchFormat.isValid())
        return;
    m_watchTap.take();
    m_watchTap.open(QIODevice::WriteOnly);
    m_watchSource = new QAudioSource(m_watchDevice, m_watchFormat, this);
    m_watchSource->start(&m_watchTap);
    if (m_watchSource->error() != QAudio::NoError ||
        m_watchSource->state() == QAudio::StoppedState) {
        stopWatchSource();
        return;
    }
    m_levelTimer.start();
}

void QtVoiceRecorder::stopWatchSource() {
    if (!m_watchSource)
        return;
    m_watchSource->stop();
    delete m_watchSource;
    m_watchSource = nullptr;
    m_watchTap.close();
}

void QtVoiceRecorder::reportLevel() {
    InputLevelTap &tap = m_source ? m_tap : m_watchTap;
    if (tap.heardSinceTake()) {
        const InputPeak peak = tap.take();
        Q_EMIT inputLevel(peak.peak, peak.clipped);
    }
    if (m_watchSource && !(m_watchClock.isValid() && m_watchClock.elapsed() < m_watchMs))
        stopWatchSource();
    if (!m_source && !m_watchSource && m_levelTimer.isActive()) {
        m_levelTimer.stop();
        Q_EMIT inputLevel(0, false); // nothing is heard any more: the meter falls to rest
    }
}

std::unique_ptr<VoiceRecorder> createSystemVoiceRecorder() {
    return std::make_unique<QtVoiceRecorder>();
}
