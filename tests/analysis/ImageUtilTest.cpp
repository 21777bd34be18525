// ImageUtil: the crop that straightens a print, the preview composite, and the files they
// end up in.

#include "analysis/ImageUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>

#include "support/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>


namespace {

constexpr double pi = std::numbers::pi;

// Random pixels; translucent ones are not premultiplied, fully transparent and opaque ones among them.
QImage noise(int w, int h, quint32 seed, bool translucent = false)
{
    QImage img(w, h, translucent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const quint32 r = rng();
            const int a = !translucent || (r & 3) == 1 ? 255 : (r & 3) == 0 ? 0 : int(r >> 24);
            line[x] = qRgba(int(r & 0xFF), int((r >> 8) & 0xFF), int((r >> 16) & 0xFF), a);
        }
    }
    return img;
}

// A smooth picture with some flat stretches, as a scan would have.
QImage gradient(int w, int h, QImage::Format format = QImage::Format_RGB32)
{
    QImage img(w, h, QImage::Format_RGB32);
    std::mt19937 rng(7);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            if (x < w / 5) {
                line[x] = qRgb(250, 250, 250);
                continue;
            }
            const int n = int(rng() % 5) - 2;
            line[x] = qRgb(std::clamp(x * 255 / w + n, 0, 255), std::clamp(y * 255 / h + n, 0, 255),
                           std::clamp((x + y) * 255 / (w + h) - n, 0, 255));
        }
    }
    return img.convertToFormat(format);
}

// First pixel where two images differ, for a readable failure.
::testing::AssertionResult samePixels(const QImage& actual, const QImage& expected)
{
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure() << "size " << actual.width() << "x" << actual.height() << ", expected "
                                             << expected.width() << "x" << expected.height();
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage e = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != e.pixel(x, y))
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex
                                                     << a.pixel(x, y) << ", expected " << e.pixel(x, y);
    return ::testing::AssertionSuccess();
}

// ---- extractRotated ---------------------------------------------------------------------

TEST(ExtractRotated, UnturnedCropOnWholePixelsIsTheExactCrop)
{
    const QImage opaque = noise(97, 61, 1);
    const QImage translucent = noise(97, 61, 2, true).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // Inside, and flush with each edge of the source.
    for (const QRect r : {QRect(10, 7, 40, 30), QRect(0, 0, 97, 61), QRect(57, 31, 40, 30), QRect(0, 40, 13, 21),
                          QRect(96, 60, 1, 1)}) {
        for (const QImage& source : {opaque, translucent}) {
            const QImage crop = ImageUtil::extractRotated(source, QRectF(r).center(), QSizeF(r.size()), 0.0);
            ASSERT_EQ(crop.format(), QImage::Format_ARGB32_Premultiplied);
            EXPECT_TRUE(samePixels(crop, source.copy(r))) << "rect " << r.x() << "," << r.y() << " " << r.width()
                                                         << "x" << r.height();
        }
    }
}

TEST(ExtractRotated, UndoesAPainterTurnAtAnyAngle)
{
    QImage upright(120, 80, QImage::Format_RGB32);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x) upright.setPixel(x, y, qRgb(2 * x, 3 * y, 100 - x / 2 + y));
    for (const double degrees : {3.0, 25.0, -40.0, 90.0, 137.0}) {
        QImage bed(300, 300, QImage::Format_RGB32);
        bed.fill(qRgb(20, 20, 20));
        const QPointF center(151.3, 148.6);
        {
            QPainter p(&bed);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.translate(center);
            p.rotate(degrees);  // clockwise on screen
            p.drawImage(QPointF(-60, -40), upright);
        }
        const QImage crop = ImageUtil::extractRotated(bed, center, QSizeF(120, 80), degrees * pi / 180);
        ASSERT_EQ(crop.size(), upright.size());
        int worst = 0;
        for (int y = 3; y < 77; ++y)
            for (int x = 3; x < 117; ++x) {
                const QRgb a = crop.pixel(x, y), e = upright.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(a) - qRed(e)), std::abs(qGreen(a) - qGreen(e)),
                                  std::abs(qBlue(a) - qBlue(e))});
            }
        EXPECT_LE(worst, 4) << degrees << "°";
    }
}

TEST(ExtractRotated, CropPastTheEdgeKeepsItsSizeWithTransparentMargins)
{
    const QImage source = noise(100, 80, 3);
    // Columns 0..14 read whole source pixels, the rest nothing.
    const QImage crop = ImageUtil::extractRotated(source, QPointF(95, 40), QSizeF(20, 10), 0.0);
    ASSERT_EQ(crop.size(), QSize(20, 10));
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x <= 14; ++x) ASSERT_EQ(crop.pixel(x, y), source.pixel(85 + x, 35 + y)) << x << "," << y;
        for (int x = 15; x < 20; ++x) ASSERT_EQ(crop.pixel(x, y), 0u) << x << "," << y;
    }
    // Half a pixel further, column 14 straddles the edge: half covered.
    const QImage straddling = ImageUtil::extractRotated(source, QPointF(95.5, 40), QSizeF(20, 10), 0.0);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x <= 13; ++x) ASSERT_EQ(qAlpha(straddling.pixel(x, y)), 255) << x << "," << y;
        const QRgb half = straddling.pixel(14, y);
        EXPECT_EQ(qAlpha(half), 128);
        EXPECT_LE(std::max({qRed(half), qGreen(half), qBlue(half)}), 128);
        for (int x = 15; x < 20; ++x) ASSERT_EQ(straddling.pixel(x, y), 0u) << x << "," << y;
    }

    // Turned, over a corner: opaque well inside, nothing well outside, valid premultiplied
    // pixels along the edge.
    const QImage corner = ImageUtil::extractRotated(source, QPointF(0, 0), QSizeF(60, 40), 0.3);
    ASSERT_EQ(corner.size(), QSize(60, 40));
    int opaque = 0, clear = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) {
            const QRgb c = corner.pixel(x, y);
            ASSERT_LE(std::max({qRed(c), qGreen(c), qBlue(c)}), qAlpha(c));
            opaque += qAlpha(c) == 255;
            clear += qAlpha(c) == 0;
        }
    EXPECT_EQ(qAlpha(corner.pixel(0, 0)), 0);       // far up and left of the source
    EXPECT_EQ(qAlpha(corner.pixel(59, 39)), 255);   // about (29, 28) on the source
    EXPECT_GT(opaque, 60 * 40 / 5);
    EXPECT_GT(clear, 60 * 40 / 2);

    const QImage away = ImageUtil::extractRotated(source, QPointF(-500, -500), QSizeF(30, 20), 0.1);
    ASSERT_EQ(away.size(), QSize(30, 20));
    EXPECT_TRUE(samePixels(away, [] { QImage i(30, 20, QImage::Format_ARGB32_Premultiplied); i.fill(0); return i; }()));
}

TEST(ExtractRotated, EverySourceFormatGivesTheSamePixels)
{
    // An odd width, so that 8- and 24-bit rows end in padding.
    const QImage rgb = noise(701, 150, 5);
    const QImage gray = rgb.convertToFormat(QImage::Format_Grayscale8);
    const QImage argb = noise(701, 150, 6, true);
    struct Case {
        const char* name;
        QImage source, reference;
    };
    const Case cases[] = {
        {"RGB888", rgb.convertToFormat(QImage::Format_RGB888), rgb},
        {"RGBX64", rgb.convertToFormat(QImage::Format_RGBX64), rgb},
        {"Grayscale8", gray, gray.convertToFormat(QImage::Format_RGB32)},
        {"Grayscale16", gray.convertToFormat(QImage::Format_Grayscale16), gray.convertToFormat(QImage::Format_RGB32)},
        {"ARGB32", argb, argb.convertToFormat(QImage::Format_ARGB32_Premultiplied)},
        {"RGBA64", argb.convertToFormat(QImage::Format_RGBA64),
         argb.convertToFormat(QImage::Format_RGBA64).convertToFormat(QImage::Format_ARGB32_Premultiplied)},
        {"Indexed8", rgb.convertToFormat(QImage::Format_Indexed8), rgb.convertToFormat(QImage::Format_Indexed8).convertToFormat(QImage::Format_RGB32)},
        {"Mono", gray.convertToFormat(QImage::Format_Mono), gray.convertToFormat(QImage::Format_Mono).convertToFormat(QImage::Format_RGB32)},
    };
    struct Crop {
        QPointF center;
        QSizeF size;
    };
    // Across the bottom-right corner, so edges count too; and wide, turned both ways by
    // small and large angles.
    const Crop crops[] = {{{680.3, 135.8}, {50, 40}}, {{350.5, 75.2}, {640, 60}}};
    for (const Case& c : cases) {
        ASSERT_FALSE(c.source.isNull()) << c.name;
        for (const Crop& crop : crops)
            for (const double angle : {0.0, 0.05, -0.05, 0.12, -1.1, 2.0}) {
                const QImage out = ImageUtil::extractRotated(c.source, crop.center, crop.size, angle);
                const QImage expected = ImageUtil::extractRotated(c.reference, crop.center, crop.size, angle);
                EXPECT_TRUE(samePixels(out, expected)) << c.name << " at " << angle << ", " << crop.size.width() << " wide";
            }
    }
}

TEST(ExtractRotated, LargeCropSplitAcrossThreadsMatchesRowByRow)
{
    // Large enough to be cut into bands; each row alone must come out the same.
    const QImage source = noise(900, 700, 8);
    const QPointF center(430.2, 361.7);
    const double angle = 0.07;
    const QImage crop = ImageUtil::extractRotated(source, center, QSizeF(800, 600), angle);
    ASSERT_EQ(crop.size(), QSize(800, 600));
    for (const int row : {0, 150, 299, 300, 301, 599}) {
        // The row `row` alone: a one-row crop centred on that row's centre line.
        const double ly = row + 0.5 - 300;
        const QPointF rowCenter(center.x() - ly * std::sin(angle), center.y() + ly * std::cos(angle));
        const QImage line = ImageUtil::extractRotated(source, rowCenter, QSizeF(800, 1), angle);
        int differing = 0;
        for (int x = 0; x < 800; ++x) {
            const QRgb a = crop.pixel(x, row), b = line.pixel(x, 0);
            // Positions agree to rounding of the last fraction bit; the weights may step
            // differently by one in a few places.
            if (std::abs(qRed(a) - qRed(b)) > 1 || std::abs(qGreen(a) - qGreen(b)) > 1 || std::abs(qBlue(a) - qBlue(b)) > 1)
                ++differing;
        }
        EXPECT_LT(differing, 8) << "row " << row;
    }
}

// ---- composite --------------------------------------------------------------------------

TEST(Composite, DrawsThePatchWhereTheInchesSay)
{
    // 8.5 × 11 in at 50 pixels an inch across and 75 down: the patch covers x 50..199, y 150..262.
    QImage bedImage(425, 825, QImage::Format_RGB32);
    bedImage.fill(qRgb(200, 200, 200));
    QImage patch(60, 30, QImage::Format_RGB32);
    patch.fill(Qt::red);
    const QImage out = ImageUtil::composite(patch, bedImage, QRectF(1, 2, 3, 1.5), QSizeF(8.5, 11));
    ASSERT_EQ(out.size(), bedImage.size());
    EXPECT_EQ(out.format(), QImage::Format_RGB32);
    for (const QPoint p : {QPoint(51, 151), QPoint(198, 261), QPoint(120, 200)}) EXPECT_EQ(out.pixel(p), qRgb(255, 0, 0)) << p.x() << "," << p.y();
    for (const QPoint p : {QPoint(48, 200), QPoint(202, 200), QPoint(120, 148), QPoint(120, 264)})
        EXPECT_EQ(out.pixel(p), qRgb(200, 200, 200)) << p.x() << "," << p.y();
    EXPECT_EQ(bedImage.pixel(120, 200), qRgb(200, 200, 200));  // the input is left alone
}

// ---- saveJPEG ---------------------------------------------------------------------------

struct Jfif {
    int units = -1, xDensity = -1, yDensity = -1;
};

// The density fields of the JFIF APP0 segment that must follow the start marker.
Jfif jfifOf(const QByteArray& jpeg)
{
    Jfif j;
    if (jpeg.size() < 18 || uchar(jpeg[0]) != 0xFF || uchar(jpeg[1]) != 0xD8 || uchar(jpeg[2]) != 0xFF
        || uchar(jpeg[3]) != 0xE0 || jpeg.mid(6, 5) != QByteArray("JFIF", 5))
        return j;
    const auto* p = reinterpret_cast<const uchar*>(jpeg.constData());
    j.units = p[13];
    j.xDensity = qFromBigEndian<quint16>(p + 14);
    j.yDensity = qFromBigEndian<quint16>(p + 16);
    return j;
}

TEST(SaveJPEG, EveryFormatKeepsItsColoursInMissingFoldersAtItsDensityInDotsPerInch)
{
    QTemporaryDir dir;
    QImage colour(48, 32, QImage::Format_RGB32);
    colour.fill(QColor(200, 60, 20));
    const QImage gray = colour.convertToFormat(QImage::Format_Grayscale8);
    const QRgb red = qRgb(200, 60, 20);
    const struct {
        const char* name;
        QImage image;
        QRgb expected;
        bool gray;
        int dpi;  // 254 is exactly 100 dots per centimetre, which Qt on its own would prefer
    } cases[] = {
        {"RGB32", colour, red, false, 600},
        {"ARGB32_Premultiplied", colour.convertToFormat(QImage::Format_ARGB32_Premultiplied), red, false, 254},
        {"RGB888", colour.convertToFormat(QImage::Format_RGB888), red, false, 75},
        {"RGBX64", colour.convertToFormat(QImage::Format_RGBX64), red, false, 300},
        {"Indexed8", colour.convertToFormat(QImage::Format_Indexed8), red, false, 300},
        {"Grayscale16", gray.convertToFormat(QImage::Format_Grayscale16), gray.pixel(0, 0), true, 300},
        {"gray Indexed8", gray.convertToFormat(QImage::Format_Indexed8), gray.pixel(0, 0), true, 300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString("Scans/%1/print.jpg").arg(c.name));
        ASSERT_TRUE(ImageUtil::saveJPEG(c.image, path, ImageUtil::defaultJPEGQuality, c.dpi));
        const Jfif j = jfifOf(readFile(path));
        EXPECT_EQ(j.units, 1);
        EXPECT_EQ(j.xDensity, c.dpi);
        EXPECT_EQ(j.yDensity, c.dpi);
        const QImage back = ImageUtil::loadCGImage(path);
        ASSERT_EQ(back.size(), c.image.size());
        EXPECT_EQ(back.format() == QImage::Format_Grayscale8, c.gray);
        const QRgb p = back.pixel(24, 16);
        EXPECT_NEAR(qRed(p), qRed(c.expected), 6);
        EXPECT_NEAR(qGreen(p), qGreen(c.expected), 6);
        EXPECT_NEAR(qBlue(p), qBlue(c.expected), 6);
        EXPECT_EQ(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden), QStringList{"print.jpg"});
    }
    EXPECT_EQ(colour.dotsPerMeterX(), QImage(1, 1, QImage::Format_RGB32).dotsPerMeterX());  // caller's image untouched
}

TEST(SaveJPEG, TransparencyBecomesBlack)
{
    // A crop hanging over the bed's edge: its transparent part.
    QTemporaryDir dir;
    QImage white(40, 40, QImage::Format_RGB32);
    white.fill(Qt::white);
    const QImage crop = ImageUtil::extractRotated(white, QPointF(40, 20), QSizeF(40, 40), 0);
    for (const QImage& image : {crop, crop.convertToFormat(QImage::Format_ARGB32)}) {
        ASSERT_TRUE(ImageUtil::saveJPEG(image, dir.filePath("edge.jpg"), 0.9, 300));
        const QImage back = ImageUtil::loadCGImage(dir.filePath("edge.jpg"));
        EXPECT_GT(qGray(back.pixel(5, 20)), 240);
        EXPECT_LT(qGray(back.pixel(35, 20)), 15);
    }
}

TEST(SaveJPEG, FailureLeavesWhatWasThere)
{
    QTemporaryDir dir;
    // A folder on the way is a file.
    ASSERT_TRUE(writeFile(dir.filePath("blocker"), "not a folder"));
    EXPECT_FALSE(ImageUtil::saveJPEG(gradient(64, 48), dir.filePath("blocker/print.jpg"), 0.9, 300));
    EXPECT_EQ(readFile(dir.filePath("blocker")), "not a folder");
    // Nothing to encode.
    const QString path = dir.filePath("print.jpg");
    ASSERT_TRUE(writeFile(path, "earlier version"));
    EXPECT_FALSE(ImageUtil::saveJPEG(QImage(), path, 0.9, 300));
    EXPECT_FALSE(ImageUtil::savePNG(QImage(), path));
    EXPECT_EQ(readFile(path), "earlier version");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"blocker", "print.jpg"}));
}

// ---- savePNG ----------------------------------------------------------------------------

// CRC-32 as PNG defines it, bit by bit.
quint32 plainCrc32(const QByteArray& bytes)
{
    quint32 c = 0xFFFFFFFFu;
    for (const char ch : bytes) {
        c ^= uchar(ch);
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return ~c;
}

// Checks what decoders may skip: every chunk's CRC, and that the IDAT data is one zlib
// stream (Adler-32 included) of exactly the filtered rows.
::testing::AssertionResult wellFormedPng(const QString& path, qint64 filteredBytes)
{
    const QByteArray file = readFile(path);
    if (!file.startsWith(QByteArray("\x89PNG\r\n\x1a\n", 8))) return ::testing::AssertionFailure() << "no signature";
    QByteArray idat;
    qsizetype at = 8;
    bool ended = false;
    while (at + 12 <= file.size()) {
        const quint32 length = qFromBigEndian<quint32>(file.constData() + at);
        if (at + 12 + qsizetype(length) > file.size()) return ::testing::AssertionFailure() << "chunk past the end";
        const QByteArray typeAndData = file.mid(at + 4, 4 + qsizetype(length));
        const quint32 crc = qFromBigEndian<quint32>(file.constData() + at + 8 + length);
        if (crc != plainCrc32(typeAndData))
            return ::testing::AssertionFailure() << "bad CRC on " << typeAndData.left(4).constData();
        if (typeAndData.startsWith("IDAT")) idat += typeAndData.mid(4);
        ended = typeAndData.startsWith("IEND");
        at += 12 + qsizetype(length);
    }
    if (!ended || at != file.size()) return ::testing::AssertionFailure() << "does not end with IEND";
    QByteArray sized(4, '\0');
    qToBigEndian<quint32>(quint32(filteredBytes), sized.data());
    const QByteArray rows = qUncompress(sized + idat);
    if (rows.size() != filteredBytes)
        return ::testing::AssertionFailure() << "IDAT inflates to " << rows.size() << " bytes, expected " << filteredBytes;
    return ::testing::AssertionSuccess();
}


TEST(SavePNG, RoundTripIsLossless)
{
    QTemporaryDir dir;
    const QImage rgb = noise(131, 77, 10);
    const QImage argb = noise(64, 65, 11, true);
    QImage deep(50, 40, QImage::Format_RGBA64);
    QImage deepGray(50, 40, QImage::Format_Grayscale16);
    std::mt19937 rng(12);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x) {
            deep.setPixelColor(x, y, QColor::fromRgba64(quint16(rng()), quint16(rng()), quint16(rng()), quint16(rng())));
            reinterpret_cast<quint16*>(deepGray.scanLine(y))[x] = quint16(rng());
        }
    QImage single(1, 1, QImage::Format_RGB32);
    single.fill(qRgb(1, 2, 3));
    struct Case {
        const char* name;
        QImage image;
        int bytesPerPixel;  // as stored in the file; 0: written by Qt
    };
    const Case cases[] = {
        {"RGB32 noise", rgb, 3},
        {"RGB32 scan", gradient(640, 480), 3},
        {"RGB32 one pixel", single, 3},
        {"ARGB32", argb, 4},
        {"ARGB32 premultiplied", argb.convertToFormat(QImage::Format_ARGB32_Premultiplied), 4},
        {"RGB888", rgb.convertToFormat(QImage::Format_RGB888), 3},
        {"Grayscale8", gradient(333, 101, QImage::Format_Grayscale8), 1},
        {"Grayscale16", deepGray, 2},
        {"RGBA64", deep, 8},
        {"RGBX64", rgb.convertToFormat(QImage::Format_RGBX64), 6},
        {"Indexed8", rgb.convertToFormat(QImage::Format_Indexed8), 0},
        {"Mono", rgb.convertToFormat(QImage::Format_Mono), 0},
        {"RGB16", gradient(70, 30, QImage::Format_RGB16), 3},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(QString("%1.png").arg(c.name));
        ASSERT_TRUE(ImageUtil::savePNG(c.image, path)) << c.name;
        if (c.bytesPerPixel) {
            EXPECT_TRUE(wellFormedPng(path, qint64(c.image.height()) * (1 + c.image.width() * c.bytesPerPixel))) << c.name;
        }
        const QImage back = ImageUtil::loadCGImage(path);
        ASSERT_FALSE(back.isNull()) << c.name;
        ASSERT_EQ(back.size(), c.image.size()) << c.name;
        if (c.image.format() == QImage::Format_RGBA64 || c.image.format() == QImage::Format_RGBX64
            || c.image.format() == QImage::Format_Grayscale16) {
            const QImage a = back.convertToFormat(c.image.format());
            int differing = 0;
            for (int y = 0; y < a.height(); ++y)
                differing += std::memcmp(a.constScanLine(y), c.image.constScanLine(y), size_t(a.width() * a.depth() / 8)) != 0;
            EXPECT_EQ(differing, 0) << c.name << ": rows differ";
        } else {
            EXPECT_TRUE(samePixels(back, c.image)) << c.name;
        }
    }
}

TEST(SavePNG, LargeImagesInBandsStayLossless)
{
    // Over ten megabytes: cut into bands deflated apart, with stored blocks for the random
    // part and runs for the flat part.
    QTemporaryDir dir;
    QImage image = gradient(2600, 1800);
    {
        QPainter p(&image);
        p.drawImage(1200, 300, noise(500, 900, 14));
        p.fillRect(100, 1300, 1800, 150, qRgb(10, 200, 30));
    }
    image.setDotsPerMeterX(23622);
    image.setDotsPerMeterY(11811);
    image.setText("Scanner", QString::fromUtf8("Bivara d\u00e9mo"));
    image.setText("Note", QString::fromUtf8("\u2192 \U0001F4F7"));
    const QString path = dir.filePath("master.png");
    ASSERT_TRUE(ImageUtil::savePNG(image, path));
    EXPECT_TRUE(wellFormedPng(path, 1800 * (1 + 2600 * 3)));
    const QImage back = ImageUtil::loadCGImage(path);
    EXPECT_TRUE(samePixels(back, image));
    EXPECT_EQ(back.dotsPerMeterX(), 23622);
    EXPECT_EQ(back.dotsPerMeterY(), 11811);
    EXPECT_EQ(back.text("Scanner"), image.text("Scanner"));
    EXPECT_EQ(back.text("Note"), image.text("Note"));
}

// ---- loading ----------------------------------------------------------------------------

TEST(LoadScan, LoadsAMasterBeyondQtsDefaultLimitOnlyAtItsExpectedSize)
{
    // A 1200-dpi bed: 10200×14040, which Qt counts as 573 MB and refuses by default.
    QTemporaryDir dir;
    const QString file = dir.filePath("master.png");
    {
        QImage master(10200, 14040, QImage::Format_Grayscale8);
        master.fill(235);
        for (int y = 7000; y < 7100; ++y) std::memset(master.scanLine(y) + 5000, 20, 300);
        ASSERT_TRUE(ImageUtil::savePNG(master, file));
    }
    EXPECT_TRUE(ImageUtil::loadScan(file, QSize(1020, 1404)).isNull()) << "a tenth of the area was scanned";
    EXPECT_TRUE(ImageUtil::loadScan(file, QSize(10200, 13000)).isNull());
    const QImage back = ImageUtil::loadScan(file, QSize(10190, 14050));  // the scanner's rounding
    ASSERT_EQ(back.size(), QSize(10200, 14040));
    EXPECT_EQ(qGray(back.pixel(100, 100)), 235);
    EXPECT_EQ(qGray(back.pixel(5100, 7050)), 20);
}

TEST(Thumbnail, FitsTheLongestSideNeverEnlargesAndGivesNullForNothing)
{
    QTemporaryDir dir;
    const QString big = dir.filePath("big.jpg"), tall = dir.filePath("tall.png"), small = dir.filePath("small.png");
    ASSERT_TRUE(ImageUtil::saveJPEG(gradient(3600, 2400), big, 0.9, 300));
    ASSERT_TRUE(ImageUtil::savePNG(gradient(300, 1000), tall));
    ASSERT_TRUE(ImageUtil::savePNG(gradient(100, 50), small));
    ASSERT_TRUE(writeFile(dir.filePath("garbage.jpg"), QByteArray(500, '\x7f')));
    EXPECT_EQ(ImageUtil::thumbnail(big, 320).size(), QSize(320, 213));
    EXPECT_EQ(ImageUtil::thumbnail(big, 1).size(), QSize(1, 1));
    EXPECT_EQ(ImageUtil::thumbnail(tall, 250).size(), QSize(75, 250));
    EXPECT_EQ(ImageUtil::thumbnail(small, 320).size(), QSize(100, 50));
    EXPECT_TRUE(ImageUtil::thumbnail(big, 0).isNull());
    EXPECT_TRUE(ImageUtil::thumbnail(big, -5).isNull());
    EXPECT_TRUE(ImageUtil::thumbnail(dir.filePath("missing.jpg"), 100).isNull());
    EXPECT_TRUE(ImageUtil::thumbnail(dir.filePath("garbage.jpg"), 100).isNull());
}

}  // namespace
