#pragma once

// What the speech layer's aligners share of the recogniser: one decoder set up for alignment,
// grammars built from dictionary words, decoding into word segments, and the phone loop that
// scores them. Only speech/ includes this (it brings PocketSphinx's headers).

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

#include <pocketsphinx.h>
#include <sphinxbase/fsg_model.h>

namespace sphinx {

constexpr int frameMs = 10;
// The free loop of context-independent phones every decoder holds (see speechaligner.cpp).
constexpr char phoneSearch[] = "phones";

// The model's 39 phones, lower case.
extern const char *const phones[39];

struct Segment {
    QByteArray word; // as the decoder names it: "to(3)", "<sil>", "AY", "#ay"
    int first = 0;   // frames, inclusive
    int last = 0;
    int ascr = 0;
};

// Loads the model and the dictionary with the aligners' settings (speechaligner.cpp says why
// each), adds every phone as a one-phone dictionary word under each prefix given ("#aa" for
// prefix '#'), and sets up the phone loop search. nullptr and *error on failure.
// Settings given override the aligners' own (name and value as on the command line).
using Settings = std::vector<std::pair<const char *, const char *>>;
ps_decoder_t *createDecoder(const QString &modelDir, const QByteArray &phonePrefixes,
                            QString *error, const Settings &settings = {});
// One unit of the decoder's path scores, in nats.
double natsPerUnit(ps_decoder_t *ps);

// The dictionary word a segment stands for: without the "(2)" of another pronunciation.
QByteArray baseWord(const QByteArray &word);
// Pauses, noises, skipped words "(NULL)" and the one-phone words of the loops.
bool isFiller(const QByteArray &word);
// Lower-case letters with inner apostrophes only: nothing a grammar could misread.
bool grammarSafe(const QString &spelled);
// The word's phones in the dictionary (first pronunciation); 0 when it is not there.
int phoneCount(ps_decoder_t *ps, const QByteArray &word);

// Runs the named search over the samples; nothing when it gave no hypothesis.
std::optional<std::vector<Segment>> decode(ps_decoder_t *ps, const char *search, const short *pcm,
                                           size_t count);
// Installs a search whose beams are wide enough that a path through the whole grammar is
// never pruned away (a search reads the beams when it is made; the decoder's own stay).
bool setWideFsg(ps_decoder_t *ps, const char *name, fsg_model_t *fsg);
// A self-loop at state of every phone word with that prefix, each costing ln(prob) * lw.
void addPhoneLoop(ps_decoder_t *ps, fsg_model_t *fsg, int state, char prefix, double prob);
// Prorated phone-loop score over frames first..last (see speechaligner.cpp).
double loopScore(const std::vector<Segment> &phones, int first, int last);

} // namespace sphinx
