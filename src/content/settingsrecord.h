#pragma once

// A settings record: fields each followed by "\"
//   3\1\0\2\3\1\0\1\0\英语900句\80\   (the 11 fields of orvessa)

#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

// Field count of each program's record.
constexpr int orvessaSettingsFields = 11;
constexpr int miniSettingsFields = 12;

// Cuts fieldCount fields by the separator search: each separator is searched from just
// after the previous one, and field k is the text between separators k-1 and k. A
// record cut short (its k-th separator missing) gives fields 1..k-1 and nothing for
// field k and every later field, whose targets then keep their values. (Restarting
// the search at the start of the text would hand fields 1, 2, ... to the later fields,
// e.g. the lesson position to the pass mark, and the program would save that back.)
// Text after the last separator needed is ignored. Always returns fieldCount entries
// (none for fieldCount <= 0).
std::vector<std::optional<QString>> cutSettingsFields(QStringView text, int fieldCount);

// Lenient leading-number parse in the manner of Val(): leading blanks (space, tab, CR,
// LF) skipped, then the longest prefix of the form [sign] digits [. digits]
// [e|E [sign] digits] taken (an exponent only counts when digits follow it), the rest
// ignored; "02" -> 2, " 3x" -> 3, "-1.5e1x" -> -15. Empty or non-numeric text gives 0,
// and so does a number too large for a double: the result is always finite.
double leadingNumber(QStringView text);

// Whole 32-bit integer (colours): an optional sign and decimal digits, with blanks
// allowed around them; nothing unless the whole text is such a number and it fits.
std::optional<qint32> wholeNumber(QStringView text);
