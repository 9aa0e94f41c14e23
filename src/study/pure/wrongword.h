#pragma once

// The word a wrong dictation check stumbled on, for the learner's review list.
//   sentence "Good morning, sir."  typing "good mornink"  ->  "morning"

#include "lettercheck.h"

#include <QString>
#include <QStringView>

// The first word of sentence that the typing of check got wrong, comparing word by word;
// where the typing's words cannot be paired with the sentence's (words run together), the word
// that holds the first wrong letter of check, or the first letter the typing is missing. A word is
// a run of letters and digits, with apostrophes and hyphens between letters kept ("don't",
// "twenty-one"). Empty for a right check and for surplus typing past the sentence's last letter,
// which no word of the sentence holds.
QString wrongWord(QStringView sentence, const LetterCheck &check);
