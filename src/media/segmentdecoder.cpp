#include "segmentdecoder.h"

#include "ffmpegholders.h"
#include "ffmpeglog.h"
#include "files/filebytes.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
}

struct SegmentDecoder::Shared {
    QMutex mutex;
    SegmentDecoder *owner = nullptr; // null once the decoder is going away
    std::atomic_bool closing{false};
};

namespace {

// How far before Start each seek lands. The first is enough for every decoder's warm-up (an
// MP3 frame borrows bits from the frames before it); the later ones are for demuxers whose
// seeks land late. The last one decodes from the beginning.
constexpr std::array<double, 3> seekLeads{0.5, 5.0, 60.0};
// Packets in a row the decoder may refuse before the file counts as broken: a damaged
// stretch in a good file is skipped, a file of noise is not decoded for ever.
constexpr int maxRefusedPackets = 200;

struct Stop {
    QDeadlineTimer deadline;
    const std::atomic_bool *cancel = nullptr;
    bool refused = false; // the caller's progress callback asked to stop
    bool now() const { return refused || (cancel && cancel->load()) || deadline.hasExpired(); }
};

int interrupted(void *opaque) {
    return static_cast<const Stop *>(opaque)->now() ? 1 : 0;
}

// Turns decoded frames into mono at the given rate and keeps the output samples that fall in the
// stretch. Output sample n (counted from the first frame after a seek) sounds at
// origin + n / rate, origin being that frame's time; the resampler keeps its output aligned
// to its input, so counting is exact where frame timestamps would jitter.
// Float samples in -1..1, or (int16 true) 16-bit samples, which halve what a long recording
// takes.
class Collector {
public:
    Collector(double startSec, double endSec, bool int16)
        : m_start(startSec), m_end(endSec), m_int16(int16) {}

    void setRate(int rate) { m_rate = rate; }
    int rate() const { return m_rate; }

    // Forgets what came before a new seek.
    void restart() {
        m_resampler.reset();
        m_hasOrigin = false;
        m_produced = 0;
        m_clip.clear();
        m_pcm.clear();
    }

    bool hasOrigin() const { return m_hasOrigin; }
    bool full() const { return m_hasOrigin && m_produced >= m_last; }
    std::vector<float> take() { return std::move(m_clip); }
    std::vector<qint16> takePcm() { return std::move(m_pcm); }
    long long produced() const { return m_produced; }
    size_t collected() const { return m_int16 ? m_pcm.size() : m_clip.size(); }

    void setOrigin(double seconds) {
        m_hasOrigin = true;
        const int rate = m_rate;
        m_first = std::llround((m_start - seconds) * rate);
        m_last = m_first + std::llround((m_end - m_start) * rate);
        // A stream that starts after Start: the clip still begins at Start, in silence.
        const size_t lead = size_t(std::max(0LL, std::min(-m_first, m_last - m_first)));
        // Room grows with what is decoded, from what the header claims (pages reserved but
        // never written take no memory, so a header that lies costs nothing).
        const size_t room = size_t(std::min(m_last - m_first, std::max(m_expected, 30LL * rate)));
        if (m_int16) {
            m_pcm.assign(lead, 0);
            m_pcm.reserve(room);
        } else {
            m_clip.assign(lead, 0.0f);
            m_clip.reserve(room);
        }
    }

    // Samples the header says the stream holds (0: unknown), to reserve room for them.
    void expect(long long samples) { m_expected = samples; }

    // False when the frame's format cannot be converted.
    bool add(const AVFrame *frame) {
        if (!m_resampler || !sameInput(frame)) {
            if (!openResampler(frame))
                return false;
        }
        const int room = swr_get_out_samples(m_resampler.get(), frame->nb_samples);
        if (room < 0)
            return false;
        return convert(const_cast<const uint8_t **>(frame->extended_data), frame->nb_samples, room);
    }

    // What the resampler still holds at the end of the stream.
    void flush() {
        if (!m_resampler)
            return;
        const int room = swr_get_out_samples(m_resampler.get(), 0);
        if (room > 0)
            convert(nullptr, 0, room);
    }

private:
    bool sameInput(const AVFrame *frame) const {
        return frame->format == m_inFormat && frame->sample_rate == m_inRate &&
               frame->ch_layout.nb_channels == m_inChannels;
    }

    bool openResampler(const AVFrame *frame) {
        m_resampler.reset();
        const int channels = frame->ch_layout.nb_channels;
        if (channels < 1 || frame->sample_rate < 1)
            return false;
        AVChannelLayout in{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&in, channels);
        else if (av_channel_layout_copy(&in, &frame->ch_layout) < 0)
            return false;
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        SwrContext *raw = nullptr;
        int rc = swr_alloc_set_opts2(&raw, &mono, m_int16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_FLT,
                                     m_rate, &in, AVSampleFormat(frame->format), frame->sample_rate,
                                     0, nullptr);
        av_channel_layout_uninit(&in);
        ResamplerPtr resampler(raw);
        if (rc < 0 || !resampler)
            return false;
        if (channels == 2) {
            // The plain average: a mono lesson stored as two equal channels measures as the
            // mono it is, rather than 3 dB louder as the default down-mix would make it.
            const double half[2] = {0.5, 0.5};
            if (swr_set_matrix(resampler.get(), half, 2) < 0)
                return false;
        }
        if (swr_init(resampler.get()) < 0)
            return false;
        m_resampler = std::move(resampler);
        m_inFormat = frame->format;
        m_inRate = frame->sample_rate;
        m_inChannels = channels;
        return true;
    }

    bool convert(const uint8_t **input, int inputSamples, int room) {
        m_buffer.resize(size_t(std::max(room, 1)));
        uint8_t *out = reinterpret_cast<uint8_t *>(m_buffer.data());
        const int got = swr_convert(m_resampler.get(), &out, room, input, inputSamples);
        if (got < 0)
            return false;
        const auto *pcm = reinterpret_cast<const qint16 *>(m_buffer.data());
        for (int i = 0; i < got && m_produced < m_last; ++i, ++m_produced) {
            if (m_produced < m_first)
                continue;
            if (m_int16)
                m_pcm.push_back(pcm[i]);
            else
                m_clip.push_back(std::clamp(m_buffer[size_t(i)], -1.0f, 1.0f));
        }
        return true;
    }

    double m_start;
    double m_end;
    bool m_int16;
    long long m_expected = 0;
    int m_rate = SegmentDecoder::sampleRate;
    ResamplerPtr m_resampler;
    int m_inFormat = -1;
    int m_inRate = 0;
    int m_inChannels = 0;
    bool m_hasOrigin = false;
    long long m_first = 0;
    long long m_last = 0;
    long long m_produced = 0;
    std::vector<float> m_buffer; // either sample type fits: a float is wider than an int16
    std::vector<float> m_clip;
    std::vector<qint16> m_pcm;
};

class StretchDecoder {
public:
    // outputRate 0: the audio stream's own rate.
    StretchDecoder(const QString &path, double startSec, double endSec,
                   const std::atomic_bool *cancel, int outputRate = SegmentDecoder::sampleRate,
                   bool int16 = false)
        : m_path(path), m_start(startSec), m_end(endSec), m_outputRate(outputRate),
          m_collector(startSec, endSec, int16) {
        m_stop.deadline = QDeadlineTimer(SegmentDecoder::timeLimitMs);
        m_stop.cancel = cancel;
    }

    // A whole recording, however long it takes: the caller's progress decides when to stop.
    void setProgress(SegmentDecoder::Progress progress) {
        m_progress = std::move(progress);
        m_stop.deadline = QDeadlineTimer(QDeadlineTimer::Forever);
    }

    SpeechTrack runPcm() {
        SpeechTrack track;
        const AudioClip clip = run(&track.error);
        track.cancelled = m_stop.refused;
        if (track.cancelled) {
            track.error = QStringLiteral("%1: cancelled").arg(m_path);
            return track;
        }
        if (!track.error.isEmpty())
            return track;
        track.samples = m_collector.takePcm();
        if (m_collector.full()) {
            track.samples = {};
            track.error = QStringLiteral("%1: the audio is longer than %2 hours")
                              .arg(m_path)
                              .arg(SegmentDecoder::maxTrackSeconds / 3600);
        } else if (track.samples.empty()) {
            track.error = QStringLiteral("%1: no audio could be decoded").arg(m_path);
        }
        if (!track.error.isEmpty())
            return track;
        if (m_progress)
            m_progress(1.0);
        return track;
    }

    AudioClip run(QString *error) {
        const FfmpegLogScope log;
        AudioClip clip;
        if (!open()) {
            if (error)
                *error = log.explained(m_error);
            return clip;
        }
        // Seek before Start, and further before it whenever the stream turns out to begin
        // after Start there; from the file's beginning when Start is near it.
        bool decodedOk = false;
        bool nothing = true;
        for (size_t attempt = 0; attempt <= seekLeads.size(); ++attempt) {
            const bool last = attempt == seekLeads.size() || m_start <= seekLeads[attempt];
            const bool positioned = seekTo(last ? 0.0 : m_start - seekLeads[attempt], attempt > 0);
            if (!positioned && !last)
                continue;
            const Outcome outcome = decodeStretch(last);
            if (outcome == Outcome::Decoded) {
                decodedOk = true;
                break;
            }
            if (outcome == Outcome::Failed || last)
                break;
        }
        if (decodedOk) {
            nothing = m_collector.collected() == 0;
            clip.samples = m_collector.take();
            if (nothing)
                m_error = QStringLiteral("%1: nothing to decode between %2 s and %3 s")
                              .arg(m_path)
                              .arg(m_start)
                              .arg(m_end);
            clip.sampleRate = m_collector.rate();
        }
        if (nothing && error)
            *error = log.explained(m_error.isEmpty() ? QStringLiteral("cannot decode") : m_error);
        return clip;
    }

private:
    enum class Outcome { Decoded, StartedLate, Failed };

    bool fail(const QString &why) {
        m_error = why;
        return false;
    }

    bool open() {
        if (const FileKind kind = fileKind(m_path); kind != FileKind::Regular)
            return fail(m_path + QStringLiteral(": ") + fileKindProblem(kind));
        const QFileInfo info(m_path);

        AVFormatContext *raw = avformat_alloc_context();
        if (!raw)
            return fail(QStringLiteral("out of memory"));
        raw->interrupt_callback = {interrupted, &m_stop};
        // "file:" keeps a name with a colon from being taken for a protocol, and the list
        // keeps a playlist-like file from making FFmpeg open anything but local files.
        AVDictionary *options = nullptr;
        av_dict_set(&options, "protocol_whitelist", "file", 0);
        const QByteArray url = "file:" + QFile::encodeName(info.absoluteFilePath());
        int rc = avformat_open_input(&raw, url.constData(), nullptr, &options);
        av_dict_free(&options);
        if (rc < 0) // the context is freed on failure
            return fail(QStringLiteral("%1: not an audio file FFmpeg reads (%2)")
                            .arg(m_path, ffmpegError(rc)));
        m_format.reset(raw);
        rc = avformat_find_stream_info(raw, nullptr);
        if (rc < 0)
            return fail(QStringLiteral("%1: %2").arg(m_path, ffmpegError(rc)));

        const AVCodec *codec = nullptr;
        m_streamIndex = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (m_streamIndex < 0 || !codec)
            return fail(QStringLiteral("%1: no audio stream that can be decoded").arg(m_path));
        for (unsigned i = 0; i < raw->nb_streams; ++i) {
            if (int(i) != m_streamIndex)
                raw->streams[i]->discard = AVDISCARD_ALL;
        }
        m_stream = raw->streams[m_streamIndex];
        if (m_stream->time_base.num <= 0 || m_stream->time_base.den <= 0)
            return fail(QStringLiteral("%1: the audio has no time base").arg(m_path));
        // The lesson player counts time from the stream's first sample.
        m_startTs = m_stream->start_time != AV_NOPTS_VALUE ? m_stream->start_time : 0;

        m_codec.reset(avcodec_alloc_context3(codec));
        if (!m_codec || avcodec_parameters_to_context(m_codec.get(), m_stream->codecpar) < 0)
            return fail(QStringLiteral("out of memory"));
        m_codec->pkt_timebase = m_stream->time_base;
        m_codec->thread_count = 1;
        rc = avcodec_open2(m_codec.get(), codec, nullptr);
        if (rc < 0)
            return fail(QStringLiteral("%1: %2").arg(m_path, ffmpegError(rc)));
        const int rate = m_outputRate > 0 ? m_outputRate : m_codec->sample_rate;
        if (rate <= 0)
            return fail(QStringLiteral("%1: the audio has no sample rate").arg(m_path));
        m_collector.setRate(rate);
        if (m_stream->duration > 0)
            m_collector.expect(
                std::llround(double(m_stream->duration) * av_q2d(m_stream->time_base) * rate) +
                rate);
        m_packet.reset(av_packet_alloc());
        m_frame.reset(av_frame_alloc());
        if (!m_packet || !m_frame)
            return fail(QStringLiteral("out of memory"));
        return true;
    }

    double secondsOf(int64_t ts) const {
        return double(ts - m_startTs) * av_q2d(m_stream->time_base);
    }

    // Positions the demuxer at or before the given time; false when it cannot seek (the
    // decoding then goes on from where the demuxer is).
    bool seekTo(double seconds, bool again) {
        m_collector.restart();
        if (again || seconds > 0) {
            const int64_t ts =
                m_startTs + int64_t(std::floor(seconds / av_q2d(m_stream->time_base)));
            if (av_seek_frame(m_format.get(), m_streamIndex, ts, AVSEEK_FLAG_BACKWARD) < 0)
                return false;
            avcodec_flush_buffers(m_codec.get());
        }
        return true;
    }

    // Decodes from the demuxer's position until the stretch is complete or the stream ends.
    Outcome decodeStretch(bool fromBeginning) {
        int refused = 0;
        bool ended = false;
        while (!ended && !m_collector.full()) {
            if (m_progress && !reportProgress()) {
                m_stop.refused = true;
                m_error = QStringLiteral("%1: cancelled").arg(m_path);
                return Outcome::Failed;
            }
            if (m_stop.now()) {
                m_error = QStringLiteral("%1: decoding took too long or was cancelled").arg(m_path);
                return Outcome::Failed;
            }
            const int rc = av_read_frame(m_format.get(), m_packet.get());
            if (rc == AVERROR_EXIT) {
                m_error = QStringLiteral("%1: decoding took too long or was cancelled").arg(m_path);
                return Outcome::Failed;
            }
            if (rc < 0) {
                // The end, or damage the demuxer cannot get past: drain what is decoded.
                ended = true;
                avcodec_send_packet(m_codec.get(), nullptr);
            } else if (m_packet->stream_index != m_streamIndex) {
                av_packet_unref(m_packet.get());
                continue;
            } else {
                int sent = avcodec_send_packet(m_codec.get(), m_packet.get());
                if (sent == AVERROR(EAGAIN)) {
                    if (const auto outcome = receive(fromBeginning); outcome)
                        return *outcome;
                    sent = avcodec_send_packet(m_codec.get(), m_packet.get());
                }
                av_packet_unref(m_packet.get());
                if (sent < 0 && sent != AVERROR(EAGAIN)) {
                    if (++refused > maxRefusedPackets) {
                        m_error = QStringLiteral("%1: the audio data is broken (%2)")
                                      .arg(m_path, ffmpegError(sent));
                        return Outcome::Failed;
                    }
                    continue;
                }
                refused = 0;
            }
            if (const auto outcome = receive(fromBeginning); outcome)
                return *outcome;
        }
        if (ended)
            m_collector.flush();
        if (!m_collector.hasOrigin()) {
            // Nothing after the seek: it may have gone past the end.
            if (!fromBeginning)
                return Outcome::StartedLate;
            m_error = QStringLiteral("%1: no audio could be decoded").arg(m_path);
            return Outcome::Failed;
        }
        return Outcome::Decoded;
    }

    // Tells the caller how far the decoding is, about every ten seconds of audio; false when
    // it asked to stop. The fraction is of the stream's stated length, else of the file's bytes.
    bool reportProgress() {
        const long long produced = m_collector.produced();
        if (produced < m_nextReport)
            return true;
        m_nextReport = produced + 10LL * m_collector.rate();
        double fraction = 0;
        if (m_stream->duration > 0) {
            fraction = double(produced) / m_collector.rate() /
                       (double(m_stream->duration) * av_q2d(m_stream->time_base));
        } else if (AVIOContext *io = m_format->pb) {
            const int64_t size = avio_size(io);
            if (size > 0)
                fraction = double(avio_tell(io)) / double(size);
        }
        return m_progress(std::clamp(fraction, 0.0, 0.99));
    }

    // Takes every frame the decoder has ready; an outcome when the decoding must end here.
    std::optional<Outcome> receive(bool fromBeginning) {
        while (!m_collector.full()) {
            const int rc = avcodec_receive_frame(m_codec.get(), m_frame.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
                return std::nullopt;
            if (rc < 0) // a frame the decoder gave up on; the next packet may do
                return std::nullopt;
            if (!m_collector.hasOrigin()) {
                const int64_t ts = m_frame->best_effort_timestamp;
                if (ts == AV_NOPTS_VALUE && !fromBeginning) {
                    m_error = QStringLiteral("%1: the audio has no timestamps").arg(m_path);
                    av_frame_unref(m_frame.get());
                    return Outcome::Failed;
                }
                const double origin = ts == AV_NOPTS_VALUE ? 0.0 : secondsOf(ts);
                // Landed after Start: seek further back, unless this is the beginning.
                if (!fromBeginning && origin > m_start + 0.5 / m_collector.rate()) {
                    av_frame_unref(m_frame.get());
                    return Outcome::StartedLate;
                }
                m_collector.setOrigin(origin);
            }
            const bool added = m_collector.add(m_frame.get());
            av_frame_unref(m_frame.get());
            if (!added) {
                m_error =
                    QStringLiteral("%1: the audio's sample format cannot be converted").arg(m_path);
                return Outcome::Failed;
            }
        }
        return std::nullopt;
    }

    QString m_path;
    double m_start;
    double m_end;
    int m_outputRate;
    SegmentDecoder::Progress m_progress;
    long long m_nextReport = 0;
    Stop m_stop;
    Collector m_collector;
    QString m_error;
    FormatPtr m_format;
    CodecPtr m_codec;
    PacketPtr m_packet;
    FramePtr m_frame;
    AVStream *m_stream = nullptr;
    int m_streamIndex = -1;
    int64_t m_startTs = 0;
};

AudioClip decodeSegment(const QString &path, double startSec, double endSec,
                        const std::atomic_bool *cancel, QString *error) {
    if (!std::isfinite(startSec) || !std::isfinite(endSec) || endSec <= startSec || endSec <= 0) {
        if (error)
            *error = QStringLiteral("empty stretch %1 s to %2 s").arg(startSec).arg(endSec);
        return {};
    }
    startSec = std::max(startSec, 0.0);
    endSec = std::min(endSec, startSec + SegmentDecoder::maxStretchSeconds);
    return StretchDecoder(path, startSec, endSec, cancel).run(error);
}

} // namespace

SegmentDecoder::SegmentDecoder(QObject *parent)
    : QObject(parent), m_shared(std::make_shared<Shared>()) {
    m_shared->owner = this;
    // One at a time: the page asks for a sentence or two, and the other core plays the lesson.
    m_pool.setMaxThreadCount(1);
}

SegmentDecoder::~SegmentDecoder() {
    m_shared->closing = true;
    {
        QMutexLocker lock(&m_shared->mutex);
        m_shared->owner = nullptr;
    }
    m_pool.clear();
    m_pool.waitForDone();
}

quint64 SegmentDecoder::decode(const QString &path, double startSec, double endSec) {
    const quint64 ticket = ++m_lastTicket;
    m_pool.start([shared = m_shared, ticket, path, startSec, endSec] {
        AudioClip clip = decodeSegment(path, startSec, endSec, &shared->closing, nullptr);
        // Under the lock the owner cannot be half destroyed; a call posted to it is dropped
        // with it if it goes before the call is delivered.
        QMutexLocker lock(&shared->mutex);
        if (SegmentDecoder *owner = shared->owner) {
            QMetaObject::invokeMethod(
                owner,
                [owner, ticket, clip = std::move(clip)] { Q_EMIT owner->decoded(ticket, clip); },
                Qt::QueuedConnection);
        }
    });
    return ticket;
}

AudioClip SegmentDecoder::decodeNow(const QString &path, double startSec, double endSec,
                                    QString *error) {
    return decodeSegment(path, startSec, endSec, nullptr, error);
}

AudioClip SegmentDecoder::decodeWholeNow(const QString &path, QString *error) {
    return StretchDecoder(path, 0, maxStretchSeconds, nullptr, 0).run(error);
}

SpeechTrack SegmentDecoder::decodeTrack(const QString &path, const Progress &progress) {
    StretchDecoder decoder(path, 0, maxTrackSeconds, nullptr, sampleRate, true);
    decoder.setProgress(progress ? progress : Progress([](double) { return true; }));
    return decoder.runPcm();
}
