#pragma once

#include "signalquality.h"
#include "speechtypes.h"

// Below this signal-to-noise ratio (dB) a recording is not judged.
inline constexpr double minimumSnrDb = 15;

// The verdict on a learner's recording of a sentence, against the model recording of it. Both
// analyses come from the same sentence, word for word. Marks are given sparingly: a correct
// word marked wrong does more harm than a slip left unmarked.
//
// Whether to judge at all (when not, no words, and `why` says what stood in the way; the
// summary is unjudgedSummary(why))
//   - The learner's recording below 15 dB SNR, or without speech: TakeUnclear, reRecord.
//   - The model's analysis failed: the recogniser refused it (ModelNoKnownWord, ModelTooShort,
//     ModelSilent, ModelFailed as its failure says) or could not force the sentence onto it
//     (ModelNotMatched).
//   - The learner's failed (an error), or the two do not list the same words: TakeFailed.
//     A take the sentence could not be forced onto is still judged (unclear words and pace),
//     but no word of it is marked left out; when the pass in which words may be skipped kept
//     none of the words the recogniser knows either, the sentence is not in the take:
//     TakeNotFound.
//
// Each word's mark
//   - NotChecked when the recogniser does not know the word.
//   - LeftOut when the model says it, the pass where any word may be skipped skipped it in
//     the learner's take, and the forced alignment agrees: 2 × ln(the word's share of the
//     take's time / its share of the model's) plus its confidence difference (learner's minus
//     model's) less the take's median difference is below 0. A word left out is squeezed
//     between its neighbours and fits badly; a word merely skipped by the search is not.
//     Without a forced alignment of the take, nothing is marked left out.
//   - Unclear by comparison with the model, word against word. For every word both said, the
//     learner's confidence minus the model's is that word's difference. A voice unlike the
//     model's lowers all differences together, so the yardstick is the sentence's own: the
//     word is unclear when its difference lies below
//         min(median, 0) - max(5 × median absolute deviation, 3.0)
//     i.e. it stands out from the learner's other words by five times their usual scatter,
//     and by at least 3 log units per frame, and is worse than the model's word in any case
//     (so a learner clearer than the model throughout is not marked where merely as clear).
//     With fewer than three words to compare there is no telling a voice from a slip, and no
//     word is marked unclear; nor is a neighbour of a word left out (it lost or gained that
//     word's frames). The weights and thresholds were chosen on bench/feedback_eval's tuning
//     half.
//   - Ok otherwise.
//
// Each word's pace (words both said, known to the recogniser, with times): the word's length
// plus the pause after the word before it (when that one is compared too: the gap where a word
// was skipped counts for nothing), as a share of all these spans together, learner's share
// over model's. Slower above 1.6, Faster below 0.6 (about the same step either way), and
// only when the difference comes to 100 ms or more at the model's speed; Even otherwise. A
// learner slower or faster throughout is Even throughout.
//
// The summary (one line, plain):
//   "漏读 2 个词：would, two；1 个词不清楚：book" — the parts present, left out first, joined
//   by "；", words in sentence order joined by ", ";
//   "全部读出，没有漏读。" when nothing is left out or unclear;
//   "这句话没有可以检查的词。" when no word is known to the recogniser;
//   then, when some words were not checked, "（“Zorblatt”、“Quenby”未检查）".
// Pace is left to the page's drawing, not the line.
//
// The pitch contours are carried into the feedback whatever the verdict.
SentenceFeedback judgeSentence(const SpeechAnalysis &model, const SpeechAnalysis &learner,
                               PitchContour modelPitch, PitchContour learnerPitch,
                               const SignalQuality &learnerSignal);

// Whether recordings can be judged against this model's analysis at all (otherwise every
// verdict is "无法分析示范录音。").
bool modelCanBeJudged(const SpeechAnalysis &model);

// The summary of a recording not judged: why, and for the learner's own take what to do, e.g.
// "录音不够清楚，请重新录音。请靠近麦克风，减少周围噪音，完整读出整句。" or
// "无法分析示范录音：示范录音与句子对不上。". Empty for None.
QString unjudgedSummary(Unjudged why);

// The sentence for a screen reader: its words in order, each followed by what was found, e.g.
// "I would like to book（不清楚） a room for two（漏读） nights（读得慢）". Marks: 漏读, 不清楚,
// 未检查; pace: 读得慢, 读得快; several joined by "，". An unjudged recording reads as its
// summary.
QString accessibleDescription(const SentenceFeedback &feedback);
