#pragma once

// Stateless image operations shared by the scan-and-save flow, the scanner engine and the
// interface. Pixel coordinates have their origin at the image's top-left, y down; angles are
// radians, positive turning clockwise on screen, as for regions on the bed.
//
// Nothing here throws or reports errors: failures give a null QImage or false.
// Every function is safe to call from any thread.

#include "platform/files/WholeFile.h"

#include <QIODevice>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace ImageUtil {

inline constexpr double defaultJPEGQuality = 0.92;

// The most pixels a thumbnail decode may produce before it is scaled down (64 MB at 32 bits).
inline constexpr qint64 largestThumbnailDecode = 16LL * 1024 * 1024;

// The rectangle of `sizePx` centred at `centerPx`, turned by `angle` on `from`, cut out and
// turned upright. Only the destination pixels are computed (inverse mapping, bilinear);
// pixels that fall outside the source are transparent. Null when a side is below 1 pixel.
QImage extractRotated(const QImage& from, QPointF centerPx, QSizeF sizePx, double angle);

// A copy of `into` (which covers the whole bed) with `patch` drawn stretched into
// `areaInches`. Null when `into` is empty or the bed size is not positive.
QImage composite(const QImage& patch, const QImage& into, QRectF areaInches, QSizeF bedSize);

// Writes a JPEG with quality 0..1 and the resolution in its JFIF density (dots per inch).
// Missing parent folders are created. The file appears whole or not at all; with
// `Replace::never` an existing entry of that name is left alone and the write fails.
bool saveJPEG(const QImage& image, const QString& to, double quality, int dpi,
              WholeFile::Replace replace = WholeFile::Replace::allowed);

// Writes a PNG with fast compression. Missing parent folders are created; the file appears
// whole or not at all.
bool savePNG(const QImage& image, const QString& to);

// The first image in the file, as stored (no orientation applied); null when unreadable or
// larger than Qt's default allocation limit allows.
QImage loadCGImage(const QString& path);

// The same from an open device, refused before decoding when the size the file declares does
// not fit in `largest` (either way round).
QImage loadWithin(QIODevice& device, QSize largest);

// A scan written by the scanner, decoded only when the size it declares is `expected` give or
// take the scanner's rounding; at any size (an 8-bit opaque PNG comes back as Format_RGB888 or
// Format_Grayscale8). Null otherwise.
QImage loadScan(const QString& path, QSize expected);

// The image in the file decoded scaled so that its longest side is at most `maxPixel`,
// turned upright by its EXIF orientation; null when unreadable, or when decoding it even
// scaled would take more than `largestThumbnailDecode` pixels.
QImage thumbnail(const QString& path, int maxPixel);

}  // namespace ImageUtil
