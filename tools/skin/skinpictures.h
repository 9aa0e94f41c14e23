#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QString>

// The option pictures the programs load from bitmap/: a check box cleared (0.jpg),
// ticked (1.jpg), ticked in the accent fill (a1.jpg), and a radio chosen (t.jpg)
// and not chosen (f.jpg). Every picture is 13 x 13 px: it stands in the room the
// leading blanks of a one-line label leave, at the label's text height.
enum class SkinPicture { CheckCleared, CheckTicked, CheckTickedAccent, RadioChosen, RadioFree };

struct SkinPalette {
    QColor accent{0x2F, 0x7B, 0xEA};     // the one accent of the whole skin
    QColor border{0x9A, 0xA5, 0xB1};     // outline of a control that is off
    QColor background{0xFF, 0xFF, 0xFF}; // the lesson canvas the pictures stand on
};

inline constexpr int skinPictureSize = 13;

// File name inside bitmap/, e.g. "a1.jpg".
QString skinFileName(SkinPicture picture);

QList<SkinPicture> allSkinPictures();

// An opaque, anti-aliased picture of skinPictureSize x skinPictureSize pixels.
QImage renderSkinPicture(SkinPicture picture, const SkinPalette &palette = {});

// Writes every picture as a JPEG (quality 95) into directory, creating it if needed.
// Returns an empty string on success, else a one-line reason naming the file.
QString writeSkinPictures(const QString &directory, const SkinPalette &palette = {});
