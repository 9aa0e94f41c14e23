#include "content/trackchoice.h"

#include "support/qstringprinter.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

// A track's text, as its cues would split it: "E" a cue with an English line, "C" one with a
// Chinese line, "B" one with both, "K" one of Korean (no Latin, no ideograph).
std::vector<SubtitleCue> cuesLike(const char *kinds) {
    std::vector<SubtitleCue> cues;
    for (const char *k = kinds; *k; ++k) {
        SubtitleCue cue;
        if (*k == 'E' || *k == 'B')
            cue.english = QStringLiteral("Good morning, Élodie.");
        if (*k == 'C' || *k == 'B')
            cue.chinese = QStringLiteral("早上好。");
        if (*k == 'K')
            cue.english = QStringLiteral("안녕하세요");
        cues.push_back(cue);
    }
    return cues;
}

TEST(TrackChoice, TagsFirstThenTheText) {
    const auto track = [](int stream, const char *language, const char *title = "",
                          const char *codec = "subrip") {
        const QString name = QString::fromLatin1(codec);
        // Every track comes flagged both ways, to show that the rule does not go by the flags.
        return EmbeddedTrack{stream,
                             QString::fromUtf8(language),
                             QString::fromUtf8(title),
                             name,
                             !name.endsWith(QStringLiteral("_subtitle")),
                             true,
                             true};
    };
    const struct {
        const char *name;
        std::vector<EmbeddedTrack> tracks;
        std::map<int, const char *> text; // stream -> cues; unlisted: unreadable
        int english;
        int chinese;
        std::set<int> read; // the tracks whose text had to be looked at
    } cases[] = {
        {"tags decide", {track(2, "chi"), track(3, "eng")}, {}, 3, 2, {}},
        {"two-letter and regional tags", {track(2, "en-US"), track(3, "zh_CN")}, {}, 2, 3, {}},
        {"simplified before plain before traditional",
         {track(2, "zh-Hant"), track(3, "chi"), track(4, "zh-Hans"), track(5, "eng")},
         {},
         5,
         4,
         {}},
        {"plain before traditional",
         {track(2, "zh-TW"), track(3, "zho"), track(4, "en")},
         {},
         4,
         3,
         {}},
        {"the title tells the script",
         {track(2, "chi", "繁體中文"), track(3, "chi", "简体中文"), track(4, "eng")},
         {},
         4,
         3,
         {}},
        {"only traditional", {track(2, "eng"), track(3, "zh-HK")}, {}, 2, 3, {}},
        {"a picture track is passed over",
         {track(2, "eng", "", "hdmv_pgs_subtitle"), track(3, "eng", "", "subrip"),
          track(4, "chi", "", "dvd_subtitle")},
         {},
         3,
         -1,
         {}},
        {"untagged tracks by their text",
         {track(2, ""), track(3, "und"), track(4, "")},
         {{2, "KKK"}, {3, "CCEC"}, {4, "EEEC"}},
         4,
         3,
         {2, 3, 4}},
        {"another language is never English",
         {track(2, "fre"), track(3, "ger"), track(4, "chi")},
         {{2, "EEE"}, {3, "EEE"}},
         -1,
         4,
         {4}},
        {"a bilingual Chinese track gives the English",
         {track(2, "chi", "中英双语"), track(3, "fre")},
         {{2, "BBBC"}},
         2,
         -1,
         {2}},
        {"an untagged bilingual track is the English, its Chinese comes along",
         {track(2, "")},
         {{2, "BBB"}},
         2,
         -1,
         {2}},
        {"half is not most",
         {track(2, ""), track(3, "")},
         {{2, "EECC"}, {3, "KK"}},
         -1,
         -1,
         {2, 3}},
        {"an unreadable untagged track", {track(2, "")}, {}, -1, -1, {2}},
        {"an untagged track named in its title", {track(2, "", "English SDH")}, {}, 2, -1, {}},
        {"no tracks", {}, {}, -1, -1, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::multiset<int> read;
        std::vector<EmbeddedTrack> tracks = c.tracks;
        markTrackChoice(tracks, [&](int stream) {
            read.insert(stream);
            const auto text = c.text.find(stream);
            return text == c.text.end() ? std::vector<SubtitleCue>{} : cuesLike(text->second);
        });
        // One track at most for each, flagged.
        std::vector<int> english, chinese;
        for (const EmbeddedTrack &t : tracks) {
            if (t.english)
                english.push_back(t.stream);
            if (t.chinese)
                chinese.push_back(t.stream);
        }
        EXPECT_EQ(english, c.english < 0 ? std::vector<int>{} : std::vector<int>{c.english});
        EXPECT_EQ(chinese, c.chinese < 0 ? std::vector<int>{} : std::vector<int>{c.chinese});
        // Each at most once, and only where the tags left it open.
        EXPECT_EQ(std::set<int>(read.begin(), read.end()).size(), read.size());
        EXPECT_EQ(std::set<int>(read.begin(), read.end()), c.read);
    }
}

} // namespace
