#include "voicebackendfactory.h"

#include "mpvbackend.h"
#include "qtplayerbackend.h"
#include "silentvoicebackend.h"

#include <future>
#include <optional>

namespace {
// Whether libmpv opened a sound output, once someone has found out (the start-up choice
// does; so does the first question about it).
std::optional<bool> mpvSounds;

// Whether the fallback device could play is asked when the voice options page first shows.
// GStreamer's first start on an account scans its plug-ins (about a second), so with the
// media player in force it is asked now, off the UI thread, while the learner starts. The
// answer is kept for the run; the future's end waits for it at exit.
void checkFallbackAhead() {
    static const std::future<void> check =
        std::async(std::launch::async, [] { QtPlayerBackend::unavailableReason(); });
}
} // namespace

ChosenBackend chooseVoiceBackend() {
    std::unique_ptr<MpvBackend> mpv = MpvBackend::create(MpvBackend::Output::Device);
    mpvSounds = mpv && !mpv->audioOutput().isEmpty();
    if (*mpvSounds) {
        checkFallbackAhead();
        return {std::move(mpv), 1};
    }
    if (auto qt = QtPlayerBackend::create())
        return {std::move(qt), 0};
    if (mpv) {
        mpv->useSilentOutput();
        return {std::move(mpv), 1};
    }
    return {std::make_unique<SilentVoiceBackend>(), 0};
}

std::unique_ptr<VoiceBackend> createMpvBackend(bool requireSoundOutput) {
    std::unique_ptr<MpvBackend> mpv = MpvBackend::create(
        requireSoundOutput ? MpvBackend::Output::Device : MpvBackend::Output::Silent);
    if (requireSoundOutput)
        mpvSounds = mpv && !mpv->audioOutput().isEmpty();
    if (mpv && requireSoundOutput && mpv->audioOutput().isEmpty())
        return nullptr;
    return mpv;
}

std::unique_ptr<VoiceBackend> createQtPlayerBackend() {
    return QtPlayerBackend::create();
}

VoiceEngine engineOf(const VoiceBackend &backend) {
    return backend.unit() == VoiceBackend::Unit::Seconds ? VoiceEngine::MediaPlayer
                                                         : VoiceEngine::FallbackDevice;
}

VoiceEngines VoiceEngines::system() {
    VoiceEngines engines;
    engines.available = [](VoiceEngine engine) {
        if (engine == VoiceEngine::FallbackDevice)
            return QtPlayerBackend::unavailableReason().isEmpty();
        if (!mpvSounds)
            createMpvBackend(true); // the probe costs some 35 ms once
        return mpvSounds.value_or(false);
    };
    engines.make = [](VoiceEngine engine) -> std::unique_ptr<VoiceBackend> {
        if (engine == VoiceEngine::FallbackDevice)
            return createQtPlayerBackend();
        return createMpvBackend(true);
    };
    return engines;
}
