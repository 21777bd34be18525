#include "analysis/PngEncoder.h"

#include "platform/files/PixelRows.h"
#include "platform/files/PngRowWriter.h"

#include <QColorSpace>
#include <QRgba64>

#include <cstdint>
#include <cstring>
#include <vector>

namespace PngEncoder {
namespace {

inline std::uint32_t load32le(const uchar* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// Writes one image row in PNG sample order (big-endian for 16-bit samples).
using PackRow = void (*)(const uchar* line, int width, std::uint8_t* out);

void packArgb32(const uchar* line, int width, std::uint8_t* out)
{
    for (int x = 0; x < width; ++x, out += 4) {
        const std::uint32_t p = load32le(line + 4 * x);
        out[0] = std::uint8_t(p >> 16);
        out[1] = std::uint8_t(p >> 8);
        out[2] = std::uint8_t(p);
        out[3] = std::uint8_t(p >> 24);
    }
}

void packArgb32Premultiplied(const uchar* line, int width, std::uint8_t* out)
{
    for (int x = 0; x < width; ++x, out += 4) {
        const QRgb p = qUnpremultiply(load32le(line + 4 * x));
        out[0] = std::uint8_t(qRed(p));
        out[1] = std::uint8_t(qGreen(p));
        out[2] = std::uint8_t(qBlue(p));
        out[3] = std::uint8_t(qAlpha(p));
    }
}

template <int bytes>
void packBytes(const uchar* line, int width, std::uint8_t* out)
{
    std::memcpy(out, line, std::size_t(width) * bytes);
}

inline void put16be(std::uint8_t* out, std::uint16_t v)
{
    out[0] = std::uint8_t(v >> 8);
    out[1] = std::uint8_t(v);
}

void packGray16(const uchar* line, int width, std::uint8_t* out)
{
    for (int x = 0; x < width; ++x) {
        std::uint16_t v;
        std::memcpy(&v, line + 2 * x, 2);
        put16be(out + 2 * x, v);
    }
}

inline QRgba64 load64(const uchar* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return QRgba64::fromRgba64(v);
}

void packRgbx64(const uchar* line, int width, std::uint8_t* out)
{
    for (int x = 0; x < width; ++x, out += 6) {
        const QRgba64 p = load64(line + 8 * x);
        put16be(out, p.red());
        put16be(out + 2, p.green());
        put16be(out + 4, p.blue());
    }
}

template <bool premultiplied>
void packRgba64(const uchar* line, int width, std::uint8_t* out)
{
    for (int x = 0; x < width; ++x, out += 8) {
        QRgba64 p = load64(line + 8 * x);
        if constexpr (premultiplied) p = p.unpremultiplied();
        put16be(out, p.red());
        put16be(out + 2, p.green());
        put16be(out + 4, p.blue());
        put16be(out + 6, p.alpha());
    }
}

struct Layout {
    PackRow pack = nullptr;
    int bytesPerPixel = 0;
    std::uint8_t bitDepth = 8;
};

Layout layoutFor(QImage::Format format)
{
    switch (format) {
    case QImage::Format_RGB32: return {PixelRows::rgb32ToRgb, 3, 8};
    case QImage::Format_ARGB32: return {packArgb32, 4, 8};
    case QImage::Format_ARGB32_Premultiplied: return {packArgb32Premultiplied, 4, 8};
    case QImage::Format_RGB888: return {packBytes<3>, 3, 8};
    case QImage::Format_RGBA8888: return {packBytes<4>, 4, 8};
    case QImage::Format_Grayscale8: return {packBytes<1>, 1, 8};
    case QImage::Format_Grayscale16: return {packGray16, 2, 16};
    case QImage::Format_RGBX64: return {packRgbx64, 6, 16};
    case QImage::Format_RGBA64: return {packRgba64<false>, 8, 16};
    case QImage::Format_RGBA64_Premultiplied: return {packRgba64<true>, 8, 16};
    default: return {};
    }
}

}  // namespace

bool write(const QImage& source, const QString& path)
{
    if (source.isNull()) return false;
    QImage image = source;
    if (!layoutFor(image.format()).pack) {
        // Keep more than 8 bits per channel where the format has them; palettes of grays
        // become gray.
        const bool deep = image.depth() > 32 || image.pixelFormat().redSize() > 8;
        const bool gray = !image.hasAlphaChannel() && image.colorCount() > 0 && image.isGrayscale();
        const QImage::Format to = deep ? (image.hasAlphaChannel() ? QImage::Format_RGBA64 : QImage::Format_RGBX64)
                                  : gray ? QImage::Format_Grayscale8
                                         : (image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        image = image.convertToFormat(to);
        if (image.isNull()) return false;
    }
    const Layout layout = layoutFor(image.format());

    PngRowWriter::Header header;
    header.width = image.width();
    header.height = image.height();
    header.channels = layout.bytesPerPixel / (layout.bitDepth / 8);
    header.bitDepth = layout.bitDepth;
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        header.dotsPerMetreX = image.dotsPerMeterX();
        header.dotsPerMetreY = image.dotsPerMeterY();
    }
    if (image.colorSpace().isValid()) header.iccProfile = image.colorSpace().iccProfile();
    for (const QString& key : image.textKeys()) header.texts.append({key, image.text(key)});

    PngRowWriter writer;
    if (!writer.open(path, header)) return false;
    std::vector<std::uint8_t> row(std::size_t(writer.rowBytes()));
    for (int y = 0; y < image.height(); ++y) {
        layout.pack(image.constScanLine(y), image.width(), row.data());
        if (!writer.writeRow(row.data())) return false;
    }
    return writer.finish();
}

}  // namespace PngEncoder
