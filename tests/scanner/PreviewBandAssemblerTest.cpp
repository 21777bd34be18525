#include "ScriptedDevice.h"
#include "scanner/PreviewBandAssembler.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

QRgb expected(int x, int y)
{
    return qRgb(x % 256, y % 256, 7);
}

}  // namespace

TEST(PreviewBandAssembler, outOfOrderAndOverlappingBandsCompleteOnceEveryRowIsIn)
{
    auto a = PreviewBandAssembler::create(rgbBand(5, 10, 6, 4));
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->add(rgbBand(5, 10, 6, 4)));
    EXPECT_TRUE(a->add(rgbBand(5, 10, 4, 4)));  // overlaps rows 6 and 7
    EXPECT_EQ(a->receivedRowCount(), 6);
    EXPECT_TRUE(a->add(rgbBand(5, 10, 4, 4)));  // again: counted once
    EXPECT_EQ(a->receivedRowCount(), 6);
    EXPECT_FALSE(a->isComplete());
    EXPECT_TRUE(a->add(rgbBand(5, 10, 0, 4)));
    EXPECT_TRUE(a->isComplete());

    const QImage image = a->makeImage();
    ASSERT_EQ(image.size(), QSize(5, 10));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 5; ++x) ASSERT_EQ(image.pixel(x, y), expected(x, y)) << x << "," << y;
}

TEST(PreviewBandAssembler, onlyWholeRowsOfAShortBufferCount)
{
    auto a = PreviewBandAssembler::create(rgbBand(4, 6, 0, 3));
    ASSERT_TRUE(a);
    BandData band = rgbBand(4, 6, 0, 3);
    band.dataBuffer.chop(5);  // two whole rows and part of the third
    EXPECT_TRUE(a->add(band));
    EXPECT_EQ(a->receivedRowCount(), 2);
    BandData tiny = rgbBand(4, 6, 2, 1);
    tiny.dataBuffer.chop(1);  // not even one whole row
    EXPECT_FALSE(a->add(tiny));
    EXPECT_EQ(a->receivedRowCount(), 2);
}

TEST(PreviewBandAssembler, rowsBeyondTheImageAreClippedOrDropped)
{
    auto a = PreviewBandAssembler::create(rgbBand(4, 6, 0, 1));
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->add(rgbBand(4, 6, 4, 5)));  // only rows 4 and 5 lie inside
    EXPECT_EQ(a->receivedRowCount(), 2);
    EXPECT_FALSE(a->add(rgbBand(4, 6, 6, 2)));
    BandData negative = rgbBand(4, 6, -2, 2);
    EXPECT_TRUE(a->add(negative));  // starts at 0: the rows are taken from the top
    EXPECT_EQ(a->receivedRowCount(), 4);
}

TEST(PreviewBandAssembler, bandsThatDoNotFitAreDroppedAndBadFirstBandsCreateNothing)
{
    const auto changed = [](std::function<void(BandData&)> change) {
        BandData b = rgbBand(4, 6, 0, 2);
        change(b);
        return b;
    };
    const BandData misfits[] = {
        rgbBand(5, 6, 0, 2), rgbBand(4, 7, 0, 2), rgbBand(4, 6, 0, 2, 4),  // other width, height, row padding
        changed([](BandData& b) { b.bitsPerPixel = 32; }),
        changed([](BandData& b) { b.hasData = false; }),
    };
    auto a = PreviewBandAssembler::create(rgbBand(4, 6, 0, 1));
    ASSERT_TRUE(a);
    for (const BandData& band : misfits) EXPECT_FALSE(a->add(band));
    EXPECT_EQ(a->receivedRowCount(), 0);

    const BandData badFirsts[] = {
        changed([](BandData& b) { b.numComponents = 2, b.bitsPerPixel = 16; }),
        changed([](BandData& b) { b.bitsPerPixel = 48; }),  // 16 bits a component
        rgbBand(0, 6, 0, 2),
        changed([](BandData& b) { b.bytesPerRow = 5; }),  // shorter than its pixels
    };
    for (const BandData& band : badFirsts) EXPECT_FALSE(PreviewBandAssembler::create(band));
}

TEST(PreviewBandAssembler, grayAndPaddedFourComponentImages)
{
    // One band of the whole image, `components` of 8 bits each.
    const auto whole = [](int width, int height, int bytesPerRow, int components, const char* data) {
        BandData b;
        b.fullImageWidth = width;
        b.fullImageHeight = b.dataNumRows = height;
        b.bytesPerRow = bytesPerRow;
        b.bitsPerPixel = 8 * std::max(1, components);
        b.numComponents = components;
        b.hasData = true;
        b.dataBuffer = QByteArray(data, bytesPerRow * height);
        return b;
    };
    const BandData gray = whole(3, 2, 4, 0, "\x10\x20\x30\x00\x40\x50\x60\x00");  // no components: raised to 1
    auto g = PreviewBandAssembler::create(gray);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->numComponents(), 1);
    ASSERT_TRUE(g->add(gray));
    const QImage gi = g->makeImage();
    EXPECT_EQ(gi.format(), QImage::Format_Grayscale8);
    EXPECT_EQ(qGray(gi.pixel(2, 1)), 0x60);

    const BandData rgbx = whole(2, 1, 8, 4, "\x01\x02\x03\x99\x04\x05\x06\x00");
    auto x = PreviewBandAssembler::create(rgbx);
    ASSERT_TRUE(x);
    ASSERT_TRUE(x->add(rgbx));
    const QImage xi = x->makeImage();
    EXPECT_EQ(xi.pixel(0, 0), qRgb(1, 2, 3));  // the fourth byte is not alpha
    EXPECT_EQ(xi.pixel(1, 0), qRgb(4, 5, 6));
}
