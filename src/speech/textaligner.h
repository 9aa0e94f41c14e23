#pragma once

// Where each sentence of a text lies in a long recording of it (an audio book, a lesson read
// aloud): PocketSphinx with its US English model; Qt Core only.
//
// How: the recording is aligned in pieces, so that time and memory grow with its length and
// no more. A piece is the sentences expected to take about a minute (from the text's length
// in phones and the recording's overall pace), searched for in a window of audio a fifth
// longer than that plus 8 s, starting where the last sentence placed for sure ended. One
// grammar is forced through the window:
//
//   [junk] sentence 1 [junk] sentence 2 [junk] ... sentence n [junk]
//
// where every sentence may also be skipped (at a cost, so only a sentence whose words fit
// the sound worse than junk does is left out) and [junk] is a loop of a few broad phones,
// each costing enough that a sentence's own words always fit its sound better; it takes a
// title read otherwise, an added line, music. A word outside the dictionary (a name) gets a
// cheaper loop of all the phones in its place, so that it neither pulls its neighbours onto
// its sound nor is left out; numbers are spelled out first ("3.5" is three point five). Of a
// window's sentences those ending more than 4 s before the window's end are kept, and the
// next window starts after the last one kept; the others (perhaps squeezed into what was
// left of the window) are searched for again there. A window in which no sentence is found
// moves on by half its length, its audio reported as matching nothing. The audio is thus
// searched about 1.3 times over, and the decoder only ever holds one window. The last window
// is searched again from its last sentence found while sentences after it are missing.
//
// Each sentence kept is then scored against a free loop of all the phones over its own sound
// (see confidence below), on a second decoder and thread while the next window is searched:
// the two cores each do about half the work. Start is placed 50 ms before the sentence's
// first sound and End 60 ms after its last (the demo book's margins), but never beyond the
// middle of the pause to the sound next to it, whether a neighbour's or unmatched audio's.
// The first and last sound are where the recogniser put the words, moved outwards while the
// level stays well above the pause's (a last consonant dying away); a short stretch of junk
// right against a sentence's first word is taken as its soft onset (the "Th" of "Their").

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

struct ps_decoder_s;

struct SentenceAlignment {
    double start = 0, end = 0; // seconds, margins included; 0 when not found
    // Nats per 10 ms frame by which the sentence's words fit its sound better (above 0) or
    // worse (below) than the best string of phones: about 0 for a clear reading, -1 to -2
    // for a sentence read with another accent or a few words changed, below -3 for sound
    // that is not the sentence. NaN when not found.
    double confidence = 0;
    bool found = false;    // false: not in the recording (skipped by the reader); no times
    bool doubtful = false; // found, but the confidence is low: the times may be off
};

struct TextAlignment {
    std::vector<SentenceAlignment> sentences; // one per sentence given, in order
    QStringList notes;                        // e.g. "audio 12.0-31.5 s matches no sentence"
    QString error;                            // one line; empty on success
    bool cancelled = false;                   // the progress callback asked to stop
};

class TextAligner {
public:
    static constexpr int sampleRate = 16000;
    // Below this confidence a found sentence is doubtful.
    static constexpr double doubtfulBelow = -1.5;
    // Fewer than this share of the sentences found: the recording is not of this text.
    static constexpr double leastFoundShare = 0.5;

    // Loads the model and the dictionary (about 0.3 s); nullptr and *error when they do not.
    static std::unique_ptr<TextAligner> create(QString *error, const QString &modelDir = {});

    // The words of an English sentence as spoken: lower case, numbers written in digits
    // spelled out ("3.5" three point five, "1999" nineteen ninety nine, "21st" twenty first,
    // "$5" five dollars, "10%" ten percent), punctuation gone.
    static QStringList spokenWords(const QString &sentence);

    // progress(fraction 0..1); returning false stops the alignment (cancelled, error set).
    using Progress = std::function<bool(double)>;
    // Aligns the sentences (English, in reading order) on 16 kHz mono samples. When fewer than
    // half of them are found, error says the audio does not match the text.
    TextAlignment align(const std::vector<qint16> &samples, const QStringList &sentences,
                        const Progress &progress = {});

    ~TextAligner();
    TextAligner(const TextAligner &) = delete;
    TextAligner &operator=(const TextAligner &) = delete;

private:
    TextAligner() = default;
    ps_decoder_s *m_ps = nullptr;     // searches the windows
    ps_decoder_s *m_scorer = nullptr; // the phone loop scoring the sentences found
    double m_natsPerUnit = 0;
};
