#pragma once

#include <QString>

#include <array>
#include <optional>

enum class ColorMode { color, gray, blackWhite };

inline constexpr std::array<ColorMode, 3> allColorModes{ColorMode::color, ColorMode::gray, ColorMode::blackWhite};

// "color", "gray", "blackWhite": the text form, also the mode's identity in lists.
QString toText(ColorMode mode);
// "Color", "Grayscale", "B & W".
QString label(ColorMode mode);
// Only the exact lower-camel text forms parse.
std::optional<ColorMode> colorModeFromText(const QString& text);

// The parameters of one scan request.
struct ScanSettings {
    int dpi = 300;
    ColorMode colorMode = ColorMode::color;
    int bitDepth = 8;  // bits per channel

    friend bool operator==(const ScanSettings&, const ScanSettings&) = default;
};
