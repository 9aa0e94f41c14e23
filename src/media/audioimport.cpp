#include "audioimport.h"

#include "ffmpegholders.h"
#include "ffmpeglog.h"
#include "files/filebytes.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

namespace {

// Packets in a row the decoder may refuse before the file counts as broken.
constexpr int maxRefusedPackets = 200;
constexpr int fallbackRate = 44100;
// A longer gap after a damaged stretch is taken for broken times, not for lost audio.
constexpr int maxFilledGapSeconds = 60;
// Constant bit rate, so that a player's seek to a sentence lands where it should; the same
// quality per channel for mono and stereo.
constexpr int64_t bitsPerSecondPerChannel = 64000;

const QString stoppedError = QStringLiteral("stopped");

struct OutputCloser {
    void operator()(AVFormatContext *c) const {
        if (c->pb)
            avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
struct FifoFreer {
    void operator()(AVAudioFifo *f) const { av_audio_fifo_free(f); }
};
using OutputPtr = std::unique_ptr<AVFormatContext, OutputCloser>;
using FifoPtr = std::unique_ptr<AVAudioFifo, FifoFreer>;

// "file:" keeps a name with a colon from being taken for a protocol.
QByteArray fileUrl(const QString &path) {
    return "file:" + QFile::encodeName(QFileInfo(path).absoluteFilePath());
}

// An opened file and its audio stream, or why there is none.
struct Input {
    FormatPtr format;
    AVStream *stream = nullptr;
    const AVCodec *decoder = nullptr;
    QString error;
};

Input openInput(const QString &path) {
    Input input;
    if (const FileKind kind = fileKind(path); kind != FileKind::Regular) {
        input.error = path + QStringLiteral(": ") + fileKindProblem(kind);
        return input;
    }
    AVFormatContext *raw = nullptr;
    // The list keeps a playlist-like file from making FFmpeg open anything but local files.
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    int rc = avformat_open_input(&raw, fileUrl(path).constData(), nullptr, &options);
    av_dict_free(&options);
    if (rc < 0) { // the context is freed on failure
        input.error =
            QStringLiteral("%1: not an audio file FFmpeg reads (%2)").arg(path, ffmpegError(rc));
        return input;
    }
    input.format.reset(raw);
    rc = avformat_find_stream_info(raw, nullptr);
    if (rc < 0) {
        input.error = QStringLiteral("%1: %2").arg(path, ffmpegError(rc));
        return input;
    }
    // The first audio stream, not FFmpeg's "best": a film's dubbed sound is as often marked
    // the default as its original, and a learner's player also starts with the first.
    int index = -1;
    bool anyAudio = false;
    for (unsigned i = 0; i < raw->nb_streams && index < 0; ++i) {
        const AVCodecParameters *parameters = raw->streams[i]->codecpar;
        if (parameters->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        anyAudio = true;
        if (const AVCodec *decoder = avcodec_find_decoder(parameters->codec_id)) {
            index = int(i);
            input.decoder = decoder;
        }
    }
    if (!anyAudio) {
        input.error = QStringLiteral("%1: the file holds no sound (no audio stream)").arg(path);
        return input;
    }
    if (index < 0) {
        input.error = QStringLiteral("%1: no audio stream that can be decoded").arg(path);
        return input;
    }
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        if (int(i) != index)
            raw->streams[i]->discard = AVDISCARD_ALL;
    }
    input.stream = raw->streams[index];
    return input;
}

double knownSeconds(const Input &input);

// How far through its file a conversion is, told to the caller's progress every so often
// (a call per packet would be thousands a second).
class ProgressTeller {
public:
    ProgressTeller(const Input &input, const ConversionProgress &progress)
        : m_input(input), m_progress(progress), m_seconds(knownSeconds(input)) {
        m_sinceTold.start();
    }

    // False when the caller asks to stop.
    bool tell(const AVPacket *packet) {
        // The first packet is told at once, so that even a short file can be stopped.
        if (!m_progress || (m_told && m_sinceTold.elapsed() < tellEveryMs))
            return true;
        m_told = true;
        m_sinceTold.restart();
        return m_progress(fractionAt(packet));
    }
    bool tellEnd() const { return !m_progress || m_progress(1.0); }

private:
    static constexpr qint64 tellEveryMs = 20;

    // By the packet's time where the length is known, else by the bytes read.
    double fractionAt(const AVPacket *packet) const {
        const AVStream *stream = m_input.stream;
        double fraction = 0;
        if (m_seconds > 0 && packet->pts != AV_NOPTS_VALUE) {
            const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
            fraction = double(packet->pts - start) * av_q2d(stream->time_base) / m_seconds;
        } else if (AVIOContext *io = m_input.format->pb) {
            const int64_t size = avio_size(io);
            fraction = size > 0 ? double(avio_tell(io)) / double(size) : 0;
        }
        return std::clamp(fraction, 0.0, 1.0);
    }

    const Input &m_input;
    const ConversionProgress &m_progress;
    const double m_seconds;
    QElapsedTimer m_sinceTold;
    bool m_told = false;
};

// Decodes the whole audio stream, giving each frame to take, which returns an error or
// nothing. A damaged stretch is skipped; an error when nothing could be decoded, and
// stoppedError when progress asks to stop.
QString decodeAll(Input &input, const QString &path,
                  const std::function<QString(const AVFrame *)> &take,
                  const ConversionProgress &progress = {}) {
    CodecPtr codec(avcodec_alloc_context3(input.decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), input.stream->codecpar) < 0)
        return QStringLiteral("out of memory");
    codec->pkt_timebase = input.stream->time_base;
    int rc = avcodec_open2(codec.get(), input.decoder, nullptr);
    if (rc < 0)
        return QStringLiteral("%1: %2").arg(path, ffmpegError(rc));
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame)
        return QStringLiteral("out of memory");

    bool decodedAny = false;
    const auto receive = [&]() -> QString {
        // EAGAIN and EOF: nothing more for now; another failure: a frame the decoder gave
        // up on, the next packet may do.
        while (avcodec_receive_frame(codec.get(), frame.get()) >= 0) {
            decodedAny = true;
            const QString error = take(frame.get());
            av_frame_unref(frame.get());
            if (!error.isEmpty())
                return error;
        }
        return {};
    };
    ProgressTeller teller(input, progress);
    int refused = 0;
    for (bool ended = false; !ended;) {
        rc = av_read_frame(input.format.get(), packet.get());
        if (rc < 0) {
            // The end, or damage the demuxer cannot get past: drain what is decoded.
            ended = true;
            avcodec_send_packet(codec.get(), nullptr);
        } else if (packet->stream_index != input.stream->index) {
            av_packet_unref(packet.get());
            continue;
        } else {
            if (!teller.tell(packet.get())) {
                av_packet_unref(packet.get());
                return stoppedError;
            }
            int sent = avcodec_send_packet(codec.get(), packet.get());
            if (sent == AVERROR(EAGAIN)) {
                if (const QString error = receive(); !error.isEmpty())
                    return error;
                sent = avcodec_send_packet(codec.get(), packet.get());
            }
            av_packet_unref(packet.get());
            if (sent < 0 && sent != AVERROR(EAGAIN)) {
                if (++refused > maxRefusedPackets)
                    return QStringLiteral("%1: the audio data is broken (%2)")
                        .arg(path, ffmpegError(sent));
                continue;
            }
            refused = 0;
        }
        if (const QString error = receive(); !error.isEmpty())
            return error;
    }
    if (!decodedAny)
        return QStringLiteral("%1: no audio could be decoded").arg(path);
    if (!teller.tellEnd())
        return stoppedError;
    return {};
}

double knownSeconds(const Input &input) {
    const AVStream *stream = input.stream;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0 && stream->time_base.num > 0 &&
        stream->time_base.den > 0)
        return double(stream->duration) * av_q2d(stream->time_base);
    if (input.format->duration != AV_NOPTS_VALUE && input.format->duration > 0)
        return double(input.format->duration) / AV_TIME_BASE;
    return 0;
}

// Resamples decoded frames to what the MP3 encoder takes, cuts them into the encoder's
// frames and writes the packets into an MP3 file.
class Mp3Writer {
public:
    explicit Mp3Writer(QString path) : m_path(std::move(path)) {}

    QString open(int channels, int sourceRate) {
        const AVCodec *encoder = avcodec_find_encoder_by_name("libmp3lame");
        if (!encoder)
            encoder = avcodec_find_encoder(AV_CODEC_ID_MP3);
        if (!encoder)
            return QStringLiteral("this FFmpeg has no MP3 encoder");
        AVFormatContext *raw = nullptr;
        int rc = avformat_alloc_output_context2(&raw, nullptr, "mp3", nullptr);
        if (rc < 0 || !raw)
            return QStringLiteral("this FFmpeg cannot write MP3 files (%1)").arg(ffmpegError(rc));
        m_output.reset(raw);

        m_codec.reset(avcodec_alloc_context3(encoder));
        if (!m_codec)
            return QStringLiteral("out of memory");
        m_codec->sample_fmt = encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_S16P;
        m_codec->sample_rate = rateFor(encoder, sourceRate);
        av_channel_layout_default(&m_codec->ch_layout, channels);
        m_codec->bit_rate = bitsPerSecondPerChannel * channels;
        m_codec->time_base = {1, m_codec->sample_rate};
        rc = avcodec_open2(m_codec.get(), encoder, nullptr);
        if (rc < 0)
            return QStringLiteral("the MP3 encoder refuses %1 Hz, %2 channels (%3)")
                .arg(m_codec->sample_rate)
                .arg(channels)
                .arg(ffmpegError(rc));
        m_frameSize = m_codec->frame_size > 0 ? m_codec->frame_size : 1152;

        m_stream = avformat_new_stream(raw, nullptr);
        if (!m_stream || avcodec_parameters_from_context(m_stream->codecpar, m_codec.get()) < 0)
            return QStringLiteral("out of memory");
        m_stream->time_base = m_codec->time_base;
        m_fifo.reset(av_audio_fifo_alloc(m_codec->sample_fmt, channels, m_frameSize));
        m_packet.reset(av_packet_alloc());
        m_converted.reset(av_frame_alloc());
        if (!m_fifo || !m_packet || !m_converted)
            return QStringLiteral("out of memory");

        rc = avio_open(&raw->pb, fileUrl(m_path).constData(), AVIO_FLAG_WRITE);
        if (rc < 0)
            return QStringLiteral("%1: %2").arg(m_path, ffmpegError(rc));
        rc = avformat_write_header(raw, nullptr);
        if (rc < 0)
            return QStringLiteral("%1: %2").arg(m_path, ffmpegError(rc));
        return {};
    }

    QString add(const AVFrame *frame) {
        if (!m_resampler || !sameInput(frame)) {
            if (const QString error = flushResampler(); !error.isEmpty())
                return error;
            if (const QString error = openResampler(frame); !error.isEmpty())
                return error;
        }
        if (const QString error =
                resample(const_cast<const uint8_t **>(frame->extended_data), frame->nb_samples);
            !error.isEmpty())
            return error;
        return encodeWhole();
    }

    // count samples of silence in like's format, rate and channels.
    QString addSilence(const AVFrame *like, int64_t count) {
        constexpr int chunk = 8192;
        FramePtr silence(av_frame_alloc());
        if (!silence)
            return QStringLiteral("out of memory");
        while (count > 0) {
            av_frame_unref(silence.get());
            silence->format = like->format;
            silence->sample_rate = like->sample_rate;
            silence->nb_samples = int(std::min<int64_t>(count, chunk));
            if (av_channel_layout_copy(&silence->ch_layout, &like->ch_layout) < 0 ||
                av_frame_get_buffer(silence.get(), 0) < 0)
                return QStringLiteral("out of memory");
            av_samples_set_silence(silence->extended_data, 0, silence->nb_samples,
                                   silence->ch_layout.nb_channels, AVSampleFormat(like->format));
            if (const QString error = add(silence.get()); !error.isEmpty())
                return error;
            count -= silence->nb_samples;
        }
        return {};
    }

    // Writes what is still held and closes the file.
    QString finish() {
        if (const QString error = flushResampler(); !error.isEmpty())
            return error;
        if (const QString error = encodeWhole(); !error.isEmpty())
            return error;
        if (const int left = av_audio_fifo_size(m_fifo.get()); left > 0) {
            if (const QString error = encodeFrame(left); !error.isEmpty())
                return error;
        }
        if (const QString error = send(nullptr); !error.isEmpty())
            return error;
        int rc = av_write_trailer(m_output.get());
        if (rc >= 0)
            rc = m_output->pb->error;
        const int closed = avio_closep(&m_output->pb);
        if (rc >= 0)
            rc = closed;
        if (rc < 0)
            return QStringLiteral("%1: %2").arg(m_path, ffmpegError(rc));
        return {};
    }

private:
    static int rateFor(const AVCodec *encoder, int sourceRate) {
        if (!encoder->supported_samplerates)
            return sourceRate > 0 ? sourceRate : fallbackRate;
        for (const int *rate = encoder->supported_samplerates; *rate; ++rate) {
            if (*rate == sourceRate)
                return sourceRate;
        }
        return fallbackRate;
    }

    bool sameInput(const AVFrame *frame) const {
        return frame->format == m_inFormat && frame->sample_rate == m_inRate &&
               frame->ch_layout.nb_channels == m_inChannels;
    }

    QString openResampler(const AVFrame *frame) {
        m_resampler.reset();
        const int channels = frame->ch_layout.nb_channels;
        if (channels < 1 || frame->sample_rate < 1)
            return QStringLiteral("the audio has no channels or no sample rate");
        AVChannelLayout in{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&in, channels);
        else if (av_channel_layout_copy(&in, &frame->ch_layout) < 0)
            return QStringLiteral("out of memory");
        SwrContext *raw = nullptr;
        const int rc = swr_alloc_set_opts2(&raw, &m_codec->ch_layout, m_codec->sample_fmt,
                                           m_codec->sample_rate, &in, AVSampleFormat(frame->format),
                                           frame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&in);
        ResamplerPtr resampler(raw);
        if (rc < 0 || !resampler || swr_init(resampler.get()) < 0)
            return QStringLiteral("the audio's sample format cannot be converted");
        m_resampler = std::move(resampler);
        m_inFormat = frame->format;
        m_inRate = frame->sample_rate;
        m_inChannels = channels;
        return {};
    }

    // Converts input samples (none: what the resampler still holds) into the queue.
    QString resample(const uint8_t **input, int samples) {
        const int room = swr_get_out_samples(m_resampler.get(), samples);
        if (room < 0)
            return QStringLiteral("the audio's sample format cannot be converted");
        if (room == 0)
            return {};
        if (room > m_converted->nb_samples) {
            av_frame_unref(m_converted.get());
            m_converted->format = m_codec->sample_fmt;
            m_converted->sample_rate = m_codec->sample_rate;
            m_converted->nb_samples = room;
            if (av_channel_layout_copy(&m_converted->ch_layout, &m_codec->ch_layout) < 0 ||
                av_frame_get_buffer(m_converted.get(), 0) < 0)
                return QStringLiteral("out of memory");
        }
        const int got =
            swr_convert(m_resampler.get(), m_converted->extended_data, room, input, samples);
        if (got < 0)
            return QStringLiteral("the audio's sample format cannot be converted");
        if (got > 0 &&
            av_audio_fifo_write(m_fifo.get(), reinterpret_cast<void **>(m_converted->extended_data),
                                got) < got)
            return QStringLiteral("out of memory");
        return {};
    }

    QString flushResampler() { return m_resampler ? resample(nullptr, 0) : QString(); }

    QString encodeWhole() {
        while (av_audio_fifo_size(m_fifo.get()) >= m_frameSize) {
            if (const QString error = encodeFrame(m_frameSize); !error.isEmpty())
                return error;
        }
        return {};
    }

    // Encodes the next samples of the queue; a short last frame is padded with silence
    // when the encoder takes only whole ones.
    QString encodeFrame(int samples) {
        FramePtr frame(av_frame_alloc());
        if (!frame)
            return QStringLiteral("out of memory");
        const bool small = m_codec->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
        frame->nb_samples = small ? samples : m_frameSize;
        frame->format = m_codec->sample_fmt;
        frame->sample_rate = m_codec->sample_rate;
        if (av_channel_layout_copy(&frame->ch_layout, &m_codec->ch_layout) < 0 ||
            av_frame_get_buffer(frame.get(), 0) < 0)
            return QStringLiteral("out of memory");
        av_samples_set_silence(frame->extended_data, 0, frame->nb_samples,
                               frame->ch_layout.nb_channels, m_codec->sample_fmt);
        if (av_audio_fifo_read(m_fifo.get(), reinterpret_cast<void **>(frame->extended_data),
                               samples) < samples)
            return QStringLiteral("out of memory");
        frame->pts = m_samplesSent;
        m_samplesSent += frame->nb_samples;
        return send(frame.get());
    }

    // Gives the encoder a frame (none: the end) and writes the packets it has ready.
    QString send(const AVFrame *frame) {
        int rc = avcodec_send_frame(m_codec.get(), frame);
        if (rc < 0)
            return QStringLiteral("the MP3 encoder failed (%1)").arg(ffmpegError(rc));
        while ((rc = avcodec_receive_packet(m_codec.get(), m_packet.get())) >= 0) {
            av_packet_rescale_ts(m_packet.get(), m_codec->time_base, m_stream->time_base);
            m_packet->stream_index = m_stream->index;
            rc = av_interleaved_write_frame(m_output.get(), m_packet.get());
            if (rc < 0)
                return QStringLiteral("%1: %2").arg(m_path, ffmpegError(rc));
        }
        if (rc != AVERROR(EAGAIN) && rc != AVERROR_EOF)
            return QStringLiteral("the MP3 encoder failed (%1)").arg(ffmpegError(rc));
        return {};
    }

    QString m_path;
    OutputPtr m_output;
    CodecPtr m_codec;
    AVStream *m_stream = nullptr;
    int m_frameSize = 0;
    FifoPtr m_fifo;
    PacketPtr m_packet;
    FramePtr m_converted;
    ResamplerPtr m_resampler;
    int m_inFormat = -1;
    int m_inRate = 0;
    int m_inChannels = 0;
    int64_t m_samplesSent = 0;
};

} // namespace

namespace {
QString convertWithin(const QString &from, const QString &to, bool fillGaps, double &silenced,
                      const ConversionProgress &progress);
} // namespace

AudioFileFacts probeAudioFile(const QString &path, const ConversionProgress &progress) {
    const FfmpegLogScope log;
    Input input = openInput(path);
    if (!input.error.isEmpty())
        return {0, false, log.explained(input.error)};
    AudioFileFacts facts;
    facts.isMp3 = std::strcmp(input.format->iformat->name, "mp3") == 0 &&
                  input.stream->codecpar->codec_id == AV_CODEC_ID_MP3;
    // What the headers state is only a claim: a file cut short (a download that stopped)
    // keeps the length of the whole, and a length without a header is the demuxer's guess
    // from the bit rate. Decoding every frame tells how much audio there really is.
    const double stated = knownSeconds(input);
    double decoded = 0;
    facts.error = decodeAll(
        input, path,
        [&decoded](const AVFrame *frame) {
            if (frame->sample_rate > 0)
                decoded += double(frame->nb_samples) / frame->sample_rate;
            return QString();
        },
        progress);
    if (facts.error == stoppedError)
        return {0, false, facts.error};
    if (facts.error.isEmpty() && decoded <= 0)
        facts.error = QStringLiteral("%1: no audio could be decoded").arg(path);
    facts.error = log.explained(facts.error);
    // Of a whole file the stated length stands (it counts the MP3 encoder's delay, which
    // the decoder may drop): only a difference of more than a frame or two makes the
    // decoded length the real one.
    constexpr double slackSeconds = 0.1;
    const bool statedHolds = stated > 0 && std::abs(stated - decoded) <= slackSeconds;
    facts.seconds = !facts.error.isEmpty() ? 0 : statedHolds ? stated : decoded;
    return facts;
}

QString convertToMp3(const QString &from, const QString &to, QString *damage,
                     const ConversionProgress &progress) {
    if (damage)
        damage->clear();
    const FfmpegLogScope log;
    double silenced = 0;
    QString error = convertWithin(from, to, false, silenced, progress);
    if (error.isEmpty() && log.errorCount() > 0) {
        // The file is damaged, and the stretches the demuxer or the decoder gave up on are
        // missing from the MP3 (not every one of them is logged): once more, with the gaps
        // they leave in the frames' times filled.
        const FfmpegLogScope again;
        error = convertWithin(from, to, true, silenced, progress);
        if (error != stoppedError)
            error = again.explained(error);
    }
    if (error.isEmpty() && damage && log.errorCount() > 0) {
        const QString said = QStringLiteral("%1: the audio is damaged in places (FFmpeg said so "
                                            "%2 times, last \"%3\")")
                                 .arg(from)
                                 .arg(log.errorCount())
                                 .arg(log.lastError());
        *damage = silenced > 0
                      ? said + QStringLiteral("; %1 s that could not be decoded play as silence")
                                   .arg(silenced, 0, 'f', 2)
                      : said + QStringLiteral("; check the sentences after the damage");
    }
    return error == stoppedError ? error : log.explained(error);
}

namespace {

QString convertWithin(const QString &from, const QString &to, bool fillGaps, double &silenced,
                      const ConversionProgress &progress) {
    Input input = openInput(from);
    if (!input.error.isEmpty())
        return input.error;
    const int sourceChannels = input.stream->codecpar->ch_layout.nb_channels;
    const int sourceRate = input.stream->codecpar->sample_rate;

    // Written beside the target under a passing name and renamed over it when complete, so
    // that the target is never half written; the passing file goes with the object otherwise.
    const QFileInfo target(to);
    if (const QString problem = writeTargetProblem(to); !problem.isEmpty())
        return QStringLiteral("%1: %2").arg(to, problem);
    QTemporaryFile part(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                        QStringLiteral(".XXXXXX"));
    if (!part.open())
        return QStringLiteral("%1: %2").arg(to, part.errorString());
    part.close();

    Mp3Writer writer(part.fileName());
    QString error = writer.open(sourceChannels == 1 ? 1 : 2, sourceRate);
    // With fillGaps, a gap in the frames' times becomes silence. Only for a damaged file: the
    // gaps of a sound file are its own, and players play across them. Times count from the
    // timeline's zero rather than from the first frame decoded: when the first frames are the
    // damaged ones, the stream seems to start later than it does.
    int64_t nextSample = 0; // where the next frame should start, in samples of nextRate
    int nextRate = input.stream->codecpar->sample_rate;
    if (error.isEmpty())
        error = decodeAll(
            input, from,
            [&](const AVFrame *frame) {
                const int64_t ts = frame->best_effort_timestamp;
                if (ts == AV_NOPTS_VALUE || frame->sample_rate <= 0) {
                    // A frame without a time (the parser finding its feet again) follows the
                    // one before it.
                    if (nextSample >= 0 && frame->sample_rate == nextRate)
                        nextSample += frame->nb_samples;
                    else
                        nextSample = -1;
                    return writer.add(frame);
                }
                const int64_t at =
                    av_rescale_q(ts, input.stream->time_base, AVRational{1, frame->sample_rate});
                const int64_t gap =
                    nextSample >= 0 && nextRate == frame->sample_rate ? at - nextSample : 0;
                if (fillGaps && gap > frame->sample_rate / 1000 &&
                    gap <= int64_t(maxFilledGapSeconds) * frame->sample_rate) {
                    if (const QString filled = writer.addSilence(frame, gap); !filled.isEmpty())
                        return filled;
                    silenced += double(gap) / frame->sample_rate;
                }
                nextSample = at + frame->nb_samples;
                nextRate = frame->sample_rate;
                return writer.add(frame);
            },
            progress);
    if (error.isEmpty())
        error = writer.finish();
    if (!error.isEmpty())
        return error;

    // The temporary file is private to its owner; the MP3 is an ordinary file.
    part.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser |
                        QFile::ReadGroup | QFile::ReadOther);
    if (std::rename(QFile::encodeName(part.fileName()).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        return QStringLiteral("%1: %2").arg(to, QString::fromLocal8Bit(std::strerror(errno)));
    part.setAutoRemove(false);
    return {};
}

} // namespace
