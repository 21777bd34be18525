#include "ui/AllLinksToggle.h"

#include "ui/Glyphs.h"
#include "ui/PairingPaint.h"
#include "ui/Theme.h"

#include <QFontMetricsF>
#include <QPainter>

namespace {

constexpr double padX = 9;
constexpr double padY = 4;
constexpr double gap = 5;
constexpr double eyeSize = 9;
const QString label = QStringLiteral("ALL LINKS");

QFont labelFont() { return PairingPaint::monoFont(9.5, QFont::Black, 1); }

QColor mix(const QColor& a, const QColor& b, double t)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t, a.alphaF() + (b.alphaF() - a.alphaF()) * t);
}

}  // namespace

AllLinksToggle::AllLinksToggle(QWidget* parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setText(label);
    setAccessibleName(label);
    setToolTip(QStringLiteral("Show every front-to-back link at once"));
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ease_.setDuration(180);
    ease_.setEasingCurve(PairingPaint::easeInOut());
    connect(&ease_, &QVariantAnimation::valueChanged, this, [this] { update(); });
    connect(this, &QAbstractButton::toggled, this, [this](bool on) {
        const double from = ease_.state() == QAbstractAnimation::Running ? ease_.currentValue().toDouble() : (on ? 0.0 : 1.0);
        ease_.stop();
        ease_.setStartValue(from);
        ease_.setEndValue(on ? 1.0 : 0.0);
        ease_.start();
    });
    ease_.setStartValue(0.0);
    ease_.setEndValue(0.0);
}

void AllLinksToggle::setCheckedAtOnce(bool on)
{
    setChecked(on);
    ease_.stop();
    ease_.setStartValue(on ? 1.0 : 0.0);
    ease_.setEndValue(on ? 1.0 : 0.0);
    update();
}

QSize AllLinksToggle::sizeHint() const
{
    const QFontMetricsF metrics(labelFont());
    const QSizeF icon = Glyphs::boxSize(Glyph::eyeFill, eyeSize);
    const double w = padX + icon.width() + gap + metrics.horizontalAdvance(label) + padX;
    const double h = padY + std::max(icon.height(), metrics.height()) + padY;
    return QSizeF(w, h).toSize() + QSize(1, 1);
}

void AllLinksToggle::paintEvent(QPaintEvent*)
{
    const double t = ease_.state() == QAbstractAnimation::Running ? ease_.currentValue().toDouble() : (isChecked() ? 1.0 : 0.0);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = capsule.height() / 2;
    painter.setBrush(mix(Theme::withAlpha(Qt::white, 0.06), Theme::accent(), t));
    painter.setPen(QPen(Theme::withAlpha(Qt::white, 0.12 * (1 - t)), 0.75));
    painter.drawRoundedRect(capsule, radius, radius);

    const QColor ink = mix(Theme::secondary(), Theme::bg(), t);
    const QFontMetricsF metrics(labelFont());
    const QSizeF icon = Glyphs::boxSize(Glyph::eyeFill, eyeSize);
    const double contentWidth = icon.width() + gap + metrics.horizontalAdvance(label);
    double x = (width() - contentWidth) / 2;
    Glyphs::draw(painter, isChecked() ? Glyph::eyeFill : Glyph::eye,
                 QRectF(QPointF(x, (height() - icon.height()) / 2), icon), ink, 1.4);
    x += icon.width() + gap;
    painter.setFont(labelFont());
    painter.setPen(ink);
    painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, label);
}
