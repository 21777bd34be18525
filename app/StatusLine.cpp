#include "app/StatusLine.h"

#include "app/Fonts.h"
#include "ui/Theme.h"

#include <QPainter>

StatusLine::StatusLine(QWidget* parent) : QWidget(parent)
{
    setFont(monoFont(12));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void StatusLine::setText(const QString& text)
{
    if (text == text_) return;
    text_ = text;
    setAccessibleName(text_);
    updateToolTip();
    updateGeometry();
    update();
}

QString StatusLine::shownText() const { return fontMetrics().elidedText(text_, Qt::ElideMiddle, width()); }

QSize StatusLine::sizeHint() const { return {fontMetrics().horizontalAdvance(text_) + 1, fontMetrics().height()}; }

// Room for a few characters either side of the ellipsis.
QSize StatusLine::minimumSizeHint() const { return {fontMetrics().horizontalAdvance(QStringLiteral("Status…")), fontMetrics().height()}; }

void StatusLine::updateToolTip() { setToolTip(shownText() == text_ ? QString() : text_); }

void StatusLine::resizeEvent(QResizeEvent*) { updateToolTip(); }

void StatusLine::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(Theme::secondary());
    p.drawText(rect(), Qt::AlignRight | Qt::AlignVCenter, shownText());
}
