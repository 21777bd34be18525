#include "model/ScanSettings.h"

QString toText(ColorMode mode)
{
    switch (mode) {
    case ColorMode::color: return "color";
    case ColorMode::gray: return "gray";
    case ColorMode::blackWhite: return "blackWhite";
    }
    return {};
}

QString label(ColorMode mode)
{
    switch (mode) {
    case ColorMode::color: return "Color";
    case ColorMode::gray: return "Grayscale";
    case ColorMode::blackWhite: return "B & W";
    }
    return {};
}

std::optional<ColorMode> colorModeFromText(const QString& text)
{
    for (ColorMode mode : allColorModes)
        if (toText(mode) == text) return mode;
    return std::nullopt;
}
