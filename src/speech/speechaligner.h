#pragma once

// Where the words of a sentence lie in a learner's recording, which of them were said, and how
// clearly. PocketSphinx with its US English model; Qt Core only.

#include "speechtypes.h"

#include <QString>
#include <memory>
#include <vector>

struct ps_decoder_s;

// One word of a sentence, as shown and as the recogniser looks it up.
struct SentenceWord {
    QString text;    // the sentence's own spelling without the punctuation around it
    QString spelled; // lower case, only letters, digits and inner apostrophes
};

// Holds one decoder: analyse() is called from one worker thread at a time (the feedback's
// worker owns the aligner); the decoder keeps per-call state and is not thread-safe.
class SpeechAligner {
public:
    // Loads the model and the dictionary once (slow, about 0.25 s); nullptr, and *error set,
    // when they are missing or do not load.
    static std::unique_ptr<SpeechAligner> create(QString *error,
                                                 const QString &modelDir = defaultModelDir());
    // /usr/share/pocketsphinx/model/en-us, or ORVESSA_SPEECH_MODEL when set. The folder holds
    // the acoustic model (en-us/) and the dictionary (cmudict-en-us.dict).
    static QString defaultModelDir();

    // The words of an English sentence as the recogniser spells them: split at white space
    // and hyphens, lower case, punctuation stripped ("don't" keeps its apostrophe, quotes
    // around a word do not stay). Numbers written as digits stay as they are (and are then not
    // in the dictionary). Tokens with nothing left are no words.
    static std::vector<SentenceWord> words(const QString &sentence);

    // Three passes over 16 kHz audio (resampledTo16k first otherwise; other rates give an
    // error): the sentence forced onto the recording, with optional pauses between words; the
    // same words each optional; and a free loop of context-independent phones. Every word of
    // the sentence gets an AlignedWord, in order:
    // - inDictionary=false: the recogniser cannot say it; it is left out of both grammars,
    //   keeps present=true, its confidence is NaN and its time the gap between its
    //   neighbours.
    // - present: the optional-word pass kept the word.
    // - startMs/endMs: the forced alignment's frames (10 ms each).
    // - confidence: nats per frame, see speechaligner.cpp; NaN when not measured.
    // When the forced alignment finds no path (silence, noise, another sentence), aligned is
    // false: present still comes from the optional pass, and the words it kept take their
    // times and confidences from it; the others get 0 ms and NaN. When no word is in the
    // dictionary, or the audio is empty, too short or silent (a muted microphone), nothing
    // runs: aligned=false, no checked word is present, and error says why.
    SpeechAnalysis analyse(const SpeechAudio &audio, const QString &sentence);

    ~SpeechAligner();
    SpeechAligner(const SpeechAligner &) = delete;
    SpeechAligner &operator=(const SpeechAligner &) = delete;

private:
    SpeechAligner() = default;

    ps_decoder_s *m_ps = nullptr;
    double m_natsPerUnit = 0; // one unit of the decoder's path scores, in nats
};
