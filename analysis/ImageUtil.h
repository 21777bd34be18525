#pragma once

// Stateless image operations shared by the scan-and-save flow, the scanner engine and the
// interface. Pixel coordinates have their origin at the image's top-left, y down; angles are
// radians, positive turning clockwise on screen, as for regions on the bed.
//
// Nothing here throws or reports errors: failures give a null QImage or false.
// Every function is safe to call from any thread.

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace ImageUtil {

inline constexpr double defaultJPEGQuality = 0.92;

// The rectangle of `sizePx` centred at `centerPx`, turned by `angle` on `from`, cut out and
// turned upright. Only the destination pixels are computed (inverse mapping, bilinear);
// pixels that fall outside the source are transparent. Null when a side is below 1 pixel.
QImage extractRotated(const QImage& from, QPointF centerPx, QSizeF sizePx, double angle);

// A copy of `into` (which covers the whole bed) with `patch` drawn stretched into
// `areaInches`. Null when `into` is empty or the bed size is not positive.
QImage composite(const QImage& patch, const QImage& into, QRectF areaInches, QSizeF bedSize);

// Writes a JPEG with quality 0..1 and the resolution in its JFIF density (dots per inch).
// Missing parent folders are created. The file appears whole or not at all.
bool saveJPEG(const QImage& image, const QString& to, double quality, int dpi);

// Writes a PNG with fast compression. Missing parent folders are created; the file appears
// whole or not at all.
bool savePNG(const QImage& image, const QString& to);

// The first image in the file, as stored (no orientation applied); null when unreadable.
QImage loadCGImage(const QString& path);

// The image in the file decoded scaled so that its longest side is at most `maxPixel`,
// turned upright by its EXIF orientation; null when unreadable.
QImage thumbnail(const QString& path, int maxPixel);

}  // namespace ImageUtil
