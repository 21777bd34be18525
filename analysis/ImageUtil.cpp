#include "analysis/ImageUtil.h"

#include "analysis/CropMemory.h"
#include "analysis/JpegEncoder.h"
#include "analysis/PixelLanes.h"
#include "analysis/PngDecoder.h"
#include "analysis/PngEncoder.h"
#include "analysis/WorkSharing.h"
#include "platform/files/WholeFile.h"

#include <QColorSpace>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#endif

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <immintrin.h>
#define BIVARA_IMAGEUTIL_X86 1
#else
#define BIVARA_IMAGEUTIL_X86 0
#endif

namespace ImageUtil {
namespace {

using i64 = std::int64_t;

// ---- extractRotated ---------------------------------------------------------------------
//
// Source positions are fixed point with 30 fraction bits. With sides capped at 2^28 and
// the crop required to overlap the source, every position stays below 2^32 in magnitude,
// so positions, steps and their products fit in 64 bits with room to spare. The bilinear
// weights are the top 8 fraction bits.

constexpr int fracBits = 30;
constexpr i64 one = i64(1) << fracBits;
constexpr double maxSide = double(1 << 28);

inline std::uint32_t load32(const uchar* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Readers of one source pixel as premultiplied ARGB.
struct ReadRgb32 {
    static constexpr int bytes = 4;
    static std::uint32_t at(const uchar* line, int x) { return load32(line + 4 * x) | 0xFF000000u; }
};
struct ReadArgb32Premultiplied {
    static constexpr int bytes = 4;
    static std::uint32_t at(const uchar* line, int x) { return load32(line + 4 * x); }
};
struct ReadArgb32 {
    static constexpr int bytes = 4;
    static std::uint32_t at(const uchar* line, int x) { return qPremultiply(load32(line + 4 * x)); }
};
struct ReadRgb888 {
    static constexpr int bytes = 3;
    static std::uint32_t at(const uchar* line, int x)
    {
        const uchar* p = line + 3 * x;
        return 0xFF000000u | std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
    }
};
struct ReadGray8 {
    static constexpr int bytes = 1;
    static std::uint32_t at(const uchar* line, int x) { return 0xFF000000u | line[x] * 0x010101u; }
};

// a + (b - a)·t/256 on all four channels, rounded.
inline std::uint32_t mix(std::uint32_t a, std::uint32_t b, std::uint32_t t) { return mixPixels(a, b, t, pixelLanesHalf); }

inline std::uint32_t bilinear(std::uint32_t tl, std::uint32_t tr, std::uint32_t bl, std::uint32_t br,
                              std::uint32_t fx, std::uint32_t fy)
{
    return mix(mix(tl, tr, fx), mix(bl, br, fx), fy);
}

struct Source {
    const uchar* bits = nullptr;
    qsizetype bytesPerLine = 0;
    int width = 0, height = 0;
};

// The part of a row, as indices [first, last), whose positions lie in a range.
struct Span {
    i64 first = 0, last = 0;
    bool empty() const { return first >= last; }
};

inline i64 floorDiv(i64 n, i64 d)  // d > 0
{
    i64 q = n / d;
    if (n % d != 0 && n < 0) --q;
    return q;
}

inline i64 ceilDiv(i64 n, i64 d)  // d > 0
{
    i64 q = n / d;
    if (n % d != 0 && n > 0) ++q;
    return q;
}

// Narrows `span` to the i with lo <= start + i·step <= hi.
void narrow(Span& span, i64 start, i64 step, i64 lo, i64 hi)
{
    if (span.empty()) return;
    if (hi < lo) {
        span.last = span.first;
        return;
    }
    i64 from, to;  // inclusive
    if (step == 0) {
        if (start < lo || start > hi) span.last = span.first;
        return;
    }
    if (step > 0) {
        from = ceilDiv(lo - start, step);
        to = floorDiv(hi - start, step);
    } else {
        from = ceilDiv(start - hi, -step);
        to = floorDiv(start - lo, -step);
    }
    span.first = std::max(span.first, from);
    span.last = std::min(span.last, to + 1);
    if (span.last < span.first) span.last = span.first;
}

struct Mapping {
    int width = 0, height = 0;  // output
    double cx = 0, cy = 0, cosA = 1, sinA = 0;
    i64 du = 0, dv = 0;  // source step per output pixel along a row
};

// Premultiplied pixel at a position where some of the four neighbours may be missing.
template <class Read>
inline std::uint32_t sampleAtEdge(const Source& s, i64 u, i64 v)
{
    const i64 x = u >> fracBits, y = v >> fracBits;  // within [-1, width - 1] × [-1, height - 1]
    const std::uint32_t fx = std::uint32_t(u >> (fracBits - 8)) & 0xFF;
    const std::uint32_t fy = std::uint32_t(v >> (fracBits - 8)) & 0xFF;
    const bool left = x >= 0, right = x + 1 < s.width, top = y >= 0, bottom = y + 1 < s.height;
    const uchar* l0 = top ? s.bits + qsizetype(y) * s.bytesPerLine : nullptr;
    const uchar* l1 = bottom ? s.bits + qsizetype(y + 1) * s.bytesPerLine : nullptr;
    const int xi = int(x);
    const std::uint32_t tl = top && left ? Read::at(l0, xi) : 0;
    const std::uint32_t tr = top && right ? Read::at(l0, xi + 1) : 0;
    const std::uint32_t bl = bottom && left ? Read::at(l1, xi) : 0;
    const std::uint32_t br = bottom && right ? Read::at(l1, xi + 1) : 0;
    return bilinear(tl, tr, bl, br, fx, fy);
}

// Rows further down that the next rows will read, fetched ahead: a crop turned by a few
// degrees crosses a source row every twenty pixels or so, far too many streams for the
// hardware prefetcher, and without this the loop waits on memory most of the time.
constexpr int prefetchRows = 6;

// Pixels whose four neighbours are all on the source, one at a time.
template <class Read>
inline void renderInsideScalar(const Source& s, i64 uu, i64 vv, i64 du, i64 dv, int count, std::uint32_t* out)
{
    for (int i = 0; i < count; ++i, uu += du, vv += dv) {
        const int x = int(uu >> fracBits), y = int(vv >> fracBits);
        const std::uint32_t fx = std::uint32_t(uu >> (fracBits - 8)) & 0xFF;
        const std::uint32_t fy = std::uint32_t(vv >> (fracBits - 8)) & 0xFF;
        const uchar* l0 = s.bits + qsizetype(y) * s.bytesPerLine;
        const uchar* l1 = l0 + s.bytesPerLine;
        __builtin_prefetch(s.bits + qsizetype(std::min(y + prefetchRows, s.height - 1)) * s.bytesPerLine
                           + Read::bytes * x);
        out[i] = bilinear(Read::at(l0, x), Read::at(l0, x + 1), Read::at(l1, x), Read::at(l1, x + 1), fx, fy);
    }
}

#if BIVARA_IMAGEUTIL_X86
// Vector kernels for 32-bit sources turned by a few degrees, the usual case for prints laid
// on the bed by hand. Then eight (AVX2) or sixteen (AVX-512) neighbouring output pixels read
// as many neighbouring source pixels (x steps by exactly one) from two rows, or from three
// when they cross a row, and plain vector loads replace gathering. The arithmetic is mix()
// on 16-bit lanes, so the result is bit for bit the scalar one. Groups that do not fit go
// through the scalar loop; so do turns near 90°, which read down the source's columns.

// mix() on sixteen 16-bit lanes, with the weights of b and of a given: (a·ta + b·tb + 128) >> 8.
__attribute__((target("avx2"), always_inline)) inline __m256i mix16(__m256i a, __m256i b, __m256i ta, __m256i tb)
{
    const __m256i sum = _mm256_add_epi16(_mm256_mullo_epi16(a, ta), _mm256_mullo_epi16(b, tb));
    return _mm256_srli_epi16(_mm256_add_epi16(sum, _mm256_set1_epi16(128)), 8);
}

template <class Read>
__attribute__((noinline)) void renderGroupScalar(const Source& s, i64 uu, i64 vv, i64 du, i64 dv, int count,
                                                 std::uint32_t* out)
{
    renderInsideScalar<Read>(s, uu, vv, du, dv, count, out);
}

// Eight neighbouring source pixels from x on, as ARGB with any alpha byte for opaque
// formats (the kernel sets it after mixing). `overreads` says a load touches up to five
// bytes past the last pixel it returns.
template <class Read>
struct Load8;

template <>
struct Load8<ReadRgb32> {
    static constexpr bool overreads = false;
    __attribute__((target("avx2"), always_inline)) static __m256i at(const uchar* line, i64 x)
    {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + 4 * x));
    }
};
template <>
struct Load8<ReadArgb32Premultiplied> : Load8<ReadRgb32> {};

template <>
struct Load8<ReadRgb888> {
    static constexpr bool overreads = true;
    __attribute__((target("avx2"), always_inline)) static __m256i at(const uchar* line, i64 x)
    {
        // Four pixels (twelve bytes) per 128-bit half, each R, G, B turned into B, G, R, 0.
        const uchar* p = line + 3 * x;
        const __m256i packed = _mm256_setr_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12)));
        const __m256i spread = _mm256_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1,
                                                2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
        return _mm256_shuffle_epi8(packed, spread);
    }
};

template <>
struct Load8<ReadGray8> {
    static constexpr bool overreads = false;
    __attribute__((target("avx2"), always_inline)) static __m256i at(const uchar* line, i64 x)
    {
        std::int64_t eight;
        std::memcpy(&eight, line + x, 8);
        const __m256i wide = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(eight));
        const __m256i spread = _mm256_setr_epi8(0, 0, 0, -1, 4, 4, 4, -1, 8, 8, 8, -1, 12, 12, 12, -1,
                                                0, 0, 0, -1, 4, 4, 4, -1, 8, 8, 8, -1, 12, 12, 12, -1);
        return _mm256_shuffle_epi8(wide, spread);
    }
};

template <class Read>
__attribute__((target("avx2"))) void renderInsideAvx2(const Source& source, i64 uu, i64 vv, i64 du, i64 dv,
                                                        int count, std::uint32_t* out)
{
    using Load = Load8<Read>;
    constexpr bool opaque = !std::is_same_v<Read, ReadArgb32Premultiplied>;
    // x advances by one pixel per pixel (less a little), y by less than a pixel per group.
    const bool fits = du > 0 && 7 * (one - du) < one && 7 * (dv < 0 ? -dv : dv) < one;
    if (!fits) {
        renderGroupScalar<Read>(source, uu, vv, du, dv, count, out);
        return;
    }
    const uchar* const bits = source.bits;
    const qsizetype bpl = source.bytesPerLine;
    const i64 lastRow = source.height - 1;
    const bool down = dv > 0;

    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i stepX = _mm256_mullo_epi32(lane, _mm256_set1_epi32(int(du - one)));
    const __m256i stepY = _mm256_mullo_epi32(lane, _mm256_set1_epi32(int(dv)));
    const __m256i oneV = _mm256_set1_epi32(int(one));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i w256 = _mm256_set1_epi16(256);
    // Spread the low byte of each 32-bit weight over four 16-bit lanes: pixels 0,1 (and
    // 4,5) for the low unpack, 2,3 (and 6,7) for the high one.
    const __m256i spreadLo = _mm256_setr_epi8(0, -1, 0, -1, 0, -1, 0, -1, 4, -1, 4, -1, 4, -1, 4, -1,
                                              0, -1, 0, -1, 0, -1, 0, -1, 4, -1, 4, -1, 4, -1, 4, -1);
    const __m256i spreadHi = _mm256_setr_epi8(8, -1, 8, -1, 8, -1, 8, -1, 12, -1, 12, -1, 12, -1, 12, -1,
                                              8, -1, 8, -1, 8, -1, 8, -1, 12, -1, 12, -1, 12, -1, 12, -1);

    int i = 0;
    for (; i + 8 <= count; i += 8, uu += 8 * du, vv += 8 * dv) {
        const i64 x0 = uu >> fracBits, y0 = vv >> fracBits;
        const i64 x7 = (uu + 7 * du) >> fracBits, y7 = (vv + 7 * dv) >> fracBits;
        if (x7 - x0 != 7) [[unlikely]] {
            renderGroupScalar<Read>(source, uu, vv, du, dv, 8, out + i);
            continue;
        }
        const i64 yTop = std::min(y0, y7);
        if (Load::overreads && yTop + 3 > lastRow) [[unlikely]] {  // a row below to read into
            renderGroupScalar<Read>(source, uu, vv, du, dv, 8, out + i);
            continue;
        }
        const uchar* r0 = bits + qsizetype(yTop) * bpl;
        const uchar* r1 = r0 + bpl;
        __builtin_prefetch(bits + qsizetype(std::min(yTop + prefetchRows, lastRow)) * bpl + Read::bytes * x0);

        const __m256i fracX = _mm256_add_epi32(_mm256_set1_epi32(int(uu - (x0 << fracBits))), stepX);
        __m256i fracY = _mm256_add_epi32(_mm256_set1_epi32(int(vv - (y0 << fracBits))), stepY);
        __m256i tl = Load::at(r0, x0);
        __m256i tr = Load::at(r0, x0 + 1);
        __m256i bl = Load::at(r1, x0);
        __m256i br = Load::at(r1, x0 + 1);
        if (y7 != y0) {
            // The group crosses a row: the pixels past it read one row further down.
            __m256i lower;
            if (down) {
                lower = _mm256_cmpgt_epi32(fracY, _mm256_sub_epi32(oneV, _mm256_set1_epi32(1)));
                fracY = _mm256_sub_epi32(fracY, _mm256_and_si256(lower, oneV));
            } else {
                const __m256i above = _mm256_cmpgt_epi32(zero, fracY);
                fracY = _mm256_add_epi32(fracY, _mm256_and_si256(above, oneV));
                lower = _mm256_xor_si256(above, _mm256_set1_epi32(-1));
            }
            const uchar* r2 = r1 + bpl;
            tl = _mm256_blendv_epi8(tl, bl, lower);
            tr = _mm256_blendv_epi8(tr, br, lower);
            bl = _mm256_blendv_epi8(bl, Load::at(r2, x0), lower);
            br = _mm256_blendv_epi8(br, Load::at(r2, x0 + 1), lower);
        }
        const __m256i fx = _mm256_srli_epi32(fracX, fracBits - 8);
        const __m256i fy = _mm256_srli_epi32(fracY, fracBits - 8);
        const __m256i fxLo = _mm256_shuffle_epi8(fx, spreadLo), fxHi = _mm256_shuffle_epi8(fx, spreadHi);
        const __m256i fyLo = _mm256_shuffle_epi8(fy, spreadLo), fyHi = _mm256_shuffle_epi8(fy, spreadHi);
        const __m256i ixLo = _mm256_sub_epi16(w256, fxLo), ixHi = _mm256_sub_epi16(w256, fxHi);
        const __m256i iyLo = _mm256_sub_epi16(w256, fyLo), iyHi = _mm256_sub_epi16(w256, fyHi);

        const __m256i topLo = mix16(_mm256_unpacklo_epi8(tl, zero), _mm256_unpacklo_epi8(tr, zero), ixLo, fxLo);
        const __m256i topHi = mix16(_mm256_unpackhi_epi8(tl, zero), _mm256_unpackhi_epi8(tr, zero), ixHi, fxHi);
        const __m256i botLo = mix16(_mm256_unpacklo_epi8(bl, zero), _mm256_unpacklo_epi8(br, zero), ixLo, fxLo);
        const __m256i botHi = mix16(_mm256_unpackhi_epi8(bl, zero), _mm256_unpackhi_epi8(br, zero), ixHi, fxHi);
        __m256i result = _mm256_packus_epi16(mix16(topLo, botLo, iyLo, fyLo), mix16(topHi, botHi, iyHi, fyHi));
        if constexpr (opaque) result = _mm256_or_si256(result, _mm256_set1_epi32(int(0xFF000000u)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), result);
    }
    if (i < count) renderGroupScalar<Read>(source, uu, vv, du, dv, count - i, out + i);
}

// The same with sixteen pixels a step, on processors that have AVX-512; it needs y to cross
// at most one row per sixteen pixels (turns below about 3.8°).
__attribute__((target("avx512f,avx512bw"), always_inline)) inline __m512i mix32(__m512i a, __m512i b, __m512i ta,
                                                                                  __m512i tb)
{
    const __m512i sum = _mm512_add_epi16(_mm512_mullo_epi16(a, ta), _mm512_mullo_epi16(b, tb));
    return _mm512_srli_epi16(_mm512_add_epi16(sum, _mm512_set1_epi16(128)), 8);
}

template <bool opaque>
__attribute__((target("avx512f,avx512bw"))) void renderInsideAvx512(const Source& source, i64 uu, i64 vv, i64 du,
                                                                     i64 dv, int count, std::uint32_t* out)
{
    const uchar* const bits = source.bits;
    const qsizetype bpl = source.bytesPerLine;
    const i64 lastRow = source.height - 1;
    const bool down = dv > 0;

    const __m512i lane = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m512i stepX = _mm512_mullo_epi32(lane, _mm512_set1_epi32(int(du - one)));
    const __m512i stepY = _mm512_mullo_epi32(lane, _mm512_set1_epi32(int(dv)));
    const __m512i oneV = _mm512_set1_epi32(int(one));
    const __m512i zero = _mm512_setzero_si512();
    const __m512i w256 = _mm512_set1_epi16(256);
    // (GCC 12 warns inside its own headers for the unmasked broadcast and shift intrinsics,
    // hence a table and the zero-masking shifts below.)
    alignas(64) static constexpr std::int8_t spread[2][64] = {
        {0, -1, 0, -1, 0, -1, 0, -1, 4, -1, 4, -1, 4, -1, 4, -1, 0, -1, 0, -1, 0, -1, 0, -1, 4, -1, 4, -1, 4, -1, 4, -1,
         0, -1, 0, -1, 0, -1, 0, -1, 4, -1, 4, -1, 4, -1, 4, -1, 0, -1, 0, -1, 0, -1, 0, -1, 4, -1, 4, -1, 4, -1, 4, -1},
        {8, -1, 8, -1, 8, -1, 8, -1, 12, -1, 12, -1, 12, -1, 12, -1, 8, -1, 8, -1, 8, -1, 8, -1, 12, -1, 12, -1, 12, -1, 12, -1,
         8, -1, 8, -1, 8, -1, 8, -1, 12, -1, 12, -1, 12, -1, 12, -1, 8, -1, 8, -1, 8, -1, 8, -1, 12, -1, 12, -1, 12, -1, 12, -1}};
    const __m512i spreadLo = _mm512_load_si512(spread[0]);
    const __m512i spreadHi = _mm512_load_si512(spread[1]);

    int i = 0;
    for (; i + 16 <= count; i += 16, uu += 16 * du, vv += 16 * dv) {
        const i64 x0 = uu >> fracBits, y0 = vv >> fracBits;
        const i64 x15 = (uu + 15 * du) >> fracBits, y15 = (vv + 15 * dv) >> fracBits;
        if (x15 - x0 != 15) [[unlikely]] {
            renderGroupScalar<std::conditional_t<opaque, ReadRgb32, ReadArgb32Premultiplied>>(source, uu, vv, du, dv,
                                                                                              16, out + i);
            continue;
        }
        const i64 yTop = std::min(y0, y15);
        const uchar* r0 = bits + qsizetype(yTop) * bpl + 4 * x0;
        const uchar* r1 = r0 + bpl;
        __builtin_prefetch(bits + qsizetype(std::min(yTop + prefetchRows, lastRow)) * bpl + 4 * x0);
        __builtin_prefetch(bits + qsizetype(std::min(yTop + prefetchRows, lastRow)) * bpl + 4 * x0 + 64);

        const __m512i fracX = _mm512_add_epi32(_mm512_set1_epi32(int(uu - (x0 << fracBits))), stepX);
        __m512i fracY = _mm512_add_epi32(_mm512_set1_epi32(int(vv - (y0 << fracBits))), stepY);
        __m512i tl = _mm512_loadu_si512(r0);
        __m512i tr = _mm512_loadu_si512(r0 + 4);
        __m512i bl = _mm512_loadu_si512(r1);
        __m512i br = _mm512_loadu_si512(r1 + 4);
        if (y15 != y0) {
            __mmask16 lower;
            if (down) {
                lower = _mm512_cmpgt_epi32_mask(fracY, _mm512_sub_epi32(oneV, _mm512_set1_epi32(1)));
                fracY = _mm512_mask_sub_epi32(fracY, lower, fracY, oneV);
            } else {
                const __mmask16 above = _mm512_cmpgt_epi32_mask(zero, fracY);
                fracY = _mm512_mask_add_epi32(fracY, above, fracY, oneV);
                lower = __mmask16(~above);
            }
            const uchar* r2 = r1 + bpl;
            tl = _mm512_mask_blend_epi32(lower, tl, bl);
            tr = _mm512_mask_blend_epi32(lower, tr, br);
            bl = _mm512_mask_blend_epi32(lower, bl, _mm512_loadu_si512(r2));
            br = _mm512_mask_blend_epi32(lower, br, _mm512_loadu_si512(r2 + 4));
        }
        const __m512i fx = _mm512_maskz_srli_epi32(0xFFFF, fracX, fracBits - 8);
        const __m512i fy = _mm512_maskz_srli_epi32(0xFFFF, fracY, fracBits - 8);
        const __m512i fxLo = _mm512_shuffle_epi8(fx, spreadLo), fxHi = _mm512_shuffle_epi8(fx, spreadHi);
        const __m512i fyLo = _mm512_shuffle_epi8(fy, spreadLo), fyHi = _mm512_shuffle_epi8(fy, spreadHi);
        const __m512i ixLo = _mm512_sub_epi16(w256, fxLo), ixHi = _mm512_sub_epi16(w256, fxHi);
        const __m512i iyLo = _mm512_sub_epi16(w256, fyLo), iyHi = _mm512_sub_epi16(w256, fyHi);

        const __m512i topLo = mix32(_mm512_unpacklo_epi8(tl, zero), _mm512_unpacklo_epi8(tr, zero), ixLo, fxLo);
        const __m512i topHi = mix32(_mm512_unpackhi_epi8(tl, zero), _mm512_unpackhi_epi8(tr, zero), ixHi, fxHi);
        const __m512i botLo = mix32(_mm512_unpacklo_epi8(bl, zero), _mm512_unpacklo_epi8(br, zero), ixLo, fxLo);
        const __m512i botHi = mix32(_mm512_unpackhi_epi8(bl, zero), _mm512_unpackhi_epi8(br, zero), ixHi, fxHi);
        __m512i result = _mm512_packus_epi16(mix32(topLo, botLo, iyLo, fyLo), mix32(topHi, botHi, iyHi, fyHi));
        if constexpr (opaque) result = _mm512_or_si512(result, _mm512_set1_epi32(int(0xFF000000u)));
        _mm512_storeu_si512(out + i, result);
    }
    if (i < count)
        renderInsideAvx2<std::conditional_t<opaque, ReadRgb32, ReadArgb32Premultiplied>>(source, uu, vv, du, dv,
                                                                                          count - i, out + i);
}

bool haveAvx512()
{
    static const bool have = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    return have;
}

bool haveAvx2()
{
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}
#endif

template <class Read>
inline void renderInside(const Source& s, i64 uu, i64 vv, i64 du, i64 dv, int count, std::uint32_t* out)
{
#if BIVARA_IMAGEUTIL_X86
    if constexpr (std::is_same_v<Read, ReadRgb32> || std::is_same_v<Read, ReadArgb32Premultiplied>) {
        constexpr bool opaque = std::is_same_v<Read, ReadRgb32>;
        if (haveAvx512() && du > 0 && 15 * (one - du) < one && 15 * (dv < 0 ? -dv : dv) < one) {
            renderInsideAvx512<opaque>(s, uu, vv, du, dv, count, out);
            return;
        }
    }
    if constexpr (!std::is_same_v<Read, ReadArgb32>) {
        if (haveAvx2()) {
            renderInsideAvx2<Read>(s, uu, vv, du, dv, count, out);
            return;
        }
    }
#endif
    renderInsideScalar<Read>(s, uu, vv, du, dv, count, out);
}

template <class Read>
void renderRow(const Source& s, i64 u, i64 v, i64 du, i64 dv, int width, std::uint32_t* out)
{
    // Where at least one of the four neighbours is on the source, and where all four are.
    Span touching{0, width}, inside{0, width};
    narrow(touching, u, du, -one, i64(s.width) * one - 1);
    narrow(touching, v, dv, -one, i64(s.height) * one - 1);
    narrow(inside, u, du, 0, i64(s.width - 1) * one - 1);
    narrow(inside, v, dv, 0, i64(s.height - 1) * one - 1);
    if (touching.empty()) touching = {0, 0};
    if (inside.empty()) inside = {touching.first, touching.first};

    const int t0 = int(touching.first), t1 = int(touching.last);
    const int i0 = int(inside.first), i1 = int(inside.last);
    std::fill(out, out + t0, 0u);
    for (int i = t0; i < i0; ++i) out[i] = sampleAtEdge<Read>(s, u + i * du, v + i * dv);
    renderInside<Read>(s, u + i0 * du, v + i0 * dv, du, dv, i1 - i0, out + i0);
    for (int i = i1; i < t1; ++i) out[i] = sampleAtEdge<Read>(s, u + i * du, v + i * dv);
    std::fill(out + t1, out + width, 0u);
}

// Runs body(firstRow, endRow) over all rows; large images in bands of rows shared with
// other cores.
template <class Body>
void forRowBands(int rows, qsizetype pixels, const Body& body)
{
    constexpr int bandRows = 32;
    if (pixels < (qsizetype(1) << 18) || rows <= bandRows) {
        body(0, rows);
        return;
    }
    const int bands = (rows + bandRows - 1) / bandRows;
    WorkSharing::run(bands, 7, [&](int b) { body(b * bandRows, std::min(rows, (b + 1) * bandRows)); });
}

template <class Read>
void render(const Source& s, const Mapping& m, uchar* outBits, qsizetype outBytesPerLine)
{
    const double startX = 0.5 - m.width / 2.0;
    forRowBands(m.height, qsizetype(m.width) * m.height, [&](int firstRow, int endRow) {
        for (int j = firstRow; j < endRow; ++j) {
            const double ly = j + 0.5 - m.height / 2.0;
            // Sample positions are pixel coordinates: the centre of pixel (px, py) is at
            // (px + 0.5, py + 0.5), so half a pixel comes off.
            const double u = m.cx - 0.5 + startX * m.cosA - ly * m.sinA;
            const double v = m.cy - 0.5 + startX * m.sinA + ly * m.cosA;
            auto* out = reinterpret_cast<std::uint32_t*>(outBits + qsizetype(j) * outBytesPerLine);
            renderRow<Read>(s, std::llround(u * double(one)), std::llround(v * double(one)), m.du, m.dv,
                            m.width, out);
        }
    });
}

// Asks for huge pages on a large fresh buffer. A 3600×2400 crop is 35 MB of new memory;
// faulting it in as small pages costs more than computing it, and huge pages leave mostly
// the kernel's zeroing.
void preferHugePages([[maybe_unused]] uchar* bits, [[maybe_unused]] qsizetype bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t huge = std::uintptr_t(2) << 20;
    if (bytes < qsizetype(8 * huge)) return;
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(bits) + huge - 1) & ~(huge - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(bits) + std::uintptr_t(bytes)) & ~(huge - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

bool isDirectFormat(QImage::Format f)
{
    switch (f) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGB888:
    case QImage::Format_Grayscale8: return true;
    default: return false;
    }
}

// ---- files ------------------------------------------------------------------------------

void makeParentFolder(const QString& path)
{
    const QString parent = QFileInfo(path).absolutePath();
    if (!parent.isEmpty()) QDir().mkpath(parent);  // a failure shows when the file is opened
}

// Reads the image only when the size its file declares, read before any pixel is decoded,
// passes `accept`. Qt's own allocation limit stays in force as well.
template <class Accept>
QImage readChecked(QImageReader& reader, Accept accept)
{
    reader.setAutoTransform(false);
    const QSize declared = reader.size();
    if (!declared.isValid() || declared.isEmpty() || !accept(declared)) return {};
    QImage image;
    if (!reader.read(&image)) return {};
    return image.size() == declared ? image : QImage();
}

// The decoded size stays near what the scanner was asked for: it rounds the area to its own
// steps, by a few pixels or a per cent at most.
bool closeTo(int declared, int expected) { return std::abs(declared - expected) <= 16 + expected / 50; }

}  // namespace

QImage extractRotated(const QImage& from, QPointF centerPx, QSizeF sizePx, double angle)
{
    const double w = sizePx.width(), h = sizePx.height();
    if (!(w >= 1) || !(h >= 1)) return {};
    if (w > maxSide || h > maxSide || !std::isfinite(centerPx.x()) || !std::isfinite(centerPx.y())
        || !std::isfinite(angle))
        return {};

    Mapping m;
    m.width = std::max(1, int(std::lround(w)));
    m.height = std::max(1, int(std::lround(h)));
    m.cx = centerPx.x();
    m.cy = centerPx.y();
    m.cosA = std::cos(angle);
    m.sinA = std::sin(angle);
    m.du = std::llround(m.cosA * double(one));
    m.dv = std::llround(m.sinA * double(one));

    QImage out = CropMemory::image(QSize(m.width, m.height), QImage::Format_ARGB32_Premultiplied);
    if (out.isNull()) return {};
    if (!from.isNull()) {
        out.setDotsPerMeterX(from.dotsPerMeterX());
        out.setDotsPerMeterY(from.dotsPerMeterY());
        const bool gray = from.format() == QImage::Format_Grayscale8 || from.format() == QImage::Format_Grayscale16;
        if (from.colorSpace().isValid() && !gray) out.setColorSpace(from.colorSpace());
    }

    // The box of source pixels the crop reads from, in sample coordinates.
    double uMin = HUGE_VAL, uMax = -HUGE_VAL, vMin = HUGE_VAL, vMax = -HUGE_VAL;
    for (const double sx : {-0.5, 0.5})
        for (const double sy : {-0.5, 0.5}) {
            const double lx = sx * m.width, ly = sy * m.height;
            const double u = m.cx - 0.5 + lx * m.cosA - ly * m.sinA;
            const double v = m.cy - 0.5 + lx * m.sinA + ly * m.cosA;
            uMin = std::min(uMin, u), uMax = std::max(uMax, u);
            vMin = std::min(vMin, v), vMax = std::max(vMax, v);
        }
    if (from.isNull() || uMax < -1 || vMax < -1 || uMin > from.width() || vMin > from.height()) {
        out.fill(0);
        return out;
    }

    uchar* outBits = out.bits();
    preferHugePages(outBits, out.sizeInBytes());
    const qsizetype outBpl = out.bytesPerLine();

    if (!isDirectFormat(from.format())) {
        // Other formats (16-bit, palettes, bit maps...) go through a premultiplied copy of
        // just the box the crop reads, a pixel wider on each side.
        const int x0 = int(std::clamp(std::floor(uMin) - 1, 0.0, double(from.width())));
        const int y0 = int(std::clamp(std::floor(vMin) - 1, 0.0, double(from.height())));
        const int x1 = int(std::clamp(std::floor(uMax) + 3, 0.0, double(from.width())));
        const int y1 = int(std::clamp(std::floor(vMax) + 3, 0.0, double(from.height())));
        if (x1 <= x0 || y1 <= y0) {
            out.fill(0);
            return out;
        }
        const QImage box =
            from.copy(QRect(x0, y0, x1 - x0, y1 - y0)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (box.isNull()) return {};
        Mapping shifted = m;
        shifted.cx -= x0;
        shifted.cy -= y0;
        const Source s{box.constBits(), box.bytesPerLine(), box.width(), box.height()};
        render<ReadArgb32Premultiplied>(s, shifted, outBits, outBpl);
        return out;
    }

    const Source s{from.constBits(), from.bytesPerLine(), from.width(), from.height()};
    switch (from.format()) {
    case QImage::Format_RGB32: render<ReadRgb32>(s, m, outBits, outBpl); break;
    case QImage::Format_ARGB32: render<ReadArgb32>(s, m, outBits, outBpl); break;
    case QImage::Format_ARGB32_Premultiplied: render<ReadArgb32Premultiplied>(s, m, outBits, outBpl); break;
    case QImage::Format_RGB888: render<ReadRgb888>(s, m, outBits, outBpl); break;
    case QImage::Format_Grayscale8: render<ReadGray8>(s, m, outBits, outBpl); break;
    default: break;
    }
    return out;
}

QImage composite(const QImage& patch, const QImage& into, QRectF areaInches, QSizeF bedSize)
{
    if (into.isNull() || !(bedSize.width() > 0) || !(bedSize.height() > 0)) return {};
    QImage out = into.convertToFormat(QImage::Format_RGB32);
    if (out.isNull()) return {};
    const double sx = out.width() / bedSize.width(), sy = out.height() / bedSize.height();
    const QRectF target(areaInches.x() * sx, areaInches.y() * sy, areaInches.width() * sx, areaInches.height() * sy);
    if (!patch.isNull() && target.isValid()) {
        QPainter painter(&out);  // detaches from `into`
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, patch);
    }
    return out;
}

bool saveJPEG(const QImage& image, const QString& to, double quality, int dpi, WholeFile::Replace replace)
{
    if (image.isNull()) return false;
    try {
        // The encoder reads 32-bit pixels as they are, so premultiplied ones come out
        // composited on black; other formats with alpha are brought there first. Gray stays
        // gray, as 8 bits.
        QImage source = image;
        if (!JpegEncoder::takes(image.format())) {
            const bool gray = image.format() == QImage::Format_Grayscale16 || image.format() == QImage::Format_Alpha8
                              || (image.colorCount() > 0 && image.isGrayscale());
            source = image.convertToFormat(gray ? QImage::Format_Grayscale8
                                           : image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                     : QImage::Format_RGB32);
        }
        if (source.isNull()) return false;
        const QByteArray bytes = JpegEncoder::encode(source, std::clamp(qRound(quality * 100), 0, 100), dpi);
        if (bytes.isEmpty()) return false;
        makeParentFolder(to);
        return WholeFile::write(to, bytes, replace);
    } catch (...) {
        return false;
    }
}

bool savePNG(const QImage& image, const QString& to)
{
    try {
        return PngEncoder::write(image, to);
    } catch (...) {
        return false;
    }
}

QImage loadCGImage(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(false);
    QImage image;
    if (!reader.read(&image)) return {};
    return image;
}

QImage loadWithin(QIODevice& device, QSize largest)
{
    QImageReader reader(&device);
    const QSize across = largest.transposed();
    return readChecked(reader, [&](QSize s) {
        return (s.width() <= largest.width() && s.height() <= largest.height()) ||
               (s.width() <= across.width() && s.height() <= across.height());
    });
}

QImage loadScan(const QString& path, QSize expected)
{
    QImageReader reader(path);
    const auto matches = [&](QSize s) {
        return closeTo(s.width(), expected.width()) && closeTo(s.height(), expected.height());
    };
    if (!reader.canRead() || !matches(reader.size())) return {};
    // An 8-bit opaque PNG (what scanners write) at 3 bytes per pixel, and beyond Qt's default
    // allocation limit, which a 1200-dpi bed exceeds; anything else through Qt's reader.
    QImage image = PngDecoder::readOpaque8(path);
    if (!image.isNull()) return matches(image.size()) ? image : QImage();
    return readChecked(reader, matches);
}

QImage thumbnail(const QString& path, int maxPixel)
{
    if (maxPixel < 1) return {};
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // The size as stored; turning by the orientation does not change the longest side.
    const QSize stored = reader.size();
    // A thumbnail is decoded scaled. Only JPEG scales while decoding (down to an eighth);
    // other formats (PNG among them) decode whole first, so a file declaring a huge picture
    // is not decoded at all.
    const bool scales = reader.format() == "jpeg";
    if (!stored.isValid()) return {};
    const qint64 decoded = scales ? qint64(stored.width() / 8 + 1) * (stored.height() / 8 + 1)
                                  : qint64(stored.width()) * stored.height();
    if (decoded > largestThumbnailDecode) return {};
    const int longest = std::max(stored.width(), stored.height());
    if (stored.isValid() && longest > maxPixel) {
        const double scale = double(maxPixel) / longest;
        reader.setScaledSize(QSize(std::clamp(int(std::lround(stored.width() * scale)), 1, maxPixel),
                                   std::clamp(int(std::lround(stored.height() * scale)), 1, maxPixel)));
    }
    QImage image;
    if (!reader.read(&image)) return {};
    if (std::max(image.width(), image.height()) > maxPixel)  // formats that could not tell their size
        image = image.scaled(maxPixel, maxPixel, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

}  // namespace ImageUtil
