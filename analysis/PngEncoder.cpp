#include "analysis/PngEncoder.h"

#include "analysis/WorkSharing.h"

#include <QByteArray>
#include <QColorSpace>
#include <QIODevice>
#include <QRgba64>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace PngEncoder {
namespace {

// ---- checksums --------------------------------------------------------------------------

// CRC-32 of PNG chunks (reflected polynomial 0xEDB88320), eight bytes per step.
struct CrcTables {
    std::uint32_t t[8][256];
};

constexpr CrcTables makeCrcTables()
{
    CrcTables tables{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        tables.t[0][i] = c;
    }
    for (int k = 1; k < 8; ++k)
        for (int i = 0; i < 256; ++i) {
            const std::uint32_t prev = tables.t[k - 1][i];
            tables.t[k][i] = (prev >> 8) ^ tables.t[0][prev & 0xFF];
        }
    return tables;
}

constexpr CrcTables crcTables = makeCrcTables();

inline std::uint32_t load32le(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
           | std::uint32_t(p[3]) << 24;
}

// Same convention as zlib's crc32(): start from 0, feed pieces in order.
std::uint32_t crc32(std::uint32_t crc, const std::uint8_t* p, std::size_t n)
{
    const auto& t = crcTables.t;
    std::uint32_t c = ~crc;
    while (n >= 8) {
        const std::uint32_t a = load32le(p) ^ c;
        const std::uint32_t b = load32le(p + 4);
        c = t[7][a & 0xFF] ^ t[6][(a >> 8) & 0xFF] ^ t[5][(a >> 16) & 0xFF] ^ t[4][a >> 24]
            ^ t[3][b & 0xFF] ^ t[2][(b >> 8) & 0xFF] ^ t[1][(b >> 16) & 0xFF] ^ t[0][b >> 24];
        p += 8;
        n -= 8;
    }
    while (n--) c = t[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
    return ~c;
}

constexpr std::uint32_t adlerBase = 65521;

// Adler-32 of the zlib stream, starting from 1.
std::uint32_t adler32(std::uint32_t adler, const std::uint8_t* p, std::size_t n)
{
    std::uint32_t a = adler & 0xFFFF, b = adler >> 16;
    while (n) {
        // 5552 bytes is the most that can be summed before b could overflow 32 bits.
        std::size_t k = std::min<std::size_t>(n, 5552);
        n -= k;
        while (k >= 4) {
            a += p[0]; b += a;
            a += p[1]; b += a;
            a += p[2]; b += a;
            a += p[3]; b += a;
            p += 4;
            k -= 4;
        }
        while (k--) {
            a += *p++;
            b += a;
        }
        a %= adlerBase;
        b %= adlerBase;
    }
    return a | b << 16;
}

// The Adler-32 of two pieces back to back, from the sums of each: had the second piece
// started from the first one's running sum instead of 1, each of its len2 partial sums
// would be larger by (a1 - 1).
std::uint32_t adler32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t len2)
{
    const std::uint64_t m = adlerBase;
    const std::uint64_t a1 = first & 0xFFFF, b1 = first >> 16;
    const std::uint64_t a2 = second & 0xFFFF, b2 = second >> 16;
    const std::uint64_t a = (a1 + a2 + m - 1) % m;
    const std::uint64_t b = (b1 + b2 + (len2 % m) * ((a1 + m - 1) % m)) % m;
    return std::uint32_t(a | b << 16);
}

// ---- Huffman codes ----------------------------------------------------------------------

constexpr int litLenSymbols = 286;
constexpr int endOfBlock = 256;
constexpr int minRun = 4;     // shorter runs cost more as a length code than as literals
constexpr int maxRun = 258;

struct LengthCode {
    std::uint16_t symbol = 0;
    std::uint8_t extraBits = 0;
    std::uint16_t extra = 0;
};

constexpr std::array<LengthCode, maxRun + 1> makeLengthCodes()
{
    constexpr int base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                              31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    constexpr int bits[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    std::array<LengthCode, maxRun + 1> codes{};
    for (int length = 3; length <= maxRun; ++length) {
        int k = 28;
        while (base[k] > length) --k;
        codes[length] = {std::uint16_t(257 + k), std::uint8_t(bits[k]),
                         std::uint16_t(length - base[k])};
    }
    return codes;
}

constexpr std::array<LengthCode, maxRun + 1> lengthCodes = makeLengthCodes();

// Code lengths of at most maxBits for the symbols with a non-zero frequency (the others get
// 0). Builds a plain Huffman tree and, should it be too deep, flattens the frequencies and
// builds again; with two or more symbols the code is always complete.
void buildCodeLengths(const std::uint32_t* freq, int n, int maxBits, std::uint8_t* lengths)
{
    std::fill(lengths, lengths + n, std::uint8_t(0));
    std::vector<std::pair<std::uint32_t, int>> leaves;
    for (int s = 0; s < n; ++s)
        if (freq[s]) leaves.emplace_back(freq[s], s);
    if (leaves.empty()) return;
    if (leaves.size() == 1) {
        lengths[leaves[0].second] = 1;
        return;
    }
    const int count = int(leaves.size());
    std::vector<std::uint64_t> weight(2 * count - 1);
    std::vector<int> parent(2 * count - 1);
    std::vector<int> depth(2 * count - 1);
    for (;;) {
        std::sort(leaves.begin(), leaves.end());
        for (int i = 0; i < count; ++i) weight[i] = leaves[i].first;
        // Two queues: the sorted leaves, and the inner nodes, which come out in order.
        int nextLeaf = 0, nextInner = count, made = count;
        auto takeSmallest = [&]() {
            if (nextLeaf < count && (nextInner >= made || weight[nextLeaf] <= weight[nextInner]))
                return nextLeaf++;
            return nextInner++;
        };
        while (made < 2 * count - 1) {
            const int a = takeSmallest();
            const int b = takeSmallest();
            weight[made] = weight[a] + weight[b];
            parent[a] = made;
            parent[b] = made;
            ++made;
        }
        depth[made - 1] = 0;
        int deepest = 0;
        for (int i = made - 2; i >= 0; --i) {
            depth[i] = depth[parent[i]] + 1;
            if (i < count) deepest = std::max(deepest, depth[i]);
        }
        if (deepest <= maxBits) break;
        for (auto& leaf : leaves) leaf.first = (leaf.first >> 1) | 1;
    }
    for (int i = 0; i < count; ++i) lengths[leaves[i].second] = std::uint8_t(depth[i]);
}

// Canonical codes for the lengths, bit-reversed because deflate sends Huffman codes from
// their most significant bit while the stream is packed from the least significant one.
void assignCodes(const std::uint8_t* lengths, int n, std::uint16_t* codes)
{
    int lengthCount[16] = {};
    for (int s = 0; s < n; ++s) ++lengthCount[lengths[s]];
    lengthCount[0] = 0;
    int next[16] = {};
    int code = 0;
    for (int bits = 1; bits < 16; ++bits) {
        code = (code + lengthCount[bits - 1]) << 1;
        next[bits] = code;
    }
    for (int s = 0; s < n; ++s) {
        const int len = lengths[s];
        if (!len) {
            codes[s] = 0;
            continue;
        }
        int c = next[len]++, reversed = 0;
        for (int k = 0; k < len; ++k, c >>= 1) reversed = (reversed << 1) | (c & 1);
        codes[s] = std::uint16_t(reversed);
    }
}

// ---- deflate ----------------------------------------------------------------------------

// Packs bits from the least significant end. The caller guarantees room in the buffer,
// plus 8 bytes: every put stores a whole word and then advances by the bytes completed,
// which spares a hard-to-predict branch per code.
class BitWriter {
public:
    explicit BitWriter(std::uint8_t* out) : out_(out) {}

    // value < 2^count, count <= 32
    void put(std::uint32_t value, int count)
    {
        bits_ |= std::uint64_t(value) << count_;
        count_ += count;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(out_, &bits_, 8);
        } else {
            for (int k = 0; k < 8; ++k) out_[k] = std::uint8_t(bits_ >> (8 * k));
        }
        const int bytes = count_ >> 3;
        out_ += bytes;
        bits_ >>= 8 * bytes;
        count_ &= 7;
    }

    void alignToByte()
    {
        if (count_ > 0) *out_++ = std::uint8_t(bits_);
        bits_ = 0;
        count_ = 0;
    }

    // Only after alignToByte().
    void putBytes(const std::uint8_t* p, std::size_t n)
    {
        std::memcpy(out_, p, n);
        out_ += n;
    }

    std::uint8_t* position() const { return out_; }

private:
    std::uint8_t* out_;
    std::uint64_t bits_ = 0;
    int count_ = 0;  // pending bits, below 8 between puts
};

constexpr std::size_t storedPiece = 65535;

std::size_t storedBlockPieces(std::size_t n) { return std::max<std::size_t>(1, (n + storedPiece - 1) / storedPiece); }

void writeStored(BitWriter& w, const std::uint8_t* data, std::size_t n, bool final)
{
    const std::size_t pieces = storedBlockPieces(n);
    for (std::size_t k = 0; k < pieces; ++k) {
        const std::size_t len = std::min(storedPiece, n - k * storedPiece);
        w.put((final && k + 1 == pieces) ? 1 : 0, 1);
        w.put(0, 2);
        w.alignToByte();
        const std::uint8_t header[4] = {std::uint8_t(len), std::uint8_t(len >> 8),
                                        std::uint8_t(~len), std::uint8_t(~len >> 8)};
        w.putBytes(header, 4);
        w.putBytes(data + k * storedPiece, len);
    }
}

// The most bytes one block of n input bytes can take: never more than storing it.
std::size_t blockBound(std::size_t n) { return n + 6 * storedBlockPieces(n) + 8; }

struct Run {
    std::uint32_t at, length;
};

struct Scratch {
    std::vector<Run> runs;
};

constexpr int codeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Whether bytes i..i+3 all repeat byte i - 1, i.e. a run of at least minRun starts at i.
inline bool runStarts(const std::uint8_t* data, std::size_t i)
{
    return load32le(data + i) == std::uint32_t(data[i - 1]) * 0x01010101u;
}

// One deflate block for `data`: dynamic Huffman, or stored when that is not smaller.
void writeBlock(BitWriter& w, const std::uint8_t* data, std::size_t n, bool final, Scratch& s)
{
    static_assert(minRun == 4);
    // All bytes counted as literals (four tables, so that repeated bytes do not wait on
    // each other's increments), then the runs taken out again.
    std::uint32_t counts[4][256] = {};
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        ++counts[0][data[i]];
        ++counts[1][data[i + 1]];
        ++counts[2][data[i + 2]];
        ++counts[3][data[i + 3]];
    }
    for (; i < n; ++i) ++counts[0][data[i]];
    std::uint32_t litFreq[litLenSymbols] = {};
    for (int b = 0; b < 256; ++b) litFreq[b] = counts[0][b] + counts[1][b] + counts[2][b] + counts[3][b];

    s.runs.clear();
    std::uint64_t runExtraBits = 0;
    for (i = 1; i + minRun <= n;) {
        // A run from any of i..i+3 would cover bytes i+2 and i+3.
        if (data[i + 3] != data[i + 2]) {
            i += 4;
            continue;
        }
        if (!runStarts(data, i)) {
            ++i;
            continue;
        }
        const std::uint8_t b = data[i - 1];
        const std::size_t most = std::min<std::size_t>(maxRun, n - i);
        std::size_t r = minRun;
        while (r < most && data[i + r] == b) ++r;
        const LengthCode& lc = lengthCodes[r];
        ++litFreq[lc.symbol];
        litFreq[b] -= std::uint32_t(r);
        runExtraBits += lc.extraBits;
        s.runs.push_back({std::uint32_t(i), std::uint32_t(r)});
        i += r;
    }
    const std::uint64_t runs = s.runs.size();
    litFreq[endOfBlock] = 1;

    std::uint8_t litLen[litLenSymbols];
    buildCodeLengths(litFreq, litLenSymbols, 15, litLen);
    int hlit = litLenSymbols;
    while (hlit > 257 && !litLen[hlit - 1]) --hlit;
    // Only distance 1 is ever used; two one-bit codes keep the distance code complete.
    const std::uint8_t distLen[2] = {1, 1};
    const int hdist = 2;

    // The code lengths themselves, run-length coded with symbols 16, 17 and 18.
    std::uint8_t sequence[litLenSymbols + 2];
    std::memcpy(sequence, litLen, hlit);
    std::memcpy(sequence + hlit, distLen, hdist);
    const int total = hlit + hdist;
    struct ClToken {
        std::uint8_t symbol, extra;
    };
    ClToken clTokens[litLenSymbols + 2];
    int clCount = 0;
    std::uint32_t clFreq[19] = {};
    for (int k = 0; k < total;) {
        const std::uint8_t len = sequence[k];
        int run = 1;
        while (k + run < total && sequence[k + run] == len) ++run;
        k += run;
        if (len == 0) {
            while (run >= 11) {
                const int r = std::min(run, 138);
                clTokens[clCount++] = {18, std::uint8_t(r - 11)};
                run -= r;
            }
            if (run >= 3) {
                clTokens[clCount++] = {17, std::uint8_t(run - 3)};
                run = 0;
            }
        } else {
            clTokens[clCount++] = {len, 0};
            --run;
            while (run >= 3) {
                const int r = std::min(run, 6);
                clTokens[clCount++] = {16, std::uint8_t(r - 3)};
                run -= r;
            }
        }
        while (run-- > 0) clTokens[clCount++] = {len, 0};
    }
    for (int k = 0; k < clCount; ++k) ++clFreq[clTokens[k].symbol];
    // A code of one symbol is not complete; a second, unused one makes it so.
    if (std::count_if(std::begin(clFreq), std::end(clFreq), [](std::uint32_t f) { return f != 0; }) < 2)
        ++clFreq[clFreq[0] ? 1 : 0];
    std::uint8_t clLen[19];
    buildCodeLengths(clFreq, 19, 7, clLen);
    int hclen = 19;
    while (hclen > 4 && !clLen[codeLengthOrder[hclen - 1]]) --hclen;

    std::uint64_t huffmanBits = 3 + 5 + 5 + 4 + 3 * std::uint64_t(hclen);
    for (int k = 0; k < clCount; ++k) {
        const int sym = clTokens[k].symbol;
        huffmanBits += clLen[sym] + (sym == 16 ? 2 : sym == 17 ? 3 : sym == 18 ? 7 : 0);
    }
    for (int sym = 0; sym < litLenSymbols; ++sym) huffmanBits += std::uint64_t(litFreq[sym]) * litLen[sym];
    huffmanBits += runExtraBits + runs * distLen[0];
    // Stored: per piece a 3-bit header, padding to the byte, LEN and NLEN, the bytes.
    const std::uint64_t storedBits =
        std::uint64_t(storedBlockPieces(n)) * (3 + 7 + 32) + 8 * std::uint64_t(n);
    if (huffmanBits >= storedBits) {
        writeStored(w, data, n, final);
        return;
    }

    std::uint16_t litCode[litLenSymbols];
    assignCodes(litLen, litLenSymbols, litCode);
    std::uint16_t clCode[19];
    assignCodes(clLen, 19, clCode);

    w.put(final ? 1 : 0, 1);
    w.put(2, 2);
    w.put(std::uint32_t(hlit - 257), 5);
    w.put(std::uint32_t(hdist - 1), 5);
    w.put(std::uint32_t(hclen - 4), 4);
    for (int k = 0; k < hclen; ++k) w.put(clLen[codeLengthOrder[k]], 3);
    for (int k = 0; k < clCount; ++k) {
        const int sym = clTokens[k].symbol;
        w.put(clCode[sym], clLen[sym]);
        if (sym == 16) w.put(clTokens[k].extra, 2);
        else if (sym == 17) w.put(clTokens[k].extra, 3);
        else if (sym == 18) w.put(clTokens[k].extra, 7);
    }

    // Each run in one put: its length code, extra bits and the distance code 0 (a single 0
    // bit). Literals go two to a put; two codes take at most 30 bits.
    std::uint32_t runCode[maxRun + 1] = {};
    std::uint8_t runBits[maxRun + 1] = {};
    for (int r = minRun; r <= maxRun; ++r) {
        const LengthCode& lc = lengthCodes[r];
        const int len = litLen[lc.symbol];
        if (!len) continue;
        runCode[r] = litCode[lc.symbol] | std::uint32_t(lc.extra) << len;
        runBits[r] = std::uint8_t(len + lc.extraBits + 1);
    }
    auto literals = [&](std::size_t from, std::size_t to) {
        for (; from + 2 <= to; from += 2) {
            const std::uint8_t a = data[from], b = data[from + 1];
            w.put(litCode[a] | std::uint32_t(litCode[b]) << litLen[a], litLen[a] + litLen[b]);
        }
        if (from < to) w.put(litCode[data[from]], litLen[data[from]]);
    };
    std::size_t at = 0;
    for (const Run& run : s.runs) {
        literals(at, run.at);
        w.put(runCode[run.length], runBits[run.length]);
        at = run.at + run.length;
    }
    literals(at, n);
    w.put(litCode[endOfBlock], litLen[endOfBlock]);
}

// ---- rows -------------------------------------------------------------------------------

// Writes one image row in PNG sample order (big-endian for 16-bit samples).
using PackRow = void (*)(const uchar* line, int width, std::uint8_t* out);

void packRgb32(const uchar* line, int width, std::uint8_t* out)
{
    for (int x = 0; x < width; ++x, out += 3) {
        const std::uint32_t p = load32le(line + 4 * x);
        out[0] = std::uint8_t(p >> 16);
        out[1] = std::uint8_t(p >> 8);
        out[2] = std::uint8_t(p);
    }
}

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
    std::uint8_t colorType = 0;  // 0 gray, 2 RGB, 6 RGBA
};

Layout layoutFor(QImage::Format format)
{
    switch (format) {
    case QImage::Format_RGB32: return {packRgb32, 3, 8, 2};
    case QImage::Format_ARGB32: return {packArgb32, 4, 8, 6};
    case QImage::Format_ARGB32_Premultiplied: return {packArgb32Premultiplied, 4, 8, 6};
    case QImage::Format_RGB888: return {packBytes<3>, 3, 8, 2};
    case QImage::Format_RGBA8888: return {packBytes<4>, 4, 8, 6};
    case QImage::Format_Grayscale8: return {packBytes<1>, 1, 8, 0};
    case QImage::Format_Grayscale16: return {packGray16, 2, 16, 0};
    case QImage::Format_RGBX64: return {packRgbx64, 6, 16, 2};
    case QImage::Format_RGBA64: return {packRgba64<false>, 8, 16, 6};
    case QImage::Format_RGBA64_Premultiplied: return {packRgba64<true>, 8, 16, 6};
    default: return {};
    }
}

// ---- bands ------------------------------------------------------------------------------

struct FreeDeleter {
    void operator()(std::uint8_t* p) const { std::free(p); }
};

struct Band {
    int firstRow = 0, endRow = 0;
    bool first = false, last = false;
    // Output: deflate blocks (after the zlib header in the first band), byte-aligned.
    std::unique_ptr<std::uint8_t, FreeDeleter> data;
    std::size_t size = 0;
    std::uint32_t adler = 1;
    std::uint64_t rawBytes = 0;
    bool ok = false;
};

constexpr std::size_t blockTarget = 128 * 1024;

// out = current - previous, byte by byte, eight bytes at a time: the subtraction borrows
// from each byte's forced-on top bit, which is then put right.
void filterUp(const std::uint8_t* current, const std::uint8_t* previous, std::uint8_t* out, std::size_t n)
{
    constexpr std::uint64_t high = 0x8080808080808080u;
    std::size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        std::uint64_t a, b;
        std::memcpy(&a, current + k, 8);
        std::memcpy(&b, previous + k, 8);
        const std::uint64_t d = ((a | high) - (b & ~high)) ^ ((a ^ ~b) & high);
        std::memcpy(out + k, &d, 8);
    }
    for (; k < n; ++k) out[k] = std::uint8_t(current[k] - previous[k]);
}

void encodeBand(const QImage& image, const Layout& layout, Band& band) noexcept
{
    try {
        const int width = image.width();
        const std::size_t rowBytes = std::size_t(width) * std::size_t(layout.bytesPerPixel);
        const std::size_t lineBytes = rowBytes + 1;
        const std::size_t rowsPerBlock = std::max<std::size_t>(1, blockTarget / lineBytes);
        const std::size_t rows = std::size_t(band.endRow - band.firstRow);
        const std::size_t blocks = (rows + rowsPerBlock - 1) / rowsPerBlock;
        const std::size_t capacity =
            2 + blocks * blockBound(rowsPerBlock * lineBytes) + 32;  // + the final sync block and BitWriter's slack
        band.data.reset(static_cast<std::uint8_t*>(std::malloc(capacity)));
        if (!band.data) return;

        std::vector<std::uint8_t> previous(rowBytes, 0), current(rowBytes);
        std::vector<std::uint8_t> block(rowsPerBlock * lineBytes);
        Scratch scratch;

        std::uint8_t* out = band.data.get();
        if (band.first) {
            // zlib header: deflate, 32 KiB window, no dictionary; 0x7801 is a multiple of 31.
            *out++ = 0x78;
            *out++ = 0x01;
        }
        BitWriter w(out);
        if (band.firstRow > 0) layout.pack(image.constScanLine(band.firstRow - 1), width, previous.data());
        std::uint32_t adler = 1;
        std::size_t filled = 0;
        for (int y = band.firstRow; y < band.endRow; ++y) {
            layout.pack(image.constScanLine(y), width, current.data());
            std::uint8_t* line = block.data() + filled;
            line[0] = 2;  // up
            filterUp(current.data(), previous.data(), line + 1, rowBytes);
            filled += lineBytes;
            std::swap(current, previous);
            const bool lastRow = y + 1 == band.endRow;
            if (filled + lineBytes > block.size() || lastRow) {
                adler = adler32(adler, block.data(), filled);
                writeBlock(w, block.data(), filled, band.last && lastRow, scratch);
                band.rawBytes += filled;
                filled = 0;
            }
        }
        if (!band.last) {
            // An empty stored block brings the band to a byte boundary, so that the next
            // band's blocks can follow directly.
            w.put(0, 3);
            w.alignToByte();
            const std::uint8_t empty[4] = {0x00, 0x00, 0xFF, 0xFF};
            w.putBytes(empty, 4);
        } else {
            w.alignToByte();
        }
        band.size = std::size_t(w.position() - band.data.get());
        band.adler = adler;
        band.ok = band.size <= capacity;
    } catch (...) {
        band.ok = false;
    }
}

// ---- file -------------------------------------------------------------------------------

class ChunkWriter {
public:
    explicit ChunkWriter(QIODevice& device) : device_(device) {}

    bool raw(const void* data, qint64 n)
    {
        ok_ = ok_ && device_.write(static_cast<const char*>(data), n) == n;
        return ok_;
    }

    bool chunk(const char type[4], const std::uint8_t* data, std::size_t n)
    {
        std::uint8_t head[8];
        qToBigEndian<quint32>(quint32(n), head);
        std::memcpy(head + 4, type, 4);
        std::uint32_t crc = crc32(0, head + 4, 4);
        crc = crc32(crc, data, n);
        std::uint8_t tail[4];
        qToBigEndian<quint32>(crc, tail);
        return raw(head, 8) && (n == 0 || raw(data, qint64(n))) && raw(tail, 4);
    }

    bool chunk(const char type[4], const QByteArray& data)
    {
        return chunk(type, reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size()));
    }

private:
    QIODevice& device_;
    bool ok_ = true;
};

QByteArray be32(quint32 v)
{
    QByteArray b(4, '\0');
    qToBigEndian<quint32>(v, b.data());
    return b;
}

bool writeMetadata(const QImage& image, ChunkWriter& out)
{
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        QByteArray phys = be32(quint32(image.dotsPerMeterX())) + be32(quint32(image.dotsPerMeterY()));
        phys.append(char(1));  // unit: metre
        if (!out.chunk("pHYs", phys)) return false;
    }
    if (image.colorSpace().isValid()) {
        const QByteArray profile = image.colorSpace().iccProfile();
        if (!profile.isEmpty()) {
            // qCompress puts a 4-byte length before the zlib stream.
            const QByteArray compressed = qCompress(profile, 9).mid(4);
            if (!out.chunk("iCCP", QByteArray("ICC Profile", 12) + char(0) + compressed)) return false;
        }
    }
    for (const QString& key : image.textKeys()) {
        const QByteArray keyword = key.toLatin1();
        if (keyword.isEmpty() || keyword.size() > 79 || QString::fromLatin1(keyword) != key) continue;
        const QString value = image.text(key);
        const QByteArray latin = value.toLatin1();
        if (QString::fromLatin1(latin) == value) {
            if (!out.chunk("tEXt", keyword + char(0) + latin)) return false;
        } else {
            // Uncompressed international text, no language tag or translated keyword.
            QByteArray itxt = keyword;
            itxt.append(char(0)).append(char(0)).append(char(0)).append(char(0)).append(char(0));
            if (!out.chunk("iTXt", itxt + value.toUtf8())) return false;
        }
    }
    return true;
}

constexpr std::size_t maxIdat = std::size_t(1) << 30;

}  // namespace

bool handlesDirectly(QImage::Format format) { return layoutFor(format).pack != nullptr; }

bool write(const QImage& source, QIODevice& device)
{
    if (source.isNull()) return false;
    switch (source.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8: return false;
    default: break;
    }
    QImage image = source;
    if (!handlesDirectly(image.format())) {
        // Keep more than 8 bits per channel where the format has them.
        const bool deep = image.depth() > 32 || image.pixelFormat().redSize() > 8;
        const QImage::Format to = deep ? (image.hasAlphaChannel() ? QImage::Format_RGBA64 : QImage::Format_RGBX64)
                                       : (image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        image = image.convertToFormat(to);
        if (image.isNull()) return false;
    }
    const Layout layout = layoutFor(image.format());

    const int height = image.height();
    const std::uint64_t rawBytes =
        std::uint64_t(height) * (1 + std::uint64_t(image.width()) * std::uint64_t(layout.bytesPerPixel));
    // Bands of a few megabytes each, shared out to the cores; every band gets some rows.
    const int bandCount = int(std::clamp<std::uint64_t>(
        std::min<std::uint64_t>(rawBytes / (6u << 20), std::uint64_t(std::max(1, height / 8))), 1, 64));

    std::vector<Band> bands(static_cast<std::size_t>(bandCount));
    for (int b = 0; b < bandCount; ++b) {
        Band& band = bands[std::size_t(b)];
        band.firstRow = int(std::int64_t(height) * b / bandCount);
        band.endRow = int(std::int64_t(height) * (b + 1) / bandCount);
        band.first = b == 0;
        band.last = b + 1 == bandCount;
    }
    WorkSharing::run(bandCount, 7, [&](int b) { encodeBand(image, layout, bands[std::size_t(b)]); });

    std::uint32_t adler = 1;
    for (const Band& band : bands) {
        if (!band.ok) return false;
        adler = adler32Combine(adler, band.adler, band.rawBytes);
    }

    ChunkWriter out(device);
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!out.raw(signature, 8)) return false;
    QByteArray ihdr = be32(quint32(image.width())) + be32(quint32(height));
    ihdr.append(char(layout.bitDepth)).append(char(layout.colorType));
    ihdr.append(char(0)).append(char(0)).append(char(0));  // deflate, adaptive filters, no interlace
    if (!out.chunk("IHDR", ihdr)) return false;
    if (!writeMetadata(image, out)) return false;
    for (const Band& band : bands) {
        for (std::size_t at = 0; at < band.size; at += maxIdat)
            if (!out.chunk("IDAT", band.data.get() + at, std::min(maxIdat, band.size - at))) return false;
    }
    std::uint8_t trailer[4];
    qToBigEndian<quint32>(adler, trailer);
    if (!out.chunk("IDAT", trailer, 4)) return false;
    return out.chunk("IEND", nullptr, 0);
}

}  // namespace PngEncoder
