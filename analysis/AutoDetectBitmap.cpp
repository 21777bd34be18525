// The working bitmap and its gradient plane.

#include "analysis/AutoDetectSteps.h"
#include "analysis/PixelLanes.h"

#include <algorithm>
#include <array>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace AutoDetect::detail {

namespace {

constexpr int maxWorkingSide = 1400;

constexpr std::uint32_t lanes = pixelLanes;

inline QRgb mix(QRgb a, QRgb b, std::uint32_t w) { return mixPixels(a, b, w, 0); }

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
        const int* const firstX = x0.data();
        const std::uint32_t* const weightX = wx.data();
        const std::uint32_t weightY = wy[size_t(y)];
        const int lastX = src.width() - 1;
        for (int x = 0; x < w; ++x) {
            const int i = firstX[x];
            const int i1 = std::min(i + 1, lastX);
            const std::uint32_t wgt = weightX[x];
            o[x] = mix(mix(a[i], a[i1], wgt), mix(b[i], b[i1], wgt), weightY);
        }
    }
    return out;
}

}  // namespace

void measureLuminance(WorkingBitmap& bitmap)
{
    bitmap.luminance.resize(size_t(bitmap.width) * bitmap.height);
    const QRgb* p = bitmap.argb();
    for (size_t i = 0, n = bitmap.luminance.size(); i < n; ++i)
        bitmap.luminance[i] = luminanceOf(float(qRed(p[i])), float(qGreen(p[i])), float(qBlue(p[i])));
}

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
    measureLuminance(bitmap);
    return bitmap;
}

std::optional<WorkingBitmap> halfBitmap(const WorkingBitmap& bitmap)
{
    if (bitmap.width < 2 || bitmap.height < 2 || bitmap.pixels.isNull()) return std::nullopt;
    QImage pixels = halve(bitmap.pixels);
    if (pixels.isNull() || pixels.bytesPerLine() != qsizetype(pixels.width()) * 4) return std::nullopt;
    WorkingBitmap half;
    half.width = pixels.width();
    half.height = pixels.height();
    half.pixels = std::move(pixels);
    measureLuminance(half);
    return half;
}

std::vector<float> gradientPlane(const WorkingBitmap& bitmap)
{
    const int w = bitmap.width;
    const int h = bitmap.height;
    std::vector<float> gradient(size_t(w) * h, 0.0f);
    const QRgb* px = bitmap.argb();
    const float* lum = bitmap.luminance.data();
    const size_t stride = size_t(w);
    // The colour term for every possible sum of channel steps (0..765), as computed per pixel.
    static const auto colourTerm = [] {
        std::array<float, 766> table{};
        for (int c = 0; c < 766; ++c) table[size_t(c)] = float(c / 3.0 * 0.7);
        return table;
    }();
    auto channelSteps = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
    };
    // The Sobel sums split into their two halves, each summed in the same order as the full
    // expression: `across[x]` = up + 2·row + down in column x of the current row, and per row
    // `smooth[x]` = left + 2·centre + right, kept for the rows above and below.
    std::vector<float> across(stride);
    std::vector<float> smoothUp(stride), smoothRow(stride), smoothDown(stride);
    auto smoothLine = [&](const float* l, std::vector<float>& to) {
        float* t = to.data();
        for (int x = 1; x + 1 < w; ++x) t[x] = l[x - 1] + 2 * l[x] + l[x + 1];
    };
    if (h >= 3) {
        smoothLine(lum, smoothUp);
        smoothLine(lum + stride, smoothRow);
    }
    for (int y = 1; y + 1 < h; ++y) {
        const QRgb* up = px + (size_t(y) - 1) * stride;
        const QRgb* row = px + size_t(y) * stride;
        const QRgb* down = px + (size_t(y) + 1) * stride;
        const float* lu = lum + (size_t(y) - 1) * stride;
        const float* lr = lum + size_t(y) * stride;
        const float* ld = lum + (size_t(y) + 1) * stride;
        smoothLine(ld, smoothDown);
        float* a = across.data();
        for (int x = 0; x < w; ++x) a[x] = lu[x] + 2 * lr[x] + ld[x];
        const float* su = smoothUp.data();
        const float* sd = smoothDown.data();
        float* out = gradient.data() + size_t(y) * stride;
        auto store = [&](int x, int colour) {
            const float gx = a[x + 1] - a[x - 1];
            const float gy = sd[x] - su[x];
            const float sobel = (std::abs(gx) + std::abs(gy)) * 0.25f;
            out[x] = std::max(colourTerm[size_t(colour)], sobel);
        };
        int x = 1;
#if defined(__SSE2__)
        // Two pixels at a time: alpha masked off, each pixel in its own 64-bit lane so that
        // the sum of absolute byte differences is its channel-step sum.
        const __m128i rgbOnly = _mm_set1_epi32(0x00FFFFFF);
        const __m128i zero = _mm_setzero_si128();
        auto pair = [&](const QRgb* p) {
            const __m128i v = _mm_and_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), rgbOnly);
            return _mm_unpacklo_epi32(v, zero);
        };
        for (; x + 2 < w; x += 2) {
            const __m128i across2 = _mm_sad_epu8(pair(row + x + 1), pair(row + x - 1));
            const __m128i along2 = _mm_sad_epu8(pair(down + x), pair(up + x));
            const __m128i colour = _mm_max_epi16(across2, along2);
            store(x, _mm_cvtsi128_si32(colour));
            store(x + 1, _mm_extract_epi16(colour, 4));
        }
#endif
        for (; x + 1 < w; ++x) store(x, std::max(channelSteps(row[x + 1], row[x - 1]), channelSteps(down[x], up[x])));
        std::swap(smoothUp, smoothRow);
        std::swap(smoothRow, smoothDown);
    }
    return gradient;
}

}  // namespace AutoDetect::detail
