#pragma once

#include "programprofile.h"

class DataPlaces;

#include <QString>
#include <QStringList>

// The books each program offers in its book selector, in list order.
const QStringList &bookTitles(Program program);

// The title a book selector shows before any settings are applied.
inline QString initialBookTitle() {
    return QStringLiteral("商务英语900句");
}

// Books added beside the catalogue (imported or made by an author): the folders of book/ in
// the program directory and the learner's folder whose titles are safe, are not in the
// trainer's catalogue, and have a lesson-name list in one of the places. In Chinese
// collation order (pinyin), each once.
QStringList ownBookTitles(const DataPlaces &places);

// Whether a book can be studied here: its lesson-name list is in one of the places (the
// catalogue names books this copy may not ship).
bool isBookInstalled(const DataPlaces &places, const QString &title);

// Whether a lesson cannot be added to the book here: it ships in the program directory and
// the learner's folder has no list of it yet. A list started there would stand before the
// shipped one and hide its lessons.
bool isShippedBookOnly(const DataPlaces &places, const QString &title);

// The book selector's entries: the catalogue first, unchanged, then the own books.
QStringList bookSelectorTitles(Program program, const DataPlaces &places);
