#pragma once

// Moving the times of a lesson file's sentences, e.g. after cutting or padding its audio.
// Works on the file's bytes: "*" and "#" are ASCII and never part of a GBK or UTF-8
// multibyte sequence, so records and fields are cut where the loader cuts them (see
// lessonfile.h) without decoding, and every byte but the changed numbers stays as it was.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

struct ShiftResult {
    QByteArray bytes; // the whole file with the new times; empty on error
    QString error;    // one line, empty when fine
    int shifted = 0;  // sentences whose Start or End changed (0: bytes are the input's)
};

// Moves Start and End of sentences from..to (1-based, inclusive; to = -1: the last) by
// seconds, rounded to the millisecond (negative allowed). A shift that would move a time
// below 0, or later and past audioSeconds (the length of the lesson's audio; <= 0 when
// unknown), is refused, naming the sentence.
//
// A new time keeps the field's own number of decimals when it is exact in them, else it
// takes the fewest decimals (at most 3) that hold it; blanks around the number stay. A time
// that comes out unchanged keeps its bytes. So times with 2 or 3 decimals shifted by x and
// then by -x give back the same bytes.
//
// Errors: rich-text (RTF) files, no sentences, a range outside 1..count, a sentence in
// the range without both times (fewer than four "#"), a time that is not a number, a time
// moved out of the audio.
ShiftResult shiftLessonTimes(QByteArrayView bytes, double seconds, int from, int to,
                             double audioSeconds = 0);
