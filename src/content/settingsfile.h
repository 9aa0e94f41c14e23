#pragma once

// The settings file of each program (SETTING/set.dat, SETTING/mnset.dat): one record of
// fields each followed by "\", stored as plain GBK text or as a small RTF document.
//   3\1\0\2\3\1\0\1\0\英语900句\80\            (orvessa, 11 fields)
//   0\1\1\3\2\1\0\第十课\0\英语900句\12615808\0\  (mini, 12 fields)

#include "catalogue.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <optional>

// Colours are stored as the 24-bit value 0x00BBGGRR: red in the low byte.
constexpr int bgrColour(int red, int green, int blue) {
    return (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16;
}
// Mini's window background before its settings are applied: 0xC08080, that is red 128,
// green 128, blue 192. Stored files hold this number, so it is kept as it stands.
constexpr int miniInitialBackground = 12615808;

// The live values of orvessa that its settings record carries, initialised to what the
// window holds before the file is applied. Check states are 0 (off) or 1 (on).
struct OrvessaSettings {
    int lessonIndex = -1;   // 1: 0-based lesson list position, -1 when none is selected
    int englishHint = 1;    // 2: 句子英文提示 (Check1)
    int chineseHint = 1;    // 3: 句子中文提示 (Check2)
    QString studyRepeats;   // 4: repeat-count text kept for 句子学习
    QString studyPause;     // 5: pause text (seconds) kept for 句子学习
    QString browseRepeats;  // 6: as 4, for 全文浏览
    QString browsePause;    // 7: as 5, for 全文浏览
    int showChinese = 1;    // 8: 显示中文 (Check3)
    int followReadHint = 1; // 9: 句子中文提示 of the follow-read panel (Check4)
    QString bookTitle = initialBookTitle();  // 10: book selector text
    QString passMark = QStringLiteral("60"); // 11: pass-mark selector text

    bool operator==(const OrvessaSettings &) const = default;
};

// What a settings file gave for each field of orvessa: nothing where the field could
// not be cut or its value cannot be taken (the target then keeps its value).
struct OrvessaSettingsFields {
    std::optional<int> lessonIndex;
    std::optional<int> englishHint, chineseHint;
    std::optional<QString> studyRepeats, studyPause, browseRepeats, browsePause;
    std::optional<int> showChinese, followReadHint;
    std::optional<QString> bookTitle; // only a title that is safe as a folder and file name
    std::optional<QString> passMark;

    // The live values with every field this record gave put in.
    OrvessaSettings appliedTo(OrvessaSettings live) const;
    bool operator==(const OrvessaSettingsFields &) const = default;
};

// The live values of mini that its settings record carries.
struct MiniSettings {
    int lessonIndex = -1;  // 1: 0-based lesson list position
    int englishHint = 1;   // 2: 句子英文提示
    int chineseHint = 1;   // 3: 句子中文提示, which also shows mini's Chinese line
    QString studyRepeats;  // 4 to 7 as in orvessa
    QString studyPause;    // 5
    QString browseRepeats; // 6
    QString browsePause;   // 7
    QString endLesson;     // 8: end-lesson box text, a lesson name as listed
    int HN = 0;            // 9: 0-based index of the first lesson of the range
    QString bookTitle = initialBookTitle(); // 10: book selector text
    int background = miniInitialBackground; // 11: window background, 0x00BBGGRR
    int textColour = 0;                     // 12: sentence text colour, 0x00BBGGRR (black)

    bool operator==(const MiniSettings &) const = default;
};

struct MiniSettingsFields {
    std::optional<int> lessonIndex;
    std::optional<int> englishHint, chineseHint;
    std::optional<QString> studyRepeats, studyPause, browseRepeats, browsePause;
    std::optional<QString> endLesson;
    std::optional<int> HN;
    std::optional<QString> bookTitle; // only a title that is safe as a folder and file name
    std::optional<int> background, textColour;

    MiniSettings appliedTo(MiniSettings live) const;
    bool operator==(const MiniSettingsFields &) const = default;
};

// Reading the record's plain text. Numbers go through leadingNumber() ("02" -> 2, "x" ->
// 0); list position, HN and check states are then rounded half to even, and a value that
// leaves the 16-bit range (or a check state other than 0 or 1) is dropped. Fields 4 to 7
// become the shortest decimal text of their number ("02" -> "2", "" -> "0"). Colours must
// be whole numbers from 0 to 0xFFFFFF, otherwise they are dropped. Text after the last
// separator a program needs is ignored.
OrvessaSettingsFields parseOrvessaSettings(QStringView text);
MiniSettingsFields parseMiniSettings(QStringView text);

// The record written on close: every field followed by "\", numbers in decimal without
// leading zeros. A "\" inside a text field would shift every later field, so it is left
// out of the written text.
QString orvessaSettingsRecord(const OrvessaSettings &settings);
QString miniSettingsRecord(const MiniSettings &settings);

// What the repeat and pause pickers of both programs offer: plays per sentence "0" to "10",
// and pauses of those seconds and "20", "30", "60". A record's value outside them falls back
// to the program's default.
QStringList repeatCountChoices();
QStringList pauseChoices();

// Shortest decimal text of a number read from a record: whole numbers without a point
// ("2", "-1"), others as short as they read back exactly ("2.5", "1e+300").
QString shortestDecimal(double value);

// The record as the RTF document the settings files are stored in (code page 936, one
// font): backslashes doubled, braces escaped, every non-ASCII character as its GBK bytes
// \'hh (lower-case hex), control characters as \'hh too, and a character GBK cannot hold
// as \uN? (N the signed UTF-16 unit, "?" its fallback). plainTextFromFileBytes() gives
// the record back followed by "\r\n".
QByteArray settingsRtfDocument(QStringView record);

// Files larger than this are damaged or foreign; only their start is read.
constexpr qint64 maxSettingsFileBytes = 64 * 1024;

// The plain text of the settings file at path, RTF or plain GBK/UTF-8 text. Empty when
// the file is missing, not a regular file (a folder, a pipe, a device) or unreadable.
QString readSettingsFile(const QString &path);

enum class SaveError {
    None,
    FolderMissing, // the folder that should hold the file does not exist
    ReadOnly,      // the old file is marked read-only: the learner's choice is kept
    NotAFile,      // something other than a file (a folder) has the file's name
    WriteFailed,   // the new content could not be written completely (full disk, rights)
    ReplaceFailed, // the complete new file could not take the old one's place
    Interrupted,   // stopped before the replace (the test hook): old file kept
};

struct SaveResult {
    SaveError error = SaveError::None;
    QString detail; // the system's own words on the failure, empty on success
    bool ok() const { return error == SaveError::None; }
};

// Short Simplified Chinese text for the one message box that tells the learner the
// settings were not saved.
QString saveFailureMessage(const SaveResult &result);

// Called once the complete new content is on disk in its temporary file, just before it
// replaces the old file. Returning false stops the save there as a crash would: the
// temporary file stays behind and the old file is untouched. For tests.
using BeforeReplaceHook = std::function<bool()>;

// Replaces the file at path by bytes atomically: the bytes go to a new temporary file
// beside it, are synced to disk, and the temporary file is then renamed over the old
// one. Whatever fails, the old file (or its absence) stays as it was and no partial
// file is ever left under path. A missing folder is a failure; it is not created.
SaveResult saveSettingsFile(const QString &path, const QByteArray &bytes,
                            const BeforeReplaceHook &beforeReplace = {});

// saveSettingsFile(path, settingsRtfDocument(record)).
SaveResult saveSettingsRecord(const QString &path, QStringView record);
