#include "lessonimport.h"

#include "caretlist.h"
#include "contentpaths.h"
#include "files/filebytes.h"
#include "resultstext.h"
#include "richtext.h"
#include "sentencetable.h"
#include "staletemporaries.h"
#include "subtitles.h"
#include "textcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

ImportResult importLesson(const ImportRequest &request, const AudioTools &audio,
                          const std::function<bool(int renamed)> &afterRename) {
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
    // What killed imports and saves left here before; a list moved aside by an older
    // import comes back before the list is read.
    removeStaleTemporaries(root);
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
            return failure(target +
                           QStringLiteral(": already there and not a plain file, but the "
                                          "lesson-name list names only %1 lessons; not overwritten")
                               .arg(names.size()));
        result.notes << target + QStringLiteral(" was not in the lesson-name list (an import that "
                                                "did not finish?); replaced");
    }

    const EncodedContent lesson = encodeContent(lessonTextOf(english.cues));
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
    if (!files.prepareFolder(soundPath))
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
        error = files.stageBytes(lessonPath, lesson.bytes);
    if (error.isEmpty())
        error = files.stageBytes(resultsPath, encodeContent(newResults).bytes);
    if (error.isEmpty())
        error = files.stageBytes(listPath, encodeContent(newList).bytes);
    if (error.isEmpty())
        error = files.commit(afterRename);
    if (!error.isEmpty())
        return failure(error);
    result.lessonPath = lessonPath;
    return result;
}
