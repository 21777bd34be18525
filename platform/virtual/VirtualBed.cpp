#include "platform/virtual/VirtualBed.h"

#include "platform/files/PixelRows.h"

#include <QFontDatabase>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <cmath>
#include <numbers>

namespace {

const QColor lidColor(243, 241, 234);
const QColor backPaper(247, 244, 236);

const QStringList notes = {
    "Summer '86, the lake house", "Grandma's garden", "Anna & Tom, 1979", "Our first car!",
    "Cape Cod — Aug 1992",        "Christmas at Oma's", "Rome, spring '88",  "Birthday picnic",
    "Uncle Joe's boat",          "The old farm, 1974",
};

QColor hsv(QRandomGenerator& r, int hueFrom, int hueTo, int s, int v)
{
    return QColor::fromHsv(int(r.bounded(hueFrom, hueTo + 1)) % 360, s, v);
}

double uniform(QRandomGenerator& r, double a, double b)
{
    return a + (b - a) * r.generateDouble();
}

// ---- scenes, painted into `rect` (inches) -------------------------------------------------

void mountains(QPainter& p, QRandomGenerator& r, QRectF rect, int layers, int hue)
{
    for (int layer = 0; layer < layers; ++layer) {
        const double base = rect.top() + rect.height() * (0.45 + 0.12 * layer);
        QPainterPath path(QPointF(rect.left(), rect.bottom()));
        const int peaks = 4 + int(r.bounded(4));
        for (int i = 0; i <= peaks; ++i) {
            const double x = rect.left() + rect.width() * i / peaks;
            const double y = base - rect.height() * uniform(r, 0.05, 0.25) / (1 + layer * 0.5);
            path.lineTo(x, y);
        }
        path.lineTo(rect.right(), rect.bottom());
        path.closeSubpath();
        p.setBrush(QColor::fromHsv((hue + 20 * layer) % 360, 90 + 40 * layer, 150 - 30 * layer));
        p.drawPath(path);
    }
}

void landscape(QPainter& p, QRandomGenerator& r, QRectF rect)
{
    QLinearGradient sky(rect.topLeft(), rect.bottomLeft());
    sky.setColorAt(0, hsv(r, 195, 225, 170, 230));
    sky.setColorAt(0.6, hsv(r, 180, 200, 60, 250));
    p.fillRect(rect, sky);
    p.setBrush(QColor(255, 240, 180));
    const double sun = rect.width() * 0.08;
    p.drawEllipse(QPointF(rect.left() + rect.width() * uniform(r, 0.15, 0.85), rect.top() + rect.height() * 0.2), sun, sun);
    mountains(p, r, rect, 3, int(r.bounded(90, 150)));
    QLinearGradient lake(QPointF(0, rect.top() + rect.height() * 0.8), rect.bottomLeft());
    lake.setColorAt(0, QColor(70, 130, 180));
    lake.setColorAt(1, QColor(20, 60, 110));
    p.fillRect(QRectF(rect.left(), rect.top() + rect.height() * 0.82, rect.width(), rect.height() * 0.18), lake);
}

void sunset(QPainter& p, QRandomGenerator& r, QRectF rect)
{
    QLinearGradient sky(rect.topLeft(), rect.bottomLeft());
    sky.setColorAt(0, hsv(r, 260, 290, 150, 120));
    sky.setColorAt(0.45, hsv(r, 330, 350, 170, 240));
    sky.setColorAt(0.62, hsv(r, 25, 40, 220, 255));
    p.fillRect(rect, sky);
    const QPointF c(rect.left() + rect.width() * uniform(r, 0.3, 0.7), rect.top() + rect.height() * 0.6);
    QRadialGradient glow(c, rect.width() * 0.3);
    glow.setColorAt(0, QColor(255, 230, 150, 255));
    glow.setColorAt(0.25, QColor(255, 200, 90, 255));
    glow.setColorAt(1, QColor(255, 150, 80, 0));
    p.setBrush(glow);
    p.drawEllipse(c, rect.width() * 0.3, rect.width() * 0.3);
    const double horizon = rect.top() + rect.height() * 0.62;
    QLinearGradient sea(QPointF(0, horizon), QPointF(0, rect.bottom()));
    sea.setColorAt(0, QColor(60, 50, 110));
    sea.setColorAt(1, QColor(20, 30, 70));
    p.fillRect(QRectF(rect.left(), horizon, rect.width(), rect.bottom() - horizon), sea);
    p.setBrush(QColor(255, 190, 110, 140));
    for (int i = 0; i < 7; ++i) {
        const double y = horizon + (rect.bottom() - horizon) * (0.08 + 0.12 * i);
        const double w = rect.width() * (0.05 + 0.04 * i);
        p.drawRect(QRectF(c.x() - w / 2, y, w, rect.height() * 0.008));
    }
    QLinearGradient sand(QPointF(0, rect.bottom() - rect.height() * 0.1), rect.bottomLeft());
    sand.setColorAt(0, QColor(200, 150, 110));
    sand.setColorAt(1, QColor(120, 80, 60));
    p.fillRect(QRectF(rect.left(), rect.bottom() - rect.height() * 0.1, rect.width(), rect.height() * 0.1), sand);
}

void meadow(QPainter& p, QRandomGenerator& r, QRectF rect)
{
    QLinearGradient sky(rect.topLeft(), rect.bottomLeft());
    sky.setColorAt(0, QColor(90, 160, 230));
    sky.setColorAt(0.4, QColor(200, 230, 250));
    p.fillRect(rect, sky);
    const double horizon = rect.top() + rect.height() * uniform(r, 0.35, 0.5);
    QLinearGradient grass(QPointF(0, horizon), rect.bottomLeft());
    grass.setColorAt(0, QColor(120, 180, 70));
    grass.setColorAt(1, QColor(40, 110, 40));
    p.fillRect(QRectF(rect.left(), horizon, rect.width(), rect.bottom() - horizon), grass);
    p.setBrush(QColor(255, 255, 255, 200));
    for (int i = 0; i < 4; ++i) {
        const QPointF c(rect.left() + rect.width() * uniform(r, 0.1, 0.9), rect.top() + rect.height() * uniform(r, 0.08, 0.25));
        for (int k = 0; k < 4; ++k)
            p.drawEllipse(c + QPointF(rect.width() * 0.04 * k, rect.height() * 0.01 * (k % 2)), rect.width() * 0.06,
                          rect.width() * 0.035);
    }
    const int flowers = 160;
    for (int i = 0; i < flowers; ++i) {
        const double t = uniform(r, 0, 1);
        const double y = horizon + (rect.bottom() - horizon) * t;
        const double x = rect.left() + rect.width() * uniform(r, 0, 1);
        const double s = rect.width() * (0.006 + 0.02 * t);
        p.setBrush(hsv(r, 0, 359, 200, 250));
        p.drawEllipse(QPointF(x, y), s, s);
    }
}

void city(QPainter& p, QRandomGenerator& r, QRectF rect)
{
    QLinearGradient sky(rect.topLeft(), rect.bottomLeft());
    sky.setColorAt(0, QColor(15, 20, 60));
    sky.setColorAt(1, QColor(80, 50, 110));
    p.fillRect(rect, sky);
    p.setBrush(QColor(250, 250, 220));
    p.drawEllipse(QPointF(rect.left() + rect.width() * 0.8, rect.top() + rect.height() * 0.15), rect.width() * 0.05,
                  rect.width() * 0.05);
    double x = rect.left();
    while (x < rect.right()) {
        const double w = rect.width() * uniform(r, 0.08, 0.16);
        const double h = rect.height() * uniform(r, 0.3, 0.75);
        const QRectF building(x, rect.bottom() - h, w, h);
        p.setBrush(hsv(r, 220, 260, 60, int(r.bounded(40, 90))));
        p.drawRect(building);
        p.setBrush(QColor(255, 210, 120));
        const double win = w / 7;
        for (double wy = building.top() + win; wy < building.bottom() - win; wy += win * 2)
            for (double wx = building.left() + win; wx < building.right() - win; wx += win * 2)
                if (r.bounded(3) == 0) p.drawRect(QRectF(wx, wy, win, win * 1.2));
        x += w * uniform(r, 0.9, 1.1);
    }
}

void bokeh(QPainter& p, QRandomGenerator& r, QRectF rect)
{
    const int hue = int(r.bounded(360));
    QLinearGradient bg(rect.topLeft(), rect.bottomRight());
    bg.setColorAt(0, QColor::fromHsv(hue, 160, 200));
    bg.setColorAt(1, QColor::fromHsv((hue + 60) % 360, 200, 90));
    p.fillRect(rect, bg);
    for (int i = 0; i < 40; ++i) {
        QColor c = hsv(r, hue, hue + 120, 120, 255);
        c.setAlpha(int(r.bounded(40, 110)));
        p.setBrush(c);
        const double s = rect.width() * uniform(r, 0.03, 0.12);
        p.drawEllipse(QPointF(rect.left() + rect.width() * uniform(r, 0, 1), rect.top() + rect.height() * uniform(r, 0, 1)),
                      s, s);
    }
    // A figure: head and shoulders.
    p.setBrush(QColor(60, 40, 40));
    const QPointF head(rect.center().x(), rect.top() + rect.height() * 0.42);
    const double hr = std::min(rect.width(), rect.height()) * 0.13;
    p.drawEllipse(head, hr * 0.85, hr);
    p.drawEllipse(QPointF(head.x(), rect.bottom() + hr * 0.4), hr * 2.6, hr * 2.0);
}

void paintScene(QPainter& p, const DemoPrint& print, QRectF rect)
{
    QRandomGenerator r(print.seed);
    p.setPen(Qt::NoPen);
    switch (print.scene % 5) {
    case 0: landscape(p, r, rect); break;
    case 1: sunset(p, r, rect); break;
    case 2: meadow(p, r, rect); break;
    case 3: city(p, r, rect); break;
    default: bokeh(p, r, rect); break;
    }
}

QString handwritingFamily()
{
    static const QString family = [] {
        const QStringList families = QFontDatabase::families();
        for (const QString& f : {QString("Dancing Script"), QString("Kalam"), QString("Comic Neue")})
            if (families.contains(f)) return f;
        return QString("serif");
    }();
    return family;
}

// The print's own frame: origin at its centre, x along its width, in inches.
QTransform printFrame(const DemoPrint& print)
{
    QTransform t;
    t.translate(print.center.x(), print.center.y());
    t.rotateRadians(print.angle);
    return t;
}

void paintPrint(QPainter& p, const DemoPrint& print, bool back, double dpi, const QTransform& bedToPixels)
{
    const QRectF rect(-print.size.width() / 2, -print.size.height() / 2, print.size.width(), print.size.height());
    const QTransform frame = printFrame(print) * bedToPixels;
    p.setTransform(frame);
    p.setPen(Qt::NoPen);

    // A soft shadow: a few widening, faint layers, a little down and to the right.
    for (int i = 6; i >= 1; --i) {
        const double grow = 0.012 * i;
        p.setBrush(QColor(60, 50, 40, 14));
        p.drawRoundedRect(rect.adjusted(-grow, -grow, grow, grow).translated(0.025, 0.04), 0.02 + grow, 0.02 + grow);
    }

    if (back) {
        p.setBrush(backPaper);
        p.drawRect(rect);
        // The faint print of the photo paper's maker, repeated diagonally.
        p.save();
        p.setClipRect(rect);
        p.setPen(QPen(QColor(215, 210, 200), 0.004));
        for (double d = -rect.width(); d < rect.width(); d += 0.9)
            p.drawLine(QPointF(rect.left() + d, rect.top()), QPointF(rect.left() + d + rect.height() * 0.4, rect.bottom()));
        p.restore();
        p.setPen(Qt::NoPen);
        if (!print.note.isEmpty()) {
            // Text in pixel units, so that the font can be sized to the resolution.
            QTransform unscaled;
            unscaled.scale(1 / dpi, 1 / dpi);
            QRandomGenerator r(print.seed ^ 0x5eed);
            QTransform tilt;
            tilt.rotate(uniform(r, -6, 6));
            p.setTransform(unscaled * tilt * frame);
            QFont font(handwritingFamily());
            font.setPixelSize(std::max(6, int(std::lround(std::min(rect.width(), rect.height()) * 0.13 * dpi))));
            p.setFont(font);
            p.setPen(QColor(30, 45, 120));
            const QRectF box(rect.left() * dpi * 0.85, rect.top() * dpi * 0.6, rect.width() * dpi * 0.85,
                             rect.height() * dpi * 0.6);
            p.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, print.note);
        }
        return;
    }

    p.setBrush(QColor(250, 250, 247));
    p.drawRect(rect);
    const double border = print.whiteBorder ? 0.14 : 0.0;
    const QRectF inner = rect.adjusted(border, border, -border, -border);
    p.save();
    p.setClipRect(inner);
    paintScene(p, print, inner);
    p.restore();
}

}  // namespace

std::vector<DemoPrint> makeDemoBatch(quint32 batch)
{
    QRandomGenerator r(batch * 7919u + 17u);
    // Two columns of three cells; one cell stays empty in some batches.
    const int count = 5 + int(r.bounded(2));
    const double cellW = VirtualBed::widthInches / 2, cellH = VirtualBed::heightInches / 3;
    std::vector<int> cells = {0, 1, 2, 3, 4, 5};
    if (count == 5) cells.erase(cells.begin() + int(r.bounded(6)));
    std::vector<DemoPrint> prints;
    int noteCount = 0;
    for (int cell : cells) {
        DemoPrint print;
        const bool portrait = r.bounded(3) == 0;
        const double w = uniform(r, 3.0, 3.6), h = uniform(r, 2.3, 2.8);
        print.size = portrait ? QSizeF(h, std::min(w, 3.3)) : QSizeF(w, h);
        const double cx = cellW * (cell % 2) + cellW / 2 + uniform(r, -0.15, 0.15);
        const double cy = cellH * (cell / 2) + cellH / 2 + uniform(r, -0.15, 0.15);
        print.center = QPointF(cx, cy);
        print.angle = uniform(r, -4, 4) * std::numbers::pi / 180;
        print.whiteBorder = r.bounded(2) == 0;
        print.scene = int((batch + prints.size() * 2 + r.bounded(2)) % 5);
        print.seed = r.generate();
        if (r.bounded(5) < 3 || (noteCount == 0 && cell == cells.back())) {
            print.note = notes[int(r.bounded(qsizetype(notes.size())))];
            ++noteCount;
        }
        prints.push_back(print);
    }
    return prints;
}

VirtualBed VirtualBed::demo(quint32 batch)
{
    VirtualBed bed;
    bed.batch_ = batch;
    bed.prints_ = makeDemoBatch(batch);
    return bed;
}

VirtualBed VirtualBed::images(QStringList files)
{
    VirtualBed bed;
    bed.files_ = std::move(files);
    return bed;
}

VirtualBed VirtualBed::fromEnvironment()
{
    const QString list = qEnvironmentVariable("BIVARA_VIRTUAL_BED");
    QStringList files = list.split(':', Qt::SkipEmptyParts);
    if (files.isEmpty()) return demo();
    return images(files);
}

void VirtualBed::turnOver()
{
    if (!files_.isEmpty()) {
        fileIndex_ = (fileIndex_ + 1) % int(files_.size());
        return;
    }
    if (!backs_) {
        // Turned over where they lie: a little jitter, and the tilt mirrored.
        QRandomGenerator r(batch_ * 31u + 5u);
        for (DemoPrint& print : prints_) {
            print.center += QPointF(uniform(r, -0.06, 0.06), uniform(r, -0.06, 0.06));
            print.angle = -print.angle + uniform(r, -0.5, 0.5) * std::numbers::pi / 180;
        }
        backs_ = true;
        return;
    }
    *this = demo(batch_ + 1);
}

QImage VirtualBed::render(QRectF area, int dpi) const
{
    const int w = std::max(1, int(std::lround(area.width() * dpi)));
    const int h = std::max(1, int(std::lround(area.height() * dpi)));
    QImage picture;
    if (!files_.isEmpty()) {
        QImageReader reader(files_[fileIndex_ % int(files_.size())]);
        reader.setAutoTransform(true);
        picture = reader.read();  // an unreadable file shows the empty lid
    }
    // Painted a strip at a time and turned into 24-bit rows here: Qt would convert or scale a
    // whole bed in pieces on its global thread pool, which the window's own painting waits on.
    QImage image(w, h, QImage::Format_RGB888);
    constexpr int stripRows = 256;
    QImage strip(w, std::min(h, stripRows), QImage::Format_RGB32);
    if (image.isNull() || strip.isNull()) return {};
    for (int first = 0; first < h; first += stripRows) {
        if (files_.isEmpty())
            paintDemo(strip, area, dpi, first);
        else
            paintFile(strip, picture, area, QSize(w, h), first);
        for (int y = 0; y < std::min(stripRows, h - first); ++y)
            PixelRows::rgb32ToRgb(strip.constScanLine(y), w, image.scanLine(first + y));
    }
    return image;
}

void VirtualBed::paintDemo(QImage& image, QRectF area, int dpi, int firstRow) const
{
    image.fill(lidColor);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QTransform bedToPixels = QTransform::fromTranslate(0, -firstRow);
    bedToPixels.scale(dpi, dpi);
    bedToPixels.translate(-area.x(), -area.y());
    for (const DemoPrint& print : prints_) paintPrint(p, print, backs_, dpi, bedToPixels);
}

void VirtualBed::paintFile(QImage& image, const QImage& picture, QRectF area, QSize size, int firstRow) const
{
    image.fill(lidColor);
    if (picture.isNull()) return;
    // The picture covers the whole bed: the part under the area, scaled smoothly to the whole
    // scan, of which this strip is the rows from firstRow on.
    const double sx = picture.width() / widthInches, sy = picture.height() / heightInches;
    const QRectF source = QRectF(area.x() * sx, area.y() * sy, area.width() * sx, area.height() * sy) &
                          QRectF(picture.rect());
    if (source.isEmpty()) return;
    QPainter p(&image);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.translate(0, -firstRow);
    p.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), picture, source);
}
