// The generic rectangle detector on drawn pictures.

#include "platform/vision/RectangleDetector.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr int W = 600;
constexpr int H = 800;

QImage canvas()
{
    QImage image(W, H, QImage::Format_RGB32);
    image.fill(QColor(235, 235, 230));
    return image;
}

// A filled rectangle of `size` pixels centred at `centre`, turned clockwise by `degrees`.
void drawRect(QImage& image, QPointF centre, QSizeF size, double degrees, QColor colour = QColor(60, 70, 90))
{
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.translate(centre);
    p.rotate(degrees);
    p.drawRect(QRectF(-size.width() / 2, -size.height() / 2, size.width(), size.height()));
}

// Pixels to the detector's normalised frame: origin at the bottom-left, y up.
QPointF normalised(QPointF px) { return QPointF(px.x() / W, 1.0 - px.y() / H); }

QPointF turned(QPointF centre, double dx, double dy, double degrees)
{
    const double a = degrees * std::numbers::pi / 180;
    return centre + QPointF(dx * std::cos(a) - dy * std::sin(a), dx * std::sin(a) + dy * std::cos(a));
}

void expectNear(QPointF got, QPointF want, double tol)
{
    EXPECT_NEAR(got.x(), want.x(), tol);
    EXPECT_NEAR(got.y(), want.y(), tol);
}

}  // namespace

TEST(RectangleDetector, TurnedRectangleComesBackCornerByCornerAtAnyPictureSize)
{
    const QPointF c(280, 420);
    const double degrees = 12;
    for (const int scale : {1, 4}) {
        QImage image(W * scale, H * scale, QImage::Format_RGB32);
        image.fill(QColor(235, 235, 230));
        drawRect(image, c * scale, QSizeF(300, 200) * scale, degrees);
        const auto found = Vision::detectRectangles(image);
        ASSERT_FALSE(found.empty()) << scale;
        const auto& o = found.front();
        const double tol = 4.0 / W;  // a few pixels
        expectNear(o.topLeft, normalised(turned(c, -150, -100, degrees)), tol);
        expectNear(o.topRight, normalised(turned(c, 150, -100, degrees)), tol);
        expectNear(o.bottomRight, normalised(turned(c, 150, 100, degrees)), tol);
        expectNear(o.bottomLeft, normalised(turned(c, -150, 100, degrees)), tol);
        EXPECT_GT(o.confidence, 0.9);
        EXPECT_LE(o.confidence, 1.0);
        for (const auto& other : found) EXPECT_GE(other.confidence, 0.25);
    }
}

TEST(RectangleDetector, ShapesOutsideTheRequestAndEmptyPicturesGiveNothing)
{
    QImage tiny = canvas();
    drawRect(tiny, {300, 400}, {25, 25}, 0);  // under 6 % of the shorter side
    EXPECT_TRUE(Vision::detectRectangles(tiny).empty());

    QImage strip = canvas();
    drawRect(strip, {300, 400}, {400, 50}, 0);  // 1 : 8
    EXPECT_TRUE(Vision::detectRectangles(strip).empty());
    Vision::RectangleRequest lenient;
    lenient.minimumAspectRatio = 0.1;
    EXPECT_FALSE(Vision::detectRectangles(strip, lenient).empty());

    QImage skew = canvas();
    {
        QPainter p(&skew);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 70, 90));
        const QPointF pts[4] = {{50, 300}, {300, 300}, {500, 550}, {250, 550}};  // 51° and 129° corners
        p.drawPolygon(pts, 4);
    }
    EXPECT_TRUE(Vision::detectRectangles(skew).empty());
    EXPECT_TRUE(Vision::detectRectangles(canvas()).empty());
    EXPECT_TRUE(Vision::detectRectangles(QImage()).empty());
}

TEST(RectangleDetector, AtMostTheRequestedNumberAndMostConfidentFirst)
{
    QImage image = canvas();
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 3; ++col) drawRect(image, {110.0 + col * 190, 110.0 + row * 190}, {140, 120}, 0);
    const auto all = Vision::detectRectangles(image);
    EXPECT_EQ(all.size(), 12u);
    for (size_t i = 1; i < all.size(); ++i) EXPECT_GE(all[i - 1].confidence, all[i].confidence);
    Vision::RectangleRequest few;
    few.maximumObservations = 5;
    EXPECT_EQ(Vision::detectRectangles(image, few).size(), 5u);
}
