#include "lessonimport.h"

#include "caretlist.h"
#include "contentpaths.h"
#include "files/filebytes.h"
#include "plaintext.h"
#include "resultstext.h"
#include "richtext.h"
#include "sentencetable.h"
#include "staletemporaries.h"
#include "subtitles.h"
#include "textcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

namespace {

constexpr int maxLessons = 32767; // lesson numbers are 16-bit signed

// Start and End as plain decimals to the millisecond.
QString seconds(double value) {
    return QString::number(std::round(value * 1000) / 1000, 'f', 3);
}

// Why the sentences cannot be had: one English line for the tool and one Chinese line for the
// window.
struct Problem {
    QString error;
    QString learnerError;
};

// The line a reader's error names ("line 12: ..."), 0 when it names none.
int lineOf(const QString &error) {
    static const QRegularExpression line(QStringLiteral("(?:^|: )line (\\d+)[: ]"));
    const QRegularExpressionMatch match = line.match(error);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

// A problem in a file of sentences, named in Chinese by the line at fault when there is one.
Problem fileProblem(const QString &path, const QString &error, const QString &what) {
    const int line = lineOf(error);
    const QString name = QFileInfo(path).fileName();
    return {path + QStringLiteral(": ") + error,
            line > 0 ? QStringLiteral("%1“%2”第 %3 行有误，无法导入。").arg(what, name).arg(line)
                     : QStringLiteral("%1“%2”无法读取或没有可用的句子。").arg(what, name)};
}

// The subtitle file's cues, or why there are none.
struct Cues {
    std::vector<SubtitleCue> cues;
    Problem problem;
};

Cues parsedCues(const QString &path, const QString &text, SubtitleFormat format,
                double audioSeconds) {
    SubtitleParse parsed = parseSubtitles(text, format, audioSeconds);
    if (!parsed.error.isEmpty())
        return {{}, fileProblem(path, parsed.error, QStringLiteral("字幕"))};
    if (parsed.cues.empty()) {
        return {{},
                {path + QStringLiteral(": no cue found"),
                 QStringLiteral("字幕“%1”里没有字幕条。").arg(QFileInfo(path).fileName())}};
    }
    return {std::move(parsed.cues), {}};
}

// A text file's characters, or why it cannot be read.
struct TextFile {
    QString text;
    Problem problem;
};

TextFile readText(const QString &path) {
    const FileBytes file = readFileBytes(path);
    if (!file.error.isEmpty()) {
        return {{},
                {path + QStringLiteral(": ") + file.error,
                 QStringLiteral("无法读取文件“%1”。").arg(QFileInfo(path).fileName())}};
    }
    return {decodeSubtitleText(file.bytes), {}};
}

Cues readCues(const QString &path, double audioSeconds) {
    const TextFile file = readText(path);
    if (!file.problem.error.isEmpty())
        return {{}, file.problem};
    const std::optional<SubtitleFormat> format = subtitleFormatOf(path, file.text);
    if (!format) {
        return {
            {},
            {path + QStringLiteral(": not SubRip, WebVTT or LRC subtitles"),
             QStringLiteral("“%1”不是 SRT、VTT 或 LRC 字幕。").arg(QFileInfo(path).fileName())}};
    }
    return parsedCues(path, file.text, *format, audioSeconds);
}

// A cue text that would cut its record open.
QString breakingCharacter(const SubtitleCue &cue) {
    for (const QString &text : {cue.english, cue.chinese}) {
        for (const char16_t c : {u'*', u'#'}) {
            if (text.contains(QChar(c)))
                return QString(QChar(c));
        }
    }
    return {};
}

// A text file of the book as the programs read it, or nothing when there is none yet.
struct ExistingText {
    std::optional<QString> text;
    QString error;
};

ExistingText readExisting(const QString &path) {
    const FileBytes file = readFileBytes(path);
    if (file.error == u"no such file")
        return {};
    if (!file.error.isEmpty())
        return {std::nullopt, path + QStringLiteral(": ") + file.error};
    return {plainTextFromFileBytes(file.bytes), {}};
}

// "^a^b^" + name + "^", whatever the list ended with.
QString appendedEntry(QString list, const QString &entry) {
    while (list.endsWith(u'\n') || list.endsWith(u'\r'))
        list.chop(1);
    if (!list.endsWith(u'^'))
        list += u'^';
    return list + entry + u'^';
}

// The files of one import. Each is written to a temporary name beside its target first; the
// commit then renames each over its target in the order staged, one rename per file, so a
// kill between two renames leaves every file whole: either the old one or the new one.
class Transaction {
public:
    ~Transaction() { rollBack(); }

    // Creates the folders of path that do not exist yet, remembering them to take back.
    bool prepareFolder(const QString &path) {
        QStringList missing;
        for (QString dir = QFileInfo(path).absolutePath(); !QFileInfo::exists(dir);
             dir = QFileInfo(dir).absolutePath())
            missing.prepend(dir);
        for (const QString &dir : std::as_const(missing)) {
            if (!QDir().mkdir(dir))
                return false;
            m_createdDirs.prepend(dir);
        }
        return true;
    }

    // The temporary name the caller fills (with audio), renamed over target on commit.
    QString stage(const QString &target) {
        const QString temporary = target + QStringLiteral(".importing");
        QFile::remove(temporary); // left by an import that was killed
        m_staged.append({temporary, target});
        return temporary;
    }

    QString stageBytes(const QString &target, const QByteArray &bytes) {
        if (!prepareFolder(target))
            return target + QStringLiteral(": cannot create its folder");
        QFile file(stage(target));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
            return target + QStringLiteral(": ") + file.errorString();
        return {};
    }

    // Replaces the targets in the order staged. On a failure the ones already replaced stay
    // (each is whole) and the rest are taken back. afterRename, when given, is asked after
    // each rename whether to go on; "no" stops as a kill would, leaving the rest staged.
    QString commit(const std::function<bool(int renamed)> &afterRename) {
        if (afterRename && !afterRename(0))
            return abandon(0);
        for (qsizetype i = 0; i < m_staged.size(); ++i) {
            const Staged s = m_staged[i];
            std::error_code error;
            std::filesystem::rename(std::filesystem::path(s.temporary.toStdU16String()),
                                    std::filesystem::path(s.target.toStdU16String()), error);
            if (error) {
                m_staged.remove(0, i); // rmdir then keeps the folders of the renamed ones
                return s.target + QStringLiteral(": cannot be written (") +
                       QString::fromStdString(error.message()) + u')';
            }
            if (afterRename && !afterRename(int(i) + 1))
                return abandon(int(i) + 1);
        }
        m_staged.clear();
        m_createdDirs.clear();
        return {};
    }

private:
    // Leaves everything as it is on disk, as a kill at this point would.
    QString abandon(int renamed) {
        m_staged.clear();
        m_createdDirs.clear();
        return QStringLiteral("stopped after %1 of the files").arg(renamed);
    }

    void rollBack() {
        for (const Staged &s : std::as_const(m_staged))
            QFile::remove(s.temporary);
        for (const QString &dir : std::as_const(m_createdDirs))
            QDir().rmdir(dir);
    }

    struct Staged {
        QString temporary;
        QString target;
    };
    QList<Staged> m_staged;
    QStringList m_createdDirs; // innermost first
};

// The results with the new lesson not passed. The marks of the listed lessons are kept when
// the file agrees with the list on them; an entry beyond the list (an import stopped between
// writing the results and the list) goes. A file missing or out of step otherwise gets
// every lesson, none passed.
QString resultsWithLesson(const std::optional<QString> &fileText, const QStringList &names,
                          const QString &name) {
    QStringList allNames = names;
    allNames << name;
    if (!fileText)
        return freshResults(allNames);
    const QString old = resultsTextFromFile(*fileText);
    const QStringList entries = resultsEntries(old);
    if (entries.size() == names.size())
        return appendedEntry(old, QChar(ResultsMark::notPassed) + name);
    if (entries.size() < names.size())
        return freshResults(allNames);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString &entry = entries[i];
        const bool marked = !entry.isEmpty() && (entry[0] == QChar(ResultsMark::notPassed) ||
                                                 entry[0] == QChar(ResultsMark::passed));
        if (!marked || QStringView(entry).sliced(1) != names[i])
            return freshResults(allNames);
    }
    QStringList kept = entries.mid(0, names.size());
    kept << QChar(ResultsMark::notPassed) + name;
    return u'^' + kept.join(u'^') + u'^';
}

ImportResult failure(const QString &error, const QString &learnerError) {
    ImportResult result;
    result.error = error;
    result.learnerError = learnerError;
    return result;
}

ImportResult failure(const Problem &problem) {
    return failure(problem.error, problem.learnerError);
}

ImportResult stopped() {
    ImportResult result = failure(QStringLiteral("stopped"), QStringLiteral("导入已取消。"));
    result.cancelled = true;
    return result;
}

// Overlaps are told one by one up to this many, then counted.
constexpr int maxOverlapNotes = 5;

QString cueAt(const SubtitleCue &cue) {
    return QStringLiteral("cue %1 (at %2 s)").arg(cue.number).arg(seconds(cue.start));
}

// The cues as the lesson keeps them, or why they cannot be a lesson. The programs play the
// sentences in table order and load only the first maxSentences, so cues out of time order
// are put in order (cues are independent lines of speech, so their order in time is their
// meaning), a lesson too long to load is refused, and so is a cue the audio does not reach;
// a cue running past the end of the audio ends with it.
QString settleCues(std::vector<SubtitleCue> &cues, double audioSeconds, QStringList &notes) {
    if (cues.size() > size_t(SentenceTable::maxSentences)) {
        return QStringLiteral("the subtitles hold %1 cues, but a lesson holds at most %2 "
                              "sentences; split them into several lessons")
            .arg(cues.size())
            .arg(SentenceTable::maxSentences);
    }
    const auto byStart = [](const SubtitleCue &a, const SubtitleCue &b) {
        return a.start < b.start;
    };
    const auto disorder = std::is_sorted_until(cues.begin(), cues.end(), byStart);
    if (disorder != cues.end()) {
        notes << QStringLiteral("%1 starts before the cue above it: the cues were put in order "
                                "of their start")
                     .arg(cueAt(*disorder));
        std::stable_sort(cues.begin(), cues.end(), byStart);
    }
    const bool audioKnown = std::isfinite(audioSeconds) && audioSeconds > 0;
    for (SubtitleCue &cue : cues) {
        if (!audioKnown)
            break;
        if (cue.start >= audioSeconds) {
            return QStringLiteral("%1 starts after the end of the audio (%2 s)")
                .arg(cueAt(cue), seconds(audioSeconds));
        }
        if (cue.end > audioSeconds) {
            notes << QStringLiteral("%1 ends at %2 s, after the end of the audio: it ends "
                                    "with the audio at %3 s")
                         .arg(cueAt(cue), seconds(cue.end), seconds(audioSeconds));
            cue.end = audioSeconds;
        }
    }
    int overlaps = 0;
    for (size_t i = 1; i < cues.size(); ++i) {
        if (cues[i].start < cues[i - 1].end && ++overlaps <= maxOverlapNotes) {
            notes << QStringLiteral("%1 overlaps cue %2, which ends at %3 s")
                         .arg(cueAt(cues[i]))
                         .arg(cues[i - 1].number)
                         .arg(seconds(cues[i - 1].end));
        }
    }
    if (overlaps > maxOverlapNotes) {
        notes << QStringLiteral("%1 more cues overlap the cue before them")
                     .arg(overlaps - maxOverlapNotes);
    }
    return {};
}

} // namespace

QString lessonTextOf(const std::vector<SubtitleCue> &cues) {
    QString text;
    for (const SubtitleCue &cue : cues) {
        text += u'*' + cue.english + u'#' + cue.chinese + u'#' + seconds(cue.start) + u'#' +
                seconds(cue.end) + u'#';
    }
    return text + u'*';
}

EncodedContent encodeContent(QStringView text) {
    // GB18030 writes the characters GBK lacks as four bytes, a lead byte and then a digit;
    // a GBK pair never has a digit second.
    const QByteArray gbk = encodeGbk(text);
    bool fits = decodeGbk(gbk) == text;
    for (qsizetype i = 0; fits && i + 1 < gbk.size(); ++i) {
        const auto lead = static_cast<unsigned char>(gbk[i]);
        if (lead < 0x80)
            continue;
        const auto trail = static_cast<unsigned char>(gbk[i + 1]);
        fits = !(trail >= '0' && trail <= '9');
        ++i;
    }
    if (fits)
        return {gbk, false};
    return {QByteArray("\xEF\xBB\xBF") + text.toUtf8(), true};
}

namespace {
// An audio error names the file once, whether or not the audio layer named it already.
QString aboutAudio(const QString &audio, const QString &error) {
    return error.startsWith(audio + u':') ? error : audio + QStringLiteral(": ") + error;
}
} // namespace

namespace {

// Progress of one step mapped onto its share [from, to] of the whole import. Remembers a
// request to stop, so that a step that gives up for another reason is not taken for one.
class StepProgress {
public:
    explicit StepProgress(const ImportProgress &whole) : m_whole(whole) {}

    ImportProgress step(double from, double to) {
        return [this, from, to](double fraction) {
            if (m_stopped)
                return false;
            if (m_whole && !m_whole(from + (to - from) * std::clamp(fraction, 0.0, 1.0)))
                m_stopped = true;
            return !m_stopped;
        };
    }
    bool stopped() const { return m_stopped; }

private:
    const ImportProgress &m_whole;
    bool m_stopped = false;
};

// The lesson's sentences with their times, from whichever source the request names.
struct Sentences {
    std::vector<SubtitleCue> cues;
    Problem problem;
    QStringList notes;
    std::vector<int> doubtful; // indexes into cues
};

QString shortened(const QString &sentence) {
    constexpr int shown = 40;
    return sentence.size() <= shown ? sentence : sentence.left(shown) + u'…';
}

// A plain text's sentences, found in the audio.
Sentences alignedSentences(const ImportRequest &request, const QString &text,
                           const AudioTools &audio, const ImportProgress &progress) {
    Sentences out;
    if (!audio.alignText) {
        out.problem = {QStringLiteral("this build cannot find sentences in audio"),
                       QStringLiteral("这个版本无法从音频中找出句子，请改用字幕文件。")};
        return out;
    }
    PlainSplit split;
    if (request.chinese.isEmpty()) {
        split = splitPlainText(text);
    } else {
        const TextFile chinese = readText(request.chinese);
        if (!chinese.problem.error.isEmpty()) {
            out.problem = chinese.problem;
            return out;
        }
        split = pairPlainTexts(text, chinese.text);
    }
    if (!split.error.isEmpty()) {
        out.problem = fileProblem(request.subtitles, split.error, QStringLiteral("文本"));
        return out;
    }
    // Chinese lines with no English before them (a Chinese heading) cannot be heard.
    std::vector<PlainSentence> spoken;
    for (PlainSentence &sentence : split.sentences) {
        if (!sentence.english.isEmpty())
            spoken.push_back(std::move(sentence));
    }
    if (spoken.size() < split.sentences.size()) {
        out.notes << QStringLiteral("%1 Chinese lines with no English line before them were "
                                    "left out")
                         .arg(split.sentences.size() - spoken.size());
    }
    if (spoken.empty()) {
        out.problem = {request.subtitles + QStringLiteral(": no English sentence"),
                       QStringLiteral("文本“%1”里没有英文句子。")
                           .arg(QFileInfo(request.subtitles).fileName())};
        return out;
    }
    if (spoken.size() > size_t(SentenceTable::maxSentences)) {
        out.problem = {QStringLiteral("the text holds %1 sentences, but a lesson holds at most %2; "
                                      "split it into several lessons")
                           .arg(spoken.size())
                           .arg(SentenceTable::maxSentences),
                       QStringLiteral("文本有 %1 句，一课最多 %2 句，请分成几课导入。")
                           .arg(spoken.size())
                           .arg(SentenceTable::maxSentences)};
        return out;
    }
    QStringList english;
    for (const PlainSentence &sentence : spoken)
        english << sentence.english;
    const TextTiming timing = audio.alignText(request.audio, english, progress);
    if (!timing.error.isEmpty()) {
        out.problem = {request.audio + QStringLiteral(": ") + timing.error,
                       QStringLiteral("无法在音频中找到文本的句子：音频和文本对不上。")};
        return out;
    }
    if (timing.sentences.size() != spoken.size()) {
        out.problem = {QStringLiteral("the aligner gave %1 times for %2 sentences")
                           .arg(timing.sentences.size())
                           .arg(spoken.size()),
                       QStringLiteral("无法在音频中找到文本的句子。")};
        return out;
    }
    out.notes << timing.notes;
    QStringList missing;
    for (size_t i = 0; i < spoken.size(); ++i) {
        const SentenceTiming &time = timing.sentences[i];
        if (!time.found) {
            missing << QStringLiteral("%1 \"%2\"").arg(i + 1).arg(shortened(spoken[i].english));
            continue;
        }
        if (time.doubtful)
            out.doubtful.push_back(int(out.cues.size()));
        out.cues.push_back({std::round(time.start * 1000) / 1000,
                            std::round(time.end * 1000) / 1000, spoken[i].english,
                            spoken[i].chinese, int(i) + 1});
    }
    if (!missing.isEmpty()) {
        out.notes << QStringLiteral("not found in the audio, left out: sentence ") +
                         missing.join(QStringLiteral(", sentence "));
    }
    if (out.cues.empty()) {
        out.problem = {request.audio + QStringLiteral(": no sentence of the text was found in it"),
                       QStringLiteral("音频里没有找到文本中的任何句子：音频和文本对不上。")};
    }
    return out;
}

// The audio file's own subtitle tracks as cues.
Sentences trackSentences(const ImportRequest &request, double seconds, const AudioTools &audio) {
    Sentences out;
    const QString name = QFileInfo(request.audio).fileName();
    const std::vector<EmbeddedTrack> tracks =
        audio.subtitleTracks ? audio.subtitleTracks(request.audio) : std::vector<EmbeddedTrack>{};
    const auto byStream = [&](int stream) {
        return std::find_if(tracks.begin(), tracks.end(),
                            [&](const EmbeddedTrack &t) { return t.stream == stream; });
    };
    const auto english =
        byStream(request.englishTrack == ImportRequest::autoTrack ? flaggedEnglishTrack(tracks)
                                                                  : request.englishTrack);
    if (english == tracks.end()) {
        out.problem = {
            request.audio + QStringLiteral(": no subtitle file given and no text "
                                           "subtitle track in it"),
            QStringLiteral("请选择字幕或文本文件（“%1”里没有可用的字幕轨）。").arg(name)};
        return out;
    }
    const auto chinese = request.chineseTrack == ImportRequest::noTrack
                             ? tracks.end()
                             : byStream(request.chineseTrack == ImportRequest::autoTrack
                                            ? flaggedChineseTrack(tracks, english->stream)
                                            : request.chineseTrack);
    const auto read = [&](const EmbeddedTrack &track) -> Cues {
        const QString shown =
            QStringLiteral("%1 (subtitle stream %2)").arg(request.audio).arg(track.stream);
        if (!track.text) {
            return {{},
                    {shown + QStringLiteral(": a picture track (%1), not text").arg(track.codec),
                     QStringLiteral("所选字幕轨是图像字幕，无法取出文字。")}};
        }
        QString error;
        const QString text =
            audio.readTrack ? audio.readTrack(request.audio, track.stream, &error) : QString();
        if (text.isEmpty()) {
            return {{},
                    {shown + QStringLiteral(": ") +
                         (error.isEmpty() ? QStringLiteral("cannot be read") : error),
                     QStringLiteral("无法读取“%1”里的字幕轨。").arg(name)}};
        }
        return parsedCues(shown, text, SubtitleFormat::SubRip, seconds);
    };
    Cues cues = read(*english);
    if (!cues.problem.error.isEmpty()) {
        out.problem = cues.problem;
        return out;
    }
    out.cues = std::move(cues.cues);
    if (chinese != tracks.end()) {
        const Cues second = read(*chinese);
        if (!second.problem.error.isEmpty()) {
            out.problem = second.problem;
            return out;
        }
        out.cues = mergeChinese(std::move(out.cues), second.cues);
    }
    return out;
}

Sentences sentencesOf(const ImportRequest &request, double seconds, const AudioTools &audio,
                      const ImportProgress &progress) {
    if (request.subtitles.isEmpty())
        return trackSentences(request, seconds, audio);
    const TextFile file = readText(request.subtitles);
    if (!file.problem.error.isEmpty())
        return {{}, file.problem, {}, {}};
    const std::optional<SubtitleFormat> format =
        request.kind == TextKind::Plain ? std::nullopt
                                        : subtitleFormatOf(request.subtitles, file.text);
    if (!format && request.kind == TextKind::Subtitles)
        return {{}, readCues(request.subtitles, seconds).problem, {}, {}};
    if (!format)
        return alignedSentences(request, file.text, audio, progress);
    Cues english = parsedCues(request.subtitles, file.text, *format, seconds);
    if (!english.problem.error.isEmpty())
        return {{}, english.problem, {}, {}};
    if (!request.chinese.isEmpty()) {
        const Cues chinese = readCues(request.chinese, seconds);
        if (!chinese.problem.error.isEmpty())
            return {{}, chinese.problem, {}, {}};
        english.cues = mergeChinese(std::move(english.cues), chinese.cues);
    }
    return {std::move(english.cues), {}, {}, {}};
}

} // namespace

int flaggedEnglishTrack(const std::vector<EmbeddedTrack> &tracks) {
    const auto first = [&](bool wanted(const EmbeddedTrack &)) {
        const auto it = std::find_if(tracks.begin(), tracks.end(),
                                     [&](const EmbeddedTrack &t) { return t.text && wanted(t); });
        return it == tracks.end() ? -1 : it->stream;
    };
    const int flagged = first([](const EmbeddedTrack &t) { return t.english; });
    return flagged >= 0 ? flagged : first([](const EmbeddedTrack &t) { return !t.chinese; });
}

int flaggedChineseTrack(const std::vector<EmbeddedTrack> &tracks, int englishStream) {
    const auto it = std::find_if(tracks.begin(), tracks.end(), [&](const EmbeddedTrack &t) {
        return t.text && t.chinese && t.stream != englishStream;
    });
    return it == tracks.end() ? -1 : it->stream;
}

ImportResult importLesson(const ImportRequest &request, const AudioTools &audio,
                          const std::function<bool(int renamed)> &afterRename) {
    if (!isSafeBookTitle(request.book)) {
        return failure(QStringLiteral("\"%1\" is not a safe book title").arg(request.book),
                       QStringLiteral("书名“%1”不能用作文件夹名，请换一个。").arg(request.book));
    }
    if (request.name.isEmpty())
        return failure(QStringLiteral("the lesson name is empty"), QStringLiteral("请填写课名。"));
    if (request.name.contains(u'^')) {
        return failure(QStringLiteral("the lesson name holds \"^\", which separates lessons"),
                       QStringLiteral("课名里不能有“^”。"));
    }
    for (const QChar c : request.name) {
        if (c == u'\n' || c == u'\r') {
            return failure(QStringLiteral("the lesson name holds a line break"),
                           QStringLiteral("课名不能分行。"));
        }
    }
    if (!QFileInfo(request.dir).isDir()) {
        return failure(request.dir + QStringLiteral(": not a directory"),
                       QStringLiteral("找不到保存课程的文件夹。"));
    }
    if (!audio.probe || !audio.convertToMp3) {
        return failure(QStringLiteral("this build cannot read audio"),
                       QStringLiteral("这个版本无法读取音频。"));
    }
    const QString audioName = QFileInfo(request.audio).fileName();
    StepProgress progress(request.progress);
    const bool aligning = !request.subtitles.isEmpty() && request.kind != TextKind::Subtitles;
    // Reading the audio through once takes a tenth of the time; finding the sentences about
    // as long as converting the audio.
    const double probeShare = 0.1;
    const double sentencesShare = aligning ? 0.55 : probeShare;

    const AudioFacts facts = audio.probe(request.audio, progress.step(0, probeShare));
    if (progress.stopped())
        return stopped();
    if (!facts.error.isEmpty()) {
        return failure(aboutAudio(request.audio, facts.error),
                       QStringLiteral("无法读取音频文件“%1”。").arg(audioName));
    }
    Sentences sentences =
        sentencesOf(request, facts.seconds, audio, progress.step(probeShare, sentencesShare));
    if (progress.stopped())
        return stopped();
    if (!sentences.problem.error.isEmpty())
        return failure(sentences.problem);
    for (const SubtitleCue &cue : sentences.cues) {
        const QString bad = breakingCharacter(cue);
        if (!bad.isEmpty()) {
            return failure(QStringLiteral("%1 holds \"%2\", which the lesson format uses to "
                                          "separate sentences")
                               .arg(cueAt(cue), bad),
                           QStringLiteral("第 %1 条字幕含有“%2”，课程文件不能保存这个字符。")
                               .arg(cue.number)
                               .arg(bad));
        }
    }
    QStringList cueNotes = sentences.notes;
    // Aligned sentences are already in order; their order is kept as the doubtful list counts
    // on it.
    if (const QString error = settleCues(sentences.cues, facts.seconds, cueNotes);
        !error.isEmpty()) {
        return failure(request.subtitles + QStringLiteral(": ") + error,
                       sentences.cues.size() > size_t(SentenceTable::maxSentences)
                           ? QStringLiteral("字幕有 %1 条，一课最多 %2 句，请分成几课导入。")
                                 .arg(sentences.cues.size())
                                 .arg(SentenceTable::maxSentences)
                           : QStringLiteral("有字幕条在音频结束之后开始，字幕和音频对不上。"));
    }

    const QString root = QDir(request.dir).absolutePath();
    // What killed imports and saves left here before; a list moved aside by an older
    // import comes back before the list is read.
    removeStaleTemporaries(root);
    auto path = [&](const QString &relative) { return root + u'/' + relative; };
    const QString listPath = path(ContentFile::bookList(request.book));
    const QString resultsPath = path(ContentFile::results(request.book));
    const ExistingText list = readExisting(listPath);
    const QString unreadableBook =
        QStringLiteral("无法读取书“%1”的课程列表或成绩文件。").arg(request.book);
    if (!list.error.isEmpty())
        return failure(list.error, unreadableBook);
    const ExistingText results = readExisting(resultsPath);
    if (!results.error.isEmpty())
        return failure(results.error, unreadableBook);
    const QStringList names = list.text ? splitCaretList(*list.text) : QStringList();
    if (names.size() >= maxLessons) {
        return failure(listPath + QStringLiteral(": the book is full"),
                       QStringLiteral("书“%1”已满，请换一本书。").arg(request.book));
    }
    const int number = int(names.size()) + 1;
    const QString lessonPath = path(ContentFile::lessonText(request.book, number));
    const QString soundPath =
        path(ContentFile::soundDir(request.book) + QStringLiteral("/%1.mp3").arg(number));

    ImportResult result;
    result.notes = cueNotes;
    // Files of a lesson the list does not name were never shown to a learner: an import that
    // stopped before its list was written left them. The list is what makes a lesson, so
    // they are this import's to replace; refusing would shut the book to imports for good.
    for (const QString &target : {lessonPath, soundPath}) {
        const QFileInfo there(target);
        if (!there.exists() && !there.isSymLink())
            continue;
        if (!there.isFile() || there.isSymLink())
            return failure(
                target + QStringLiteral(": already there and not a plain file, but the "
                                        "lesson-name list names only %1 lessons; not "
                                        "overwritten")
                             .arg(names.size()),
                QStringLiteral("书“%1”的文件夹里有挡路的文件，无法保存新课。").arg(request.book));
        result.notes << target + QStringLiteral(" was not in the lesson-name list (an import that "
                                                "did not finish?); replaced");
    }

    const EncodedContent lesson = encodeContent(lessonTextOf(sentences.cues));
    if (lesson.utf8)
        result.notes << QStringLiteral("some characters have no GBK code: the lesson is "
                                       "written as UTF-8 with a byte-order mark");
    const QString newList =
        list.text ? appendedEntry(*list.text, request.name) : u'^' + request.name + u'^';
    const QString newResults = resultsWithLesson(results.text, names, request.name);

    // The sound first, as its conversion takes long and the small files are written at once
    // before the commit: a program starting meanwhile sees no staged file a minute old. The
    // commit renames in this order, so at every point the list names only lessons whose
    // sound and text are there, and the results come before the list that needs them.
    Transaction files;
    QString error;
    QString learnerError =
        QStringLiteral("无法保存新课（磁盘已满或没有写入权限？），没有留下任何文件。");
    if (!files.prepareFolder(soundPath))
        error = soundPath + QStringLiteral(": cannot create its folder");
    if (error.isEmpty()) {
        const QString staged = files.stage(soundPath);
        if (facts.isMp3) {
            if (!QFile::copy(request.audio, staged))
                error = soundPath + QStringLiteral(": cannot copy the audio there");
        } else {
            error = audio.convertToMp3(request.audio, staged, progress.step(sentencesShare, 1));
            if (progress.stopped())
                return stopped();
            if (!error.isEmpty()) {
                error = aboutAudio(request.audio, error);
                learnerError = QStringLiteral("无法转换音频文件“%1”。").arg(audioName);
            } else if (audio.conversionNote) {
                const QString note = audio.conversionNote();
                if (!note.isEmpty())
                    result.notes << note;
            }
        }
    }
    if (error.isEmpty())
        error = files.stageBytes(lessonPath, lesson.bytes);
    if (error.isEmpty())
        error = files.stageBytes(resultsPath, encodeContent(newResults).bytes);
    if (error.isEmpty())
        error = files.stageBytes(listPath, encodeContent(newList).bytes);
    if (error.isEmpty())
        error = files.commit(afterRename);
    if (!error.isEmpty()) {
        return failure(error, learnerError);
    }
    result.lessonPath = lessonPath;
    result.doubtful.reserve(sentences.doubtful.size());
    for (const int index : sentences.doubtful)
        result.doubtful.push_back(index + 1);
    return result;
}
