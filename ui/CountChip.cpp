#include "ui/CountChip.h"

#include "ui/SidebarRules.h"
#include "ui/SidebarStyle.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {
QFont numberFont() { return SidebarStyle::font(10, QFont::Black); }
QFont labelFont() { return SidebarStyle::font(8, QFont::Bold, false, 0.5); }
}  // namespace

CountChip::CountChip(const QString& label, QColor color, QWidget* parent) : QWidget(parent), label_(label), color_(color)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCount(0);
}

void CountChip::setCount(int count)
{
    if (count == count_) return;
    count_ = count;
    setAccessibleName(QStringLiteral("%1 %2").arg(count).arg(label_));
    updateGeometry();
    update();
}

QColor CountChip::textColor() const { return Theme::withAlpha(color_, SidebarRules::chipTextOpacity(count_)); }

QSize CountChip::sizeHint() const
{
    const double w = QFontMetricsF(numberFont()).horizontalAdvance(QString::number(count_)) + 3 +
                     QFontMetricsF(labelFont()).horizontalAdvance(label_) + 12;
    return QSize(int(std::ceil(w)), int(std::ceil(QFontMetricsF(numberFont()).height() + 5)));
}

void CountChip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 5, 5);
    p.fillPath(shape, Theme::withAlpha(color_, 0.14));
    p.setPen(textColor());
    const QString number = QString::number(count_);
    p.setFont(numberFont());
    p.drawText(QRectF(6, 0, width(), height()), Qt::AlignLeft | Qt::AlignVCenter, number);
    p.setFont(labelFont());
    const double x = 6 + QFontMetricsF(numberFont()).horizontalAdvance(number) + 3;
    p.drawText(QRectF(x, 0, width(), height()), Qt::AlignLeft | Qt::AlignVCenter, label_);
}
