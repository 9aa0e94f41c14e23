#pragma once

// A lesson file: "*" English "#" Chinese "#" start "#" end "#" ... "*" ... "*"
//   *Good morning.#早上好。#0.50#1.72#*How are you?#你好吗？#2.10#3.05#*

#include <QString>
#include <QStringView>
#include <optional>
#include <utility>
#include <vector>

// The fields of one sentence record. English and Chinese are trimmed of the space
// character only (tabs and line breaks stay). Start and End are the raw field texts,
// converted only when a sentence is played; they are missing when the record has
// fewer than three or four "#".
struct RecordFields {
    QString english;
    QString chinese;
    std::optional<QString> start;
    std::optional<QString> end;
};

// A record with fewer than four "#" still gives what it has: English is the text
// before the first "#" (the whole record when there is none), Chinese the text between
// the first and the second "#" (everything after the first when there is no second).
RecordFields cutRecord(QStringView record);

// The sentence records of a whole lesson text, in file order. Records stand between
// consecutive "*" markers; text before the first marker is ignored, and text after the
// last marker counts as a final record only when it holds at least four "#" (an
// author who forgot the closing "*"). A text without "*" holds no record.
std::vector<QString> splitRecords(QStringView text);

// Seconds from a Start or End field as the system number parser reads it ("." as
// decimal point, surrounding blanks allowed); nothing when the field is not a number.
// Accepted: optional sign, digits with at most one ".", at least one digit, e.g.
// "12", "-0.5", " 3.25 ", "4.", ".5". Refused: "1,5", "1e3", "abc", "", "inf", "nan".
// The result is always finite.
std::optional<double> parseSeconds(QStringView field);
// Where the number of a Start or End field lies: [first, last) without the blanks around it.
std::pair<qsizetype, qsizetype> numberSpan(QStringView field);

// The same cuts as views into the caller's text, for readers that must not copy
// (loading 32,767 sentences). The views live as long as the text they point into.
struct RecordFieldViews {
    QStringView english;
    QStringView chinese;
    std::optional<QStringView> start;
    std::optional<QStringView> end;
};

RecordFieldViews cutRecordViews(QStringView record);
// At most maxRecords are returned.
std::vector<QStringView> splitRecordViews(QStringView text,
                                          size_t maxRecords = static_cast<size_t>(-1));

// The text with the space character removed at both ends (and nothing else).
QStringView trimSpaces(QStringView text);
