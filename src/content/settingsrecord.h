#pragma once

// A settings record: fields each followed by "\"
//   3\1\0\2\3\1\0\1\0\英语900句\80\

#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

// Field count of each program's record.
constexpr int orvessaSettingsFields = 11;
constexpr int miniSettingsFields = 12;

// Cuts fieldCount fields by the separator search: each separator is searched from just
// after the previous one; a missing separator leaves its field uncut (nothing) and the
// next search restarts at the beginning of the text.
std::vector<std::optional<QString>> cutSettingsFields(QStringView text, int fieldCount);

// Lenient leading-number parse: leading blanks skipped, the longest prefix that reads
// as a decimal number taken, the rest ignored; empty or non-numeric text gives 0.
double leadingNumber(QStringView text);

// Whole 32-bit integer (colours): nothing unless the text is a number that fits.
std::optional<qint32> wholeNumber(QStringView text);
