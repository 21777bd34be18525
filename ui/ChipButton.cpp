#include "ui/ChipButton.h"

#include "ui/SidebarStyle.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {
constexpr double padX = 9, padY = 4.5, radius = 6, iconPx = 10, iconGap = 4;
}

ChipButton::ChipButton(const QString& text, const QString& symbol, ChipButtonStyle style, QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol), style_(style)
{
    setText(text);
    setFont(SidebarStyle::font(10, QFont::Bold));
    setAccessibleName(text);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

QSize ChipButton::sizeHint() const
{
    const QFontMetricsF fm(font());
    double w = fm.horizontalAdvance(text()) + 2 * padX;
    if (!symbol_.isEmpty()) w += iconPx + iconGap;
    return QSize(int(std::ceil(w)), int(std::ceil(fm.height() + 2 * padY)));
}

void ChipButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool pressed = isDown();
    const double opacity = isEnabled() ? 1.0 : 0.5;
    QColor fill = Theme::withAlpha(style_.color, (pressed ? 0.3 : 0.13) * opacity);
    QColor stroke = Theme::withAlpha(style_.color, (pressed ? 0.9 : 0.45) * opacity);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.fillPath(shape, fill);
    p.setPen(QPen(stroke, 1));
    p.drawPath(shape);

    const QColor ink = Theme::withAlpha(style_.color, opacity);
    const QFontMetricsF fm(font());
    double contentWidth = fm.horizontalAdvance(text()) + (symbol_.isEmpty() ? 0 : iconPx + iconGap);
    double x = (width() - contentWidth) / 2;
    if (!symbol_.isEmpty()) {
        const QPixmap icon = SidebarStyle::symbol(symbol_, ink, iconPx, devicePixelRatioF());
        p.drawPixmap(QPointF(x, (height() - iconPx) / 2), icon);
        x += iconPx + iconGap;
    }
    p.setPen(ink);
    p.setFont(font());
    p.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
}
