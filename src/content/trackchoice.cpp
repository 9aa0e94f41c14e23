#include "trackchoice.h"

#include <QString>
#include <algorithm>
#include <map>

namespace {

enum class Language { Untagged, English, Simplified, Chinese, Traditional, Other };

bool titleSays(const QString &title, std::initializer_list<const char16_t *> words) {
    return std::any_of(words.begin(), words.end(), [&](const char16_t *word) {
        return title.contains(QStringView(word), Qt::CaseInsensitive);
    });
}

// What a track's tags say of its language. Tags come as ISO 639-2 ("eng", "chi", "zho"), as
// ISO 639-1 or BCP 47 ("en", "zh-Hans", "zh_TW"); "und" is the files' way of saying none.
Language languageOf(const EmbeddedTrack &track) {
    const QString tag = track.language.trimmed().toLower().replace(u'_', u'-');
    const QString primary = tag.section(u'-', 0, 0);
    const QStringList rest = tag.section(u'-', 1).split(u'-', Qt::SkipEmptyParts);
    if (primary.isEmpty() || primary == u"und" || primary == u"mul" || primary == u"zxx") {
        // An untagged track's title may still name it.
        if (titleSays(track.title, {u"english", u"英文", u"英语"}))
            return Language::English;
        return Language::Untagged;
    }
    if (primary == u"en" || primary == u"eng")
        return Language::English;
    constexpr const char16_t *chinese[] = {u"zh", u"chi", u"zho", u"cmn", u"yue", u"chs", u"cht"};
    if (std::none_of(std::begin(chinese), std::end(chinese),
                     [&](const char16_t *code) { return primary == QStringView(code); }))
        return Language::Other;
    const auto marked = [&](std::initializer_list<const char16_t *> codes) {
        return std::any_of(codes.begin(), codes.end(), [&](const char16_t *code) {
            return rest.contains(QString::fromUtf16(code));
        });
    };
    if (primary == u"chs" || marked({u"hans", u"cn", u"sg", u"my"}))
        return Language::Simplified;
    if (primary == u"cht" || marked({u"hant", u"tw", u"hk", u"mo"}))
        return Language::Traditional;
    if (titleSays(track.title, {u"简", u"simplified", u"chs"}))
        return Language::Simplified;
    if (titleSays(track.title, {u"繁", u"traditional", u"cht", u"big5"}))
        return Language::Traditional;
    return Language::Chinese;
}

bool isLatinLetter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') ||
           (u >= 0xC0 && u <= 0x24F && u != 0xD7 && u != 0xF7);
}

struct TextMix {
    bool mostlyLatin = false;
    bool mostlyIdeographs = false;
};

// Cue by cue, as the subtitle reader splits them: a cue with an ideograph has Chinese.
TextMix mixOf(const std::vector<SubtitleCue> &cues) {
    qsizetype latin = 0;
    qsizetype ideographs = 0;
    for (const SubtitleCue &cue : cues) {
        if (std::any_of(cue.english.begin(), cue.english.end(), isLatinLetter))
            ++latin;
        if (!cue.chinese.isEmpty())
            ++ideographs;
    }
    const auto most = [&](qsizetype count) {
        return !cues.empty() && count * 2 > qsizetype(cues.size());
    };
    return {most(latin), most(ideographs)};
}

} // namespace

TrackChoice chooseTracks(const std::vector<EmbeddedTrack> &tracks,
                         const std::function<std::vector<SubtitleCue>(int stream)> &cuesOf) {
    std::map<int, TextMix> mixes;
    const auto mix = [&](const EmbeddedTrack &track) {
        const auto known = mixes.find(track.stream);
        if (known != mixes.end())
            return known->second;
        const TextMix found = cuesOf ? mixOf(cuesOf(track.stream)) : TextMix{};
        mixes.emplace(track.stream, found);
        return found;
    };
    std::vector<std::pair<const EmbeddedTrack *, Language>> text;
    for (const EmbeddedTrack &track : tracks) {
        if (track.text)
            text.emplace_back(&track, languageOf(track));
    }
    const auto first = [&](const std::function<bool(const EmbeddedTrack &, Language)> &fits) {
        const auto found = std::find_if(text.begin(), text.end(),
                                        [&](const auto &t) { return fits(*t.first, t.second); });
        return found == text.end() ? -1 : found->first->stream;
    };

    TrackChoice choice;
    choice.english =
        first([](const EmbeddedTrack &, Language l) { return l == Language::English; });
    if (choice.english < 0)
        choice.english = first([&](const EmbeddedTrack &t, Language l) {
            return l == Language::Untagged && mix(t).mostlyLatin;
        });
    if (choice.english < 0)
        choice.english = first([&](const EmbeddedTrack &t, Language l) {
            return (l == Language::Simplified || l == Language::Chinese ||
                    l == Language::Traditional) &&
                   mix(t).mostlyLatin;
        });

    const auto notEnglish = [&](const EmbeddedTrack &t) { return t.stream != choice.english; };
    for (const Language wanted : {Language::Simplified, Language::Chinese, Language::Traditional}) {
        if (choice.chinese < 0)
            choice.chinese = first(
                [&](const EmbeddedTrack &t, Language l) { return l == wanted && notEnglish(t); });
    }
    if (choice.chinese < 0)
        choice.chinese = first([&](const EmbeddedTrack &t, Language l) {
            return l == Language::Untagged && notEnglish(t) && mix(t).mostlyIdeographs;
        });
    return choice;
}

void markTrackChoice(std::vector<EmbeddedTrack> &tracks,
                     const std::function<std::vector<SubtitleCue>(int stream)> &cuesOf) {
    const TrackChoice choice = chooseTracks(tracks, cuesOf);
    for (EmbeddedTrack &track : tracks) {
        track.english = track.stream == choice.english;
        track.chinese = track.stream == choice.chinese;
    }
}
