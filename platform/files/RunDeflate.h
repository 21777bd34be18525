#pragma once

// Deflate for filtered image rows, built for speed on the master scan: each block of 128 KiB
// gets a dynamic Huffman code of its literals and of byte runs (distance 1), the only
// matches looked for; a block that would not get smaller is stored instead. zlib at its
// fastest, with runs only, takes three to four times as long for the same size.
//
// Pieces compressed apart can be joined into one stream: every piece but the last ends on a
// byte boundary, and none refers back into an earlier piece.

#include <cstddef>
#include <cstdint>

namespace RunDeflate {

// The most bytes compress() writes for n bytes.
std::size_t bound(std::size_t n);

// Writes `data` as deflate blocks (no zlib header or checksum) to `out`, which has room for
// bound(n) bytes, and returns how many were written. With `final` the last block ends the
// stream; otherwise an empty stored block ends the piece on a byte boundary.
std::size_t compress(const std::uint8_t* data, std::size_t n, bool final, std::uint8_t* out);

}  // namespace RunDeflate
