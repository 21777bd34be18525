#pragma once

#include <cstdint>

// Packed 0xAARRGGBB pixels worked on two channels at a time: 0x00RR00BB and 0x00AA00GG lanes,
// each 16 bits wide, so that a channel times 256 still fits its lane.
inline constexpr std::uint32_t pixelLanes = 0x00FF00FFu;
// Half of 256 in each lane: added before the final shift, it rounds instead of truncating.
inline constexpr std::uint32_t pixelLanesHalf = 0x00800080u;

// a·(256 − w) + b·w over 256 on every channel, w in 0..256; `bias` is 0 (truncate) or
// pixelLanesHalf (round to nearest).
inline std::uint32_t mixPixels(std::uint32_t a, std::uint32_t b, std::uint32_t w, std::uint32_t bias)
{
    const std::uint32_t v = 256 - w;
    const std::uint32_t low = (((a & pixelLanes) * v + (b & pixelLanes) * w + bias) >> 8) & pixelLanes;
    const std::uint32_t high = (((a >> 8) & pixelLanes) * v + ((b >> 8) & pixelLanes) * w + bias) & ~pixelLanes;
    return high | low;
}
