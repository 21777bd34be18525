#pragma once

// Images as PNG files, through the program's PNG writer (platform/files/PngRowWriter): the
// pixels in the nearest format PNG stores (palettes as RGB or gray, 16-bit channels kept), with
// the resolution (pHYs), colour space (iCCP) and text.

#include <QImage>
#include <QString>

namespace PngEncoder {

// Writes `image` as the PNG file `path`, whole or not at all. False for a null image or
// when the file cannot be written.
bool write(const QImage& image, const QString& path);

}  // namespace PngEncoder
