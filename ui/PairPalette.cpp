#include "ui/PairPalette.h"

namespace PairPalette {

const std::array<QColor, count>& colors()
{
    static const std::array<QColor, count> table = {
        QColor::fromRgbF(0.96f, 0.62f, 0.26f), QColor::fromRgbF(0.37f, 0.83f, 0.95f),
        QColor::fromRgbF(0.71f, 0.55f, 0.96f), QColor::fromRgbF(0.45f, 0.89f, 0.62f),
        QColor::fromRgbF(0.96f, 0.44f, 0.56f), QColor::fromRgbF(0.96f, 0.81f, 0.32f),
        QColor::fromRgbF(0.51f, 0.67f, 0.96f), QColor::fromRgbF(0.96f, 0.55f, 0.37f),
        QColor::fromRgbF(0.43f, 0.86f, 0.78f), QColor::fromRgbF(0.89f, 0.51f, 0.89f),
        QColor::fromRgbF(0.79f, 0.88f, 0.45f), QColor::fromRgbF(0.96f, 0.38f, 0.38f),
    };
    return table;
}

QColor unpaired() { return QColor::fromRgbF(0.55f, 0.55f, 0.55f); }

QColor color(std::optional<int> index)
{
    if (!index) return unpaired();
    return colors()[static_cast<std::size_t>(((*index % count) + count) % count)];
}

}  // namespace PairPalette
