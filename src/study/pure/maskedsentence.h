#pragma once

// The masked sentence of sentence study and dictation: each letter a to z (either case)
// becomes "_", every other character stays where it is.
//   "It's 5 o'clock."  ->  "__'_ 5 _'_____."

#include <QString>
#include <QStringView>

// Same length as english in UTF-16 units; a character outside the Basic Multilingual
// Plane is copied as its two units, so positions keep matching the sentence.
QString maskedSentence(QStringView english);
