#pragma once

// Sentence playback, full-text reading and the speed choice wired to the fake player and
// hand-ticked timers, with a millisecond clock that moves the player and fires the timers
// the way the window's event loop would.

#include "audio/fakevoicebackend.h"
#include "audio/shortsound.h"
#include "audio/ticker.h"
#include "audio/voiceplayer.h"
#include "content/sentencetable.h"
#include "study/fulltextreader.h"
#include "study/sentenceplayback.h"
#include "study/speedchoice.h"
#include "study/trainerstate.h"
#include "support/fakemeasurer.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

// One sentence's times in seconds.
struct Span {
    double start;
    double end;
};

// "*S1#句1#0.5#2.01#*S2#...#*": English "S<i>", Chinese "句<i>". A span with end <= start
// stands for a record without playable times (its times are written as "x").
inline QString lessonText(const std::vector<Span> &spans) {
    QString text = QStringLiteral("*");
    int i = 0;
    for (const Span &s : spans) {
        ++i;
        const bool playable = s.end > s.start;
        text += QStringLiteral("S%1#句%1#%2#%3#*")
                    .arg(i)
                    .arg(playable ? QString::number(s.start) : QStringLiteral("x"))
                    .arg(playable ? QString::number(s.end) : QStringLiteral("x"));
    }
    return text;
}

class PlaybackRig {
public:
    explicit PlaybackRig(const std::vector<Span> &spans, Program program = Program::Orvessa,
                         VoiceBackend::Unit unit = VoiceBackend::Unit::Seconds)
        : state(TrainerState::forProgram(program)),
          player(program, std::make_unique<FakeVoiceBackend>(unit)),
          fake(static_cast<FakeVoiceBackend &>(player.backend())),
          playback(state, player, sounds, PlaybackTimers{&Timer1, &Timer2, &endShot},
                   QStringLiteral("/prog")),
          reader(state, playback), speed(state, playback) {
        loadLesson(spans);
        PlaybackHooks &h = playback.hooks();
        h.focusCombo4 = [this] { focus << QStringLiteral("Combo4"); };
        h.focusTypingBox = [this] { focus << QStringLiteral("typing"); };
        h.panelChanged = [this] { ++panelChanges; };
        h.controlsChanged = [this] { ++controlChanges; };
        h.onSentenceEndInMode5 = [this] { ++mode5Ends; };
        playback.endReading(); // the program's resting captions
    }

    // The loader's part: the table, rows laid out by the row rules, a lesson audio opened.
    void loadLesson(const std::vector<Span> &spans) {
        state.sentences = SentenceTable::fromText(lessonText(spans));
        state.sentenceCount = state.sentences.count();
        state.currentSentence = state.sentenceCount > 0 ? 1 : 0;
        state.panel.canvasHeight =
            layoutRowsInto(state.rows, state.sentences, state.rowTemplate, measurer);
        player.voiceFile = QStringLiteral("/prog/Sound/book/1.mp3");
        player.VoiceOpen();
        fake.calls.clear();
        m_seen = 0;
    }

    // Lets ms milliseconds pass: each millisecond the player moves (unless stalled), then
    // every enabled timer whose interval has run out since it was (re)started fires. A timer
    // started at time t fires at t + interval, t + 2 x interval, ...
    void run(int ms) {
        sync();
        for (int step = 0; step < ms; ++step) {
            ++now;
            if (!playerStalled)
                fake.advance(1);
            for (bool fired = true; fired;) {
                fired = false;
                for (Slot &slot : m_slots) {
                    if (!slot.ticker->isActive() || now < slot.due)
                        continue;
                    slot.due += slot.ticker->interval();
                    slot.ticker->tick();
                    sync();
                    fired = true;
                }
            }
        }
    }

    // Runs until the watch has stopped the sentence (at most limitMs).
    void runToSentenceEnd(int limitMs = 60000) {
        for (int i = 0; i < limitMs && Timer1.isActive(); ++i)
            run(1);
    }

    // The calls the player received, with the clock time of each: "seek 0.5@0".
    QStringList timeline() {
        sync();
        return m_timeline;
    }
    // Just the seeks' targets, in order.
    QStringList seeks() const { return fake.calls.filter(QStringLiteral("seek ")); }
    // Times of the calls whose text starts with prefix ("seek", "pause", "play").
    std::vector<long long> timesOf(const QString &prefix) {
        std::vector<long long> times;
        for (const QString &entry : timeline())
            if (entry.startsWith(prefix))
                times.push_back(entry.section(u'@', 1).toLongLong());
        return times;
    }
    void recordCalls() {
        while (m_seen < fake.calls.size())
            m_timeline << fake.calls.at(m_seen++) + u'@' + QString::number(now);
    }
    double position() { return fake.position(); }

    TrainerState state;
    FakeMeasurer measurer;
    VoicePlayer player;
    FakeVoiceBackend &fake;
    RecordingShortSoundPlayer sounds;
    ManualTicker Timer1{30};
    ManualTicker Timer2{10};
    ManualTicker endShot{1};
    SentencePlayback playback;
    FullTextReader reader;
    SpeedChoice speed;

    QStringList focus;
    int panelChanges = 0;
    int controlChanges = 0;
    int mode5Ends = 0;
    long long now = 0; // ms since the rig was made
    bool playerStalled = false;

private:
    struct Slot {
        ManualTicker *ticker;
        int seenStarts = 0;
        long long due = 0;
    };
    // Notes the timers (re)started and the player calls made since the last look.
    void sync() {
        for (Slot &slot : m_slots) {
            if (slot.ticker->starts != slot.seenStarts) {
                slot.seenStarts = slot.ticker->starts;
                slot.due = now + slot.ticker->interval();
            }
        }
        recordCalls();
    }

    std::vector<Slot> m_slots{{&endShot}, {&Timer1}, {&Timer2}};
    QStringList m_timeline;
    qsizetype m_seen = 0;
};
