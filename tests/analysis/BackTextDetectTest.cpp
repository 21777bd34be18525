// Note detection end to end, on painted backs with handwriting at known places. The recognizer
// is Tesseract: the tests check which notes come back and where, never its confidences.

#include "analysis/BackTextDetect.h"
#include "support/BedPainter.h"

#include <QFontDatabase>
#include <QPainter>

#include "support/Handwriting.h"

#include <gtest/gtest.h>

#include <algorithm>

using BedPainter::Print;
using BedPainter::Scene;

namespace {

constexpr double padding = 0.1;
// How far the recognizer's line boxes may stray from the painted ink, inches (two pixels at
// 75 dpi and then some).
constexpr double slack = 0.08;


// The back of a print: plain cream paper.
Print back(QPointF center, QSizeF size)
{
    Print p = BedPainter::print(center, size, 0.0, QColor(240, 236, 222), QColor(236, 231, 215));
    p.busy = false;
    return p;
}

struct Line {
    QString text;
    QPointF baseline;      // inches, where the line starts
    double degrees = 0;    // clockwise on screen
    double height = 0.3;   // the font's pixel size, inches
};

// Paints the lines in ballpoint blue and returns the upright box in inches around all their ink.
QRectF write(QImage& image, QSizeF bed, const std::vector<Line>& lines)
{
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(QColor(30, 40, 120));
    const double sx = image.width() / bed.width();
    const double sy = image.height() / bed.height();
    QRectF ink;
    for (const Line& line : lines) {
        QFont font(handwritingFamily());
        font.setPixelSize(int(std::lround(line.height * sy)));
        p.setFont(font);
        p.resetTransform();
        p.translate(line.baseline.x() * sx, line.baseline.y() * sy);
        p.rotate(line.degrees);
        p.drawText(0, 0, line.text);
        const QRectF px = p.transform().mapRect(QFontMetricsF(font).tightBoundingRect(line.text));
        const QRectF inches(px.left() / sx, px.top() / sy, px.width() / sx, px.height() / sy);
        ink = ink.isNull() ? inches : ink.united(inches);
    }
    return ink;
}

std::vector<ScanRegion> named(const std::vector<ScanRegion>& regions, const QString& name)
{
    std::vector<ScanRegion> out;
    std::copy_if(regions.begin(), regions.end(), std::back_inserter(out), [&](const ScanRegion& r) { return r.name == name; });
    return out;
}

// The note covers the ink with its padding, give or take the recognizer's slack.
void expectNoteAround(const ScanRegion& note, const QRectF& ink)
{
    const QRectF got = note.aabbInches();
    const QRectF want = ink.adjusted(-padding, -padding, padding, padding);
    EXPECT_EQ(note.name, QStringLiteral("Note"));
    EXPECT_EQ(note.angle, 0);
    EXPECT_NEAR(got.left(), want.left(), slack);
    EXPECT_NEAR(got.top(), want.top(), slack);
    EXPECT_NEAR(got.right(), want.right(), slack);
    EXPECT_NEAR(got.bottom(), want.bottom(), slack);
}

Scene oneBack()
{
    Scene scene;
    scene.prints = {back({4.25, 4.0}, {6.0, 4.0})};
    return scene;
}

}  // namespace

TEST(BackTextDetect, TwoLinesAThirdOfAnInchApartAreOneNoteWithATenthAllRoundPaddedInwardsAtTheBedsEdge)
{
    REQUIRE_RECOGNIZER();
    Scene scene = oneBack();
    scene.prints.push_back(back({2.9, 9.0}, {6.0, 4.0}));  // hangs over the bed's left edge
    QImage image = BedPainter::paint(scene);
    // 0.3 inch from the first line's baseline to the top of the second's tallest letters.
    const QRectF date = write(image, scene.bed, {{QStringLiteral("June 1987"), {2.0, 3.0}}});
    const QRectF place = write(image, scene.bed, {{QStringLiteral("Grandma and Tom"), {2.0, date.bottom() + 0.3 + 0.22}}});
    const QRectF edge = write(image, scene.bed, {{QStringLiteral("Lake Erie 1987"), {0.04, 9.0}}});
    const std::vector<ScanRegion> got = AutoDetect::detectBackText(image, scene.bed);
    ASSERT_EQ(got.size(), 2u);
    expectNoteAround(got[0], date.united(place));
    const QRectF note = got[1].aabbInches();
    EXPECT_NEAR(note.left(), 0.0, 1e-9);
    EXPECT_NEAR(note.right(), edge.right() + padding, slack);
    EXPECT_NEAR(note.top(), edge.top() - padding, slack);
}

TEST(BackTextDetect, BlankBacksAndAStrayMarkGiveThePhotoRectangles)
{
    REQUIRE_RECOGNIZER();
    Scene scene;
    scene.lid = QColor(200, 200, 204);
    scene.prints = {back({2.4, 2.2}, {4.0, 3.0}), back({6.0, 7.0}, {3.5, 5.0})};
    QImage image = BedPainter::paint(scene);
    {
        // A short pencil tick, nothing to read.
        QPainter p(&image);
        p.setPen(QPen(QColor(150, 150, 150), 1.5));
        p.drawLine(QPointF(150, 180), QPointF(162, 170));
    }
    const std::vector<ScanRegion> got = AutoDetect::detectBackText(image, scene.bed);
    ASSERT_EQ(got.size(), 2u) << (got.empty() ? QString() : got[0].name).toStdString();
    EXPECT_EQ(named(got, QStringLiteral("Photo")).size(), 2u);
    EXPECT_NEAR(got[0].center.x(), 2.4, 0.1);
    EXPECT_NEAR(got[1].center.x(), 6.0, 0.1);
}
