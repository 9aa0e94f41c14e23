#include "subtitletracks.h"

#include "ffmpegholders.h"
#include "ffmpeglog.h"
#include "files/filebytes.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <optional>

extern "C" {
#include <libavutil/dict.h>
}

namespace {

// Packets in a row the decoder may refuse before the track counts as broken.
constexpr int maxRefusedPackets = 200;
// All the text of a track: a film's subtitles are some hundred thousand characters.
constexpr qsizetype maxTrackCharacters = 8 * 1024 * 1024;
// Events longer than this are no line a learner reads: vector drawings or a broken packet.
constexpr qsizetype maxEventCharacters = 64 * 1024;

struct OpenedFile {
    FormatPtr format;
    QString error;
};

// "file:" keeps a name with a colon from being taken for a protocol; the list keeps a
// playlist-like file from making FFmpeg open anything but local files.
OpenedFile openFile(const QString &path) {
    OpenedFile opened;
    if (const FileKind kind = fileKind(path); kind != FileKind::Regular) {
        opened.error = path + QStringLiteral(": ") + fileKindProblem(kind);
        return opened;
    }
    const QByteArray url = "file:" + QFile::encodeName(QFileInfo(path).absoluteFilePath());
    AVFormatContext *raw = nullptr;
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    int rc = avformat_open_input(&raw, url.constData(), nullptr, &options);
    av_dict_free(&options);
    if (rc < 0) {
        opened.error = QStringLiteral("%1: not a video or audio file FFmpeg reads (%2)")
                           .arg(path, ffmpegError(rc));
        return opened;
    }
    opened.format.reset(raw);
    rc = avformat_find_stream_info(raw, nullptr);
    if (rc < 0)
        opened.error = QStringLiteral("%1: %2").arg(path, ffmpegError(rc));
    return opened;
}

QString tag(const AVStream *stream, const char *key) {
    const AVDictionaryEntry *entry = av_dict_get(stream->metadata, key, nullptr, 0);
    return entry ? QString::fromUtf8(entry->value).trimmed() : QString();
}

// A text format FFmpeg can decode; picture formats and unknown ones are not.
bool isReadableText(const AVCodecParameters *parameters) {
    const AVCodecDescriptor *descriptor = avcodec_descriptor_get(parameters->codec_id);
    return descriptor && (descriptor->props & AV_CODEC_PROP_TEXT_SUB) &&
           avcodec_find_decoder(parameters->codec_id);
}

SubtitleStream describe(const AVStream *stream) {
    const AVCodecDescriptor *descriptor = avcodec_descriptor_get(stream->codecpar->codec_id);
    return {stream->index, tag(stream, "language"), tag(stream, "title"),
            descriptor ? QString::fromLatin1(descriptor->name) : QStringLiteral("unknown"),
            isReadableText(stream->codecpar)};
}

// The Text field of an ASS event as FFmpeg's decoders give it:
// "ReadOrder,Layer,Style,Name,MarginL,MarginR,MarginV,Effect,Text".
QStringView assEventText(QStringView event) {
    constexpr int fieldsBeforeText = 8;
    qsizetype at = 0;
    for (int field = 0; field < fieldsBeforeText; ++field) {
        const qsizetype comma = event.indexOf(u',', at);
        if (comma < 0)
            return {};
        at = comma + 1;
    }
    return event.mid(at);
}

// The lines of a SubRip or WebVTT event's text, trimmed, empty ones left out.
QStringList plainLines(const QString &text) {
    QStringList lines;
    for (QString line : text.split(u'\n')) {
        line = line.simplified();
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}

struct TimedEvent {
    double start = 0;
    std::optional<double> end; // none: not stated
    QStringList lines;
};

// Where on the file's timeline the MP3 of its sound starts: at the first frame the first
// audio stream decodes to. A film cut from a broadcast starts its streams seconds after
// zero, and an encoder's delay moves the first sound by some milliseconds.
class AudioOrigin {
public:
    explicit AudioOrigin(AVFormatContext *format) {
        for (unsigned i = 0; i < format->nb_streams && !m_stream; ++i) {
            AVStream *stream = format->streams[i];
            if (stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
                continue;
            const AVCodec *decoder = avcodec_find_decoder(stream->codecpar->codec_id);
            if (!decoder)
                continue;
            m_stream = stream;
            m_codec.reset(avcodec_alloc_context3(decoder));
            m_frame.reset(av_frame_alloc());
            if (!m_codec || !m_frame ||
                avcodec_parameters_to_context(m_codec.get(), stream->codecpar) < 0) {
                done();
                return;
            }
            m_codec->pkt_timebase = stream->time_base;
            if (avcodec_open2(m_codec.get(), decoder, nullptr) < 0)
                done();
        }
    }

    int stream() const { return m_stream && m_codec ? m_stream->index : -1; }

    // Decodes the audio's packets until its first frame: its time is the origin.
    void take(const AVPacket *packet) {
        if (!m_codec || packet->stream_index != m_stream->index)
            return;
        if (avcodec_send_packet(m_codec.get(), packet) < 0 && ++m_refused > maxRefusedPackets) {
            done();
            return;
        }
        if (avcodec_receive_frame(m_codec.get(), m_frame.get()) < 0)
            return;
        const int64_t at = m_frame->best_effort_timestamp;
        if (at != AV_NOPTS_VALUE)
            m_seconds = double(at) * av_q2d(m_stream->time_base);
        done();
    }

    // Seconds; 0 for a file without sound, or whose sound could not be decoded.
    double seconds() const { return std::isfinite(m_seconds) ? m_seconds : 0; }

private:
    void done() {
        m_codec.reset();
        m_frame.reset();
    }

    AVStream *m_stream = nullptr;
    CodecPtr m_codec;
    FramePtr m_frame;
    int m_refused = 0;
    double m_seconds = 0;
};

} // namespace

QStringList assEventLines(QStringView text) {
    QStringList lines;
    QString line;
    bool drawing = false;
    const qsizetype n = text.size();
    const auto endLine = [&] {
        line = line.simplified();
        if (!line.isEmpty())
            lines.append(line);
        line.clear();
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'{') {
            const qsizetype close = text.indexOf(u'}', i + 1);
            if (close > i) {
                // Only "\p" with a scale switches drawings on and off ("\pos" does not).
                const QStringView block = text.mid(i + 1, close - i - 1);
                for (qsizetype p = block.indexOf(u"\\p"); p >= 0;
                     p = block.indexOf(u"\\p", p + 2)) {
                    qsizetype d = p + 2;
                    int scale = 0;
                    bool digits = false;
                    while (d < block.size() && block[d].isDigit() && d < p + 6) {
                        scale = scale * 10 + block[d].digitValue();
                        digits = true;
                        ++d;
                    }
                    if (digits)
                        drawing = scale > 0;
                }
                i = close;
                continue;
            }
        }
        if (drawing)
            continue;
        if (c == u'\\' && i + 1 < n) {
            const QChar next = text[i + 1];
            if (next == u'N') {
                endLine();
                ++i;
                continue;
            }
            // "\n" breaks the line only in one wrapping style, "\h" never.
            if (next == u'n' || next == u'h') {
                line.append(u' ');
                ++i;
                continue;
            }
        }
        if (c == u'\n') {
            endLine();
            continue;
        }
        line.append(c);
    }
    endLine();
    return lines;
}

SubtitleStreams listSubtitleStreams(const QString &path) {
    const FfmpegLogScope log;
    SubtitleStreams list;
    OpenedFile opened = openFile(path);
    if (!opened.error.isEmpty()) {
        list.error = log.explained(opened.error);
        return list;
    }
    const AVFormatContext *format = opened.format.get();
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE)
            list.streams.push_back(describe(format->streams[i]));
    }
    return list;
}

TrackText readSubtitleTrack(const QString &path, int streamIndex) {
    const FfmpegLogScope log;
    TrackText result;
    const auto failed = [&](const QString &error) {
        result.cues.clear();
        result.error = log.explained(error);
        return result;
    };
    OpenedFile opened = openFile(path);
    if (!opened.error.isEmpty())
        return failed(opened.error);
    AVFormatContext *format = opened.format.get();
    if (streamIndex < 0 || unsigned(streamIndex) >= format->nb_streams ||
        format->streams[streamIndex]->codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE)
        return failed(
            QStringLiteral("%1: stream %2 is no subtitle track").arg(path).arg(streamIndex));
    AVStream *stream = format->streams[streamIndex];
    const SubtitleStream facts = describe(stream);
    const AVCodecDescriptor *descriptor = avcodec_descriptor_get(stream->codecpar->codec_id);
    if (descriptor && (descriptor->props & AV_CODEC_PROP_BITMAP_SUB))
        return failed(QStringLiteral("%1: subtitle track %2 (%3) is pictures of text, not text")
                          .arg(path)
                          .arg(streamIndex)
                          .arg(facts.codec));
    if (!facts.text)
        return failed(
            QStringLiteral("%1: subtitle track %2 (%3) is in a format that cannot be read")
                .arg(path)
                .arg(streamIndex)
                .arg(facts.codec));
    AudioOrigin origin(format);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (int(i) != streamIndex && int(i) != origin.stream())
            format->streams[i]->discard = AVDISCARD_ALL;
    }

    const AVCodec *decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    CodecPtr codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0)
        return failed(QStringLiteral("out of memory"));
    codec->pkt_timebase = stream->time_base;
    if (const int rc = avcodec_open2(codec.get(), decoder, nullptr); rc < 0)
        return failed(QStringLiteral("%1: subtitle track %2: %3")
                          .arg(path)
                          .arg(streamIndex)
                          .arg(ffmpegError(rc)));
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        return failed(QStringLiteral("out of memory"));

    const double timeBase = av_q2d(stream->time_base);
    std::vector<TimedEvent> events;
    qsizetype characters = 0;
    int refused = 0;
    bool decodedAny = false;
    QString lastProblem;
    // SubRip and WebVTT events are taken as they are, for the subtitle reader's own clean-up:
    // FFmpeg's decoders keep the reading of ruby text and drop what they do not know.
    const bool rawText = stream->codecpar->codec_id == AV_CODEC_ID_SUBRIP ||
                         stream->codecpar->codec_id == AV_CODEC_ID_WEBVTT;
    while (av_read_frame(format, packet.get()) >= 0) {
        const std::unique_ptr<AVPacket, void (*)(AVPacket *)> unref(packet.get(), av_packet_unref);
        if (packet->stream_index != streamIndex) {
            origin.take(packet.get());
            // Its first frame decoded, the sound is of no more use.
            if (origin.stream() < 0)
                format->streams[packet->stream_index]->discard = AVDISCARD_ALL;
            continue;
        }
        if (packet->pts == AV_NOPTS_VALUE || timeBase <= 0)
            continue; // a packet without a time belongs nowhere on the timeline
        TimedEvent event;
        const double at = double(packet->pts) * timeBase;
        event.start = at;
        if (packet->duration > 0)
            event.end = at + double(packet->duration) * timeBase;
        QString problem;
        if (rawText) {
            // Longer than any event can be in characters: no need to decode it to know.
            if (packet->size <= maxEventCharacters * 4) {
                QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
                const QString text = utf8(QByteArrayView(packet->data, packet->size));
                if (utf8.hasError()) {
                    problem = QStringLiteral("its text is not UTF-8");
                } else if (text.size() <= maxEventCharacters) {
                    characters += text.size();
                    event.lines = plainLines(text);
                }
            }
        } else {
            AVSubtitle subtitle{};
            int got = 0;
            const int rc = avcodec_decode_subtitle2(codec.get(), &subtitle, &got, packet.get());
            if (rc < 0) {
                problem = ffmpegError(rc);
            } else if (got) {
                event.start = at + subtitle.start_display_time / 1000.0;
                if (packet->duration <= 0 &&
                    subtitle.end_display_time > subtitle.start_display_time &&
                    subtitle.end_display_time != UINT32_MAX)
                    event.end = at + subtitle.end_display_time / 1000.0;
                for (unsigned r = 0; r < subtitle.num_rects; ++r) {
                    const AVSubtitleRect *rect = subtitle.rects[r];
                    QString text;
                    if (rect->type == SUBTITLE_ASS && rect->ass)
                        text = assEventText(QString::fromUtf8(rect->ass)).toString();
                    else if (rect->type == SUBTITLE_TEXT && rect->text)
                        text = QString::fromUtf8(rect->text);
                    if (text.size() > maxEventCharacters)
                        continue;
                    characters += text.size();
                    event.lines.append(assEventLines(text));
                }
                avsubtitle_free(&subtitle);
            }
        }
        if (!problem.isEmpty()) {
            if (++refused > maxRefusedPackets)
                return failed(QStringLiteral("%1: subtitle track %2 is broken (%3)")
                                  .arg(path)
                                  .arg(streamIndex)
                                  .arg(problem));
            lastProblem = problem;
            continue;
        }
        refused = 0;
        decodedAny = true;
        if (characters > maxTrackCharacters)
            return failed(QStringLiteral("%1: subtitle track %2 holds more text than subtitles do")
                              .arg(path)
                              .arg(streamIndex));
        // Times before the first sound are cut to it below.
        if (event.lines.isEmpty() || !std::isfinite(event.start))
            continue;
        if (events.size() >= size_t(maxTrackCues))
            return failed(QStringLiteral("%1: subtitle track %2 has more than %3 events")
                              .arg(path)
                              .arg(streamIndex)
                              .arg(maxTrackCues));
        events.push_back(std::move(event));
    }
    if (!decodedAny && refused > 0)
        return failed(QStringLiteral("%1: subtitle track %2 could not be decoded (%3)")
                          .arg(path)
                          .arg(streamIndex)
                          .arg(lastProblem));

    // Times to the millisecond, as a subtitle file states them, from the first sound.
    const double zero = origin.seconds();
    const auto millis = [zero](double seconds) {
        return std::max(0.0, std::round((seconds - zero) * 1000) / 1000);
    };
    for (size_t k = 0; k < events.size(); ++k) {
        TimedEvent &event = events[k];
        double end = event.end.value_or(event.start + maxOpenEndedSeconds);
        if (!event.end) {
            for (size_t next = k + 1; next < events.size(); ++next) {
                if (events[next].start > event.start) {
                    end = std::min(end, events[next].start);
                    break;
                }
            }
        }
        const double start = millis(event.start);
        end = millis(end);
        if (!std::isfinite(end) || end <= start)
            continue;
        result.cues.push_back({start, end, std::move(event.lines)});
    }
    if (result.cues.empty())
        return failed(
            QStringLiteral("%1: subtitle track %2 holds no text").arg(path).arg(streamIndex));
    return result;
}
