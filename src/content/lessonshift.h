#pragma once

// Moving the times of a lesson file's sentences, e.g. after cutting or padding its audio.
// Works on the file's bytes: "*" and "#" are ASCII and never part of a GBK or UTF-8
// multibyte sequence, so records and fields are cut where the loader cuts them (see
// lessonfile.h) without decoding, and every byte but the changed numbers stays as it was.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>
#include <utility>

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

// Why one sentence's times were not set (see setSentenceTimes).
enum class RetimeRefusal {
    None,
    RichText,          // an RTF lesson file: its bytes are not the records
    NoSentence,        // no such sentence in the file
    NoTimes,           // the sentence has no Start and End, or one is not a number
    StartNotBeforeEnd, // the new Start would be at or after the new End
    BeforeAudio,       // the new Start would lie before 0
    PastAudio,         // the new End would move later and past the end of the audio
};

struct RetimeResult {
    QByteArray bytes; // the whole file with the new times; empty when refused
    QString error;    // one line, empty when fine
    RetimeRefusal refusal = RetimeRefusal::None;
    QString start; // the sentence's Start and End numbers as they now stand in the file
    QString end;
    bool changed = false; // false: bytes are the input's
};

// Sets Start and/or End of one sentence (1-based; nothing keeps a time) to seconds rounded
// to the millisecond, and changes no other byte. A new number is written as a shift writes
// it (the field's own decimals when they hold it, else the fewest that do); a time already
// at that millisecond keeps its bytes. Refused: RTF files, a missing sentence, a sentence
// without both times, Start below 0, Start at or after End, and End moved later and past
// audioSeconds (the audio's length; <= 0 when unknown).
RetimeResult setSentenceTimes(QByteArrayView bytes, int sentence, std::optional<double> start,
                              std::optional<double> end, double audioSeconds = 0);

// Puts back numbers a sentence's Start and End held before (as written, e.g. "12.3"), so
// that undoing a change gives the file's old bytes. Refused as above, but never for the
// length of the audio: these are the times the lesson came with.
RetimeResult restoreSentenceTimes(QByteArrayView bytes, int sentence, QStringView start,
                                  QStringView end);

// A sentence record (as the sentence table keeps it, decoded) with its Start and End
// numbers replaced by start and end, blanks around them kept; nothing when the record has
// no two times, either text is not a number, or they would not play. The loaded lesson takes what
// was written.
std::optional<QString> recordWithTimes(QStringView record, QStringView start, QStringView end);

// The Start and End numbers of a record as written, without the blanks around them; nothing
// when it has no two times or they would not play (Start below 0, or not before End).
std::optional<std::pair<QString, QString>> recordTimeTexts(QStringView record);
