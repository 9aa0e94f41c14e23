#include "audio/qtvoicerecorder.h"
#include "audio/wavclip.h"
#include "e2ehelpers.h"
#include "soundcapture.h"

#include <QAudioSink>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/stat.h>

namespace {

QString pactl(const QStringList &arguments) {
    QProcess process;
    process.start(QStringLiteral(ORVESSA_PACTL), arguments);
    if (!process.waitForFinished(5000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// A 440 Hz tone into the default output (the null sink, heard by its capture source).
class Tone {
public:
    explicit Tone(int ms) {
        QAudioFormat format;
        format.setSampleRate(44100);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        QByteArray bytes(44100 * ms / 1000 * 2, '\0');
        for (int i = 0; i < bytes.size() / 2; ++i) {
            const auto s = qint16(std::lround(16000 * std::sin(2 * M_PI * 440 * i / 44100.0)));
            qToLittleEndian(s, bytes.data() + 2 * i);
        }
        m_buffer.setData(bytes);
        m_buffer.open(QIODevice::ReadOnly);
        m_sink = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), format);
    }
    void play() { m_sink->start(&m_buffer); }
    bool done() const { return m_buffer.atEnd() && m_sink->state() == QAudio::IdleState; }

private:
    QBuffer m_buffer;
    std::unique_ptr<QAudioSink> m_sink;
};

// Seconds of 10 ms frames louder than the silence threshold in a decoded clip.
double soundSeconds(const PcmClip &clip) {
    const long long frame = clip.sampleRate / 100;
    int sounding = 0;
    for (long long start = 0; start + frame <= clip.frames(); start += frame) {
        float peak = 0;
        for (long long i = start; i < start + frame; ++i)
            peak = std::max(peak, std::abs(clip.samples[size_t(i * clip.channels)]));
        if (peak > 600 / 32768.0f)
            ++sounding;
    }
    return sounding / 100.0;
}

class RecorderE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("voice.wav"));
        QObject::connect(&recorder, &VoiceRecorder::playbackFinished, [this] { ++finished; });
    }

    // Records about the given milliseconds of tone with silence either side.
    void recordTone(int toneMs) {
        QElapsedTimer clock;
        clock.start();
        ASSERT_EQ(recorder.startRecording(path), VoiceRecorder::Start::Started);
        std::cout << "[measure] startRecording() returned after " << clock.elapsed() << " ms"
                  << std::endl;
        ASSERT_TRUE(recorder.isRecording());
        EXPECT_FALSE(recorder.hasRecording());
        runFor(300);
        Tone tone(toneMs);
        tone.play();
        ASSERT_TRUE(runUntil([&] { return tone.done(); }, toneMs + 5000));
        // The capture source lags the sink by its buffers.
        runFor(500);
        recorder.stopRecording();
        EXPECT_FALSE(recorder.isRecording());
        ASSERT_TRUE(recorder.hasRecording());
    }

    PcmClip readRecording() {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_GE(bytes.size(), 44);
        if (bytes.size() >= 44) {
            EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 40), bytes.size() - 44)
                << "the header counts every sample";
            EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 4), bytes.size() - 8);
        }
        const auto decoded = decodeWav(bytes);
        if (!std::holds_alternative<PcmClip>(decoded)) {
            ADD_FAILURE() << "the recording does not decode";
            return {};
        }
        return std::get<PcmClip>(decoded);
    }

    QTemporaryDir dir;
    QString path;
    QtVoiceRecorder recorder;
    int finished = 0;
};

TEST_F(RecorderE2E, RecordsTheToneAndPlaysItBackToTheEndOnce) {
    recordTone(1000);
    const QString serverDefault = pactl({QStringLiteral("get-default-source")});
    EXPECT_EQ(serverDefault, QStringLiteral("orvessa_capture"));
    EXPECT_EQ(recorder.inputDeviceId(), serverDefault);

    const PcmClip clip = readRecording();
    EXPECT_EQ(clip.channels, 1);
    EXPECT_EQ(clip.sampleRate, recorder.recordingFormat().sampleRate());
    ASSERT_GT(clip.sampleRate, 0);
    const double seconds = double(clip.frames()) / clip.sampleRate;
    const double sound = soundSeconds(clip);
    std::cout << "[measure] recording " << seconds << " s at " << clip.sampleRate << " Hz, "
              << sound << " s of it sounding" << std::endl;
    EXPECT_NEAR(sound, 1.0, 0.2);
    EXPECT_GT(seconds, 1.2);

    SoundCapture capture;
    ASSERT_TRUE(capture.start());
    const qsizetype before = capture.mark();
    QElapsedTimer clock;
    clock.start();
    recorder.playFromStart();
    EXPECT_TRUE(recorder.isPlaying());
    ASSERT_TRUE(runUntil([&] { return finished > 0; }, int(seconds * 1000) + 3000))
        << "playbackFinished never came";
    const qint64 tookMs = clock.elapsed();
    EXPECT_FALSE(recorder.isPlaying());
    EXPECT_GT(tookMs, seconds * 1000 - 300) << "finished before the recording could have played";
    runFor(500);
    capture.stop();
    EXPECT_EQ(finished, 1);
    EXPECT_NEAR(capture.soundSeconds(before), 1.0, 0.25) << "the tone is heard again";
    EXPECT_EQ(capture.firstSoundHz(before), 400) << "rounded to 100 Hz";
    std::cout << "[measure] played back in " << tookMs << " ms" << std::endl;
}

// The shape is applied to what is played: louder by its gain, shorter by its skip, and the
// position runs from the skip to the end.
TEST_F(RecorderE2E, AShapedPlaybackIsLouderAndStartsLater) {
    recordTone(600);
    const PcmClip clip = readRecording();
    ASSERT_GT(clip.sampleRate, 0);
    const double seconds = double(clip.frames()) / clip.sampleRate;
    float recordedPeak = 0;
    for (float s : clip.samples)
        recordedPeak = std::max(recordedPeak, std::abs(s));

    const PlaybackShape shape{1.5, 400};
    recorder.setPlaybackShape(shape);
    SoundCapture capture;
    ASSERT_TRUE(capture.start());
    const qsizetype before = capture.mark();
    QElapsedTimer clock;
    clock.start();
    recorder.playFromStart();
    std::vector<qint64> positions;
    ASSERT_TRUE(runUntil(
        [&] {
            if (recorder.isPlaying())
                positions.push_back(recorder.playbackPositionMs());
            return finished > 0;
        },
        int(seconds * 1000) + 3000));
    const qint64 tookMs = clock.elapsed();
    runFor(300);
    capture.stop();
    std::cout << "[measure] shaped playback of " << seconds << " s took " << tookMs
              << " ms, last position " << positions.back() << " ms" << std::endl;
    EXPECT_LT(tookMs, seconds * 1000 - shape.skipMs + 400) << "the skip is not played";
    EXPECT_GT(tookMs, seconds * 1000 - shape.skipMs - 300);

    ASSERT_FALSE(positions.empty());
    EXPECT_GE(positions.front(), shape.skipMs);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_GT(positions.back(), seconds * 1000 - 300);
    EXPECT_LE(positions.back(), seconds * 1000 + 1);
    EXPECT_EQ(recorder.playbackPositionMs(), -1);

    qint16 playedPeak = 0;
    for (qsizetype i = before; i < capture.samples().size(); ++i)
        playedPeak = std::max<qint16>(playedPeak, qint16(std::abs(capture.samples()[i])));
    EXPECT_NEAR(playedPeak / 32768.0 / recordedPeak, shape.gain, 0.15);
}

TEST_F(RecorderE2E, StopAndRestartNeverCountAsTheEnd) {
    recordTone(300);
    recorder.playFromStart();
    runFor(300);
    recorder.playFromStart();
    EXPECT_TRUE(recorder.isPlaying());
    runFor(300);
    recorder.stopPlayback();
    EXPECT_FALSE(recorder.isPlaying());
    runFor(2500);
    EXPECT_EQ(finished, 0);

    recorder.playFromStart();
    ASSERT_TRUE(runUntil([&] { return finished > 0; }, 6000));
    runFor(300);
    EXPECT_EQ(finished, 1);

    // A new recording drops the old one and silences its playback first.
    recorder.playFromStart();
    ASSERT_EQ(recorder.startRecording(path), VoiceRecorder::Start::Started);
    EXPECT_FALSE(recorder.isPlaying());
    EXPECT_FALSE(recorder.hasRecording());
    recorder.playFromStart();
    EXPECT_FALSE(recorder.isPlaying()) << "nothing to play while recording";
    recorder.stopRecording();
    runFor(300);
    EXPECT_EQ(finished, 1);
}

// Qt takes the first capture device as the default; the recorder must follow the server even
// when the server's choice is not that one.
TEST_F(RecorderE2E, FollowsTheServersDefaultSource) {
    const QString module =
        pactl({QStringLiteral("load-module"), QStringLiteral("module-null-source"),
               QStringLiteral("source_name=orvessa_decoy")});
    ASSERT_FALSE(module.isEmpty());
    struct Restore {
        QString module;
        ~Restore() {
            pactl({QStringLiteral("set-default-source"), QStringLiteral("orvessa_capture")});
            pactl({QStringLiteral("unload-module"), module});
        }
    } restore{module};
    const auto listed = [](const char *id) {
        const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
        return std::any_of(inputs.begin(), inputs.end(),
                           [&](const QAudioDevice &d) { return d.id() == id; });
    };
    ASSERT_TRUE(runUntil([&] { return listed("orvessa_decoy"); }, 5000));

    // Prepared, the recorder knows the default before the press and hears of its changes.
    recorder.prepare();
    for (const char *source : {"orvessa_decoy", "orvessa_capture"}) {
        pactl({QStringLiteral("set-default-source"), QString::fromLatin1(source)});
        ASSERT_EQ(QtVoiceRecorder::serverDefaultSource(), QString::fromLatin1(source));
        runFor(300); // no learner picks a microphone and presses 录音 quicker
        std::cout << "[measure] server default " << source << ", Qt's own default "
                  << QMediaDevices::defaultAudioInput().id().constData() << std::endl;
        QElapsedTimer clock;
        clock.start();
        ASSERT_EQ(recorder.startRecording(path), VoiceRecorder::Start::Started);
        std::cout << "[measure] prepared startRecording() returned after " << clock.elapsed()
                  << " ms" << std::endl;
        EXPECT_EQ(recorder.inputDeviceId(), QString::fromLatin1(source))
            << "Qt's default is " << QMediaDevices::defaultAudioInput().id().constData();
        runFor(100);
        recorder.stopRecording();
        EXPECT_TRUE(recorder.hasRecording());
    }
}

// A FIFO in the file's place would take the take, or block the window in its first write.
TEST_F(RecorderE2E, AFileThatCannotBeWrittenIsReported) {
    const QString fifo = dir.filePath(QStringLiteral("fifo.wav"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString folder = dir.filePath(QStringLiteral("folder.wav"));
    ASSERT_TRUE(QDir().mkdir(folder));
    for (const QString &path :
         {dir.filePath(QStringLiteral("no/such/dir/voice.wav")), fifo, folder}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(recorder.startRecording(path), VoiceRecorder::Start::FileNotWritable);
        EXPECT_FALSE(recorder.isRecording());
        EXPECT_FALSE(recorder.hasRecording());
        recorder.playFromStart();
        EXPECT_FALSE(recorder.isPlaying());
    }
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

// The file a recording is for keeps what it held until a take is made: a start, a recording
// under way and a stop with nothing recorded leave it as it was; a take replaces it whole,
// and nothing else is left beside it.
TEST_F(RecorderE2E, TheFileIsReplacedOnlyByATake) {
    const QByteArray shipped = QByteArray("RIFF") + QByteArray(400, 'x');
    const auto contents = [this] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    };
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(shipped);
    }
    ASSERT_EQ(recorder.startRecording(path), VoiceRecorder::Start::Started);
    EXPECT_EQ(contents(), shipped) << "recording goes elsewhere";
    // Stopped before the device delivered anything: no take.
    EXPECT_EQ(recorder.stopRecording(), VoiceRecorder::Take::Empty);
    EXPECT_FALSE(recorder.hasRecording());
    EXPECT_EQ(recorder.playFromStart(), VoiceRecorder::Play::NoRecording);
    EXPECT_EQ(contents(), shipped);

    ASSERT_EQ(recorder.startRecording(path), VoiceRecorder::Start::Started);
    runFor(800);
    EXPECT_EQ(contents(), shipped);
    EXPECT_EQ(recorder.stopRecording(), VoiceRecorder::Take::Made);
    EXPECT_NE(contents(), shipped);
    const PcmClip clip = readRecording();
    EXPECT_GT(clip.frames(), clip.sampleRate / 2);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("voice.wav")});
    EXPECT_EQ(recorder.stopRecording(), VoiceRecorder::Take::NotRecording);
}

// The level of what the microphone hears comes in while recording and while a level check
// runs, and falls to rest when neither does.
TEST_F(RecorderE2E, ReportsTheInputLevel) {
    std::vector<double> levels;
    QObject::connect(&recorder, &VoiceRecorder::inputLevel,
                     [&](double peak, bool) { levels.push_back(peak); });
    QElapsedTimer watched;
    watched.start();
    ASSERT_EQ(recorder.watchInputLevel(1500), VoiceRecorder::Start::Started);
    Tone tone(600);
    tone.play();
    ASSERT_TRUE(runUntil([&] { return tone.done(); }, 5000));
    runFor(400);
    ASSERT_FALSE(levels.empty());
    const double loudest = *std::max_element(levels.begin(), levels.end());
    std::cout << "[measure] level check: " << levels.size() << " reports, loudest " << loudest
              << " (the tone is at 0.49)" << std::endl;
    EXPECT_NEAR(loudest, 16000 / 32767.0, 0.1);
    // Silence reads 0 too; the check's end is known by what follows it: nothing.
    runFor(
        int(std::max<qint64>(0, 1500 + 2 * QtVoiceRecorder::levelIntervalMs - watched.elapsed())));
    EXPECT_EQ(levels.back(), 0) << "the check ends at rest";
    const size_t atRest = levels.size();
    runFor(300);
    EXPECT_EQ(levels.size(), atRest) << "nothing more once the check is over";

    recordTone(400);
    EXPECT_GT(*std::max_element(levels.begin() + qsizetype(atRest), levels.end()), 0.3)
        << "the recording reports the tone";
    EXPECT_EQ(levels.back(), 0);
}

} // namespace
