#include "ui/SoftShadow.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace SoftShadow {
namespace {

constexpr double workScale = 0.5;

// One running-mean pass of width 2r+1 along each row (`stride` 1) or column.
void boxPass(std::uint8_t* data, int count, int length, int step, int stride, int r)
{
    std::vector<int> line(static_cast<std::size_t>(length));
    const int width = 2 * r + 1;
    for (int k = 0; k < count; ++k) {
        std::uint8_t* base = data + static_cast<std::ptrdiff_t>(k) * stride;
        for (int i = 0; i < length; ++i) line[std::size_t(i)] = base[static_cast<std::ptrdiff_t>(i) * step];
        const auto at = [&](int i) { return i < 0 || i >= length ? 0 : line[std::size_t(i)]; };
        int sum = 0;
        for (int i = -r; i <= r; ++i) sum += at(i);
        for (int i = 0; i < length; ++i) {
            base[static_cast<std::ptrdiff_t>(i) * step] = static_cast<std::uint8_t>((sum + width / 2) / width);
            sum += at(i + r + 1) - at(i - r);
        }
    }
}

}  // namespace

double margin(double radius) { return 1.5 * radius; }

QImage make(QSizeF size, double radius)
{
    const double m = margin(radius);
    const QSize work = (QSizeF(size.width() + 2 * m, size.height() + 2 * m) * workScale).toSize();
    if (work.isEmpty()) return {};
    QImage mask(work, QImage::Format_Alpha8);
    mask.fill(0);
    const QRect solid = QRectF(m * workScale, m * workScale, size.width() * workScale, size.height() * workScale).toRect();
    for (int y = std::max(0, solid.top()); y <= std::min(work.height() - 1, solid.bottom()); ++y) {
        std::uint8_t* row = mask.scanLine(y);
        std::fill(row + std::max(0, solid.left()), row + std::min(work.width(), solid.right() + 1), 255);
    }
    // Three box passes come close to a Gaussian whose deviation is half the radius.
    const double sigma = radius / 2 * workScale;
    const int r = std::max(1, static_cast<int>(std::lround((std::sqrt(4 * sigma * sigma + 1) - 1) / 2)));
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(mask.bits(), work.height(), work.width(), 1, static_cast<int>(mask.bytesPerLine()), r);
        boxPass(mask.bits(), work.width(), work.height(), static_cast<int>(mask.bytesPerLine()), 1, r);
    }
    return mask;
}

}  // namespace SoftShadow
