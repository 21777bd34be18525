#include "app/Spinner.h"

#include "ui/Theme.h"

#include <QPainter>

namespace {
constexpr int steps = 12;
}

Spinner::Spinner(QWidget* parent) : QWidget(parent)
{
    setFixedSize(sizeHint());
    setAccessibleName(QStringLiteral("Working"));
    timer_.setInterval(1000 / steps);
    connect(&timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % steps;
        update();
    });
}

void Spinner::showEvent(QShowEvent*) { timer_.start(); }
void Spinner::hideEvent(QHideEvent*) { timer_.stop(); }

void Spinner::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(2, 2, -2, -2);
    p.setPen(QPen(Theme::withAlpha(Theme::secondary(), 0.3), 2));
    p.drawEllipse(r);
    p.setPen(QPen(Theme::secondary(), 2, Qt::SolidLine, Qt::RoundCap));
    // Angles in sixteenths of a degree, counter-clockwise; the arc turns clockwise.
    p.drawArc(r, -step_ * 16 * 360 / steps, 16 * 100);
}
