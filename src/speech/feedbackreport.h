#pragma once

#include "speechtypes.h"

#include <QString>
#include <optional>

// The verdict on one recording as the content tool prints it, one line each (no newline).

// {"recording": PATH, "judged": bool, "reRecord": bool, "summary": TEXT, "words": [{"text":
// WORD, "mark": "ok"|"left-out"|"unclear"|"not-checked", "pace": "even"|"slower"|"faster"}]}
// in that order of keys, compact, then "analysisMs" when given (the time the recording took
// to judge, the model's analysis not counted).
QString feedbackJsonLine(const QString &recording, const SentenceFeedback &feedback,
                         std::optional<qint64> analysisMs = std::nullopt);

// "PATH<TAB>summary", the path with tabs and line breaks written as \t, \r, \n.
QString feedbackTextLine(const QString &recording, const SentenceFeedback &feedback);
