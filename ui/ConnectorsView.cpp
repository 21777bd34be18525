#include "ui/ConnectorsView.h"

#include "ui/PairPalette.h"
#include "ui/PairingGeometry.h"
#include "ui/PairingPaint.h"
#include "ui/Theme.h"

#include <QPainter>

#include <algorithm>

namespace {

void drawConnector(QPainter& painter, const Connector& c, double opacity)
{
    const QColor color = PairPalette::color(c.colorIndex);
    const double width = c.emphatic ? 2.4 : 1.8;
    const QLineF span(c.from, c.to);
    const QPainterPath path = PairingGeometry::cordPath(c.from, c.to, PairingGeometry::connectorSag(span.length()));
    painter.setOpacity(opacity);
    PairingPaint::strokeCord(painter, path, Theme::withAlpha(Qt::black, 0.45), width + 2);
    PairingPaint::strokeCord(painter, path, Theme::withAlpha(color, c.emphatic ? 1.0 : 0.85), width);
    const double radius = c.emphatic ? 5 : 4;
    PairingPaint::drawEndDot(painter, c.from, radius, color, 1.3);
    PairingPaint::drawEndDot(painter, c.to, radius, color, 1.3);
}

bool contains(const std::vector<Connector>& list, const Connector& c)
{
    return std::find(list.begin(), list.end(), c) != list.end();
}

}  // namespace

ConnectorsView::ConnectorsView(QWidget* space, QWidget* parent) : QWidget(parent), space_(space)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    fade_.setDuration(180);
    fade_.setEasingCurve(PairingPaint::easeInOut());
    fade_.setStartValue(0.0);
    fade_.setEndValue(1.0);
    connect(&fade_, &QVariantAnimation::valueChanged, this, [this] { update(); });
    connect(&fade_, &QVariantAnimation::finished, this, [this] {
        leaving_.clear();
        arriving_.clear();
        update();
    });
}

void ConnectorsView::setConnectors(std::vector<Connector> connectors, bool fade)
{
    if (connectors == connectors_ && !fade) return;
    fade_.stop();
    leaving_.clear();
    arriving_.clear();
    if (fade) {
        for (const Connector& c : connectors_)
            if (!contains(connectors, c)) leaving_.push_back(c);
        for (const Connector& c : connectors)
            if (!contains(connectors_, c)) arriving_.push_back(c);
    }
    connectors_ = std::move(connectors);
    if (!leaving_.empty() || !arriving_.empty()) fade_.start();
    update();
}

void ConnectorsView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPointF origin = QPointF(mapTo(space_, QPoint(0, 0)));
    if (fade_.state() == QAbstractAnimation::Running) {
        const double t = fade_.currentValue().toDouble();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(-origin);
        for (const Connector& c : leaving_) drawConnector(painter, c, 1.0 - t);
        for (const Connector& c : connectors_) drawConnector(painter, c, contains(arriving_, c) ? t : 1.0);
        return;
    }
    // At rest every cord is drawn once, plain, and kept until the cords, the size or the
    // place change; an emphatic cord, which covers its plain self, is drawn over them live.
    const qreal dpr = painter.device()->devicePixelRatioF();
    const std::vector<Connector> plain = plainCords();
    if (layer_.isNull() || layer_.devicePixelRatio() != dpr || layer_.deviceIndependentSize() != QSizeF(size())
        || layerOrigin_ != origin || layerCords_ != plain) {
        layer_ = QPixmap((QSizeF(size()) * dpr).toSize());
        layer_.setDevicePixelRatio(dpr);
        layer_.fill(Qt::transparent);
        layerOrigin_ = origin;
        layerCords_ = plain;
        QPainter cords(&layer_);
        cords.setRenderHint(QPainter::Antialiasing);
        cords.translate(-origin);
        for (const Connector& c : plain) drawConnector(cords, c, 1.0);
    }
    painter.drawPixmap(0, 0, layer_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-origin);
    for (const Connector& c : connectors_)
        if (c.emphatic) drawConnector(painter, c, 1.0);
}

std::vector<Connector> ConnectorsView::plainCords() const
{
    std::vector<Connector> plain = connectors_;
    for (Connector& c : plain) c.emphatic = false;
    return plain;
}
