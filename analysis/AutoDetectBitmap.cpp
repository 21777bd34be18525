// The working bitmap and its gradient plane.

#include "analysis/AutoDetectSteps.h"

#include <algorithm>
#include <cmath>

namespace AutoDetect::detail {

namespace {

constexpr int maxWorkingSide = 1400;

// Two channels of a pixel at a time: 0x00RR00BB and 0x00AA00GG lanes.
constexpr std::uint32_t lanes = 0x00FF00FFu;

// a·(256 − w) + b·w over 256 per channel, w in 0..256.
inline QRgb mix(QRgb a, QRgb b, std::uint32_t w)
{
    const std::uint32_t v = 256 - w;
    const std::uint32_t low = (((a & lanes) * v + (b & lanes) * w) >> 8) & lanes;
    const std::uint32_t high = (((a >> 8) & lanes) * v + ((b >> 8) & lanes) * w) & ~lanes;
    return high | low;
}

// Every 2×2 block averaged into one pixel; an odd last row or column is left out.
QImage halve(const QImage& src)
{
    const int w = src.width() / 2;
    const int h = src.height() / 2;
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull()) return out;
    for (int y = 0; y < h; ++y) {
        const QRgb* a = reinterpret_cast<const QRgb*>(src.constScanLine(2 * y));
        const QRgb* b = reinterpret_cast<const QRgb*>(src.constScanLine(2 * y + 1));
        QRgb* o = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb p = a[2 * x], q = a[2 * x + 1], r = b[2 * x], s = b[2 * x + 1];
            const std::uint32_t low = (((p & lanes) + (q & lanes) + (r & lanes) + (s & lanes) + 0x00020002u) >> 2) & lanes;
            const std::uint32_t high = ((((p >> 8) & lanes) + ((q >> 8) & lanes) + ((r >> 8) & lanes) + ((s >> 8) & lanes) +
                                         0x00020002u) << 6) & ~lanes;
            o[x] = high | low;
        }
    }
    return out;
}

// Where the centre of each of `count` output pixels falls among `from` source pixels that
// cover `span` original ones (source pixel j centred at (j + 0.5) · span / from): the first
// of the two source pixels and the weight (0..256) of the second.
void taps(int count, int from, double span, int originalCount, std::vector<int>& first, std::vector<std::uint32_t>& weight)
{
    first.resize(size_t(count));
    weight.resize(size_t(count));
    const double perSource = span / from;  // original pixels per source pixel
    for (int i = 0; i < count; ++i) {
        const double centre = (i + 0.5) * originalCount / count;  // in original pixels
        const double pos = std::clamp(centre / perSource - 0.5, 0.0, double(from - 1));
        const int j = std::min(int(pos), from - 1);
        first[size_t(i)] = j;
        weight[size_t(i)] = j + 1 < from ? std::uint32_t(std::lround((pos - j) * 256)) : 0u;
    }
}

// The overview drawn into W×H pixels at low interpolation quality: 2×2 averaging while
// the picture is more than twice the target, then bilinear sampling at pixel centres.
QImage drawScaled(QImage src, int w, int h)
{
    const int originalW = src.width(), originalH = src.height();
    double spanW = originalW, spanH = originalH;  // original pixels the source rows and columns cover
    while (src.width() >= 2 * w && src.height() >= 2 * h) {
        const int keptW = src.width() / 2 * 2, keptH = src.height() / 2 * 2;
        spanW *= double(keptW) / src.width();
        spanH *= double(keptH) / src.height();
        src = halve(src);
        if (src.isNull()) return src;
    }
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull()) return out;
    std::vector<int> x0, y0;
    std::vector<std::uint32_t> wx, wy;
    taps(w, src.width(), spanW, originalW, x0, wx);
    taps(h, src.height(), spanH, originalH, y0, wy);
    for (int y = 0; y < h; ++y) {
        const int j = y0[size_t(y)];
        const QRgb* a = reinterpret_cast<const QRgb*>(src.constScanLine(j));
        const QRgb* b = reinterpret_cast<const QRgb*>(src.constScanLine(std::min(j + 1, src.height() - 1)));
        QRgb* o = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int i = x0[size_t(x)];
            const int i1 = std::min(i + 1, src.width() - 1);
            o[x] = mix(mix(a[i], a[i1], wx[size_t(x)]), mix(b[i], b[i1], wx[size_t(x)]), wy[size_t(y)]);
        }
    }
    return out;
}

}  // namespace

std::optional<WorkingBitmap> makeWorkingBitmap(const QImage& image)
{
    if (image.isNull() || image.width() < 1 || image.height() < 1) return std::nullopt;
    const double s = std::min(double(maxWorkingSide) / std::max(image.width(), image.height()), 1.0);
    const int w = std::max(1, roundToInt(s * image.width()));
    const int h = std::max(1, roundToInt(s * image.height()));

    // Premultiplied pixels are what drawing into a zeroed buffer gives, transparent or not;
    // opaque RGB32 already is that and is used as it is.
    QImage pixels = image;
    if (pixels.format() != QImage::Format_RGB32 && pixels.format() != QImage::Format_ARGB32_Premultiplied)
        pixels = pixels.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (!pixels.isNull() && (w != pixels.width() || h != pixels.height())) pixels = drawScaled(std::move(pixels), w, h);
    if (pixels.isNull() || pixels.width() != w || pixels.height() != h) return std::nullopt;
    if (pixels.bytesPerLine() != qsizetype(w) * 4) return std::nullopt;  // 32-bit rows are always packed

    WorkingBitmap bitmap;
    bitmap.width = w;
    bitmap.height = h;
    bitmap.pixels = std::move(pixels);
    bitmap.luminance.resize(size_t(w) * h);
    const QRgb* p = bitmap.argb();
    for (size_t i = 0, n = bitmap.luminance.size(); i < n; ++i)
        bitmap.luminance[i] = 0.299f * float(qRed(p[i])) + 0.587f * float(qGreen(p[i])) + 0.114f * float(qBlue(p[i]));
    return bitmap;
}

std::vector<float> gradientPlane(const WorkingBitmap& bitmap)
{
    const int w = bitmap.width;
    const int h = bitmap.height;
    std::vector<float> gradient(size_t(w) * h, 0.0f);
    const QRgb* px = bitmap.argb();
    const float* lum = bitmap.luminance.data();
    const size_t stride = size_t(w);
    auto channelSteps = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
    };
    for (int y = 1; y + 1 < h; ++y) {
        const QRgb* up = px + (size_t(y) - 1) * stride;
        const QRgb* row = px + size_t(y) * stride;
        const QRgb* down = px + (size_t(y) + 1) * stride;
        const float* lu = lum + (size_t(y) - 1) * stride;
        const float* lr = lum + size_t(y) * stride;
        const float* ld = lum + (size_t(y) + 1) * stride;
        float* out = gradient.data() + size_t(y) * stride;
        for (int x = 1; x + 1 < w; ++x) {
            const int colour = std::max(channelSteps(row[x + 1], row[x - 1]), channelSteps(down[x], up[x]));
            const float gx = (lu[x + 1] + 2 * lr[x + 1] + ld[x + 1]) - (lu[x - 1] + 2 * lr[x - 1] + ld[x - 1]);
            const float gy = (ld[x - 1] + 2 * ld[x] + ld[x + 1]) - (lu[x - 1] + 2 * lu[x] + lu[x + 1]);
            const float sobel = (std::abs(gx) + std::abs(gy)) * 0.25f;
            out[x] = std::max(float(colour / 3.0 * 0.7), sobel);
        }
    }
    return gradient;
}

}  // namespace AutoDetect::detail
