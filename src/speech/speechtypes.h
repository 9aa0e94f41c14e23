#pragma once

// What the offline feedback on a learner's recording works with and gives back. Qt Core and
// the standard library only: the analysis runs off the UI thread and knows no widget.

#include <QString>
#include <cmath>
#include <vector>

// Mono sound, samples in -1..1.
struct SpeechAudio {
    int sampleRate = 16000;
    std::vector<float> samples;

    double seconds() const { return sampleRate > 0 ? double(samples.size()) / sampleRate : 0.0; }
};

// One word of the sentence as the recogniser found it in a recording.
struct AlignedWord {
    QString text;             // as the sentence writes it, without the punctuation around it
    bool inDictionary = true; // the recogniser knows how to say it; otherwise it is not checked
    bool present = true;      // kept by the pass in which every word may be skipped
    int startMs = 0;          // where the forced alignment put it
    int endMs = 0;
    // Aligned acoustic score minus the free phone loop's over the same frames, per frame
    // (nats per 10 ms frame, about 0 or a little above; nearer 0 means said as clearly as any
    // phones could be; NaN when not measured).
    double confidence = 0;
};

// Why the recogniser did not run on a recording.
enum class AnalysisFailure {
    None,
    NoKnownWord, // no word of the sentence is in the recogniser's dictionary
    TooShort,    // less than a tenth of a second of audio
    Silent,      // digital silence or nearly (a muted microphone)
    Recogniser,  // the recogniser itself failed: wrong rate, grammar refused, no model
};

struct SpeechAnalysis {
    bool aligned = false; // the forced alignment with the sentence went through
    std::vector<AlignedWord> words;
    QString error; // why the recogniser could not run, for logs; empty when it ran
    AnalysisFailure failure = AnalysisFailure::None; // set with error, for the learner
};

// A pitch contour in semitones around the speaker's median pitch, one value per hop; NaN
// where nothing is voiced.
struct PitchContour {
    int hopMs = 10;
    std::vector<float> semitones;

    static float unvoiced() { return std::nanf(""); }
};

enum class WordMark { Ok, LeftOut, Unclear, NotChecked };
enum class Pace { Even, Slower, Faster };

struct WordFeedback {
    QString text;
    WordMark mark = WordMark::Ok;
    Pace pace = Pace::Even; // the word (with the pause before it) against the model's
    int modelStartMs = 0, modelEndMs = 0;
    int learnerStartMs = 0, learnerEndMs = 0;
};

// Why a recording was not judged, so that the page can say what to do about it.
enum class Unjudged {
    None,             // judged, nothing asked yet, or no recogniser at all (see the summary)
    TakeUnclear,      // too noisy or silent to judge (reRecord)
    TakeNotFound,     // none of the sentence's words were found in the take
    TakeFailed,       // the recogniser could not run on the take
    ModelNoKnownWord, // the recogniser knows no word of the sentence
    ModelTooShort,    // the model audio is too short to analyse
    ModelSilent,      // the model audio is silent
    ModelNotMatched,  // the sentence could not be matched with the model audio
    ModelFailed,      // the recogniser could not run on the model
};

// The whole feedback on one recording of one sentence.
struct SentenceFeedback {
    bool judged = false;   // words carry marks
    bool reRecord = false; // too noisy or silent to judge: "录音不够清楚，请重新录音。"
    Unjudged why = Unjudged::None;
    std::vector<WordFeedback> words;
    QString summary; // one line for the page, e.g. "漏读 1 个词：you"
    PitchContour modelPitch;
    PitchContour learnerPitch;
    double learnerSnrDb = 0;
};
