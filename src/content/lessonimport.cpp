#include "lessonimport.h"

#include "caretlist.h"
#include "contentpaths.h"
#include "filebytes.h"
#include "resultstext.h"
#include "richtext.h"
#include "sentencetable.h"
#include "subtitles.h"
#include "textcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr int maxLessons = 32767; // lesson numbers are 16-bit signed

// Start and End as plain decimals to the millisecond.
QString seconds(double value) {
    return QString::number(std::round(value * 1000) / 1000, 'f', 3);
}

// The subtitle file's cues, or why there are none.
struct Cues {
    std::vector<SubtitleCue> cues;
    QString error;
};

Cues readCues(const QString &path, double audioSeconds) {
    const FileBytes file = readFileBytes(path);
    if (!file.error.isEmpty())
        return {{}, path + QStringLiteral(": ") + file.error};
    const QString text = decodeSubtitleText(file.bytes);
    const std::optional<SubtitleFormat> format = subtitleFormatOf(path, text);
    if (!format)
        return {{}, path + QStringLiteral(": not SubRip, WebVTT or LRC subtitles")};
    SubtitleParse parsed = parseSubtitles(text, *format, audioSeconds);
    if (!parsed.error.isEmpty())
        return {{}, path + QStringLiteral(": ") + parsed.error};
    if (parsed.cues.empty())
        return {{}, path + QStringLiteral(": no cue found")};
    return {std::move(parsed.cues), {}};
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

// The files of one import, written all or none: each goes to a temporary file first and
// replaces its target only when every one has been written.
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

    // The temporary name the caller fills (with audio), replaced into target on commit.
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

    // Replaces the targets; on a failure the ones already replaced stay (each is whole).
    QString commit() {
        for (const Staged &s : std::as_const(m_staged)) {
            QFile::remove(s.target + QStringLiteral(".previous"));
            const bool existed = QFileInfo::exists(s.target);
            if (existed && !QFile::rename(s.target, s.target + QStringLiteral(".previous")))
                return s.target + QStringLiteral(": cannot be replaced");
            if (!QFile::rename(s.temporary, s.target)) {
                if (existed)
                    QFile::rename(s.target + QStringLiteral(".previous"), s.target);
                return s.target + QStringLiteral(": cannot be written");
            }
            if (existed)
                QFile::remove(s.target + QStringLiteral(".previous"));
        }
        m_staged.clear();
        m_createdDirs.clear();
        return {};
    }

private:
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

ImportResult failure(const QString &error) {
    return {{}, error, {}};
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

ImportResult importLesson(const ImportRequest &request, const AudioTools &audio) {
    if (!isSafeBookTitle(request.book))
        return failure(QStringLiteral("\"%1\" is not a safe book title").arg(request.book));
    if (request.name.isEmpty())
        return failure(QStringLiteral("the lesson name is empty"));
    if (request.name.contains(u'^'))
        return failure(QStringLiteral("the lesson name holds \"^\", which separates lessons"));
    for (const QChar c : request.name) {
        if (c == u'\n' || c == u'\r')
            return failure(QStringLiteral("the lesson name holds a line break"));
    }
    if (!QFileInfo(request.dir).isDir())
        return failure(request.dir + QStringLiteral(": not a directory"));
    if (!audio.probe || !audio.convertToMp3)
        return failure(QStringLiteral("this build cannot read audio"));

    const AudioFacts facts = audio.probe(request.audio);
    if (!facts.error.isEmpty())
        return failure(aboutAudio(request.audio, facts.error));
    Cues english = readCues(request.subtitles, facts.seconds);
    if (!english.error.isEmpty())
        return failure(english.error);
    if (!request.chinese.isEmpty()) {
        const Cues chinese = readCues(request.chinese, facts.seconds);
        if (!chinese.error.isEmpty())
            return failure(chinese.error);
        english.cues = mergeChinese(std::move(english.cues), chinese.cues);
    }
    for (const SubtitleCue &cue : english.cues) {
        const QString bad = breakingCharacter(cue);
        if (!bad.isEmpty()) {
            return failure(QStringLiteral("%1 holds \"%2\", which the lesson format uses to "
                                          "separate sentences")
                               .arg(cueAt(cue), bad));
        }
    }
    QStringList cueNotes;
    if (const QString error = settleCues(english.cues, facts.seconds, cueNotes); !error.isEmpty())
        return failure(request.subtitles + QStringLiteral(": ") + error);

    const QString root = QDir(request.dir).absolutePath();
    auto path = [&](const QString &relative) { return root + u'/' + relative; };
    const QString listPath = path(ContentFile::bookList(request.book));
    const QString resultsPath = path(ContentFile::results(request.book));
    const ExistingText list = readExisting(listPath);
    if (!list.error.isEmpty())
        return failure(list.error);
    const ExistingText results = readExisting(resultsPath);
    if (!results.error.isEmpty())
        return failure(results.error);
    const QStringList names = list.text ? splitCaretList(*list.text) : QStringList();
    if (names.size() >= maxLessons)
        return failure(listPath + QStringLiteral(": the book is full"));
    const int number = int(names.size()) + 1;
    const QString lessonPath = path(ContentFile::lessonText(request.book, number));
    const QString soundPath =
        path(ContentFile::soundDir(request.book) + QStringLiteral("/%1.mp3").arg(number));
    for (const QString &target : {lessonPath, soundPath}) {
        if (QFileInfo::exists(target))
            return failure(target +
                           QStringLiteral(": already there, but the lesson-name list names only "
                                          "%1 lessons; not overwritten")
                               .arg(names.size()));
    }

    ImportResult result;
    result.notes = cueNotes;
    const EncodedContent lesson = encodeContent(lessonTextOf(english.cues));
    if (lesson.utf8)
        result.notes << QStringLiteral("some characters have no GBK code: the lesson is "
                                       "written as UTF-8 with a byte-order mark");
    QStringList allNames = names;
    allNames << request.name;
    const QString newList =
        list.text ? appendedEntry(*list.text, request.name) : u'^' + request.name + u'^';
    // A results file that is missing or out of step gets every lesson, none passed.
    const QString oldResults = results.text ? resultsTextFromFile(*results.text) : QString();
    const QString newResults =
        results.text && resultsEntries(oldResults).size() == names.size()
            ? appendedEntry(oldResults, QChar(ResultsMark::notPassed) + request.name)
            : freshResults(allNames);

    Transaction files;
    QString error = files.stageBytes(lessonPath, lesson.bytes);
    if (error.isEmpty())
        error = files.stageBytes(listPath, encodeContent(newList).bytes);
    if (error.isEmpty())
        error = files.stageBytes(resultsPath, encodeContent(newResults).bytes);
    if (error.isEmpty() && !files.prepareFolder(soundPath))
        error = soundPath + QStringLiteral(": cannot create its folder");
    if (error.isEmpty()) {
        const QString staged = files.stage(soundPath);
        if (facts.isMp3) {
            if (!QFile::copy(request.audio, staged))
                error = soundPath + QStringLiteral(": cannot copy the audio there");
        } else {
            error = audio.convertToMp3(request.audio, staged);
            if (!error.isEmpty()) {
                error = aboutAudio(request.audio, error);
            } else if (audio.conversionNote) {
                const QString note = audio.conversionNote();
                if (!note.isEmpty())
                    result.notes << note;
            }
        }
    }
    if (error.isEmpty())
        error = files.commit();
    if (!error.isEmpty())
        return failure(error);
    result.lessonPath = lessonPath;
    return result;
}
