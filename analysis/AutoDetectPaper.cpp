// Paper the background flood took for lid.
//
// The flood's colour tolerance is at least 42 grey levels, wide enough for the whole back of a
// print, or a pale print, on a white lid. Averaged over a few pixels, though, the lid varies
// by only a few levels, and slowly: a smooth surface fitted to the border band follows its
// vignetting and gradient. A second flood, on the smoothed picture and held tightly to that
// surface, stops at the paper.

#include "analysis/AutoDetectSteps.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace AutoDetect::detail {

namespace {

constexpr int smoothRadius = 1;          // 3×3 box (on the half-size bitmap)
constexpr double minTolerance = 7.0;     // colour distance, grey levels
constexpr double maxTolerance = 16.0;
constexpr double spreadFactor = 3.5;     // tolerance over the lid's own spread
// The surface is fitted to every fourth pixel of the border band (each way) within this much
// of the lid's colour per channel, in rounds that drop samples further off it than twice the
// distance at this rank (plus one); too few samples fit nothing.
constexpr int surfaceSampleStep = 4;
constexpr float nearLidChannel = 24.0f;
constexpr std::size_t minSurfaceSamples = 60;
constexpr int surfaceRounds = 3;
constexpr std::size_t spreadRankTenths = 9;
// The paper flood must reach at least a tenth of the bitmap to count.
constexpr std::size_t minReachedShare = 10;
// shareInside() samples an n×n grid, and counts points this many pixels beyond the outer
// rectangle as inside.
constexpr int shareGrid = 16;
constexpr double shareSlack = -2.0;
// A sheet with one print inside it replaces that print unless it covers this share of it.
constexpr double sheetSameShare = 0.97;

// The three channels of the picture averaged over a (2r+1)² box, clamped at the borders:
// running sums along rows, then down columns.
std::array<std::vector<float>, 3> boxSmoothed(const WorkingBitmap& bitmap, int r)
{
    const int w = bitmap.width, h = bitmap.height;
    const QRgb* px = bitmap.argb();
    const float scale = 1.0f / float((2 * r + 1) * (2 * r + 1));
    std::array<std::vector<float>, 3> out;
    std::vector<std::int32_t> rows(size_t(w) * h * 3);
    std::vector<std::int32_t> line(size_t(w + 2 * r) * 3);
    for (int y = 0; y < h; ++y) {
        // The row with r copies of its end pixels on either side, channel-interleaved.
        const QRgb* src = px + size_t(y) * w;
        for (int x = -r; x < w + r; ++x) {
            const QRgb p = src[std::clamp(x, 0, w - 1)];
            std::int32_t* l = line.data() + size_t(x + r) * 3;
            l[0] = qRed(p);
            l[1] = qGreen(p);
            l[2] = qBlue(p);
        }
        std::int32_t sum[3] = {0, 0, 0};
        for (int d = 0; d < 2 * r + 1; ++d)
            for (int c = 0; c < 3; ++c) sum[c] += line[size_t(d) * 3 + c];
        std::int32_t* o = rows.data() + size_t(y) * w * 3;
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < 3; ++c) {
                o[size_t(x) * 3 + c] = sum[c];
                if (x + 1 < w) sum[c] += line[size_t(x + 2 * r + 1) * 3 + c] - line[size_t(x) * 3 + c];
            }
        }
    }
    for (auto& plane : out) plane.resize(size_t(w) * h);
    std::vector<std::int32_t> sum(size_t(w) * 3, 0);
    for (int d = -r; d <= r; ++d) {
        const std::int32_t* l = rows.data() + size_t(std::clamp(d, 0, h - 1)) * w * 3;
        for (size_t i = 0; i < size_t(w) * 3; ++i) sum[i] += l[i];
    }
    for (int y = 0; y < h; ++y) {
        const size_t row = size_t(y) * w;
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) out[size_t(c)][row + x] = float(sum[size_t(x) * 3 + c]) * scale;
        if (y + 1 == h) break;
        const std::int32_t* add = rows.data() + size_t(std::min(y + r + 1, h - 1)) * w * 3;
        const std::int32_t* drop = rows.data() + size_t(std::max(y - r, 0)) * w * 3;
        for (size_t i = 0; i < size_t(w) * 3; ++i) sum[i] += add[i] - drop[i];
    }
    return out;
}

// The six terms of a quadratic surface at (u, v), both in −1..1.
std::array<double, 6> terms(double u, double v) { return {1, u, v, u * u, u * v, v * v}; }

// Least squares through the normal equations, by Gaussian elimination with pivoting.
std::optional<std::array<double, 6>> solve(std::array<std::array<double, 7>, 6> m)
{
    for (int c = 0; c < 6; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 6; ++r)
            if (std::abs(m[r][c]) > std::abs(m[pivot][c])) pivot = r;
        if (!(std::abs(m[pivot][c]) > 1e-9)) return std::nullopt;
        std::swap(m[c], m[pivot]);
        for (int r = 0; r < 6; ++r) {
            if (r == c) continue;
            const double f = m[r][c] / m[c][c];
            for (int k = c; k < 7; ++k) m[r][k] -= f * m[c][k];
        }
    }
    std::array<double, 6> x{};
    for (int c = 0; c < 6; ++c) x[c] = m[c][6] / m[c][c];
    return x;
}

}  // namespace

std::optional<LidSurface> fitLidSurface(const std::array<std::vector<float>, 3>& smooth, int w, int h,
                                        const BackgroundEstimate& estimate, int bandX, int bandY)
{
    // Border-band pixels near the lid's colour, every other one.
    const int target[3] = {estimate.color.r, estimate.color.g, estimate.color.b};
    std::vector<int> samples;
    for (int y = 0; y < h; y += surfaceSampleStep)
        for (int x = 0; x < w; x += surfaceSampleStep) {
            if (!(x < bandX || x >= w - bandX || y < bandY || y >= h - bandY)) continue;
            const size_t i = size_t(y) * w + x;
            bool near = true;
            for (int c = 0; c < 3 && near; ++c) near = std::abs(smooth[size_t(c)][i] - float(target[c])) <= nearLidChannel;
            if (near) samples.push_back(int(i));
        }
    if (samples.size() < minSurfaceSamples) return std::nullopt;

    LidSurface surface;
    surface.width = w;
    surface.height = h;
    std::vector<char> keep(samples.size(), 1);
    for (int round = 0; round < surfaceRounds; ++round) {
        for (int c = 0; c < 3; ++c) {
            std::array<std::array<double, 7>, 6> m{};
            for (size_t k = 0; k < samples.size(); ++k) {
                if (!keep[k]) continue;
                const int i = samples[k];
                const auto t = terms(surface.u(i % w), surface.v(i / w));
                const double z = smooth[size_t(c)][size_t(i)];
                for (int a = 0; a < 6; ++a) {
                    for (int b = 0; b < 6; ++b) m[a][b] += t[a] * t[b];
                    m[a][6] += t[a] * z;
                }
            }
            const std::optional<std::array<double, 6>> coef = solve(m);
            if (!coef) return std::nullopt;
            surface.coef[size_t(c)] = *coef;
        }
        // The spread of the lid about the surface; samples far off it (dust, a frame strip,
        // a print reaching into the band) are left out of the next round.
        std::vector<double> distances;
        distances.reserve(samples.size());
        for (size_t k = 0; k < samples.size(); ++k)
            if (keep[k]) distances.push_back(std::sqrt(surface.distanceSquared(smooth, samples[k])));
        if (distances.size() < minSurfaceSamples) return std::nullopt;
        const std::size_t rank = distances.size() * spreadRankTenths / 10;
        std::nth_element(distances.begin(), distances.begin() + std::ptrdiff_t(rank), distances.end());
        const double p90 = distances[rank];
        surface.spread = p90;
        for (size_t k = 0; k < samples.size(); ++k)
            keep[k] = std::sqrt(surface.distanceSquared(smooth, samples[k])) <= 2 * p90 + 1;
    }
    surface.tolerance = std::clamp(spreadFactor * surface.spread, minTolerance, maxTolerance);
    return surface;
}

double LidSurface::at(int channel, int x, int y) const
{
    const auto t = terms(u(x), v(y));
    double z = 0;
    for (int a = 0; a < 6; ++a) z += coef[size_t(channel)][size_t(a)] * t[size_t(a)];
    return z;
}

double LidSurface::distanceSquared(const std::array<std::vector<float>, 3>& smooth, int index) const
{
    const int x = index % width, y = index / width;
    double d2 = 0;
    for (int c = 0; c < 3; ++c) {
        const double d = smooth[size_t(c)][size_t(index)] - at(c, x, y);
        d2 += d * d;
    }
    return d2;
}

std::optional<Mask> paperMask(const WorkingBitmap& bitmap, const BackgroundEstimate& estimate, double pxPerInX,
                              double pxPerInY)
{
    const int w = bitmap.width, h = bitmap.height;
    if (w < 8 || h < 8 || bitmap.pixels.isNull()) return std::nullopt;
    const std::array<std::vector<float>, 3> smooth = boxSmoothed(bitmap, smoothRadius);
    const int bandX = std::max(minBorderBandPx, roundToInt(pxPerInX * borderBandInches));
    const int bandY = std::max(minBorderBandPx, roundToInt(pxPerInY * borderBandInches));
    const std::optional<LidSurface> lid = fitLidSurface(smooth, w, h, estimate, bandX, bandY);
    if (!lid) return std::nullopt;

    // Which pixels lie on the surface, row by row: along a row each channel of the surface
    // is a quadratic in u.
    const double limit = lid->tolerance * lid->tolerance;
    Mask onLid(size_t(w) * h, 0);
    for (int y = 0; y < h; ++y) {
        const double v = lid->v(y);
        double a[3], b[3], c[3];
        for (int ch = 0; ch < 3; ++ch) {
            const auto& k = lid->coef[size_t(ch)];
            a[ch] = k[0] + k[2] * v + k[5] * v * v;
            b[ch] = k[1] + k[4] * v;
            c[ch] = k[3];
        }
        const size_t row = size_t(y) * w;
        for (int x = 0; x < w; ++x) {
            const double u = lid->u(x);
            double d2 = 0;
            for (int ch = 0; ch < 3; ++ch) {
                const double d = smooth[size_t(ch)][row + x] - (a[ch] + (b[ch] + c[ch] * u) * u);
                d2 += d * d;
            }
            onLid[row + x] = d2 < limit;
        }
    }

    // Flood from just inside the border over pixels on the surface.
    Mask background(size_t(w) * h, 0);
    std::vector<int> queue;
    queue.reserve(size_t(w) * h);
    auto visit = [&](int x, int y) {
        const size_t i = size_t(y) * w + x;
        if (background[i] || !onLid[i]) return;
        background[i] = 1;
        queue.push_back(int(i));
    };
    const int inset = std::max(1, roundToInt(std::min(pxPerInX, pxPerInY) * floodInsetInches));
    for (int x = 0; x < w; ++x) {
        visit(x, std::min(inset, h - 1));
        visit(x, std::max(0, h - 1 - inset));
    }
    for (int y = 0; y < h; ++y) {
        visit(std::min(inset, w - 1), y);
        visit(std::max(0, w - 1 - inset), y);
    }
    for (size_t head = 0; head < queue.size(); ++head) {
        const int i = queue[head];
        const int x = i % w, y = i / w;
        if (x > 0) visit(x - 1, y);
        if (x + 1 < w) visit(x + 1, y);
        if (y > 0) visit(x, y - 1);
        if (y + 1 < h) visit(x, y + 1);
    }
    // A lid the surface does not follow floods little of the bed: no evidence either way.
    if (queue.size() < size_t(w) * h / minReachedShare) return std::nullopt;
    return foregroundOf(std::move(background), w, h, pxPerInX, pxPerInY);
}

double shareInside(const OrientedRect& inner, const OrientedRect& outer)
{
    constexpr int n = shareGrid;
    const double c = std::cos(inner.angle), s = std::sin(inner.angle);
    int inside = 0;
    for (int a = 0; a < n; ++a)
        for (int b = 0; b < n; ++b) {
            const double u = ((a + 0.5) / n - 0.5) * inner.width;
            const double v = ((b + 0.5) / n - 0.5) * inner.height;
            if (contains(outer, inner.cx + u * c - v * s, inner.cy + u * s + v * c, shareSlack)) ++inside;
        }
    return double(inside) / (n * n);
}

std::vector<SnappedRect> mergePaper(std::vector<SnappedRect> found, const std::vector<SnappedRect>& paper)
{
    constexpr double touches = 0.1;     // more than this share of either inside the other
    constexpr double within = 0.8;      // a piece lies within the paper
    for (const SnappedRect& sheet : paper) {
        std::vector<size_t> overlapping;
        bool allWithin = true;
        bool ragged = false;
        double covered = 0;
        for (size_t j = 0; j < found.size(); ++j) {
            const double mine = shareInside(found[j].rect, sheet.rect);
            const double theirs = shareInside(sheet.rect, found[j].rect);
            if (mine <= touches && theirs <= touches) continue;
            overlapping.push_back(j);
            allWithin = allWithin && mine >= within;
            ragged = ragged || found[j].cleanSides < 4;
            covered += theirs;
        }
        // One rectangle inside the sheet: the sheet is that print with what the first flood
        // took for lid (a border, pale paper). Several: pieces of one print only where one of
        // them lacks a clean edge; whole prints side by side each have four.
        const bool replace = allWithin && (overlapping.size() == 1 ? covered < sheetSameShare : ragged);
        if (overlapping.empty()) {
            found.push_back(sheet);
        } else if (replace) {
            for (auto it = overlapping.rbegin(); it != overlapping.rend(); ++it)
                found.erase(found.begin() + std::ptrdiff_t(*it));
            found.push_back(sheet);
        }
    }
    return found;
}

}  // namespace AutoDetect::detail
