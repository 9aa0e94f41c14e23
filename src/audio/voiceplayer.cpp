#include "voiceplayer.h"

#include "silentvoicebackend.h"
#include "voicebackend.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// The fallback device takes and reports whole milliseconds in a 32-bit integer. Ties go
// to the even neighbour (the platform's own conversion); out-of-range values saturate
// instead of wrapping, and NaN becomes 0.
double toInt32Nearest(double value) {
    if (std::isnan(value))
        return 0;
    const double rounded = std::nearbyint(value);
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    return rounded < lo ? lo : (rounded > hi ? hi : rounded);
}

int miniVolumeFor(const QString &bookTitle) {
    if (bookTitle == QStringLiteral("英语900句经典版"))
        return 70;
    if (bookTitle == QStringLiteral("英语900句视频版"))
        return 50;
    return 100;
}

} // namespace

VoicePlayer::VoicePlayer(Program program, std::unique_ptr<VoiceBackend> backend)
    : m_program(program), m_backend(std::move(backend)) {
    // Without any engine the procedures still run: a silent clock stands in.
    if (!m_backend)
        m_backend = std::make_unique<SilentVoiceBackend>();
    playerKind = m_backend->unit() == VoiceBackend::Unit::Seconds ? 2 : 1;
    WmpEnable = playerKind == 2 ? 1 : 0;
}

VoicePlayer::~VoicePlayer() = default;

void VoicePlayer::VoiceSet() {
    if (playerKind == 2) {
        // Our engines never start on open, so there is no auto-start to switch off.
        if (m_program == Program::Mini) {
            m_volume = miniVolumeFor(bookTitle);
            m_backend->setVolume(m_volume);
        }
    } else {
        m_backend->close();
    }
}

void VoicePlayer::VoiceOpen() {
    m_backend->open(voiceFile);
    if (playerKind == 2 && m_program == Program::Mini)
        setRate(normalPlay ? 1.0 : 0.5);
}

void VoicePlayer::VoicePlay() {
    m_backend->play();
}

void VoicePlayer::VoicePause() {
    m_backend->pause();
}

void VoicePlayer::VoiceSetPosition() {
    if (playerKind == 2)
        m_backend->setPosition(std::isnan(voiceStart) ? 0.0 : voiceStart);
    else
        m_backend->setPosition(toInt32Nearest(voiceStart));
}

void VoicePlayer::VoiceGetPosition() {
    const double pos = m_backend->position();
    voicePosition = playerKind == 2 ? pos : toInt32Nearest(pos);
    // A sentence whose End lies past the end of the recording would otherwise never be
    // seen to end, and the sentence-end watch would poll a stopped player for ever.
    if (m_backend->atEnd() && voicePosition < voiceEnd)
        voicePosition = voiceEnd;
}

double VoicePlayer::toPlayerUnits(double seconds) const {
    return playerKind == 2 ? seconds : seconds * 1000.0;
}

void VoicePlayer::setRate(double rate) {
    m_rate = rate;
    m_backend->setRate(rate);
}

void VoicePlayer::switchBackend(std::unique_ptr<VoiceBackend> next) {
    if (!next)
        return;
    const double oldPerSecond = toPlayerUnits(1.0);
    const double seconds = m_backend->position() / oldPerSecond;
    const bool playing = m_backend->isPlaying();
    // The old engine falls silent before the new one speaks, so the two never overlap.
    m_backend->pause();
    m_backend = std::move(next);
    playerKind = m_backend->unit() == VoiceBackend::Unit::Seconds ? 2 : 1;
    const double scale = toPlayerUnits(1.0) / oldPerSecond;
    voiceStart *= scale;
    voiceEnd *= scale;
    voicePosition *= scale;

    m_backend->setRate(m_rate);
    if (m_volume >= 0)
        m_backend->setVolume(m_volume);
    if (voiceFile.isEmpty())
        return;
    m_backend->open(voiceFile);
    const double place = toPlayerUnits(std::isnan(seconds) ? 0.0 : seconds);
    m_backend->setPosition(playerKind == 2 ? place : toInt32Nearest(place));
    if (playing)
        m_backend->play();
}
