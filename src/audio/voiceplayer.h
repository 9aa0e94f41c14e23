#pragma once

#include "content/programprofile.h"

#include <QString>
#include <memory>

class VoiceBackend;

// The six player procedures of the main window and the fields they work through. A
// caller stores a file path or a target position in a field, then calls the procedure;
// VoiceGetPosition leaves its result in voicePosition.
//
// Unit rule: with playerKind 2 (media player) voiceStart, voiceEnd and voicePosition are
// seconds; with playerKind 1 (fallback device) they are milliseconds. Whoever stores a
// sentence time converts it with toPlayerUnits().
class VoicePlayer {
public:
    // Takes the back-end chosen at start-up; playerKind follows from its unit, and
    // WmpEnable is 1 exactly when it is the media player. Without a back-end (nullptr) a
    // silent stand-in keeps every procedure harmless.
    VoicePlayer(Program program, std::unique_ptr<VoiceBackend> backend);
    ~VoicePlayer();
    VoicePlayer(const VoicePlayer &) = delete;
    VoicePlayer &operator=(const VoicePlayer &) = delete;

    int WmpEnable = 0;  // 1 when the media player could be created
    int playerKind = 1; // 2 = media player, 1 = fallback device; follows the engine in force
    QString voiceFile;
    double voiceStart = 0;
    double voiceEnd = 0;
    double voicePosition = 0;

    // Mini only: the book whose volume VoiceSet applies, and whether "常速" is ticked
    // (VoiceOpen applies 1.0, else 0.5).
    QString bookTitle;
    bool normalPlay = true;

    void VoiceSet();
    void VoiceOpen();
    void VoicePlay();
    void VoicePause();
    void VoiceSetPosition();
    // Once playback has run into the end of the file, voicePosition is at least
    // voiceEnd: a sentence that ends past the end of the recording has ended there.
    void VoiceGetPosition();

    // Seconds of the recording in this player's units.
    double toPlayerUnits(double seconds) const;
    // Sets the playback rate directly (the speed choice).
    void setRate(double rate);
    // The last rate set (1.0 until one is); a new engine plays at it too.
    double rate() const { return m_rate; }

    // Hands the lesson to another engine while the program runs: the file, the rate, the
    // volume and the place go over, playback goes on if it was running, and voiceStart,
    // voiceEnd and voicePosition are converted to the new engine's units (playerKind
    // follows), so a sentence under way still ends at its End. nullptr changes nothing.
    void switchBackend(std::unique_ptr<VoiceBackend> next);

    Program program() const { return m_program; }
    VoiceBackend &backend() { return *m_backend; }

private:
    Program m_program;
    std::unique_ptr<VoiceBackend> m_backend;
    double m_rate = 1.0;
    int m_volume = -1; // -1: never set, the engine's own
};
