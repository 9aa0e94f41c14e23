#pragma once

#include "voicebackend.h"

#include <functional>
#include <memory>

// The back-end chosen once at start-up, and the flag the start-up sequence reads.
struct ChosenBackend {
    std::unique_ptr<VoiceBackend> backend; // never null
    int WmpEnable = 0;                     // 1 when the media player is the back-end (playerKind 2)
};

// Chooses the lesson-audio engine; call once, after the Qt application object exists.
// The media player (libmpv) is chosen when it can be created and opens an audio output;
// otherwise the fallback device (Qt's GStreamer player) when GStreamer has what it needs.
// When neither can sound, the media player plays silently in real time, and when no
// engine can be created at all a silent clock stands in. Costs about 35 ms with a sound
// server (engine set-up plus a 10 ms silent probe through the output).
ChosenBackend chooseVoiceBackend();

// Explicit creators for tests and diagnostics; nullptr when the engine cannot be made.
// createMpvBackend(true) also returns nullptr when no audio output opens.
std::unique_ptr<VoiceBackend> createMpvBackend(bool requireSoundOutput);
std::unique_ptr<VoiceBackend> createQtPlayerBackend();

// The two engines a learner can switch the lesson player between while the program runs.
// Which one plays follows from the back-end's unit, as playerKind does.
enum class VoiceEngine {
    MediaPlayer,    // libmpv, playerKind 2 ("默认引擎")
    FallbackDevice, // Qt Multimedia, playerKind 1 ("备用引擎")
};
VoiceEngine engineOf(const VoiceBackend &backend);

// Where the window gets an engine from; tests hand in fakes.
struct VoiceEngines {
    // Whether engine can be made here and reach a sound output. Cheap after the first ask.
    std::function<bool(VoiceEngine)> available;
    // A new engine; nullptr when it cannot be made or cannot sound.
    std::function<std::unique_ptr<VoiceBackend>(VoiceEngine)> make;

    static VoiceEngines system();
};
