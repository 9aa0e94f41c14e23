#include "importtools.h"

#include "content/subtitles.h"
#include "content/trackchoice.h"
#include "media/audioimport.h"
#include "media/subtitletracks.h"

#include <cmath>
#include <memory>

namespace {

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
    tools.probe = [](const QString &path) {
        const AudioFileFacts facts = probeAudioFile(path);
        return AudioFacts{facts.seconds, facts.isMp3, facts.error};
    };
    auto damage = std::make_shared<QString>();
    tools.convertToMp3 = [damage](const QString &from, const QString &to,
                                  const ImportProgress &progress) {
        return convertToMp3(from, to, damage.get(), progress);
    };
    tools.conversionNote = [damage] { return *damage; };
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
