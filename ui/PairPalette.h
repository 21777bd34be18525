#pragma once

// The colours that tell pairs apart: a front and the back paired with it share one colour;
// grey marks a region or remembered front that pairs with nothing.

#include <QColor>

#include <array>
#include <optional>

namespace PairPalette {

inline constexpr int count = 12;

// The twelve pair colours, opaque sRGB.
const std::array<QColor, count>& colors();

// Grey, for anything unmatched.
QColor unpaired();

// The colour of a colour index; any integer selects an entry (a negative one wraps round),
// and no index gives `unpaired()`.
QColor color(std::optional<int> index);

}  // namespace PairPalette
