#include "content/subtitles.h"

#include "fuzzcheck.h"

#include <cmath>
#include <cstdint>

namespace {

bool hasIdeograph(QStringView text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3400 && u <= 0x4DBF) || (u >= 0x4E00 && u <= 0x9FFF) ||
            (u >= 0xF900 && u <= 0xFAFF)) {
            return true;
        }
    }
    return false;
}

bool wholeMilliseconds(double seconds) {
    const double ms = seconds * 1000.0;
    return std::fabs(ms - std::round(ms)) < 1e-3;
}

} // namespace

// Subtitle file bytes as the lesson import reads them: decode, then every format in turn
// (whatever the bytes look like), and the Chinese merge of the cues onto themselves.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString text = decodeSubtitleText(bytes);
    (void)subtitleFormatOf(QStringLiteral("input"), text);
    // The audio length from the last byte: unknown, not a number, or up to a few minutes.
    double audioSeconds = 0;
    if (size > 0) {
        const uint8_t last = data[size - 1];
        audioSeconds = last == 0xFF ? std::nan("") : last % 4 == 0 ? -1.0 : last * 1.5;
    }
    for (const SubtitleFormat format :
         {SubtitleFormat::SubRip, SubtitleFormat::WebVtt, SubtitleFormat::Lrc}) {
        const SubtitleParse parse = parseSubtitles(text, format, audioSeconds);
        FUZZ_CHECK(parse.error.isEmpty() != parse.cues.empty());
        FUZZ_CHECK(!parse.error.contains(u'\n') && !parse.error.contains(u'\r'));
        double previousStart = 0;
        for (const SubtitleCue &cue : parse.cues) {
            FUZZ_CHECK(std::isfinite(cue.start) && std::isfinite(cue.end));
            FUZZ_CHECK(cue.start >= 0 && cue.end > cue.start);
            FUZZ_CHECK(wholeMilliseconds(cue.start) && wholeMilliseconds(cue.end));
            FUZZ_CHECK(!cue.english.isEmpty() || !cue.chinese.isEmpty());
            FUZZ_CHECK(cue.english == cue.english.simplified());
            FUZZ_CHECK(cue.chinese == cue.chinese.simplified());
            FUZZ_CHECK(!hasIdeograph(cue.english));
            FUZZ_CHECK(cue.chinese.isEmpty() || hasIdeograph(cue.chinese));
            if (format == SubtitleFormat::Lrc) {
                FUZZ_CHECK(cue.start >= previousStart);
                previousStart = cue.start;
            }
        }
        const std::vector<SubtitleCue> merged = mergeChinese(parse.cues, parse.cues);
        FUZZ_CHECK(merged.size() == parse.cues.size());
        for (size_t i = 0; i < merged.size(); ++i) {
            FUZZ_CHECK(merged[i].start == parse.cues[i].start &&
                       merged[i].end == parse.cues[i].end);
            FUZZ_CHECK(merged[i].english == parse.cues[i].english);
        }
    }
    return 0;
}
