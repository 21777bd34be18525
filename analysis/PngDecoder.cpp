#include "analysis/PngDecoder.h"

#include <QFile>

#include <png.h>

#include <cstring>

namespace PngDecoder {

QImage readOpaque8(const QString& path)
{
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, QFile::encodeName(path).constData())) return {};

    const png_uint_32 f = png.format;
    const bool plain = !(f & (PNG_FORMAT_FLAG_ALPHA | PNG_FORMAT_FLAG_LINEAR | PNG_FORMAT_FLAG_COLORMAP));
    if (!plain || png.width == 0 || png.height == 0 || png.width > 1u << 20 || png.height > 1u << 20) {
        png_image_free(&png);
        return {};
    }
    const bool color = f & PNG_FORMAT_FLAG_COLOR;
    QImage image(int(png.width), int(png.height), color ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
    if (image.isNull()) {  // out of memory
        png_image_free(&png);
        return {};
    }
    png.format = color ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
    // Reading into the image's own rows: its stride may be wider than the pixels.
    if (!png_image_finish_read(&png, nullptr, image.bits(), png_int_32(image.bytesPerLine()), nullptr)) {
        png_image_free(&png);
        return {};
    }
    return image;
}

}  // namespace PngDecoder
