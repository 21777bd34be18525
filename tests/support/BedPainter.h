#pragma once

// Synthetic overviews of the scanner bed with prints at known places, for detection tests and
// benchmarks. Header-only so that the benchmarks can use it without the test support library.

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

namespace BedPainter {

struct Print {
    QPointF center;       // inches
    QSizeF size;          // inches, the paper's outline
    double angle = 0;     // radians, clockwise on screen
    QColor from{90, 60, 40};
    QColor to{150, 110, 80};
    double border = 0;    // white border width, inches
    QColor borderColor{252, 252, 250};
    bool busy = true;     // add blobs like a picture's content
    // Flat areas of the picture, in inches from the print's centre along its own axes.
    std::vector<std::pair<QRectF, QColor>> patches;
};

struct Scene {
    QSizeF bed{8.5, 11.7};
    double dpi = 75;
    QColor lid{236, 235, 231};
    double noise = 1.5;   // standard deviation per channel, grey levels
    unsigned seed = 7;
    std::vector<Print> prints;
};

inline double radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

// The scene rendered at its dpi: the whole bed, pixel (0, 0) at the bed's top-left corner.
inline QImage paint(const Scene& scene)
{
    const int w = int(std::lround(scene.bed.width() * scene.dpi));
    const int h = int(std::lround(scene.bed.height() * scene.dpi));
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(scene.lid);
    std::mt19937 rng(scene.seed);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        // Inches map to pixels by image width / bed width and height / bed height, as on the bed.
        p.scale(w / scene.bed.width(), h / scene.bed.height());
        for (const Print& print : scene.prints) {
            p.save();
            p.translate(print.center);
            p.rotate(print.angle * 180.0 / std::numbers::pi);
            const QRectF paper(-print.size.width() / 2, -print.size.height() / 2, print.size.width(), print.size.height());
            p.setBrush(print.borderColor);
            p.drawRect(paper);
            const double b = print.border;
            const QRectF picture = paper.adjusted(b, b, -b, -b);
            QLinearGradient shade(picture.topLeft(), picture.bottomRight());
            shade.setColorAt(0, print.from);
            shade.setColorAt(1, print.to);
            p.setBrush(shade);
            p.drawRect(picture);
            if (print.busy) {
                p.setClipRect(picture);
                std::uniform_real_distribution<double> ux(picture.left(), picture.right());
                std::uniform_real_distribution<double> uy(picture.top(), picture.bottom());
                std::uniform_real_distribution<double> ur(0.1, 0.6);
                std::uniform_int_distribution<int> tone(-40, 40);
                for (int i = 0; i < 12; ++i) {
                    const int t = tone(rng);
                    p.setBrush(QColor(std::clamp(print.from.red() + t, 0, 255), std::clamp(print.from.green() + t, 0, 255),
                                      std::clamp(print.to.blue() - t, 0, 255)));
                    const double r = ur(rng);
                    p.drawEllipse(QPointF(ux(rng), uy(rng)), r, r * 0.7);
                }
                p.setClipping(false);
            }
            for (const auto& [area, colour] : print.patches) {
                p.setBrush(colour);
                p.drawRect(area);
            }
            p.restore();
        }
    }
    if (scene.noise > 0) {
        std::normal_distribution<double> n(0.0, scene.noise);
        for (int y = 0; y < h; ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < w; ++x) {
                auto add = [&](int v) { return std::clamp(int(std::lround(v + n(rng))), 0, 255); };
                row[x] = qRgb(add(qRed(row[x])), add(qGreen(row[x])), add(qBlue(row[x])));
            }
        }
    }
    return image;
}

// A print with a picture shading from `from` to `to`.
inline Print print(QPointF center, QSizeF size, double angle, QColor from, QColor to)
{
    Print p;
    p.center = center;
    p.size = size;
    p.angle = angle;
    p.from = from;
    p.to = to;
    return p;
}

// Six prints of the usual sizes in three rows, a little turned, on a light lid; listed row by
// row, left to right.
inline Scene sixPrints()
{
    Scene scene;
    const double a = radians(1.5);
    scene.prints = {
        print({2.3, 1.9}, {4.0, 3.0}, a, {70, 90, 120}, {160, 140, 110}),
        print({6.4, 1.9}, {3.5, 2.5}, -a, {120, 80, 60}, {200, 170, 120}),
        print({2.3, 5.6}, {4.0, 3.0}, 0.0, {40, 60, 40}, {120, 160, 100}),
        print({6.4, 5.6}, {3.5, 3.5}, radians(3), {90, 50, 70}, {180, 120, 150}),
        print({2.3, 9.5}, {3.5, 2.5}, -radians(2.5), {60, 60, 90}, {170, 170, 200}),
        print({6.4, 9.5}, {3.5, 2.5}, radians(0.8), {110, 100, 50}, {220, 200, 120}),
    };
    return scene;
}

}  // namespace BedPainter
