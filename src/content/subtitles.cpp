#include "subtitles.h"

#include "charclass.h"
#include "textcodec.h"

#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// Times are whole milliseconds until a cue is handed out, so that "00:00:01,001" stays
// exactly 1001 ms whatever the format's fields.
using Millis = qint64;

constexpr Millis maxHours = 99;
// An LRC line with more stamps than this is refused: each stamp copies the line's text into
// a cue of its own, and real lyrics repeat a chorus a handful of times.
constexpr int maxStampsPerLine = 64;
// How long the last LRC line lasts when the length of the audio is unknown.
constexpr Millis lastLrcLineWithoutAudio = 5000;
// Longer bad fields are cut in messages, which stay one short line.
constexpr qsizetype maxQuotedLength = 40;

const QString noCueFound = QStringLiteral("no cue found");

// --- Lines -------------------------------------------------------------------------------

bool isBlank(QStringView line) {
    return line.trimmed().isEmpty();
}

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool isAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAllDigits(QStringView text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isAsciiDigit);
}

// Whether the line is the keyword alone or the keyword followed by a space or tab.
bool startsWithKeyword(QStringView line, QStringView keyword) {
    return line.startsWith(keyword) &&
           (line.size() == keyword.size() || line[keyword.size()] == u' ' ||
            line[keyword.size()] == u'\t');
}

QString quoted(QStringView field) {
    if (field.size() <= maxQuotedLength) {
        return u'"' + field.toString() + u'"';
    }
    qsizetype cut = maxQuotedLength;
    if (field[cut].isLowSurrogate()) {
        --cut;
    }
    return u'"' + field.left(cut).toString() + QStringLiteral("…\"");
}

QString lineError(qsizetype lineIndex, const QString &message) {
    return QStringLiteral("line %1: %2").arg(lineIndex + 1).arg(message);
}

// --- Times -------------------------------------------------------------------------------

// The value of 1 to 9 ASCII digits, which never overflows; nothing for anything else.
std::optional<Millis> digitsValue(QStringView text) {
    if (text.isEmpty() || text.size() > 9) {
        return std::nullopt;
    }
    Millis value = 0;
    for (const QChar c : text) {
        if (!isAsciiDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

// A decimal fraction of a second of 1 to 3 digits: "5" is 500 ms, "25" 250 ms, "125" 125 ms.
std::optional<Millis> fractionMillis(QStringView text) {
    if (text.size() > 3) {
        return std::nullopt;
    }
    std::optional<Millis> value = digitsValue(text);
    for (qsizetype i = text.size(); value && i < 3; ++i) {
        *value *= 10;
    }
    return value;
}

// Seconds of at most two digits, below 60.
std::optional<Millis> secondsValue(QStringView text) {
    const std::optional<Millis> value = text.size() <= 2 ? digitsValue(text) : std::nullopt;
    return value && *value < 60 ? value : std::nullopt;
}

// A SubRip or WebVTT time: "HH:MM:SS,mmm" or "MM:SS.mmm"; "," and "." both separate the
// milliseconds, which may have fewer than three digits or be missing. Hours stop at 99.
std::optional<Millis> parseClockTime(QStringView text) {
    const qsizetype lastColon = text.lastIndexOf(u':');
    if (lastColon < 0) {
        return std::nullopt;
    }
    Millis fraction = 0;
    QStringView clock = text;
    for (qsizetype i = lastColon + 1; i < text.size(); ++i) {
        if (text[i] == u'.' || text[i] == u',') {
            const std::optional<Millis> parsed = fractionMillis(text.mid(i + 1));
            if (!parsed) {
                return std::nullopt;
            }
            fraction = *parsed;
            clock = text.left(i);
            break;
        }
    }
    const qsizetype firstColon = clock.indexOf(u':');
    std::optional<Millis> hours = 0;
    QStringView minutesText = clock.left(lastColon);
    if (firstColon != lastColon) {
        hours = digitsValue(clock.left(firstColon));
        minutesText = clock.mid(firstColon + 1, lastColon - firstColon - 1);
    }
    const std::optional<Millis> minutes = secondsValue(minutesText); // also 0..59
    const std::optional<Millis> seconds = secondsValue(clock.mid(lastColon + 1));
    if (!hours || *hours > maxHours || !minutes || !seconds) {
        return std::nullopt;
    }
    return ((*hours * 60 + *minutes) * 60 + *seconds) * 1000 + fraction;
}

// An LRC stamp without its brackets: "mm:ss", "mm:ss.xx", "mm:ss.xxx" (also "mm:ss:xx").
// Minutes may exceed 59, up to 99 hours' worth.
std::optional<Millis> parseLrcStamp(QStringView text) {
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0) {
        return std::nullopt;
    }
    const std::optional<Millis> minutes = digitsValue(text.left(colon));
    QStringView rest = text.mid(colon + 1);
    Millis fraction = 0;
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (rest[i] == u'.' || rest[i] == u':') {
            const std::optional<Millis> parsed = fractionMillis(rest.mid(i + 1));
            if (!parsed) {
                return std::nullopt;
            }
            fraction = *parsed;
            rest = rest.left(i);
            break;
        }
    }
    const std::optional<Millis> seconds = secondsValue(rest);
    if (!minutes || *minutes >= (maxHours + 1) * 60 || !seconds) {
        return std::nullopt;
    }
    return (*minutes * 60 + *seconds) * 1000 + fraction;
}

QString clockText(Millis ms) {
    const char *sign = ms < 0 ? "-" : "";
    ms = ms < 0 ? -ms : ms;
    return QString::asprintf("%s%02lld:%02lld:%02lld.%03lld", sign, ms / 3600000, ms / 60000 % 60,
                             ms / 1000 % 60, ms % 1000);
}

// --- Text clean-up -----------------------------------------------------------------------

enum class Tag { None, Formatting, LineBreak, RubyTextStart, RubyTextEnd };

// What the text between "<" and ">" is: a cue timestamp (<00:00:01.000>), one of the tags of
// SubRip and WebVTT cue text, with class names or an annotation after the name (<c.yellow>,
// <v Mary>, <font color="red">), or no tag at all ("a <b and c> d" in plain text stays).
Tag tagKind(QStringView inner) {
    const bool closing = inner.startsWith(u'/');
    if (closing) {
        inner = inner.mid(1);
    }
    if (inner.isEmpty()) {
        return Tag::None;
    }
    if (isAsciiDigit(inner[0])) {
        return !closing && inner.contains(u':') ? Tag::Formatting : Tag::None;
    }
    qsizetype nameLength = 0;
    while (nameLength < inner.size() && isAsciiLetter(inner[nameLength])) {
        ++nameLength;
    }
    if (nameLength < inner.size()) {
        const QChar after = inner[nameLength];
        if (after != u' ' && after != u'\t' && after != u'.' && after != u'/') {
            return Tag::None;
        }
    }
    const QString name = inner.left(nameLength).toString().toLower();
    if (name == u"rt") {
        return closing ? Tag::RubyTextEnd : Tag::RubyTextStart;
    }
    if (name == u"ruby") {
        return closing ? Tag::RubyTextEnd : Tag::Formatting;
    }
    if (name == u"br") {
        return Tag::LineBreak;
    }
    constexpr const char16_t *formatting[] = {u"b",  u"c", u"font", u"i", u"lang",
                                              u"rp", u"s", u"span", u"u", u"v"};
    return std::any_of(std::begin(formatting), std::end(formatting),
                       [&](const char16_t *known) { return name == QStringView(known); })
               ? Tag::Formatting
               : Tag::None;
}

struct Entity {
    const char16_t *name;
    const char16_t *text;
};

constexpr Entity entities[] = {
    {u"&amp;", u"&"}, {u"&lt;", u"<"}, {u"&gt;", u">"},    {u"&nbsp;", u" "},
    {u"&lrm;", u""},  {u"&rlm;", u""}, {u"&quot;", u"\""}, {u"&apos;", u"'"},
};

// A cue line without tags, {\...} override blocks and entities, its white space collapsed.
// The reading over ruby text (<rt>...</rt>) goes with its tags: the base text stays.
QString cleanLine(QStringView line) {
    QString out;
    out.reserve(line.size());
    bool inRubyText = false;
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = line[i];
        if (c == u'<' || (c == u'{' && i + 1 < n && line[i + 1] == u'\\')) {
            // The scan stops at the next opener too, so that every character is looked at
            // a bounded number of times however many unclosed brackets the line holds.
            const QChar close = c == u'<' ? u'>' : u'}';
            qsizetype j = i + 1;
            while (j < n && line[j] != close && line[j] != c) {
                ++j;
            }
            if (j < n && line[j] == close) {
                const Tag tag = c == u'{' ? Tag::Formatting : tagKind(line.mid(i + 1, j - i - 1));
                if (tag != Tag::None) {
                    if (tag == Tag::RubyTextStart) {
                        inRubyText = true;
                    } else if (tag == Tag::RubyTextEnd) {
                        inRubyText = false;
                    } else if (tag == Tag::LineBreak) {
                        out.append(u' ');
                    }
                    i = j + 1;
                    continue;
                }
            }
        }
        if (inRubyText) {
            ++i;
            continue;
        }
        // NUL and other control characters are no text: a cue of nothing else is an empty
        // cue. A tab stays white space.
        if (isControlCharacter(c)) {
            if (c == u'\t') {
                out.append(u' ');
            }
            ++i;
            continue;
        }
        if (c == u'&') {
            const Entity *found =
                std::find_if(std::begin(entities), std::end(entities), [&](const Entity &e) {
                    return line.mid(i).startsWith(QStringView(e.name));
                });
            if (found != std::end(entities)) {
                out.append(QStringView(found->text));
                i += QStringView(found->name).size();
                continue;
            }
        }
        out.append(c);
        ++i;
    }
    return out.simplified();
}

struct CueText {
    QString english;
    QString chinese;
    bool isEmpty() const { return english.isEmpty() && chinese.isEmpty(); }
};

// Adds one cleaned line to the English or, when it holds an ideograph, the Chinese of a cue.
void addLine(CueText &cue, const QString &line) {
    if (line.isEmpty()) {
        return;
    }
    const bool chinese = hasIdeograph(line);
    QString &target = chinese ? cue.chinese : cue.english;
    if (target.isEmpty()) {
        target = line;
        return;
    }
    if (!chinese || !isWide(target.back()) || !isWide(line.front())) {
        target.append(u' ');
    }
    target.append(line);
}

// --- Cues --------------------------------------------------------------------------------

struct TimedCue {
    qsizetype line = 0; // index of the line that gives its time
    int number = 0;     // 1-based, in file order (LRC: time order)
    Millis start = 0;
    Millis end = 0;
    CueText text;
};

SubtitleParse failure(QString message) {
    return {{}, std::move(message)};
}

// The cues with text, or the first whose end is not after its start.
SubtitleParse finish(std::vector<TimedCue> timed) {
    SubtitleParse parse;
    for (TimedCue &cue : timed) {
        if (cue.text.isEmpty()) {
            continue;
        }
        if (cue.end <= cue.start) {
            return failure(
                lineError(cue.line, QStringLiteral("cue %1 at %2 ends at %3, not after its start")
                                        .arg(cue.number)
                                        .arg(clockText(cue.start), clockText(cue.end))));
        }
        parse.cues.push_back({static_cast<double>(cue.start) / 1000.0,
                              static_cast<double>(cue.end) / 1000.0, std::move(cue.text.english),
                              std::move(cue.text.chinese), cue.number});
    }
    if (parse.cues.empty()) {
        return failure(noCueFound);
    }
    return parse;
}

struct Timing {
    Millis start = 0;
    Millis end = 0;
    QString error;
};

// "start --> end [settings]": whatever follows the end time (WebVTT cue settings, SubRip
// positions "X1:40 X2:600 ...") is ignored.
Timing parseTimingLine(QStringView line, qsizetype lineIndex) {
    const qsizetype arrow = line.indexOf(u"-->");
    const QStringView startText = line.left(arrow).trimmed();
    QStringView endText = line.mid(arrow + 3).trimmed();
    for (qsizetype i = 0; i < endText.size(); ++i) {
        if (endText[i] == u' ' || endText[i] == u'\t') {
            endText = endText.left(i);
            break;
        }
    }
    Timing timing;
    for (const auto &[text, target] :
         {std::pair{startText, &timing.start}, std::pair{endText, &timing.end}}) {
        const std::optional<Millis> ms = parseClockTime(text);
        if (!ms) {
            timing.error = lineError(lineIndex, QStringLiteral("bad time ") + quoted(text));
            return timing;
        }
        *target = *ms;
    }
    return timing;
}

bool isTimingLine(QStringView line) {
    return line.contains(u"-->");
}

// SubRip: blocks of an index line, a timing line and text lines. Leniently, a cue's text runs
// from its timing line to the next one, blank lines left out, less the index line just
// before the next timing line (a digits-only line straight after a timing line is text).
// Index lines may be missing; text before the first timing line is ignored.
SubtitleParse parseSubRip(QStringView text) {
    const std::vector<QStringView> lines = splitLines(text);
    std::vector<qsizetype> timingLines;
    for (qsizetype i = 0; i < static_cast<qsizetype>(lines.size()); ++i) {
        if (isTimingLine(lines[static_cast<size_t>(i)])) {
            timingLines.push_back(i);
        }
    }
    std::vector<TimedCue> timed;
    for (size_t k = 0; k < timingLines.size(); ++k) {
        const qsizetype at = timingLines[k];
        Timing timing = parseTimingLine(lines[static_cast<size_t>(at)], at);
        if (!timing.error.isEmpty()) {
            return failure(std::move(timing.error));
        }
        qsizetype last =
            k + 1 < timingLines.size() ? timingLines[k + 1] : static_cast<qsizetype>(lines.size());
        if (k + 1 < timingLines.size() && last - 1 > at + 1 &&
            isAllDigits(lines[static_cast<size_t>(last - 1)].trimmed())) {
            --last;
        }
        TimedCue cue{at, static_cast<int>(k + 1), timing.start, timing.end, {}};
        for (qsizetype i = at + 1; i < last; ++i) {
            addLine(cue.text, cleanLine(lines[static_cast<size_t>(i)]));
        }
        timed.push_back(std::move(cue));
    }
    return finish(std::move(timed));
}

// WebVTT: blocks separated by blank lines. A block's first timing line makes it a cue; the
// lines before it (the cue identifier) are ignored, the lines after it are the text. NOTE,
// STYLE and REGION blocks are skipped, and the header block ("WEBVTT ...") holds no timing
// line. A missing header is forgiven.
SubtitleParse parseWebVtt(QStringView text) {
    const std::vector<QStringView> lines = splitLines(text);
    const qsizetype count = static_cast<qsizetype>(lines.size());
    auto lineAt = [&](qsizetype i) { return lines[static_cast<size_t>(i)]; };
    std::vector<TimedCue> timed;
    qsizetype i = 0;
    while (i < count) {
        if (isBlank(lineAt(i))) {
            ++i;
            continue;
        }
        qsizetype blockEnd = i;
        while (blockEnd < count && !isBlank(lineAt(blockEnd))) {
            ++blockEnd;
        }
        const QStringView first = lineAt(i).trimmed();
        const bool skipped = startsWithKeyword(first, u"NOTE") ||
                             startsWithKeyword(first, u"STYLE") ||
                             startsWithKeyword(first, u"REGION");
        qsizetype at = i;
        while (!skipped && at < blockEnd && !isTimingLine(lineAt(at))) {
            ++at;
        }
        if (!skipped && at < blockEnd) {
            Timing timing = parseTimingLine(lineAt(at), at);
            if (!timing.error.isEmpty()) {
                return failure(std::move(timing.error));
            }
            TimedCue cue{at, static_cast<int>(timed.size() + 1), timing.start, timing.end, {}};
            for (qsizetype t = at + 1; t < blockEnd; ++t) {
                addLine(cue.text, cleanLine(lineAt(t)));
            }
            timed.push_back(std::move(cue));
        }
        i = blockEnd;
    }
    return finish(std::move(timed));
}

// Whether a bracketed LRC tag is metadata: "ar:", "ti:", "offset:" and the like.
bool isLrcMetadata(QStringView inner) {
    const qsizetype colon = inner.indexOf(u':');
    return colon > 0 && std::all_of(inner.begin(), inner.begin() + colon, isAsciiLetter);
}

// "[offset:+500]": milliseconds, optionally signed.
std::optional<Millis> parseOffset(QStringView value) {
    value = value.trimmed();
    const bool negative = value.startsWith(u'-');
    if (negative || value.startsWith(u'+')) {
        value = value.mid(1);
    }
    const std::optional<Millis> ms = digitsValue(value);
    return ms && negative ? std::optional<Millis>(-*ms) : ms;
}

struct LrcStamp {
    Millis time = 0;
    qsizetype line = 0;
    size_t text = 0; // index into the cleaned texts
};

// LRC: "[mm:ss.xx]text" lines, several stamps on a line giving its text to each, in any
// order. The lines of one stamp form one cue (usually the English and then the Chinese); a
// cue lasts until the next later stamp, the last one until audioSeconds. An offset tag moves
// every stamp: a positive offset shows the lines sooner. Cues moved before zero start at
// zero, or are dropped when they end there too. Lines without stamps are ignored.
SubtitleParse parseLrc(QStringView text, double audioSeconds) {
    const std::vector<QStringView> lines = splitLines(text);
    std::vector<LrcStamp> stamps;
    std::vector<QString> texts;
    Millis offset = 0;
    for (qsizetype index = 0; index < static_cast<qsizetype>(lines.size()); ++index) {
        const QStringView line = lines[static_cast<size_t>(index)];
        auto skipBlanks = [&](qsizetype pos) {
            while (pos < line.size() && (line[pos] == u' ' || line[pos] == u'\t')) {
                ++pos;
            }
            return pos;
        };
        qsizetype pos = skipBlanks(0);
        int lineStamps = 0;
        bool metadata = false;
        while (pos < line.size() && line[pos] == u'[') {
            const qsizetype close = line.indexOf(u']', pos + 1);
            if (close < 0) {
                break;
            }
            const QStringView inner = line.mid(pos + 1, close - pos - 1).trimmed();
            if (!inner.isEmpty() && isAsciiDigit(inner[0]) && inner.contains(u':')) {
                const std::optional<Millis> time = parseLrcStamp(inner);
                if (!time) {
                    return failure(lineError(index, QStringLiteral("bad time ") +
                                                        quoted(line.mid(pos, close - pos + 1))));
                }
                if (++lineStamps > maxStampsPerLine) {
                    return failure(lineError(
                        index, QStringLiteral("more than %1 time stamps").arg(maxStampsPerLine)));
                }
                stamps.push_back({*time, index, texts.size()});
            } else if (lineStamps == 0 && isLrcMetadata(inner)) {
                const qsizetype colon = inner.indexOf(u':');
                if (inner.left(colon).compare(u"offset", Qt::CaseInsensitive) == 0) {
                    const std::optional<Millis> ms = parseOffset(inner.mid(colon + 1));
                    if (!ms) {
                        return failure(lineError(index, QStringLiteral("bad offset ") +
                                                            quoted(inner.mid(colon + 1))));
                    }
                    offset = *ms;
                }
                metadata = true;
                break;
            } else {
                break;
            }
            pos = skipBlanks(close + 1);
        }
        if (lineStamps > 0 && !metadata) {
            texts.push_back(cleanLine(line.mid(pos)));
        }
    }
    if (stamps.empty()) {
        return failure(noCueFound);
    }

    std::stable_sort(stamps.begin(), stamps.end(),
                     [](const LrcStamp &a, const LrcStamp &b) { return a.time < b.time; });
    const bool audioKnown = std::isfinite(audioSeconds) && audioSeconds > 0;
    const Millis audioEnd =
        audioKnown ? std::llround(std::min(audioSeconds, 1e9) * 1000.0) : Millis(0);
    std::vector<TimedCue> timed;
    for (size_t first = 0; first < stamps.size();) {
        size_t next = first;
        while (next < stamps.size() && stamps[next].time == stamps[first].time) {
            ++next;
        }
        TimedCue cue;
        cue.line = stamps[first].line;
        cue.number = static_cast<int>(timed.size() + 1);
        cue.start = std::max<Millis>(stamps[first].time - offset, 0);
        if (next < stamps.size()) {
            cue.end = stamps[next].time - offset;
        } else {
            cue.end = audioKnown ? audioEnd : cue.start + lastLrcLineWithoutAudio;
        }
        for (size_t s = first; s < next; ++s) {
            // A line that repeats a stamp gives its text once.
            if (s == first || stamps[s].text != stamps[s - 1].text) {
                addLine(cue.text, texts[stamps[s].text]);
            }
        }
        const bool beforeAudio = next < stamps.size() && cue.end <= 0;
        if (!beforeAudio) {
            timed.push_back(std::move(cue));
        }
        first = next;
    }
    return finish(std::move(timed));
}

bool looksLikeLrcStamp(QStringView line) {
    qsizetype i = 1;
    while (i < line.size() && isAsciiDigit(line[i])) {
        ++i;
    }
    return line.startsWith(u'[') && i > 1 && i + 1 < line.size() && line[i] == u':' &&
           isAsciiDigit(line[i + 1]);
}

// UTF-16 saved without a byte-order mark, told by its zero bytes: every ASCII character
// (digits, "-->", line breaks, English) has a zero high byte, in the odd places for little
// endian and the even ones for big endian, while UTF-8 and GBK text has no zero bytes at all
// but for a stray NUL or two. So at least a quarter of the pairs must have their zero on one
// side and hardly any on the other.
std::optional<QStringConverter::Encoding> utf16WithoutMark(QByteArrayView bytes) {
    const qsizetype pairs = bytes.size() / 2;
    if (pairs < 2) {
        return std::nullopt;
    }
    qsizetype zeroFirst = 0;
    qsizetype zeroSecond = 0;
    for (qsizetype i = 0; i < pairs; ++i) {
        zeroFirst += bytes[2 * i] == 0 ? 1 : 0;
        zeroSecond += bytes[2 * i + 1] == 0 ? 1 : 0;
    }
    // A handful of zeros at least, so that a few bytes with a NUL in them stay UTF-8.
    constexpr qsizetype fewestZeros = 4;
    const auto clearly = [&](qsizetype many, qsizetype few) {
        return many >= fewestZeros && many * 4 >= pairs && few * 16 <= many;
    };
    if (clearly(zeroSecond, zeroFirst)) {
        return QStringConverter::Utf16LE;
    }
    if (clearly(zeroFirst, zeroSecond)) {
        return QStringConverter::Utf16BE;
    }
    return std::nullopt;
}

} // namespace

std::optional<SubtitleFormat> subtitleFormatOf(const QString &fileName, QStringView text) {
    if (fileName.endsWith(u".srt", Qt::CaseInsensitive)) {
        return SubtitleFormat::SubRip;
    }
    if (fileName.endsWith(u".vtt", Qt::CaseInsensitive)) {
        return SubtitleFormat::WebVtt;
    }
    if (fileName.endsWith(u".lrc", Qt::CaseInsensitive)) {
        return SubtitleFormat::Lrc;
    }
    bool firstLine = true;
    for (const QStringView rawLine : splitLines(text)) {
        const QStringView line = rawLine.trimmed();
        if (line.isEmpty()) {
            continue;
        }
        if (firstLine && startsWithKeyword(line, u"WEBVTT")) {
            return SubtitleFormat::WebVtt;
        }
        firstLine = false;
        if (looksLikeLrcStamp(line)) {
            return SubtitleFormat::Lrc;
        }
        if (isTimingLine(line)) {
            return SubtitleFormat::SubRip;
        }
    }
    return std::nullopt;
}

QString decodeSubtitleText(QByteArrayView bytes) {
    for (const auto &[mark, encoding] :
         {std::pair{QByteArrayView("\xFF\xFE"), QStringConverter::Utf16LE},
          std::pair{QByteArrayView("\xFE\xFF"), QStringConverter::Utf16BE}}) {
        if (bytes.startsWith(mark)) {
            QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
            return decoder(bytes.sliced(2));
        }
    }
    // Before the UTF-8 test: UTF-16 of ASCII text is valid UTF-8 too, NULs and all.
    if (const std::optional<QStringConverter::Encoding> utf16 = utf16WithoutMark(bytes)) {
        QStringDecoder decoder(*utf16, QStringConverter::Flag::Stateless);
        return decoder(bytes);
    }
    // Not decodeText(): content files are GBK first and UTF-8 only when GBK does not fit,
    // while subtitles are mostly UTF-8 and GBK only from older Chinese sites.
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        return decodeTextDetailed(bytes).text;
    }
    if (bytes.isValidUtf8()) {
        return QString::fromUtf8(bytes);
    }
    return decodeGbk(bytes);
}

SubtitleParse parseSubtitles(QStringView text, SubtitleFormat format, double audioSeconds) {
    switch (format) {
    case SubtitleFormat::SubRip:
        return parseSubRip(text);
    case SubtitleFormat::WebVtt:
        return parseWebVtt(text);
    case SubtitleFormat::Lrc:
        return parseLrc(text, audioSeconds);
    }
    return failure(noCueFound);
}

std::vector<SubtitleCue> mergeChinese(std::vector<SubtitleCue> english,
                                      const std::vector<SubtitleCue> &chinese) {
    // The Chinese cues with text by start; one that overlaps an English cue starts less than the
    // longest Chinese duration before it, which bounds the search.
    std::vector<size_t> order;
    double longest = 0;
    for (size_t i = 0; i < chinese.size(); ++i) {
        const SubtitleCue &c = chinese[i];
        const bool hasText = !c.chinese.isEmpty() || !c.english.isEmpty();
        if (hasText && std::isfinite(c.start) && std::isfinite(c.end) && c.end > c.start) {
            order.push_back(i);
            longest = std::max(longest, c.end - c.start);
        }
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return chinese[a].start < chinese[b].start; });
    for (SubtitleCue &cue : english) {
        if (!std::isfinite(cue.start) || !std::isfinite(cue.end)) {
            continue;
        }
        auto it = std::lower_bound(
            order.begin(), order.end(), cue.start - longest,
            [&](size_t index, double time) { return chinese[index].start < time; });
        const SubtitleCue *best = nullptr;
        double bestOverlap = 0;
        for (; it != order.end() && chinese[*it].start < cue.end; ++it) {
            const SubtitleCue &c = chinese[*it];
            const double overlap = std::min(cue.end, c.end) - std::max(cue.start, c.start);
            if (overlap > bestOverlap) {
                bestOverlap = overlap;
                best = &c;
            }
        }
        if (best) {
            cue.chinese = best->chinese.isEmpty() ? best->english : best->chinese;
        }
    }
    return english;
}
