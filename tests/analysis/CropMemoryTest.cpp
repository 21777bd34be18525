// The memory kept between cut-out prints: reused only once no image holds it.

#include "analysis/CropMemory.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

std::uintptr_t address(const QImage& image) { return reinterpret_cast<std::uintptr_t>(image.constBits()); }

TEST(CropMemory, ABlockIsReusedOnlyAfterItsLastImageIsGone)
{
    const QSize size(300, 200);
    QImage a = CropMemory::image(size, QImage::Format_ARGB32_Premultiplied);
    ASSERT_FALSE(a.isNull());
    a.fill(Qt::red);  // every byte is ours to write
    const std::uintptr_t first = address(a);
    QImage copy = a;
    a = QImage();
    const std::size_t before = CropMemory::reuses();
    QImage b = CropMemory::image(size, QImage::Format_ARGB32_Premultiplied);
    EXPECT_NE(address(b), first) << "a copy of the first image still holds its memory";
    EXPECT_EQ(copy.pixelColor(299, 199), QColor(Qt::red));
    copy = QImage();
    b = QImage();

    // Both gone: the next image, smaller, gets one of their blocks.
    const QImage smaller = CropMemory::image(QSize(200, 100), QImage::Format_RGB32);
    EXPECT_EQ(CropMemory::reuses(), before + 1);
    EXPECT_EQ(smaller.bytesPerLine(), 800);
    EXPECT_EQ(address(smaller) % 64, 0u);

    EXPECT_TRUE(CropMemory::image(QSize(0, 10), QImage::Format_RGB32).isNull());
    EXPECT_TRUE(CropMemory::image(QSize(10, 10), QImage::Format_RGBA64).isNull());
}

}  // namespace
