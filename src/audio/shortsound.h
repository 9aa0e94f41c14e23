#pragma once

#include <QString>
#include <QStringList>

// Short click and typing sounds (SETTING/Sound/*.wav): a sound starts at once without
// waiting, a new one cuts off one still playing, and a missing or unreadable file plays
// nothing and reports nothing.
class ShortSoundPlayer {
public:
    virtual ~ShortSoundPlayer() = default;
    virtual void play(const QString &path) = 0;
};

// Remembers what was asked to play, for tests.
class RecordingShortSoundPlayer : public ShortSoundPlayer {
public:
    void play(const QString &path) override { played << path; }
    QStringList played;
};
