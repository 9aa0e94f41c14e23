#include "voicebackendfactory.h"

#include "mpvbackend.h"
#include "qtplayerbackend.h"
#include "silentvoicebackend.h"

ChosenBackend chooseVoiceBackend() {
    std::unique_ptr<MpvBackend> mpv = MpvBackend::create(MpvBackend::Output::Device);
    if (mpv && !mpv->audioOutput().isEmpty())
        return {std::move(mpv), 1};
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
    if (mpv && requireSoundOutput && mpv->audioOutput().isEmpty())
        return nullptr;
    return mpv;
}

std::unique_ptr<VoiceBackend> createQtPlayerBackend() {
    return QtPlayerBackend::create();
}
