#include "ui/ElidedLabel.h"

#include <QEvent>
#include <QPainter>

#include <cmath>

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget* parent) : QWidget(parent), mode_(mode)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text)
{
    if (text == text_) return;
    const bool widthChanged = QFontMetricsF(font()).horizontalAdvance(text) != QFontMetricsF(font()).horizontalAdvance(text_);
    text_ = text;
    setAccessibleName(text);
    if (widthChanged) updateGeometry();
    updateToolTip();
    update();
}

void ElidedLabel::setColor(const QColor& color)
{
    if (color == color_) return;
    color_ = color;
    update();
}

void ElidedLabel::setAlignment(Qt::Alignment alignment)
{
    alignment_ = alignment;
    update();
}

void ElidedLabel::setWholeTextAsToolTip(bool on)
{
    wholeTextAsToolTip_ = on;
    updateToolTip();
}

QString ElidedLabel::shownText() const { return QFontMetricsF(font()).elidedText(text_, mode_, width()); }

void ElidedLabel::updateToolTip()
{
    if (wholeTextAsToolTip_) setToolTip(shownText() == text_ ? QString() : text_);
}

QSize ElidedLabel::sizeHint() const
{
    const QFontMetricsF fm(font());
    return QSize(int(std::ceil(fm.horizontalAdvance(text_))) + 1, int(std::ceil(fm.height())));
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QFontMetricsF fm(font());
    return QSize(std::min(sizeHint().width(), int(std::ceil(fm.horizontalAdvance(QStringLiteral("…"))))),
                 int(std::ceil(fm.height())));
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(color_.isValid() ? color_ : palette().color(QPalette::WindowText));
    p.setFont(font());
    p.drawText(rect(), int(alignment_ | Qt::AlignVCenter), shownText());
}

void ElidedLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
        updateToolTip();
    }
    QWidget::changeEvent(event);
}

void ElidedLabel::resizeEvent(QResizeEvent*) { updateToolTip(); }
