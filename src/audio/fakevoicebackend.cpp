#include "fakevoicebackend.h"

FakeVoiceBackend::FakeVoiceBackend(Unit unit, QObject *parent)
    : VoiceBackend(parent), m_unit(unit) {}

void FakeVoiceBackend::open(const QString &path) {
    openedFile = path;
    m_position = 0;
    m_playing = false;
    ended = false;
    calls << QStringLiteral("open ") + path;
}

void FakeVoiceBackend::close() {
    openedFile.clear();
    m_position = 0;
    m_playing = false;
    ended = false;
    ++closes;
}

void FakeVoiceBackend::play() {
    m_playing = true;
    calls << QStringLiteral("play");
}

void FakeVoiceBackend::pause() {
    m_playing = false;
    calls << QStringLiteral("pause");
}

void FakeVoiceBackend::setPosition(double pos) {
    m_position = pos;
    ended = false;
    calls << QStringLiteral("seek ") + QString::number(pos);
}

void FakeVoiceBackend::setRate(double r) {
    rate = r;
    calls << QStringLiteral("rate ") + QString::number(r);
}

void FakeVoiceBackend::setVolume(int v) {
    volume = v;
    calls << QStringLiteral("volume ") + QString::number(v);
}

void FakeVoiceBackend::advance(int ms) {
    if (!m_playing)
        return;
    const double perMs = m_unit == Unit::Seconds ? 0.001 : 1.0;
    m_position += ms * rate * perMs;
}
