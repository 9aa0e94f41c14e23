#pragma once

#include "content/dataplaces.h"
#include "content/lessonshift.h"
#include "content/sentencetable.h"

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <utility>

class SentencePlayback;
class VoicePlayer;
struct TrainerState;

// Fixing the shown sentence's Start and End by ear: each step moves one of them, writes the
// lesson file at once and plays the sentence again from its new Start to its new End, so
// the learner hears what changed. The loaded lesson takes the new times too (playback,
// repeats and the lesson panel read them from the sentence table).
//
// The file is rewritten in its bytes (only the two numbers change) and replaced atomically.
// It is written where the programs write: the file itself in a writable program directory;
// otherwise the learner's copy in the per-user folder, which the loader reads before the
// shipped file, so a shipped book is never touched. A refused step or a failed write leaves
// the file, the table and the player as they were and says why in one calm line.
//
// Undo goes back to the times the lesson was opened with, as they were written, so the
// file gets its old bytes again.
class SentenceRetimer : public QObject {
    Q_OBJECT
public:
    enum class Edge { Start, End };
    static constexpr int stepMs = 50;

    // All references must outlive the retimer.
    SentenceRetimer(TrainerState &state, VoicePlayer &player, SentencePlayback &playback,
                    QObject *parent = nullptr);

    // The length in seconds of the audio at path, <= 0 when unknown (no check is made then).
    // The lesson audio is probed by default; tests hand their own.
    std::function<double(const QString &path)> audioSeconds;

    // A lesson is about to load: where its file lies (book/<title>/<n>.dat under the
    // places). What was changed in the previous one can no longer be undone.
    void lessonOpening(const DataPlaces &places, const QString &lessonFile);

    // The shown sentence's playable times; nothing when it has none (no control then).
    std::optional<SentenceTimes> shownTimes() const;
    // Whether the shown sentence's times differ from those the lesson was opened with.
    bool canRestore() const;
    // Why the last step or undo of the shown sentence failed; empty after one that worked.
    QString problem() const;

    // Moves the shown sentence's Start or End by milliseconds, writes and plays it again.
    bool step(Edge edge, int milliseconds);
    // Back to the times as the lesson was opened, written and played again.
    bool restore();

    // "00:12.350 – 00:15.100": minutes, seconds and milliseconds of both times.
    static QString timesText(const SentenceTimes &times);

Q_SIGNALS:
    // The shown sentence's times, its undo or its problem line changed.
    void changed();

private:
    struct Written {
        QString start;
        QString end;
    };
    bool save(int sentence, const std::function<RetimeResult(const QByteArray &)> &rewrite);
    bool fail(int sentence, QString line);
    double lessonAudioSeconds();
    void playAgain(const SentenceTimes &times);

    TrainerState &m_state;
    VoicePlayer &m_player;
    SentencePlayback &m_playback;
    DataPlaces m_places;
    QString m_lessonFile;
    // The times as opened, of the sentences changed since (by sentence number).
    std::map<int, Written> m_opened;
    int m_problemSentence = 0;
    QString m_problem;
    QString m_audioProbed; // the file whose length m_audioLength holds
    double m_audioLength = 0;
};
