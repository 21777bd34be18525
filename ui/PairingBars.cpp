#include "ui/PairingBars.h"

#include "ui/AllLinksToggle.h"
#include "ui/Glyphs.h"
#include "ui/PairingPaint.h"
#include "ui/Theme.h"

#include <QBoxLayout>
#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>

namespace {

const QString chipText = QStringLiteral("DRAG TO PAIR");
constexpr double chipPadX = 9;
constexpr double chipPadY = 4;
constexpr double chipGap = 5;
constexpr double chipIcon = 9;

QFont chipFont() { return PairingPaint::monoFont(9.5, QFont::Black, 1); }

QLabel* label(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setFont(font);
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, color);
    l->setPalette(palette);
    return l;
}

// The bar's background and its 1-point dark edge towards the work area.
void paintBar(QWidget* bar, bool edgeAtBottom)
{
    QPainter painter(bar);
    painter.fillRect(bar->rect(), Theme::bg());
    const int y = edgeAtBottom ? bar->height() - 1 : 0;
    painter.fillRect(QRect(0, y, bar->width(), 1), Theme::withAlpha(Qt::black, 0.6));
}

}  // namespace

// ---- tag ----------------------------------------------------------------------------------

PairingTag::PairingTag(const QString& title, Qt::Alignment alignment, QWidget* parent) : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    QLabel* heading = label(title, PairingPaint::monoFont(11, QFont::Black, 1), Theme::withAlpha(Qt::white, 0.92), this);
    detail_ = label(QString(), PairingPaint::monoFont(9.5, QFont::Medium), Theme::secondary(), this);
    heading->setAlignment(alignment);
    detail_->setAlignment(alignment);
    column->addWidget(heading);
    column->addWidget(detail_);
}

void PairingTag::setDetail(const QString& text, const QColor& color)
{
    detail_->setText(text);
    QPalette palette = detail_->palette();
    palette.setColor(QPalette::WindowText, color);
    detail_->setPalette(palette);
}

QString PairingTag::detail() const { return detail_->text(); }


// ---- chip -----------------------------------------------------------------------------------

DragChip::DragChip(QWidget* parent) : QWidget(parent)
{
    setAccessibleName(chipText);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize DragChip::sizeHint() const
{
    const QFontMetricsF metrics(chipFont());
    const QSizeF icon = Glyphs::boxSize(Glyph::swapArrows, chipIcon);
    return QSizeF(chipPadX + icon.width() + chipGap + metrics.horizontalAdvance(chipText) + chipPadX,
                  chipPadY + std::max(icon.height(), metrics.height()) + chipPadY).toSize() + QSize(1, 1);
}

void DragChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setBrush(Theme::withAlpha(Theme::accent(), 0.14));
    painter.setPen(QPen(Theme::withAlpha(Theme::accent(), 0.45), 0.75));
    painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    const QSizeF icon = Glyphs::boxSize(Glyph::swapArrows, chipIcon);
    Glyphs::draw(painter, Glyph::swapArrows, QRectF(QPointF(chipPadX, (height() - icon.height()) / 2), icon),
                 Theme::accent(), 1.6);
    const double x = chipPadX + icon.width() + chipGap;
    painter.setFont(chipFont());
    painter.setPen(Theme::accent());
    painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, chipText);
}

// ---- header ---------------------------------------------------------------------------------

PairingHeader::PairingHeader(QWidget* parent) : QWidget(parent)
{
    previous_ = new PairingTag(QStringLiteral("PREVIOUS SCAN"), Qt::AlignLeft, this);
    new_ = new PairingTag(QStringLiteral("NEW PREVIEW · BACKS"), Qt::AlignRight, this);
    toggle_ = new AllLinksToggle(this);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 9, 16, 9);
    row->setSpacing(12);
    row->addWidget(previous_, 0, Qt::AlignVCenter);
    row->addStretch(1);
    auto* group = new QHBoxLayout;
    group->setSpacing(8);
    group->addWidget(new DragChip(this), 0, Qt::AlignVCenter);
    group->addWidget(toggle_, 0, Qt::AlignVCenter);
    row->addLayout(group);
    row->addStretch(1);
    row->addWidget(new_, 0, Qt::AlignVCenter);
}

void PairingHeader::paintEvent(QPaintEvent*) { paintBar(this, true); }

// ---- footer ---------------------------------------------------------------------------------

PairingFooter::PairingFooter(QWidget* parent) : QWidget(parent)
{
    const QFont font = PairingPaint::monoFont(10, QFont::Medium);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 7, 16, 7);
    row->setSpacing(7);
    row->addWidget(new GlyphLabel(Glyph::cursorRays, 9, 1.4, Theme::accent(), this), 0, Qt::AlignVCenter);
    row->addWidget(label(QStringLiteral("Hover a previous photo to trace its link · drag a cord to re-link."), font,
                         Theme::secondary(), this));
    row->addStretch(1);
    row->addWidget(label(QStringLiteral("Matching colors = paired · gray = unmatched"), font,
                         Theme::withAlpha(Theme::secondary(), 0.65), this));
}

void PairingFooter::paintEvent(QPaintEvent*) { paintBar(this, false); }
