#pragma once

// A PNG reader for the master scan, through libpng's simplified API: pixels only (no
// resolution, colour space or text). An 8-bit opaque RGB or
// grey file is decoded straight into a 3- or 1-byte-per-pixel image: at 1200 dpi a full bed
// is 10200×14040 pixels, and the 4 bytes per pixel that Qt's reader gives it would cost a
// third more memory (547 MB against 410 MB).

#include <QImage>
#include <QString>

namespace PngDecoder {

// The image as Format_RGB888 or Format_Grayscale8; null when the file is no PNG, or one with
// alpha, a palette or 16 bits per channel (which are left to Qt's reader).
QImage readOpaque8(const QString& path);

}  // namespace PngDecoder
