#pragma once

// The PNG writer behind ImageUtil::savePNG, built for the master scan: a 600-dpi bed is
// 5100×7020 pixels, and Qt's own PNG writer (libpng with adaptive filters and zlib) needs
// well over a second for it even at its fastest setting.
//
// Every row gets the "up" filter, which costs one subtraction to write and one addition to
// read. The rows are cut into bands of a few megabytes, deflated apart on whichever cores are
// free, each into dynamic-Huffman blocks of literals and byte runs (distance 1); a block that
// would not get smaller is stored instead. The bands end on byte boundaries, so their
// deflate blocks simply follow one another in a single zlib stream.

#include <QImage>

class QIODevice;

namespace PngEncoder {

// Whether write() encodes images of this format itself. Palette formats (Mono, MonoLSB,
// Indexed8) are not handled; other formats are converted to the nearest handled one.
bool handlesDirectly(QImage::Format format);

// Writes `image` as a complete PNG file to `device`, with its resolution (pHYs), colour
// space (iCCP) and text. Images in palette formats are refused (false), as are null images.
bool write(const QImage& image, QIODevice& device);

}  // namespace PngEncoder
