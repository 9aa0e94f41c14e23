#pragma once

#include "speech/speechtypes.h"

#include <QString>
#include <vector>

// The English line of the follow-read page with the feedback's marks, as rich text: a word
// left out or said unclearly is underlined in a calm colour with "漏读" or "不清楚" after it;
// every other character stays as the sentence writes it (escaped). Words are found in order,
// each after the one before, so a word that comes twice is marked where it was judged.
QString markedSentenceHtml(const QString &sentence, const std::vector<WordFeedback> &words);
