#pragma once

// Small value types shared by every image-capture device: functional unit types, pixel data
// types, transfer modes, and the error a device reports with its own text.

#include <QString>

namespace UnitType {
inline constexpr int flatbed = 0;
inline constexpr int positiveTransparency = 1;
inline constexpr int negativeTransparency = 2;
inline constexpr int documentFeeder = 3;
}  // namespace UnitType

namespace PixelDataType {
inline constexpr int blackWhite = 0;
inline constexpr int gray = 1;
inline constexpr int rgb = 2;
}  // namespace PixelDataType

enum class TransferMode { file = 0, memory = 1 };

// A failure reported by a device, with the device's (or its driver's) own words.
struct CaptureError {
    QString description;

    friend bool operator==(const CaptureError&, const CaptureError&) = default;
};
