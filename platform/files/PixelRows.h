#pragma once

// Rows of 32-bit pixels (0xffRRGGBB, as QImage's RGB32 keeps them) turned into 24-bit RGB bytes.

#include <QtGlobal>

#include <cstdint>

namespace PixelRows {

inline void rgb32ToRgb(const uchar* line, int width, uchar* out)
{
    for (int x = 0; x < width; ++x, out += 3, line += 4) {
        const std::uint32_t p = std::uint32_t(line[0]) | std::uint32_t(line[1]) << 8 | std::uint32_t(line[2]) << 16 |
                                std::uint32_t(line[3]) << 24;
        out[0] = uchar(p >> 16);
        out[1] = uchar(p >> 8);
        out[2] = uchar(p);
    }
}

}  // namespace PixelRows
