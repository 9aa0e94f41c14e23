#pragma once

// A lesson file: "*" English "#" Chinese "#" start "#" end "#" ... "*" ... "*"
//   *Good morning.#早上好。#0.50#1.72#*How are you?#你好吗？#2.10#3.05#*

#include <QString>
#include <QStringView>
#include <optional>
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

RecordFields cutRecord(QStringView record);

// The sentence records of a whole lesson text, in file order. Records stand between
// consecutive "*" markers; text before the first marker is ignored, and text after the
// last marker counts as a final record only when it holds at least four "#" (an
// author who forgot the closing "*"). A text without "*" holds no record.
std::vector<QString> splitRecords(QStringView text);

// Seconds from a Start or End field as the system number parser reads it ("." as
// decimal point, surrounding blanks allowed); nothing when the field is not a number.
std::optional<double> parseSeconds(QStringView field);
