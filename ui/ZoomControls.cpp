#include "ui/ZoomControls.h"

#include "ui/BedGeometry.h"
#include "ui/Theme.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPainter>

#include <cmath>

ZoomButton::ZoomButton(BedGlyphs::Glyph glyph, const QString& help, QWidget* parent)
    : QAbstractButton(parent), glyph_(glyph)
{
    setToolTip(help);
    setAccessibleName(help);
    setFixedSize(22, 18);
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

void ZoomButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (isEnabled() && (isDown() || underMouse())) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, isDown() ? 46 : 26));
        p.drawRoundedRect(QRectF(rect()), 4, 4);
    }
    const QColor color = isEnabled() ? QColor(255, 255, 255, 217) : Theme::withAlpha(Theme::secondary(), 0.45);
    // An 11-point symbol with semibold strokes.
    const QRectF box(QPointF(0, 0), QSizeF(11, 11));
    BedGlyphs::paint(p, glyph_, box.translated(QRectF(rect()).center() - box.center()), color, 1.5);
}

ZoomControls::ZoomControls(QWidget* parent) : QWidget(parent)
{
    setToolTip(helpText());
    setAccessibleName(QStringLiteral("Zoom"));
    setCursor(Qt::ArrowCursor);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(5, 3, 5, 3);
    row->setSpacing(2);
    out_ = new ZoomButton(BedGlyphs::Glyph::zoomOut, QStringLiteral("Zoom out"), this);
    in_ = new ZoomButton(BedGlyphs::Glyph::zoomIn, QStringLiteral("Zoom in"), this);
    fit_ = new ZoomButton(BedGlyphs::Glyph::fitToView, QStringLiteral("Fit to view"), this);
    readout_ = new QLabel(this);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(10);
    font.setWeight(QFont::DemiBold);
    readout_->setFont(font);
    readout_->setAlignment(Qt::AlignCenter);
    readout_->setMinimumWidth(int(std::ceil(QFontMetricsF(font).horizontalAdvance(QStringLiteral("800%")))) + 6);
    row->addWidget(out_);
    row->addWidget(readout_);
    row->addWidget(in_);
    row->addWidget(fit_);
    connect(out_, &QAbstractButton::clicked, this, &ZoomControls::zoomOutClicked);
    connect(in_, &QAbstractButton::clicked, this, &ZoomControls::zoomInClicked);
    connect(fit_, &QAbstractButton::clicked, this, &ZoomControls::fitClicked);
    setZoom(1);
}

QString ZoomControls::helpText()
{
    return QStringLiteral("Ctrl-scroll or pinch to zoom at the cursor · scroll to pan while zoomed");
}

void ZoomControls::setZoom(double zoom)
{
    out_->setEnabled(zoom > 1);
    in_->setEnabled(zoom < Bed::maxZoom);
    fit_->setEnabled(zoom > 1);
    const bool zoomed = zoom > 1;
    readout_->setText(zoomed ? QStringLiteral("%1%").arg(std::lround(zoom * 100)) : QStringLiteral("FIT"));
    QPalette pal = readout_->palette();
    pal.setColor(QPalette::WindowText, zoomed ? Theme::accent() : Theme::secondary());
    readout_->setPalette(pal);
}

void ZoomControls::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 255, 255, 20), 1));
    p.setBrush(QColor(0, 0, 0, 150));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 7, 7);
}
