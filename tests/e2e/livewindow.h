#pragma once

#include "audio/shortsound.h"
#include "audio/voicebackendfactory.h"
#include "audio/voiceplayer.h"
#include "audio/voicerecorder.h"
#include "content/dataplaces.h"
#include "study/trainercore.h"

#include <QObject>
#include <QStringList>
#include <memory>

// A program window (TrainerWindow or MiniWindow) on a program directory, as the program runs
// it: the media player on the null sink, the system recorder and the program's own timers.
// Its message boxes are collected in messages.
template <class Window> struct LiveWindow {
    LiveWindow(Program program, const QString &programDir) {
        std::unique_ptr<VoiceBackend> engine = createMpvBackend(true);
        if (!engine)
            return;
        player = std::make_unique<VoicePlayer>(program, std::move(engine));
        player->WmpEnable = 1;
        window = std::make_unique<Window>(DataPlaces::portable(programDir), *player, sounds,
                                          *recorder, WindowTimers::makeQt(&timerOwner));
        window->messageSink = [this](const QString &text, const QString &, MessageIcon) {
            messages << text;
        };
    }

    RecordingShortSoundPlayer sounds;
    const std::unique_ptr<VoiceRecorder> recorder = createSystemVoiceRecorder();
    QObject timerOwner;
    std::unique_ptr<VoicePlayer> player;
    std::unique_ptr<Window> window; // null when the media player could not open the null sink
    QStringList messages;
};
