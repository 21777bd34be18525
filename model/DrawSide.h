#pragma once

#include <QString>

#include <optional>

// The side given to newly drawn regions.
enum class DrawSide { front, back };

inline QString toText(DrawSide side) { return side == DrawSide::front ? "front" : "back"; }

inline std::optional<DrawSide> drawSideFromText(const QString& text)
{
    if (text == "front") return DrawSide::front;
    if (text == "back") return DrawSide::back;
    return std::nullopt;
}
