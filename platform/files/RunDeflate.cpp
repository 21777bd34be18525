#include "platform/files/RunDeflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

namespace RunDeflate {
namespace {

inline std::uint32_t load32le(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
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

// Blocks of this many bytes: each gets a Huffman code fitted to its own bytes.
constexpr std::size_t blockTarget = 128 * 1024;

}  // namespace

std::size_t bound(std::size_t n)
{
    const std::size_t blocks = std::max<std::size_t>(1, (n + blockTarget - 1) / blockTarget);
    return blocks * blockBound(blockTarget) + 32;  // + the closing empty block and BitWriter's slack
}

std::size_t compress(const std::uint8_t* data, std::size_t n, bool final, std::uint8_t* out)
{
    BitWriter w(out);
    Scratch scratch;
    for (std::size_t at = 0; at < n; at += blockTarget) {
        const std::size_t length = std::min(blockTarget, n - at);
        writeBlock(w, data + at, length, final && at + length == n, scratch);
    }
    if (final && n == 0) writeStored(w, data, 0, true);
    if (!final) {
        // An empty stored block brings the data to a byte boundary, so that the next piece's
        // blocks can follow directly.
        w.put(0, 3);
        w.alignToByte();
        const std::uint8_t empty[4] = {0x00, 0x00, 0xFF, 0xFF};
        w.putBytes(empty, 4);
    } else {
        w.alignToByte();
    }
    return std::size_t(w.position() - out);
}

}  // namespace RunDeflate
