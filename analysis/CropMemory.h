#pragma once

// Memory for cut-out prints. A save cuts one print after another, and each is encoded and
// dropped before the next is cut: the memory of the last one is kept for the next, since
// fresh memory from the system comes as pages the kernel zeroes on first touch, which cost
// about a third of a cut. Only one block, of at most 64 MiB, is kept.

#include <QImage>

namespace CropMemory {

// An uninitialised image of `size` in `format` (a format of 32 bits per pixel or fewer), or a
// null image when it cannot be had. Its memory goes back to the keeper when the last copy of
// the image is gone, on whichever thread that happens.
QImage image(QSize size, QImage::Format format);

// How many images so far were given a kept block rather than fresh memory.
std::size_t reuses();

}  // namespace CropMemory
