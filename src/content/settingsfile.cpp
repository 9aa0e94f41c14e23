#include "settingsfile.h"

#include "contentpaths.h"
#include "files/filebytes.h"
#include "richtext.h"
#include "settingsrecord.h"
#include "textcodec.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

using Fields = std::vector<std::optional<QString>>;

// List position, HN and check states are 16-bit integers in the record; a value outside
// that range cannot be taken, and its target keeps its value.
std::optional<int> roundedInt16(double value) {
    const double rounded = std::nearbyint(value); // half to even
    if (rounded < std::numeric_limits<qint16>::min() ||
        rounded > std::numeric_limits<qint16>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(rounded);
}

std::optional<int> integerField(const std::optional<QString> &field) {
    if (!field) {
        return std::nullopt;
    }
    return roundedInt16(leadingNumber(*field));
}

// Our check boxes have two states; anything else in an edited file is ignored.
std::optional<int> checkField(const std::optional<QString> &field) {
    const std::optional<int> value = integerField(field);
    if (value && (*value == 0 || *value == 1)) {
        return value;
    }
    return std::nullopt;
}

// A picker's text is kept only when the picker offers it ("03" is its "3"): anything else
// would be played and written back while the picker shows nothing.
std::optional<QString> choiceField(const std::optional<QString> &field,
                                   const QStringList &choices) {
    if (!field) {
        return std::nullopt;
    }
    QString text = shortestDecimal(leadingNumber(*field));
    if (!choices.contains(text)) {
        return std::nullopt;
    }
    return text;
}

// The title becomes a folder and a file name: anything that could leave its folder
// (a separator, "..", a drive) or that the file system would alter is refused.
std::optional<QString> titleField(const std::optional<QString> &field) {
    if (field && isSafeBookTitle(*field)) {
        return field;
    }
    return std::nullopt;
}

std::optional<int> colourField(const std::optional<QString> &field) {
    if (!field) {
        return std::nullopt;
    }
    const std::optional<qint32> value = wholeNumber(*field);
    if (!value || *value < 0 || *value > 0xFFFFFF) {
        return std::nullopt;
    }
    return *value;
}

template <typename T> void take(const std::optional<T> &field, T &target) {
    if (field) {
        target = *field;
    }
}

class RecordWriter {
public:
    RecordWriter &number(int value) { return text(QString::number(value)); }
    RecordWriter &text(QStringView value) {
        for (QChar c : value) {
            if (c != u'\\') {
                m_record.append(c);
            }
        }
        m_record.append(u'\\');
        return *this;
    }
    QString record() const { return m_record; }

private:
    QString m_record;
};

void appendHexByte(QByteArray &out, unsigned char byte) {
    static constexpr char digits[] = "0123456789abcdef";
    out.append("\\'");
    out.append(digits[byte >> 4]);
    out.append(digits[byte & 0xF]);
}

// One character (or surrogate pair) outside ASCII.
void appendNonAscii(QByteArray &out, QStringView character) {
    const QByteArray gbk = encodeGbk(character);
    if (gbk != "?") {
        for (char byte : gbk) {
            appendHexByte(out, static_cast<unsigned char>(byte));
        }
        return;
    }
    if (character.size() == 1 && character.front().isSurrogate()) {
        out.append('?'); // a lone surrogate is no character at all
        return;
    }
    for (QChar unit : character) {
        out.append("\\u");
        out.append(QByteArray::number(static_cast<qint16>(unit.unicode())));
        out.append('?');
    }
}

QString systemMessage(const std::error_code &error) {
    return QString::fromStdString(error.message());
}

std::filesystem::path fsPath(const QString &path) {
    return std::filesystem::path(path.toStdU16String());
}

bool syncToDisk(int handle) {
    if (handle < 0) {
        return true; // no descriptor (Windows' native handles): the rename still protects
    }
#ifdef Q_OS_WIN
    return _commit(handle) == 0;
#else
    return ::fsync(handle) == 0;
#endif
}

// Makes the rename itself durable; file systems that cannot sync a folder are left be.
void syncFolder([[maybe_unused]] const QString &folder) {
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
}

// Creates a new, empty file beside target that no other writer uses.
bool openTemporary(const QString &target, QFile &file) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString suffix = QString::number(QRandomGenerator::global()->generate(), 36);
        file.setFileName(target + u'.' + suffix + QStringLiteral(".tmp"));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return true;
        }
        if (QFileInfo::exists(file.fileName())) {
            continue; // taken by chance: draw another name
        }
        return false;
    }
    return false;
}

} // namespace

OrvessaSettings OrvessaSettingsFields::appliedTo(OrvessaSettings live) const {
    take(lessonIndex, live.lessonIndex);
    take(englishHint, live.englishHint);
    take(chineseHint, live.chineseHint);
    take(studyRepeats, live.studyRepeats);
    take(studyPause, live.studyPause);
    take(browseRepeats, live.browseRepeats);
    take(browsePause, live.browsePause);
    take(showChinese, live.showChinese);
    take(followReadHint, live.followReadHint);
    take(bookTitle, live.bookTitle);
    take(passMark, live.passMark);
    return live;
}

MiniSettings MiniSettingsFields::appliedTo(MiniSettings live) const {
    take(lessonIndex, live.lessonIndex);
    take(englishHint, live.englishHint);
    take(chineseHint, live.chineseHint);
    take(studyRepeats, live.studyRepeats);
    take(studyPause, live.studyPause);
    take(browseRepeats, live.browseRepeats);
    take(browsePause, live.browsePause);
    take(endLesson, live.endLesson);
    take(HN, live.HN);
    take(bookTitle, live.bookTitle);
    take(background, live.background);
    take(textColour, live.textColour);
    return live;
}

OrvessaSettingsFields parseOrvessaSettings(QStringView text) {
    const Fields f = cutSettingsFields(text, orvessaSettingsFields);
    OrvessaSettingsFields result;
    result.lessonIndex = integerField(f[0]);
    result.englishHint = checkField(f[1]);
    result.chineseHint = checkField(f[2]);
    result.studyRepeats = choiceField(f[3], repeatCountChoices());
    result.studyPause = choiceField(f[4], pauseChoices());
    result.browseRepeats = choiceField(f[5], repeatCountChoices());
    result.browsePause = choiceField(f[6], pauseChoices());
    result.showChinese = checkField(f[7]);
    result.followReadHint = checkField(f[8]);
    result.bookTitle = titleField(f[9]);
    result.passMark = f[10];
    return result;
}

MiniSettingsFields parseMiniSettings(QStringView text) {
    const Fields f = cutSettingsFields(text, miniSettingsFields);
    MiniSettingsFields result;
    result.lessonIndex = integerField(f[0]);
    result.englishHint = checkField(f[1]);
    result.chineseHint = checkField(f[2]);
    result.studyRepeats = choiceField(f[3], repeatCountChoices());
    result.studyPause = choiceField(f[4], pauseChoices());
    result.browseRepeats = choiceField(f[5], repeatCountChoices());
    result.browsePause = choiceField(f[6], pauseChoices());
    result.endLesson = f[7];
    result.HN = integerField(f[8]);
    result.bookTitle = titleField(f[9]);
    result.background = colourField(f[10]);
    result.textColour = colourField(f[11]);
    return result;
}

QString orvessaSettingsRecord(const OrvessaSettings &s) {
    return RecordWriter()
        .number(s.lessonIndex)
        .number(s.englishHint)
        .number(s.chineseHint)
        .text(s.studyRepeats)
        .text(s.studyPause)
        .text(s.browseRepeats)
        .text(s.browsePause)
        .number(s.showChinese)
        .number(s.followReadHint)
        .text(s.bookTitle)
        .text(s.passMark)
        .record();
}

QString miniSettingsRecord(const MiniSettings &s) {
    return RecordWriter()
        .number(s.lessonIndex)
        .number(s.englishHint)
        .number(s.chineseHint)
        .text(s.studyRepeats)
        .text(s.studyPause)
        .text(s.browseRepeats)
        .text(s.browsePause)
        .text(s.endLesson)
        .number(s.HN)
        .text(s.bookTitle)
        .number(s.background)
        .number(s.textColour)
        .record();
}

QStringList repeatCountChoices() {
    QStringList counts;
    for (int n = 0; n <= 10; ++n) {
        counts << QString::number(n);
    }
    return counts;
}

QStringList pauseChoices() {
    return repeatCountChoices() << QStringLiteral("20") << QStringLiteral("30")
                                << QStringLiteral("60");
}

QString shortestDecimal(double value) {
    if (value == 0 || !std::isfinite(value)) {
        return QStringLiteral("0"); // also keeps "-0" out of the record
    }
    constexpr double exactWholeLimit = 9007199254740992.0; // 2^53
    if (value == std::trunc(value) && std::abs(value) < exactWholeLimit) {
        return QString::number(static_cast<qint64>(value));
    }
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QByteArray settingsRtfDocument(QStringView record) {
    QByteArray out("{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 "
                   "\\'cb\\'ce\\'cc\\'e5;}}\r\n"
                   "\\viewkind4\\uc1\\pard\\lang2052\\f0\\fs18 ");
    for (qsizetype i = 0; i < record.size(); ++i) {
        const char16_t c = record[i].unicode();
        if (c == u'\\' || c == u'{' || c == u'}') {
            out.append('\\');
            out.append(static_cast<char>(c));
        } else if (c < 0x20 || c == 0x7F) {
            appendHexByte(out, static_cast<unsigned char>(c));
        } else if (c < 0x80) {
            out.append(static_cast<char>(c));
        } else {
            const bool pair = QChar::isHighSurrogate(c) && i + 1 < record.size() &&
                              record[i + 1].isLowSurrogate();
            appendNonAscii(out, record.sliced(i, pair ? 2 : 1));
            i += pair ? 1 : 0;
        }
    }
    out.append("\r\n\\par }\r\n");
    return out;
}

QString readSettingsFile(const QString &path) {
    return plainTextFromFileBytes(readFileStart(path, maxSettingsFileBytes).bytes);
}

QString saveFailureMessage(const SaveResult &result) {
    switch (result.error) {
    case SaveError::None:
        return {};
    case SaveError::FolderMissing:
        return QStringLiteral("设置未能保存：找不到 SETTING 文件夹。");
    case SaveError::ReadOnly:
        return QStringLiteral("设置未能保存：设置文件是只读的。");
    case SaveError::NotAFile:
        return QStringLiteral("设置未能保存：设置文件的位置被一个文件夹占用。");
    case SaveError::WriteFailed:
    case SaveError::ReplaceFailed:
    case SaveError::Interrupted:
        break;
    }
    return QStringLiteral("设置未能保存，原来的设置保持不变。");
}

SaveResult saveSettingsFile(const QString &path, const QByteArray &bytes,
                            const BeforeReplaceHook &beforeReplace) {
    const QFileInfo target(path);
    const QString folder = target.absolutePath();
    if (!QFileInfo(folder).isDir()) {
        return {SaveError::FolderMissing, folder};
    }
    if (!writeTargetProblem(path).isEmpty()) {
        return {SaveError::NotAFile, path};
    }
    if (target.exists()) {
        // Checked by the permission bits, not by access(): a read-only mark is the
        // learner's wish even where the process could write through it.
        if (!(target.permissions() & QFileDevice::WriteOwner)) {
            return {SaveError::ReadOnly, path};
        }
    }

    QFile temporary;
    if (!openTemporary(target.absoluteFilePath(), temporary)) {
        return {SaveError::WriteFailed, temporary.errorString()};
    }
    const auto discard = [&temporary](SaveError error, QString detail) {
        temporary.close();
        temporary.remove();
        return SaveResult{error, std::move(detail)};
    };
    if (target.exists()) {
        temporary.setPermissions(target.permissions());
    }
    if (temporary.write(bytes) != bytes.size() || !temporary.flush()) {
        return discard(SaveError::WriteFailed, temporary.errorString());
    }
    if (!syncToDisk(temporary.handle())) {
        return discard(SaveError::WriteFailed, QStringLiteral("sync failed"));
    }
    temporary.close();
    if (temporary.error() != QFileDevice::NoError) {
        return discard(SaveError::WriteFailed, temporary.errorString());
    }

    if (beforeReplace && !beforeReplace()) {
        return {SaveError::Interrupted, temporary.fileName()};
    }

    std::error_code error;
    std::filesystem::rename(fsPath(temporary.fileName()), fsPath(target.absoluteFilePath()), error);
    if (error) {
        return discard(SaveError::ReplaceFailed, systemMessage(error));
    }
    syncFolder(folder);
    return {};
}

SaveResult saveSettingsRecord(const QString &path, QStringView record) {
    return saveSettingsFile(path, settingsRtfDocument(record));
}
