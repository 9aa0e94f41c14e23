#pragma once

// The sentences of a plain text, for a lesson made from a course text rather than subtitles.
// The text gives one sentence per line, or running text that is cut at sentence ends:
//
//   Good morning, Mr. Smith. It is 3.5 degrees today.      -> two sentences
//   "Stop! Wait." he said.                                 -> one (quotes stay whole)
//   早上好，史密斯先生。今天三点五度。                         -> their Chinese, in order
//
// A line holding a CJK ideograph is Chinese, any other line English. The Chinese lines right
// after an English line are the Chinese of its sentences: one each when the Chinese cuts into
// as many sentences as the English, else the line stays one sentence with all of it. Chinese
// lines after no English line are sentences of their own, without English. An English line
// that starts with a small letter continues the line before it (text wrapped by hand).
// Control characters are dropped and runs of white space made one space.

#include <QString>
#include <QStringView>
#include <vector>

struct PlainSentence {
    QString english;
    QString chinese;
};

// The sentences in text order (each with some text), or an error line naming the line of
// the text: "*" and "#" separate the records of a lesson file and cannot be in a sentence.
struct PlainSplit {
    std::vector<PlainSentence> sentences;
    QString error;
};

// text as decodeSubtitleText() gives it (UTF-8, UTF-16 or GBK bytes).
PlainSplit splitPlainText(QStringView text);

// An English text and a Chinese text of the same sentences, sentence by sentence, or one
// per line when only the lines match. An error when neither count matches, when either
// text gives none, or when the English text already holds Chinese lines.
PlainSplit pairPlainTexts(QStringView english, QStringView chinese);
