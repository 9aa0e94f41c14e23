#include "content/subtitles.h"

#include <QFile>
#include <QStringEncoder>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

// Cues as one readable line, "1.500-3.250 Good morning.|早上好。 / ...", in UTF-8 so that a
// failure prints it.
std::string describe(const std::vector<SubtitleCue> &cues) {
    QStringList parts;
    for (const SubtitleCue &cue : cues) {
        parts << QStringLiteral("%1-%2 %3|%4")
                     .arg(cue.start, 0, 'f', 3)
                     .arg(cue.end, 0, 'f', 3)
                     .arg(cue.english, cue.chinese);
    }
    return parts.join(QStringLiteral(" / ")).toStdString();
}

std::string parsed(SubtitleFormat format, const QString &text, double audioSeconds = 0) {
    const SubtitleParse parse = parseSubtitles(text, format, audioSeconds);
    return parse.error.isEmpty() ? describe(parse.cues) : "error: " + parse.error.toStdString();
}

// One SubRip cue holding the given text lines.
std::string oneSrtCue(const QString &lines) {
    return parsed(SubtitleFormat::SubRip,
                  QStringLiteral("1\n00:00:01,000 --> 00:00:02,000\n") + lines + u'\n');
}

struct TextCase {
    const char *name;
    QString input;
    std::string expected;
};

QByteArray withMark(const char *mark, const QByteArray &bytes) {
    return QByteArray(mark) + bytes;
}

TEST(SubtitleDecode, ReadsUtf8Utf16AndGbk) {
    const QString text = QStringLiteral("1\n00:00:01,000 --> 00:00:02,000\nCafé 早上好\n");
    QStringEncoder gbk("GB18030");
    QStringEncoder le(QStringConverter::Utf16LE);
    QStringEncoder be(QStringConverter::Utf16BE);
    const struct {
        const char *name;
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"utf8", text.toUtf8(), text},
        {"utf8 with mark", withMark("\xEF\xBB\xBF", text.toUtf8()), text},
        {"utf16le with mark", withMark("\xFF\xFE", le(text)), text},
        {"utf16be with mark", withMark("\xFE\xFF", be(text)), text},
        {"gbk", gbk(text), text},
        // C3 A9 is GB2312 茅 as well as UTF-8 é: valid UTF-8 wins.
        {"valid both ways", QByteArray("\xC3\xA9"), QStringLiteral("é")},
        {"invalid utf8 after its mark", QByteArray("\xEF\xBB\xBF\xFFx"), QStringLiteral("\uFFFDx")},
        // Without a mark the zero bytes of the ASCII characters tell the byte order.
        {"utf16le without mark", le(text), text},
        {"utf16be without mark", be(text), text},
        {"utf16le of a chinese line", le(QStringLiteral("早上好\n12\n")),
         QStringLiteral("早上好\n12\n")},
        {"utf8 with a stray NUL stays utf8", QByteArray("ab\0cdefgh", 9),
         QString::fromUtf8("ab\0cdefgh", 9)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decodeSubtitleText(c.bytes), c.text);
    }
}

TEST(SubtitleFormatOf, SuffixFirstThenText) {
    const struct {
        const char *name;
        QString fileName;
        QString text;
        std::optional<SubtitleFormat> format;
    } cases[] = {
        {"srt suffix in any case", "a.SRT", "WEBVTT", SubtitleFormat::SubRip},
        {"vtt suffix", "a.vtt", "", SubtitleFormat::WebVtt},
        {"lrc suffix", "x/song.Lrc", "", SubtitleFormat::Lrc},
        {"webvtt header", "a.txt", "\uFEFFWEBVTT - captions\n", SubtitleFormat::WebVtt},
        {"webvtt only as first line", "a.txt", "1\nWEBVTT\n00:01 --> 00:02",
         SubtitleFormat::SubRip},
        {"lrc stamps after metadata", "a.txt", "[ti:Song]\n[00:01.00]Hi", SubtitleFormat::Lrc},
        {"timing line", "a", "1\r\n00:00:01,000 --> 00:00:02,000", SubtitleFormat::SubRip},
        {"plain text", "a.txt", "[Chorus]\nla la", std::nullopt},
        {"webvtt needs a break after the word", "a", "WEBVTTX", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(subtitleFormatOf(c.fileName, c.text), c.format);
    }
}

TEST(SubtitleText, TagsOverridesAndEntitiesAreCleanedUp) {
    const TextCase cases[] = {
        {"formatting tags", "<i>Hello</i> <B>big</B> <u>world</u>", "1.000-2.000 Hello big world|"},
        {"font with attributes", "<font color=\"#ff0000\">Red</font>", "1.000-2.000 Red|"},
        {"webvtt class, voice and timestamp", "<v Mary><c.yellow.bg>Hi</c> <00:00:01.500>there",
         "1.000-2.000 Hi there|"},
        {"ruby keeps the base, drops the reading", "<ruby>漢<rt>kan</rt>字<rt>ji</rt></ruby>",
         "1.000-2.000 |漢字"},
        {"override blocks", "{\\an8}{\\i1}Top{\\i0}", "1.000-2.000 Top|"},
        {"entities", "Tom &amp; Jerry&nbsp;&lt;3&lrm;&rlm;", "1.000-2.000 Tom & Jerry <3|"},
        {"escaped tag stays text", "&lt;i&gt;x", "1.000-2.000 <i>x|"},
        {"angle brackets that are no tag", "a < b and c > d <3", "1.000-2.000 a < b and c > d <3|"},
        {"unclosed tag and brace", "<i x {\\an8 y", "1.000-2.000 <i x {\\an8 y|"},
        {"white space collapsed", " \t two   words \t", "1.000-2.000 two words|"},
        {"tags only: cue dropped", "<i></i>\n{\\an8}", "error: no cue found"},
        {"control characters go, a tab is a space",
         QStringLiteral("a\x01"
                        "b\tc\x7F"
                        "\u0085d"),
         "1.000-2.000 ab cd|"},
        {"NULs only: cue dropped", QString(3, QChar(0)), "error: no cue found"},
        {"control characters only: cue dropped", QStringLiteral("\x01\x1B\n\x9F"),
         "error: no cue found"},
    };
    for (const TextCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(oneSrtCue(c.input), c.expected);
    }
}

TEST(SubtitleText, LinesWithIdeographsAreChinese) {
    const TextCase cases[] = {
        {"english then chinese", "Good morning.\n早上好。", "1.000-2.000 Good morning.|早上好。"},
        {"chinese first", "早上好。\nGood morning.", "1.000-2.000 Good morning.|早上好。"},
        {"english lines joined by a space", "Good\nmorning.", "1.000-2.000 Good morning.|"},
        {"chinese lines joined directly", "你好，\n我是汤姆。", "1.000-2.000 |你好，我是汤姆。"},
        {"chinese after latin gets a space", "我叫Tom\n你好", "1.000-2.000 |我叫Tom 你好"},
        {"extension a and compatibility ideographs", "\u3400\n\uF900x",
         "1.000-2.000 |\u3400\uF900x"},
        {"kana and full-width punctuation alone are not chinese", "\u3042\uFF01",
         "1.000-2.000 \u3042\uFF01|"},
    };
    for (const TextCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(oneSrtCue(c.input), c.expected);
    }
}

TEST(SubRip, LenientLayout) {
    const TextCase cases[] = {
        {"crlf",
         "1\r\n00:00:01,000 --> 00:00:02,500\r\nA\r\n\r\n2\r\n00:00:03,000 --> "
         "00:00:04,000\r\nB\r\n",
         "1.000-2.500 A| / 3.000-4.000 B|"},
        {"cr only", "1\r00:00:01,000 --> 00:00:02,000\rA\r", "1.000-2.000 A|"},
        {"no index lines, dot separator, extra blanks",
         "\n\n00:00:01.000 --> 00:00:02.000\nA\n\n\n\n00:00:03.000 --> 00:00:04.000  \nB  \n\n",
         "1.000-2.000 A| / 3.000-4.000 B|"},
        {"position after the end time",
         "1\n00:00:01,000 --> 00:00:02,000 X1:40 X2:600 Y1:20 Y2:50\nA", "1.000-2.000 A|"},
        {"blank line inside the text",
         "1\n00:00:01,000 --> 00:00:02,000\nA\n\nB\n\n2\n"
         "00:00:03,000 --> 00:00:04,000\nC",
         "1.000-2.000 A B| / 3.000-4.000 C|"},
        {"number as the only text",
         "00:00:01,000 --> 00:00:02,000\n1984\n"
         "00:00:03,000 --> 00:00:04,000\nC",
         "1.000-2.000 1984| / 3.000-4.000 C|"},
        {"short milliseconds and big hours", "00:00:01,5 --> 99:59:59,25\nA",
         "1.500-359999.250 A|"},
        {"empty cue dropped",
         "1\n00:00:01,000 --> 00:00:02,000\n\n2\n00:00:03,000 --> "
         "00:00:04,000\nB",
         "3.000-4.000 B|"},
    };
    for (const TextCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parsed(SubtitleFormat::SubRip, c.input), c.expected);
    }
}

TEST(SubRip, TimesKeepExactMilliseconds) {
    const SubtitleParse parse =
        parseSubtitles(u"01:02:03,456 --> 01:02:04,001\nA", SubtitleFormat::SubRip, 0);
    ASSERT_EQ(parse.cues.size(), 1u);
    EXPECT_EQ(parse.cues[0].start, 3723.456);
    EXPECT_EQ(parse.cues[0].end, 3724.001);
}

TEST(WebVtt, SkipsHeaderNotesStylesAndSettings) {
    const TextCase cases[] = {
        {"header text, identifiers, settings",
         "WEBVTT - Lesson 1\nKind: captions\n\nintro\n00:01.000 --> 00:02.500 align:start "
         "line:0\nA\n\n00:00:03.000 --> 00:00:04.000\nB",
         "1.000-2.500 A| / 3.000-4.000 B|"},
        {"note, style and region blocks",
         "WEBVTT\n\nNOTE a --> b\nmore\n\nSTYLE\n::cue { color: red }\n\nREGION\nid:r1\n\n"
         "00:01.000 --> 00:02.000\nA\n\nNOTE\n\n00:03.000 --> 00:04.000\nB",
         "1.000-2.000 A| / 3.000-4.000 B|"},
        {"blank line ends the text", "WEBVTT\n\n00:01.000 --> 00:02.000\nA\n\nstray\n",
         "1.000-2.000 A|"},
        {"bilingual with voice", "WEBVTT\n\n00:01.000 --> 00:02.000\n<v Tom>Hi</v>\n你好",
         "1.000-2.000 Hi|你好"},
        {"missing header forgiven", "00:01.000 --> 00:02.000\nA", "1.000-2.000 A|"},
    };
    for (const TextCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parsed(SubtitleFormat::WebVtt, c.input), c.expected);
    }
}

TEST(Lrc, StampsOffsetsAndEnds) {
    const struct {
        const char *name;
        QString text;
        double audioSeconds;
        std::string expected;
    } cases[] = {
        {"stamp forms, metadata ignored, last at the audio end",
         "[ar:Someone]\n[ti:Song]\n[00:01]A\n[00:02.5]B\n[00:03.25]C\n[00:04.125]D", 10,
         "1.000-2.500 A| / 2.500-3.250 B| / 3.250-4.125 C| / 4.125-10.000 D|"},
        {"audio unknown: the last line lasts five seconds", "[00:01.00]A", 0, "1.000-6.000 A|"},
        {"several stamps share the text, sorted by time", "[00:05.00]B\n[00:01.00][00:09.00]A", 20,
         "1.000-5.000 A| / 5.000-9.000 B| / 9.000-20.000 A|"},
        {"same stamp twice: english and chinese",
         "[00:01.00]Good morning.\n[00:01.00]早上好。\n[00:03.00]Bye.\n[00:03.00]再见。", 5,
         "1.000-3.000 Good morning.|早上好。 / 3.000-5.000 Bye.|再见。"},
        {"empty line ends the one before", "[00:01.00]A\n[00:02.00]\n[00:07.00]B", 9,
         "1.000-2.000 A| / 7.000-9.000 B|"},
        {"positive offset shows lines sooner", "[offset:+500]\n[00:01.00]A\n[00:02.00]B", 9,
         "0.500-1.500 A| / 1.500-9.000 B|"},
        {"negative offset shows them later", "[offset:-250]\n[00:01.00]A", 9, "1.250-9.000 A|"},
        {"offset before zero drops or clamps",
         "[offset:2500]\n[00:01.00]A\n[00:02.00]B\n"
         "[00:03.00]C",
         9, "0.000-0.500 B| / 0.500-9.000 C|"},
        {"minutes past an hour, lines without stamps ignored", "[75:00.00]A\nplain text\n[Chorus]",
         0, "4500.000-4505.000 A|"},
        {"stamp repeated on one line gives its text once", "[00:01][00:01]A", 3, "1.000-3.000 A|"},
        {"crlf and tags", "[00:01.00]<i>A</i>\r\n[00:02.00]B\r\n", 3,
         "1.000-2.000 A| / 2.000-3.000 B|"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parsed(SubtitleFormat::Lrc, c.text, c.audioSeconds), c.expected);
    }
}

TEST(SubtitleErrors, NameTheLineAndTheCue) {
    QString manyStamps;
    for (int i = 0; i < 65; ++i) {
        manyStamps += QStringLiteral("[00:%1.00]").arg(i % 60, 2, 10, QLatin1Char('0'));
    }
    const struct {
        const char *name;
        SubtitleFormat format;
        QString text;
        std::string error;
    } cases[] = {
        {"empty", SubtitleFormat::SubRip, "", "no cue found"},
        {"vtt header only", SubtitleFormat::WebVtt, "WEBVTT\n\nNOTE x\n", "no cue found"},
        {"lrc metadata only", SubtitleFormat::Lrc, "[ti:Song]\n", "no cue found"},
        {"bad start", SubtitleFormat::SubRip,
         "1\n00:00:01,000 --> 00:00:02,000\nA\n\n2\n"
         "00:01:xx,000 --> 00:00:02,000\nB",
         "line 6: bad time \"00:01:xx,000\""},
        {"bad end before settings", SubtitleFormat::WebVtt,
         "WEBVTT\n\n00:01.000 --> 00:60.000 line:0\nA", "line 3: bad time \"00:60.000\""},
        {"hours beyond 99", SubtitleFormat::SubRip, "100:00:00,000 --> 100:00:01,000\nA",
         "line 1: bad time \"100:00:00,000\""},
        {"giant hours cut in the message", SubtitleFormat::SubRip,
         QString(50, u'9') + ":00:00,000 --> 00:00:01,000\nA",
         "line 1: bad time \"" + std::string(40, '9') + "…\""},
        {"too many fraction digits", SubtitleFormat::SubRip, "00:00:01,0000 --> 00:00:02,000\nA",
         "line 1: bad time \"00:00:01,0000\""},
        {"end before start", SubtitleFormat::SubRip,
         "1\n00:00:01,000 --> 00:00:02,000\nA\n\n2\n00:01:02,500 --> 00:01:01,000\nB",
         "line 6: cue 2 at 00:01:02.500 ends at 00:01:01.000, not after its start"},
        {"end equal to start", SubtitleFormat::WebVtt, "WEBVTT\n\n00:01.000 --> 00:01.000\nA",
         "line 3: cue 1 at 00:00:01.000 ends at 00:00:01.000, not after its start"},
        {"bad lrc stamp", SubtitleFormat::Lrc, "[00:01.00]A\n[00:1x.00]B",
         "line 2: bad time \"[00:1x.00]\""},
        {"bad lrc offset", SubtitleFormat::Lrc, "[offset:soon]\n[00:01.00]A",
         "line 1: bad offset \"soon\""},
        {"last lrc line after the audio", SubtitleFormat::Lrc, "[00:01.00]A\n[00:30.00]B",
         "line 2: cue 2 at 00:00:30.000 ends at 00:00:20.000, not after its start"},
        {"too many stamps on a line", SubtitleFormat::Lrc, manyStamps + u'A',
         "line 1: more than 64 time stamps"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const SubtitleParse parse = parseSubtitles(c.text, c.format, 20);
        EXPECT_EQ(parse.error.toStdString(), c.error);
        EXPECT_TRUE(parse.cues.empty());
    }
}

TEST(MergeChinese, TakesTheLongestOverlap) {
    auto cue = [](double start, double end, const char *english, const char *chinese = "") {
        return SubtitleCue{start, end, QString::fromUtf8(english), QString::fromUtf8(chinese)};
    };
    const struct {
        const char *name;
        std::vector<SubtitleCue> english;
        std::vector<SubtitleCue> chinese;
        std::string expected;
    } cases[] = {
        {"one to one",
         {cue(1, 2, "A"), cue(3, 4, "B")},
         {cue(3, 4, "", "乙"), cue(1, 2, "", "甲")},
         "1.000-2.000 A|甲 / 3.000-4.000 B|乙"},
        {"largest overlap wins",
         {cue(1, 4, "A")},
         {cue(0, 2, "", "短"), cue(2, 3.9, "", "长"), cue(3.9, 9, "", "尾")},
         "1.000-4.000 A|长"},
        {"equal overlaps: the earlier",
         {cue(1, 3, "A")},
         {cue(2, 4, "", "后"), cue(0, 2, "", "前")},
         "1.000-3.000 A|前"},
        {"long chinese cue found from far before",
         {cue(50, 51, "A")},
         {cue(0, 100, "", "长")},
         "50.000-51.000 A|长"},
        {"touching is no overlap: own chinese kept",
         {cue(1, 2, "A", "原")},
         {cue(2, 3, "", "新"), cue(0, 1, "", "旧")},
         "1.000-2.000 A|原"},
        {"chinese cue without text is passed over",
         {cue(1, 3, "A")},
         {cue(1, 3, ""), cue(2, 3, "", "半")},
         "1.000-3.000 A|半"},
        {"chinese cue without ideographs gives its text",
         {cue(1, 2, "OK")},
         {cue(1, 2, "OK!")},
         "1.000-2.000 OK|OK!"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(describe(mergeChinese(c.english, c.chinese)), c.expected);
    }
}

TEST(SubtitleFiles, CommittedSamplesReadInEveryEncoding) {
    const struct {
        const char *file;
        std::string expected;
    } cases[] = {
        {"bilingual.srt",
         "0.500-1.720 Good morning.|早上好。 / 2.100-3.050 How are you? &|你好吗？"},
        {"bilingual_gbk.srt",
         "0.500-1.720 Good morning.|早上好。 / 2.100-3.050 How are you? &|你好吗？"},
        {"notes.vtt", "0.500-1.720 Good morning.| / 2.100-3.050 |你好吗？"},
        // UTF-16 with an offset of +100 ms; the empty line at 3 s ends the second cue.
        {"bilingual.lrc", "0.400-2.000 Good morning.|早上好。 / 2.000-2.900 How are you?| / "
                          "4.900-8.000 How are you?|"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        QFile file(QStringLiteral(ORVESSA_TEST_DATA_DIR "/subtitles/") + QLatin1StringView(c.file));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = decodeSubtitleText(file.readAll());
        const std::optional<SubtitleFormat> format = subtitleFormatOf(file.fileName(), text);
        ASSERT_TRUE(format.has_value());
        EXPECT_EQ(parsed(*format, text, 8), c.expected);
    }
}

} // namespace
