#pragma once

#include <QColor>

// The look the follow-read page's drawn lanes share (the waveforms and the pitch curves), so
// that they line up and read as one picture.
namespace lanestyle {
inline const QColor background(0xF7, 0xF9, 0xFC);
inline const QColor border(0xE1, 0xE7, 0xEE);
inline const QColor caption(0x5B, 0x67, 0x73);
inline const QColor model(0x2F, 0x7B, 0xEA);
inline const QColor voice(0x2E, 0x9C, 0x74);
inline constexpr int captionWidth = 64; // pixels left of each lane for its caption
} // namespace lanestyle
