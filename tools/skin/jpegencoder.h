#pragma once

#include <QByteArray>
#include <QImage>

// JPEG bytes of image at quality 1..100, with full-resolution colour (4:4:4) when
// the tool was built with libjpeg. Empty when encoding fails. The output depends only
// on the pixels, so re-running the tool gives byte-identical files.
QByteArray encodeJpeg(const QImage &image, int quality);
