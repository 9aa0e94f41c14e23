#include "importtools.h"

#include "content/subtitles.h"
#include "content/trackchoice.h"
#include "media/audioimport.h"
#include "media/segmentdecoder.h"
#include "media/subtitletracks.h"
#include "speech/textaligner.h"

#include <cmath>
#include <memory>

namespace {

// Decoding an hour takes seconds, aligning it a minute or more: the bar moves accordingly.
constexpr double decodingShare = 0.05;

TextTiming alignText(const QString &audio, const QStringList &sentences,
                     const ImportProgress &progress) {
    TextTiming timing;
    auto part = [&progress](double from, double to) {
        return [&progress, from, to](double fraction) {
            return !progress || progress(from + (to - from) * fraction);
        };
    };
    const SpeechTrack track = SegmentDecoder::decodeTrack(audio, part(0, decodingShare));
    if (!track.error.isEmpty()) {
        timing.error = track.error;
        return timing;
    }
    QString error;
    const std::unique_ptr<TextAligner> aligner = TextAligner::create(&error);
    if (!aligner) {
        timing.error = error;
        return timing;
    }
    const TextAlignment found = aligner->align(track.samples, sentences, part(decodingShare, 1));
    timing.error = found.error;
    timing.notes = found.notes;
    for (const SentenceAlignment &s : found.sentences)
        timing.sentences.push_back({s.start, s.end, s.confidence, s.found, s.doubtful});
    return timing;
}

// "01:02:03,456"
QString subRipTime(double seconds) {
    const qint64 ms = std::llround(seconds * 1000);
    return QStringLiteral("%1:%2:%3,%4")
        .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

// A track's events as SubRip text, numbered from 1. An arrow in a line is written as an
// entity, which the reader turns back, so that no line is taken for a timing line; the index
// line before each timing line is always there, so that a line of digits ending an event
// stays its text.
QString subRipOf(const std::vector<TrackCue> &cues) {
    QString text;
    int number = 0;
    for (const TrackCue &cue : cues) {
        text += QString::number(++number) + u'\n' + subRipTime(cue.start) +
                QStringLiteral(" --> ") + subRipTime(cue.end) + u'\n';
        for (QString line : cue.lines)
            text += line.replace(QStringLiteral("-->"), QStringLiteral("--&gt;")) + u'\n';
        text += u'\n';
    }
    return text;
}

QString trackText(const QString &path, int stream, QString *error) {
    const TrackText track = readSubtitleTrack(path, stream);
    if (error)
        *error = track.error;
    return track.error.isEmpty() ? subRipOf(track.cues) : QString();
}

} // namespace

AudioTools lessonImportTools() {
    AudioTools tools;
    tools.probe = [](const QString &path, const ImportProgress &progress) {
        const AudioFileFacts facts = probeAudioFile(path, progress);
        return AudioFacts{facts.seconds, facts.isMp3, facts.error};
    };
    auto damage = std::make_shared<QString>();
    tools.convertToMp3 = [damage](const QString &from, const QString &to,
                                  const ImportProgress &progress) {
        return convertToMp3(from, to, damage.get(), progress);
    };
    tools.conversionNote = [damage] { return *damage; };
    tools.alignText = alignText;
    tools.subtitleTracks = [](const QString &path) {
        std::vector<EmbeddedTrack> tracks;
        for (const SubtitleStream &s : listSubtitleStreams(path).streams)
            tracks.push_back({s.stream, s.language, s.title, s.codec, s.text});
        markTrackChoice(tracks, [&path](int stream) {
            return parseSubtitles(trackText(path, stream, nullptr), SubtitleFormat::SubRip, 0).cues;
        });
        return tracks;
    };
    tools.readTrack = trackText;
    return tools;
}
