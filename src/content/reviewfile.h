#pragma once

// The learner's review list of one book ("易错词"): the words dictation found wrong, each
// with the sentence it stands in and how often it was missed. A UTF-8 text file of ours,
// one tab-separated line per word, most-missed first; "#" starts a comment line:
//   # orvessa review list: count, lesson number, sentence number, word, sentence
//   3	2	5	morning	Good morning, sir.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

struct ReviewEntry {
    int lessonIndex = 0; // 0-based position in the lesson list (written as lessonIndex + 1)
    int sentence = 0;    // 1-based sentence number of the lesson
    QString word;        // as written in the sentence
    QString english;     // the sentence, for the learner's eye
    int count = 0;       // wrong checks on this word, >= 1

    bool sameWord(const ReviewEntry &other) const {
        return lessonIndex == other.lessonIndex && sentence == other.sentence && word == other.word;
    }
    bool operator==(const ReviewEntry &) const = default;
};

// Lines that cannot be read (too few fields, numbers out of range, no word) are skipped.
QList<ReviewEntry> parseReviewFile(QByteArrayView bytes);
// Tabs and line breaks inside the texts become spaces, so every entry stays one line.
QByteArray reviewFileBytes(const QList<ReviewEntry> &entries);
// Most-missed first; equal counts by lesson, sentence and word, so the order is stable.
void sortMostMissed(QList<ReviewEntry> &entries);
