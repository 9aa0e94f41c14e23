#include "importtools.h"

#include "media/audioimport.h"
#include "media/segmentdecoder.h"
#include "speech/textaligner.h"

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

} // namespace

AudioTools lessonImportTools() {
    AudioTools tools;
    tools.probe = [](const QString &path) {
        const AudioFileFacts facts = probeAudioFile(path);
        return AudioFacts{facts.seconds, facts.isMp3, facts.error};
    };
    auto damage = std::make_shared<QString>();
    tools.convertToMp3 = [damage](const QString &from, const QString &to, const ImportProgress &) {
        return convertToMp3(from, to, damage.get());
    };
    tools.conversionNote = [damage] { return *damage; };
    tools.alignText = alignText;
    return tools;
}
