#pragma once

// The dictation's per-sentence score and the texts that report it. Qt Core only.
//   two hints, pass mark "70"  ->  60 points, failed: "本句得分：60分，您未能过关，..."

#include <QString>
#include <QStringView>

// What one sentence of a dictation run has cost so far. Nothing adds to the points but the
// reset to 100; they may fall below 0 until the next right check raises them to 0.
struct DictationCounters {
    int hintCount = 0;
    int errorCount = 0;
    int replayCount = 0;
    int sentencePoints = 100;

    bool operator==(const DictationCounters &) const = default;
};

namespace DictationScore {
constexpr int hintCost = 20;
constexpr int errorCost = 10;
constexpr int replayCost = 5;
// The lowest pass mark the picker accepts from the keyboard.
constexpr int lowestPassMark = 60;
} // namespace DictationScore

// The pass mark as the picker's text reads: its leading number, 0 for a text without one.
double passMarkOf(QStringView pickerText);
// A pass mark the picker may hold: the text itself from the lowest pass mark up, else that
// mark ("5", "" and "abc" give "60"), so that no record or edit left half-way lowers it.
QString allowedPassMark(QStringView pickerText);

enum class DictationVerdict { Failed, Passed, LessonPassed };

// The text of the box that reports a right check: the points as the score label shows them,
// the verdict, a blank line (CRLF twice) and the scoring rule.
QString dictationMessage(DictationVerdict verdict, int points);
