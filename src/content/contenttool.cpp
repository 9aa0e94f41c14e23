#include "contenttool.h"

#include "audiochoice.h"
#include "caretlist.h"
#include "catalogue.h"
#include "contentpaths.h"
#include "dataplaces.h"
#include "files/filebytes.h"
#include "lessonfile.h"
#include "lessonimport.h"
#include "lessonshift.h"
#include "resultstext.h"
#include "richtext.h"
#include "sentencetable.h"
#include "settingsrecord.h"
#include "staletemporaries.h"
#include "textcodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>
#include <optional>

namespace {

constexpr int maxProblemsPerFile = 20;
constexpr int maxLessons = 32767; // lesson numbers are 16-bit signed

constexpr char16_t whiteStar = ResultsMark::notPassed;
constexpr char16_t blackStar = ResultsMark::passed;

const char *const usage = "usage: orvessa-content lesson FILE [--json] | booklist FILE [--json] | "
                          "settings FILE --program orvessa|mini [--json] | results FILE [--json] | "
                          "check DIR [--user-data DIR] [--speech] | "
                          "import DIR --book TITLE --name LESSON_NAME --audio AUDIO "
                          "[--subtitles SUBS | --text TEXT] [--chinese SUBS2|TEXT2] "
                          "[--english-track N] [--chinese-track N|none] | "
                          "shift FILE --by SECONDS [--from N] [--to M] [--audio AUDIO] | "
                          "feedback --sentence TEXT MODEL RECORDING... [--json] | "
                          "feedback --batch FILE [--json]";

// The text of a data file as the program's text buffer gives it, and whether some
// bytes could not be decoded.
struct FileText {
    QString text;
    bool hadInvalidBytes = false;
};

FileText fileText(QByteArrayView bytes) {
    if (looksLikeRichText(bytes)) {
        QString text = plainTextFromFileBytes(bytes);
        const bool invalid = text.contains(QChar(QChar::ReplacementCharacter));
        return {std::move(text), invalid};
    }
    DecodedText decoded = decodeTextDetailed(bytes);
    return {std::move(decoded.text), decoded.hadInvalidBytes};
}

// Keeps a field on one line of readable output.
QString oneLine(QStringView text) {
    QString line;
    line.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\t':
            line += u"\\t";
            break;
        case u'\r':
            line += u"\\r";
            break;
        case u'\n':
            line += u"\\n";
            break;
        default:
            line += c;
        }
    }
    return line;
}

QJsonValue jsonText(const std::optional<QString> &text) {
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

void printJson(QTextStream &out, const QJsonObject &object) {
    out << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
}

struct Command {
    QString name;
    QString path;
    bool json = false;
    std::optional<Program> program;
    QString userData;    // check: the learner's folder that mirrors DIR
    bool speech = false; // check: every sentence's model analysed as the follow-read page would
    // shift: seconds and sentences 1-based, to = -1 for the last
    std::optional<double> shiftBy;
    int from = 1;
    int to = -1;
    QString audio; // shift: the lesson's audio, when not found beside the book
};

// A sentence number of --from or --to, 1 or more.
std::optional<int> sentenceNumber(const QString &text) {
    bool converted = false;
    const int number = text.toInt(&converted);
    if (!converted || number < 1) {
        return std::nullopt;
    }
    return number;
}

struct ParsedCommand {
    std::optional<Command> command;
    QString error;
};

ParsedCommand parseArguments(const QStringList &args) {
    if (args.isEmpty()) {
        return {std::nullopt, QStringLiteral("no command")};
    }
    Command command;
    command.name = args.first();
    static const QStringList known = {QStringLiteral("lesson"),   QStringLiteral("booklist"),
                                      QStringLiteral("settings"), QStringLiteral("results"),
                                      QStringLiteral("check"),    QStringLiteral("shift")};
    if (!known.contains(command.name)) {
        return {std::nullopt, QStringLiteral("unknown command \"%1\"").arg(command.name)};
    }
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool shift = command.name == u"shift";
        if (arg == u"--json" && command.name != u"check" && !shift) {
            command.json = true;
        } else if (arg == u"--program" && command.name == u"settings") {
            if (i + 1 >= args.size()) {
                return {std::nullopt, QStringLiteral("--program needs orvessa or mini")};
            }
            const QString &value = args[++i];
            if (value == u"orvessa") {
                command.program = Program::Orvessa;
            } else if (value == u"mini") {
                command.program = Program::Mini;
            } else {
                return {std::nullopt,
                        QStringLiteral("--program needs orvessa or mini, not \"%1\"").arg(value)};
            }
        } else if (arg == u"--user-data" && command.name == u"check") {
            if (i + 1 >= args.size() || args[i + 1].isEmpty()) {
                return {std::nullopt, QStringLiteral("--user-data needs a DIR")};
            }
            command.userData = args[++i];
        } else if (arg == u"--speech" && command.name == u"check") {
            command.speech = true;
        } else if (arg == u"--by" && shift) {
            // The next argument whatever it looks like: "--by -0.5" moves back.
            command.shiftBy = i + 1 < args.size() ? parseSeconds(args[++i]) : std::nullopt;
            if (!command.shiftBy) {
                return {std::nullopt, QStringLiteral("--by needs SECONDS, e.g. 0.25 or -1.5")};
            }
        } else if (arg == u"--audio" && shift) {
            if (i + 1 >= args.size() || args[i + 1].isEmpty()) {
                return {std::nullopt, QStringLiteral("--audio needs a FILE")};
            }
            command.audio = args[++i];
        } else if ((arg == u"--from" || arg == u"--to") && shift) {
            const std::optional<int> number =
                i + 1 < args.size() ? sentenceNumber(args[++i]) : std::nullopt;
            if (!number) {
                return {std::nullopt, arg + QStringLiteral(" needs a sentence number from 1")};
            }
            (arg == u"--from" ? command.from : command.to) = *number;
        } else if (arg.startsWith(u"--")) {
            return {std::nullopt, QStringLiteral("unknown option \"%1\"").arg(arg)};
        } else if (command.path.isNull()) {
            command.path = arg;
        } else {
            return {std::nullopt, QStringLiteral("unexpected argument \"%1\"").arg(arg)};
        }
    }
    if (command.path.isEmpty()) {
        return {std::nullopt, command.name == u"check"
                                  ? QStringLiteral("check needs a DIR")
                                  : command.name + QStringLiteral(" needs a FILE")};
    }
    if (command.name == u"shift" && !command.shiftBy) {
        return {std::nullopt, QStringLiteral("shift needs --by SECONDS")};
    }
    if (command.name == u"settings" && !command.program) {
        return {std::nullopt, QStringLiteral("settings needs --program orvessa|mini")};
    }
    return {command, {}};
}

int showLesson(const Command &command, const QString &text, QTextStream &out) {
    const SentenceTable table = SentenceTable::fromText(text);
    if (command.json) {
        QJsonArray sentences;
        for (int i = 1; i <= table.count(); ++i) {
            const SentenceEntry &entry = table.entry(i);
            const RecordFields fields = cutRecord(entry.record);
            sentences.append(QJsonObject{{QStringLiteral("english"), entry.english},
                                         {QStringLiteral("chinese"), entry.chinese},
                                         {QStringLiteral("start"), jsonText(fields.start)},
                                         {QStringLiteral("end"), jsonText(fields.end)}});
        }
        printJson(out, {{QStringLiteral("sentenceCount"), table.count()},
                        {QStringLiteral("sentences"), sentences}});
        return 0;
    }
    out << table.count() << (table.count() == 1 ? " sentence\n" : " sentences\n");
    for (int i = 1; i <= table.count(); ++i) {
        const SentenceEntry &entry = table.entry(i);
        const RecordFields fields = cutRecord(entry.record);
        out << i << ". " << oneLine(entry.english) << " | " << oneLine(entry.chinese) << " | "
            << (fields.start ? oneLine(*fields.start) : QStringLiteral("(no start)")) << " .. "
            << (fields.end ? oneLine(*fields.end) : QStringLiteral("(no end)")) << '\n';
    }
    return 0;
}

int showList(const Command &command, const QString &key, const QStringList &entries, bool numbered,
             QTextStream &out) {
    if (command.json) {
        printJson(out, {{key, QJsonArray::fromStringList(entries)}});
        return 0;
    }
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (numbered) {
            out << (i + 1) << ". ";
        }
        out << oneLine(entries[i]) << '\n';
    }
    return 0;
}

int showSettings(const Command &command, const QString &text, QTextStream &out) {
    const int count =
        *command.program == Program::Mini ? miniSettingsFields : orvessaSettingsFields;
    const std::vector<std::optional<QString>> fields = cutSettingsFields(text, count);
    if (command.json) {
        QJsonArray array;
        for (const std::optional<QString> &field : fields) {
            array.append(jsonText(field));
        }
        printJson(out, {{QStringLiteral("fields"), array}});
        return 0;
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        out << (i + 1) << ": "
            << (fields[i] ? oneLine(*fields[i]) : QStringLiteral("(missing separator)")) << '\n';
    }
    return 0;
}

// Checks a program directory, and the learner's folder where the programs read it first,
// and prints one line per problem. With two places every line says which one it is in.
// The audio the programs play with a lesson file at <dir>/book/<title>/<n>.dat, when it is
// there: <dir>/Sound/<title>/..., by the book's rules.
QString lessonAudioBeside(const QString &lessonPath) {
    const QFileInfo lesson(lessonPath);
    const QDir bookDir = lesson.absoluteDir();
    QDir booksDir = bookDir;
    if (lesson.suffix() != u"dat" || !booksDir.cdUp() || booksDir.dirName() != u"book") {
        return {};
    }
    bool numbered = false;
    const int number = lesson.completeBaseName().toInt(&numbered);
    QDir root = booksDir;
    if (!numbered || number < 1 || !root.cdUp()) {
        return {};
    }
    const QString title = bookDir.dirName();
    const std::optional<AudioChoice> choice = chooseLessonAudio(
        Program::Orvessa, root.filePath(ContentFile::soundDir(title)), title, number);
    return choice && QFileInfo(choice->path).isFile() ? choice->path : QString();
}

// Moves the times of a lesson file's sentences and saves it in place (all or nothing, the
// file keeping its permissions). The times stay within the lesson's audio when it is found.
int shiftFile(const Command &command, QTextStream &out, QTextStream &err, const AudioTools &audio) {
    const auto fail = [&](const QString &why) {
        err << "orvessa-content: " << command.path << ": " << why << '\n';
        return 1;
    };
    // What an earlier shift left there when it was killed while saving.
    removeStaleTemporariesIn(QFileInfo(command.path).absolutePath());
    const FileBytes file = readFileBytes(command.path);
    if (!file.error.isEmpty()) {
        return fail(file.error);
    }
    const QString audioPath =
        command.audio.isEmpty() ? lessonAudioBeside(command.path) : command.audio;
    double audioSeconds = 0;
    if (!audioPath.isEmpty() && audio.probe) {
        const AudioFacts facts = audio.probe(audioPath, {});
        if (!facts.error.isEmpty()) {
            if (!command.audio.isEmpty()) {
                return fail(facts.error);
            }
            err << "orvessa-content: note: " << facts.error
                << "; the times are not checked against the end of the audio\n";
        }
        audioSeconds = facts.error.isEmpty() ? facts.seconds : 0;
    } else if (!command.audio.isEmpty()) {
        return fail(QStringLiteral("this build cannot read audio"));
    }
    const ShiftResult shifted =
        shiftLessonTimes(file.bytes, *command.shiftBy, command.from, command.to, audioSeconds);
    if (!shifted.error.isEmpty()) {
        return fail(shifted.error);
    }
    if (shifted.shifted == 0) {
        // Times move by whole milliseconds: a smaller shift rounds to none.
        out << "nothing changed in " << command.path << '\n';
        return 0;
    }
    QSaveFile save(command.path);
    if (!save.open(QIODevice::WriteOnly) || save.write(shifted.bytes) != shifted.bytes.size() ||
        !save.commit()) {
        return fail(save.errorString());
    }
    out << "shifted " << shifted.shifted << (shifted.shifted == 1 ? " sentence" : " sentences")
        << " in " << command.path << '\n';
    return 0;
}

class DirectoryCheck {
public:
    // speech, when given, analyses every sentence's model as well.
    DirectoryCheck(const DataPlaces &places, QTextStream &out, const SpeechTools *speech = nullptr)
        : m_places(places), m_dir(places.programDir()), m_out(out), m_speech(speech) {}

    int run() {
        checkBooks();
        checkSettings(m_places.readPath(ContentFile::settings(false)), orvessaSettingsFields);
        checkSettings(m_places.readPath(ContentFile::settings(true)), miniSettingsFields);
        checkProgramFiles();
        checkTemporaries();
        if (m_problems > 0) {
            return 1;
        }
        m_out << "ok: " << m_books << (m_books == 1 ? " book, " : " books, ") << m_lessons
              << (m_lessons == 1 ? " lesson checked" : " lessons checked");
        if (m_speech) {
            m_out << ", " << m_models << (m_models == 1 ? " sentence" : " sentences")
                  << " can be judged";
        }
        m_out << '\n';
        return 0;
    }

private:
    QString relative(const QString &path) const {
        if (m_places.isPortable()) {
            return path.mid(m_dir.size() + 1);
        }
        const QString &user = m_places.userDir();
        if (path.startsWith(user + u'/')) {
            return QStringLiteral("per-user data: ") + path.mid(user.size() + 1);
        }
        return QStringLiteral("program directory: ") + path.mid(m_dir.size() + 1);
    }

    // The first place that has relative; where it should be, in the root of the book's
    // lesson-name list, when none has it.
    QString locate(const QString &relative, const QString &homeRoot) const {
        for (const QString &root : m_places.roots()) {
            const QString path = root + u'/' + relative;
            if (QFileInfo::exists(path)) {
                return path;
            }
        }
        return homeRoot + u'/' + relative;
    }

    // Reports at most maxProblemsPerFile lines for one file, then how many more.
    class FileReport {
    public:
        FileReport(DirectoryCheck &check, QString path) : m_check(check), m_path(std::move(path)) {}
        ~FileReport() {
            if (m_count > maxProblemsPerFile) {
                m_check.print(
                    m_path,
                    QStringLiteral("%1 more problems not shown").arg(m_count - maxProblemsPerFile));
            }
        }
        FileReport(const FileReport &) = delete;
        FileReport &operator=(const FileReport &) = delete;

        void operator()(const QString &problem) {
            if (++m_count <= maxProblemsPerFile) {
                m_check.print(m_path, problem);
            } else {
                ++m_check.m_problems;
            }
        }

    private:
        DirectoryCheck &m_check;
        QString m_path;
        int m_count = 0;
    };

    void print(const QString &path, const QString &problem) {
        m_out << relative(path) << ": " << problem << '\n';
        ++m_problems;
    }

    std::optional<FileText> readText(const QString &path, FileReport &report) {
        const FileBytes file = readFileBytes(path);
        if (!file.error.isEmpty()) {
            report(file.error == u"no such file" ? QStringLiteral("missing") : file.error);
            return std::nullopt;
        }
        FileText text = fileText(file.bytes);
        if (text.hadInvalidBytes) {
            report(QStringLiteral("holds bytes that are neither GBK nor UTF-8"));
        }
        return text;
    }

    void checkBooks() {
        // The learner's folder may add books of its own; the program directory must ship some.
        QStringList titles;
        for (const QString &root : m_places.roots()) {
            const QString listDir = root + QStringLiteral("/SETTING/BookList");
            const bool shipped = root == m_dir;
            if (!QFileInfo(listDir).isDir()) {
                if (shipped) {
                    print(listDir, QStringLiteral("missing"));
                }
                continue;
            }
            const QStringList lists =
                QDir(listDir).entryList({QStringLiteral("*.dat")}, QDir::Files, QDir::Name);
            if (lists.isEmpty() && shipped) {
                print(listDir, QStringLiteral("no lesson-name lists"));
            }
            for (const QString &fileName : lists) {
                // "X.DAT": the programs open "X.dat", which a case-sensitive disk keeps apart.
                if (fileName.endsWith(u".dat") && !titles.contains(fileName.chopped(4))) {
                    titles << fileName.chopped(4);
                }
            }
        }
        titles.sort();
        for (const QString &title : titles) {
            checkBook(title);
        }
        // A first import into a new book that stopped before its list leaves a book folder
        // that no list names.
        for (const QString &root : m_places.roots()) {
            const QStringList folders =
                QDir(root + QStringLiteral("/book"))
                    .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
            for (const QString &title : folders) {
                if (!titles.contains(title) && isSafeBookTitle(title)) {
                    titles << title;
                    checkUnlisted(title, 0, root);
                }
            }
        }
    }

    void checkBook(const QString &title) {
        ++m_books;
        const QString listPath = m_places.readPath(ContentFile::bookList(title));
        const QString home =
            listPath.left(listPath.size() - ContentFile::bookList(title).size() - 1);
        FileReport report(*this, listPath);
        if (!isSafeBookTitle(title)) {
            report(QStringLiteral("the book title is not a safe folder name"));
            return;
        }
        const std::optional<FileText> list = readText(listPath, report);
        if (!list) {
            return;
        }
        if (!list->text.startsWith(u'^')) {
            report(QStringLiteral("does not start with \"^\""));
        }
        if (!list->text.endsWith(u'^')) {
            report(QStringLiteral("does not end with \"^\""));
        }
        QStringList names = splitCaretList(list->text);
        if (names.isEmpty()) {
            report(QStringLiteral("names no lesson"));
        }
        if (names.size() > maxLessons) {
            report(QStringLiteral("names %1 lessons; only %2 can be chosen")
                       .arg(names.size())
                       .arg(maxLessons));
            names.resize(maxLessons);
        }
        QSet<QString> reportedAudio;
        for (int k = 1; k <= names.size(); ++k) {
            ++m_lessons;
            checkLessonText(locate(ContentFile::lessonText(title, k), home));
            checkLessonAudio(title, k, home, report, reportedAudio);
            if (m_speech) {
                checkModels(title, k);
            }
        }
        checkResults(title, names);
        checkUnlisted(title, int(names.size()), home);
    }

    // The files of the lesson after the list's last: left by an import stopped before it
    // wrote the list. The programs never show them; the next import replaces them.
    void checkUnlisted(const QString &title, int listed, const QString &home) {
        if (listed >= maxLessons) {
            return;
        }
        const int lesson = listed + 1;
        QStringList files = {ContentFile::lessonText(title, lesson)};
        const QString sound = ContentFile::soundDir(title) + QStringLiteral("/%1.mp3").arg(lesson);
        const std::optional<AudioChoice> choice =
            chooseLessonAudio(Program::Orvessa, ContentFile::soundDir(title), title, lesson);
        if (choice && choice->path == sound) { // a group book shares its files among lessons
            files << sound;
        }
        for (const QString &file : std::as_const(files)) {
            const QString path = locate(file, home);
            if (QFileInfo::exists(path)) {
                print(path,
                      QStringLiteral("lesson %1, which the lesson-name list does not name (an "
                                     "import that did not finish?); the next import into this "
                                     "book replaces it")
                          .arg(lesson));
            }
        }
    }

    void checkTemporaries() {
        for (const QString &root : m_places.roots()) {
            for (const StaleTemporary &stale : findStaleTemporaries(root)) {
                if (stale.restoresTo.isEmpty()) {
                    print(stale.path,
                          QStringLiteral("left by a write that did not finish; the programs and "
                                         "the next import remove it"));
                } else {
                    print(stale.path, QStringLiteral("the only copy of %1, moved aside by an "
                                                     "import that did not finish; the programs "
                                                     "and the next import put it back")
                                          .arg(QFileInfo(stale.restoresTo).fileName()));
                }
            }
        }
    }

    void checkLessonText(const QString &path) {
        FileReport report(*this, path);
        const std::optional<FileText> file = readText(path, report);
        if (!file) {
            return;
        }
        const QString &text = file->text;
        if (!text.startsWith(u'*')) {
            report(QStringLiteral("does not start with \"*\""));
        }
        if (!text.endsWith(u'*')) {
            report(QStringLiteral("does not end with \"*\""));
        }
        const std::vector<QStringView> records = splitRecordViews(text);
        if (records.empty()) {
            report(QStringLiteral("holds no sentence"));
        }
        if (records.size() > static_cast<size_t>(SentenceTable::maxSentences)) {
            report(QStringLiteral("holds %1 sentences; only %2 are loaded")
                       .arg(records.size())
                       .arg(SentenceTable::maxSentences));
        }
        for (size_t i = 0; i < records.size(); ++i) {
            const QString sentence = QStringLiteral("sentence %1: ").arg(i + 1);
            if (records[i].count(u'#') < 4) {
                report(sentence + QStringLiteral("fewer than four \"#\""));
                continue;
            }
            const RecordFieldViews fields = cutRecordViews(records[i]);
            const QString startText = oneLine(*fields.start);
            const QString endText = oneLine(*fields.end);
            const std::optional<double> start = parseSeconds(*fields.start);
            const std::optional<double> end = parseSeconds(*fields.end);
            if (!start) {
                report(sentence + QStringLiteral("Start \"%1\" is not a number").arg(startText));
            } else if (*start < 0) {
                report(sentence + QStringLiteral("Start \"%1\" is negative").arg(startText));
            }
            if (!end) {
                report(sentence + QStringLiteral("End \"%1\" is not a number").arg(endText));
            } else if (start && *end <= *start) {
                report(
                    sentence +
                    QStringLiteral("End \"%1\" is not after Start \"%2\"").arg(endText, startText));
            }
        }
    }

    void checkLessonAudio(const QString &title, int lesson, const QString &home,
                          FileReport &listReport, QSet<QString> &reported) {
        const std::optional<AudioChoice> choice =
            chooseLessonAudio(Program::Orvessa, ContentFile::soundDir(title), title, lesson);
        if (!choice || choice->path.isEmpty()) {
            listReport(QStringLiteral("lesson %1 has no audio file in the book's group table")
                           .arg(lesson));
        }
        if (!choice) {
            return;
        }
        for (const QString &file : {choice->mustExist, choice->path}) {
            if (file.isEmpty()) {
                continue;
            }
            const QString path = locate(file, home);
            if (reported.contains(path)) {
                continue;
            }
            reported.insert(path);
            if (!QFileInfo(path).isFile()) {
                print(path, QStringLiteral("missing (audio of lesson %1)").arg(lesson));
            }
        }
    }

    // Every sentence of the lesson as the follow-read page gets it: its English trimmed of
    // spaces, its stretch of the lesson audio; each one no recording could be judged against
    // is a problem. A lesson without text or audio is reported by the other checks.
    void checkModels(const QString &title, int lesson) {
        const FileBytes file =
            readFileBytes(m_places.readPath(ContentFile::lessonText(title, lesson)));
        const std::optional<AudioChoice> choice =
            chooseLessonAudio(Program::Orvessa, ContentFile::soundDir(title), title, lesson);
        if (!file.error.isEmpty() || !choice || choice->path.isEmpty()) {
            return;
        }
        const QString audio = m_places.readPath(choice->path);
        if (!QFileInfo(audio).isFile()) {
            return;
        }
        const SentenceTable table = SentenceTable::fromText(plainTextFromFileBytes(file.bytes));
        for (int i = 1; i <= table.count(); ++i) {
            const QString english = trimSpaces(table.entry(i).english).toString();
            const std::optional<SentenceTimes> times = table.times(i);
            if (!times || english.trimmed().isEmpty()) {
                continue; // the page judges no recording there; the lesson check says why
            }
            const QString why = m_speech->modelProblem(english, audio, times->start, times->end);
            if (!why.isEmpty()) {
                m_out << "book \"" << oneLine(title) << "\", lesson " << lesson << ", sentence "
                      << i << " \"" << oneLine(english) << "\": cannot be judged: " << oneLine(why)
                      << '\n';
                m_out.flush(); // a long check shows what it has found so far
                ++m_problems;
            }
            ++m_models;
        }
    }

    void checkResults(const QString &title, const QStringList &names) {
        const QString path = m_places.readPath(ContentFile::results(title));
        if (!QFileInfo::exists(path)) {
            return;
        }
        FileReport report(*this, path);
        const std::optional<FileText> file = readText(path, report);
        if (!file) {
            return;
        }
        const QStringList entries = resultsEntries(file->text);
        if (entries.size() != names.size()) {
            report(QStringLiteral("lists %1 lessons, the lesson-name list %2")
                       .arg(entries.size())
                       .arg(names.size()));
        }
        const qsizetype common = std::min(entries.size(), names.size());
        for (qsizetype i = 0; i < common; ++i) {
            const QString &entry = entries[i];
            const bool marked =
                !entry.isEmpty() && (entry[0] == whiteStar || entry[0] == blackStar);
            if (!marked || QStringView(entry).sliced(1) != names[i]) {
                report(QStringLiteral("entry %1 is \"%2\", expected \"%3\" or \"%4\"")
                           .arg(i + 1)
                           .arg(oneLine(entry), QChar(whiteStar) + names[i],
                                QChar(blackStar) + names[i]));
            }
        }
    }

    void checkSettings(const QString &path, int fieldCount) {
        if (!QFileInfo::exists(path)) {
            return;
        }
        FileReport report(*this, path);
        const std::optional<FileText> file = readText(path, report);
        if (!file) {
            return;
        }
        const std::vector<std::optional<QString>> fields =
            cutSettingsFields(file->text, fieldCount);
        const auto missing = std::find(fields.begin(), fields.end(), std::optional<QString>());
        if (missing != fields.end()) {
            report(QStringLiteral("holds %1 of its %2 fields")
                       .arg(missing - fields.begin())
                       .arg(fieldCount));
        }
        const std::optional<QString> &title = fields[9];
        if (title && !isSafeBookTitle(*title)) {
            report(
                QStringLiteral("book title \"%1\" is not a safe folder name").arg(oneLine(*title)));
        } else if (title && !QFileInfo::exists(m_places.readPath(ContentFile::bookList(*title)))) {
            report(QStringLiteral("book \"%1\" has no lesson-name list").arg(*title));
        }
        if (fieldCount == miniSettingsFields) {
            for (size_t colour : {size_t(10), size_t(11)}) {
                if (fields[colour] && !wholeNumber(*fields[colour])) {
                    report(QStringLiteral("field %1 \"%2\" is not a colour number")
                               .arg(colour + 1)
                               .arg(oneLine(*fields[colour])));
                }
            }
        }
    }

    void checkProgramFiles() {
        QStringList required;
        for (const char *name : {"MouDown.wav", "MouUp.wav", "type.wav", "wrong.wav"}) {
            required << clickSoundPath(m_dir, QLatin1StringView(name));
        }
        for (const char *name : {"0.jpg", "1.jpg", "a1.jpg", "t.jpg", "f.jpg"}) {
            required << bitmapPath(m_dir, QLatin1StringView(name));
        }
        required << m_places.shippedPath(ContentFile::recorder());
        for (const QString &path : required) {
            if (!QFileInfo(path).isFile()) {
                print(path, QStringLiteral("missing"));
            }
        }
    }

    DataPlaces m_places;
    QString m_dir; // the program directory
    QTextStream &m_out;
    const SpeechTools *m_speech;
    int m_problems = 0;
    int m_books = 0;
    int m_lessons = 0;
    int m_models = 0; // sentences whose model was analysed
};

// import DIR --book TITLE --name LESSON_NAME --audio AUDIO [--subtitles SUBS | --text TEXT]
//        [--chinese SUBS2|TEXT2] [--english-track N] [--chinese-track N|none]
int runImport(const QStringList &args, QTextStream &out, QTextStream &err,
              const AudioTools &audio) {
    ImportRequest request;
    QString text, englishTrack, chineseTrack;
    const std::pair<const char16_t *, QString *> options[] = {
        {u"--book", &request.book},
        {u"--name", &request.name},
        {u"--audio", &request.audio},
        {u"--subtitles", &request.subtitles},
        {u"--text", &text},
        {u"--chinese", &request.chinese},
        {u"--english-track", &englishTrack},
        {u"--chinese-track", &chineseTrack},
    };
    auto usageError = [&](const QString &error) {
        err << "orvessa-content: " << error << "; " << usage << '\n';
        return 2;
    };
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        const auto option = std::find_if(std::begin(options), std::end(options),
                                         [&](const auto &o) { return arg == o.first; });
        if (option != std::end(options)) {
            if (i + 1 >= args.size())
                return usageError(arg + QStringLiteral(" needs a value"));
            *option->second = args[++i];
        } else if (arg.startsWith(u"--")) {
            return usageError(QStringLiteral("unknown option \"%1\"").arg(arg));
        } else if (request.dir.isNull()) {
            request.dir = arg;
        } else {
            return usageError(QStringLiteral("unexpected argument \"%1\"").arg(arg));
        }
    }
    if (request.dir.isEmpty())
        return usageError(QStringLiteral("import needs a DIR"));
    for (const QString *required : {&request.book, &request.name, &request.audio}) {
        if (required->isNull()) {
            const auto named = std::find_if(std::begin(options), std::end(options),
                                            [&](const auto &o) { return o.second == required; });
            return usageError(
                QStringLiteral("import needs %1").arg(QString::fromUtf16(named->first)));
        }
    }
    if (!request.subtitles.isNull() && !text.isNull())
        return usageError(QStringLiteral("give either --subtitles or --text"));
    if (!text.isNull()) {
        request.subtitles = text;
        request.kind = TextKind::Plain;
    } else if (!request.subtitles.isNull()) {
        request.kind = TextKind::Subtitles;
    }
    const auto track = [&](const QString &value, bool noneAllowed, int *stream) {
        if (value.isNull())
            return true;
        bool ok = false;
        const int number = value.toInt(&ok);
        if (ok && number >= 0)
            *stream = number;
        else if (value == u"none" && noneAllowed)
            *stream = ImportRequest::noTrack;
        else
            return false;
        return true;
    };
    if (!track(englishTrack, false, &request.englishTrack))
        return usageError(QStringLiteral("--english-track needs a stream number"));
    if (!track(chineseTrack, true, &request.chineseTrack))
        return usageError(QStringLiteral("--chinese-track needs a stream number or \"none\""));
    if (!request.subtitles.isNull() && (!englishTrack.isNull() || !chineseTrack.isNull()))
        return usageError(QStringLiteral("the tracks are read only when no --subtitles or --text "
                                         "is given"));
    // The programs beside this tool read the learner's folder before their own.
    if (DataPlaces::isStandardUserFolder(request.dir) &&
        isShippedBookOnly(
            DataPlaces::withUserFolder(QCoreApplication::applicationDirPath(), request.dir),
            request.book)) {
        err << "orvessa-content: \"" << request.book
            << "\" ships with the programs; a list of it started in the learner's folder would "
               "hide its lessons: give another --book\n";
        return 1;
    }
    DataPlaces::prepareStandardUserFolder(request.dir);
    const ImportResult result = importLesson(request, audio);
    if (!result.error.isEmpty()) {
        err << "orvessa-content: " << result.error << '\n';
        return 1;
    }
    for (const QString &note : result.notes)
        err << "orvessa-content: note: " << note << '\n';
    if (!result.doubtful.empty()) {
        QStringList numbers;
        for (const int number : result.doubtful)
            numbers << QString::number(number);
        err << "orvessa-content: note: the times of these sentences may be off, check them: "
            << numbers.join(QStringLiteral(", ")) << '\n';
    }
    out << result.lessonPath << '\n';
    return 0;
}

// Why this build or machine cannot judge recordings; empty when it can.
QString speechUnavailable(const SpeechTools &speech) {
    if (!speech.judge || !speech.modelProblem) {
        return QStringLiteral("this build has no speech recogniser");
    }
    return speech.unavailable ? speech.unavailable() : QString();
}

struct Take {
    QString sentence;
    QString model;
    QString recording;
    QString shownAs; // the recording as the command line or the batch file names it
};

// A batch file's lines: "sentence<TAB>model<TAB>recording", blank lines skipped. A path
// that is not absolute is taken from the batch file's folder. A line without its three
// fields is reported on err with its number and left out.
std::vector<Take> batchTakes(const QString &path, const QString &text, QTextStream &err,
                             bool *malformed) {
    const QDir base = QFileInfo(path).absoluteDir();
    const auto resolved = [&](const QString &file) {
        return QFileInfo(file).isAbsolute() ? file : base.filePath(file);
    };
    std::vector<Take> takes;
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        if (line.trimmed().isEmpty()) {
            continue;
        }
        const QStringList fields = line.split(u'\t');
        const bool complete = fields.size() == 3 &&
                              std::none_of(fields.begin(), fields.end(),
                                           [](const QString &f) { return f.trimmed().isEmpty(); });
        if (!complete) {
            err << "orvessa-content: " << path << ':' << (i + 1)
                << ": expected sentence<TAB>model<TAB>recording, found " << fields.size()
                << (fields.size() == 1 ? " field" : " fields")
                << (fields.size() == 3 ? " with one empty" : "") << '\n';
            *malformed = true;
            continue;
        }
        takes.push_back({fields[0].trimmed(), resolved(fields[1]), resolved(fields[2]), fields[2]});
    }
    return takes;
}

// feedback --sentence TEXT MODEL RECORDING... [--json] | feedback --batch FILE [--json]
int runFeedback(const QStringList &args, QTextStream &out, QTextStream &err,
                const SpeechTools &speech) {
    auto usageError = [&](const QString &error) {
        err << "orvessa-content: " << error << "; " << usage << '\n';
        return 2;
    };
    bool json = false;
    QString sentence, batch;
    QStringList files;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == u"--json") {
            json = true;
        } else if (arg == u"--sentence" || arg == u"--batch") {
            if (i + 1 >= args.size() || args[i + 1].trimmed().isEmpty()) {
                return usageError(arg + (arg == u"--batch" ? QStringLiteral(" needs a FILE")
                                                           : QStringLiteral(" needs TEXT")));
            }
            (arg == u"--batch" ? batch : sentence) = args[++i];
        } else if (arg.startsWith(u"--")) {
            return usageError(QStringLiteral("unknown option \"%1\"").arg(arg));
        } else {
            files << arg;
        }
    }
    if (sentence.isNull() == batch.isNull()) {
        return usageError(QStringLiteral("feedback needs either --sentence or --batch"));
    }
    if (!sentence.isNull() && files.size() < 2) {
        return usageError(QStringLiteral("feedback --sentence needs MODEL and RECORDING"));
    }
    if (!batch.isNull() && !files.isEmpty()) {
        return usageError(QStringLiteral("unexpected argument \"%1\"").arg(files.first()));
    }

    bool failed = false;
    std::vector<Take> takes;
    if (batch.isNull()) {
        for (qsizetype i = 1; i < files.size(); ++i) {
            takes.push_back({sentence.trimmed(), files.first(), files[i], files[i]});
        }
    } else {
        const FileBytes file = readFileBytes(batch);
        if (!file.error.isEmpty()) {
            err << "orvessa-content: " << batch << ": " << file.error << '\n';
            return 1;
        }
        takes = batchTakes(batch, QString::fromUtf8(file.bytes), err, &failed);
    }
    if (const QString why = speechUnavailable(speech); !why.isEmpty()) {
        err << "orvessa-content: cannot judge recordings: " << why << '\n';
        return 1;
    }
    for (const Take &take : takes) {
        const JudgedTake judged =
            speech.judge(take.sentence, take.model, take.recording, take.shownAs, json);
        out << judged.line << '\n';
        out.flush(); // a long batch shows each verdict as it comes
        if (!judged.problem.isEmpty()) {
            err << "orvessa-content: " << oneLine(judged.problem) << '\n';
            err.flush();
            failed = true;
        }
    }
    return failed ? 1 : 0;
}

} // namespace

int runContentTool(const QStringList &args, QTextStream &out, QTextStream &err,
                   const AudioTools &audio, const SpeechTools &speech) {
    if (args.size() == 1 && (args[0] == u"--help" || args[0] == u"-h")) {
        out << usage << '\n';
        return 0;
    }
    if (!args.isEmpty() && args.first() == u"import")
        return runImport(args, out, err, audio);
    if (!args.isEmpty() && args.first() == u"feedback")
        return runFeedback(args, out, err, speech);
    const ParsedCommand parsed = parseArguments(args);
    if (!parsed.command) {
        err << "orvessa-content: " << parsed.error << "; " << usage << '\n';
        return 2;
    }
    const Command &command = *parsed.command;

    if (command.name == u"check") {
        const QFileInfo dir(command.path);
        if (!dir.isDir()) {
            err << "orvessa-content: " << command.path << ": not a directory\n";
            return 2;
        }
        // Paths are built as root + "/...", so "/" itself becomes the empty root.
        QString root = dir.absoluteFilePath();
        while (root.endsWith(u'/')) {
            root.chop(1);
        }
        if (command.speech) {
            if (const QString why = speechUnavailable(speech); !why.isEmpty()) {
                err << "orvessa-content: cannot analyse the sentences: " << why << '\n';
                return 1;
            }
        }
        const SpeechTools *models = command.speech ? &speech : nullptr;
        if (command.userData.isEmpty()) {
            return DirectoryCheck(DataPlaces::forProgram(root), out, models).run();
        }
        QString userData = QFileInfo(command.userData).absoluteFilePath();
        while (userData.endsWith(u'/')) {
            userData.chop(1);
        }
        return DirectoryCheck(DataPlaces::withUserFolder(root, userData), out, models).run();
    }

    if (command.name == u"shift") {
        return shiftFile(command, out, err, audio);
    }

    const FileBytes file = readFileBytes(command.path);
    if (!file.error.isEmpty()) {
        err << "orvessa-content: " << command.path << ": " << file.error << '\n';
        return 2;
    }
    const QString text = plainTextFromFileBytes(file.bytes);
    if (command.name == u"lesson") {
        return showLesson(command, text, out);
    }
    if (command.name == u"booklist") {
        return showList(command, QStringLiteral("names"), splitCaretList(text), true, out);
    }
    if (command.name == u"results") {
        // The same cut as the results panel's list.
        return showList(command, QStringLiteral("lines"), resultsEntries(text), false, out);
    }
    return showSettings(command, text, out);
}
