#pragma once

// Baseline JPEG through libjpeg, reading the image's own rows: 32-bit pixels as they lie in
// memory (premultiplied ones come out composited on black), 24-bit RGB and 8-bit gray as
// they are. No row is converted or copied on the way, and the output grows in one buffer.

#include <QByteArray>
#include <QImage>

namespace JpegEncoder {

// The formats `encode` takes.
bool takes(QImage::Format format);

// The image as a JPEG of quality 0..100, with `dpi` (1..65535) as its JFIF density in dots
// per inch, or no density when `dpi` is not positive, and the image's colour profile when it
// has one. Empty when the format is not taken or libjpeg fails.
QByteArray encode(const QImage& image, int quality, int dpi);

}  // namespace JpegEncoder
