#pragma once

// The dictation results of one book: one entry per lesson, its mark and its name.
//   ^☆Lesson 1^★Lesson 2^☆Lesson 3^
// Only the plain text takes part here; the file may be RTF or plain GBK (richtext.h).

#include <QStringList>
#include <QStringView>

namespace ResultsMark {
constexpr char16_t notPassed = u'\u2606'; // ☆
constexpr char16_t passed = u'\u2605';    // ★
} // namespace ResultsMark

// The entries with their marks, in file order, as the results list shows them. Text before
// the first "^" and a line break after the last are no entry; a text without its final "^"
// keeps what follows the last "^" as an entry. Linear; an empty text gives nothing.
QStringList resultsEntries(QStringView text);

// Every entry that is exactly "☆" + lessonName becomes "★" + lessonName; all other text is
// kept character for character. Whole entries only: passing "Lesson 1" leaves "☆Lesson 10".
QString markedPassed(QStringView text, QStringView lessonName);

// Every "★" of the text becomes "☆", wherever it stands (a lesson name may hold one).
QString clearedResults(QStringView text);

// A results text with every lesson of the list not passed; empty for an empty list.
QString freshResults(const QStringList &lessonNames);

// The text as the store keeps it, its end made whole before anything is compared: line
// breaks at the end (an RTF reading adds one) are dropped and a missing final "^" is
// supplied, so that a text saved and read again neither grows nor stops matching.
QString resultsTextFromFile(QString plainText);
