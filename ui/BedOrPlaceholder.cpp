#include "ui/BedOrPlaceholder.h"

#include "ui/BedGlyphs.h"
#include "ui/BedView.h"
#include "ui/Theme.h"

#include <QFontDatabase>
#include <QPainter>

BedPlaceholder::BedPlaceholder(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    spin_.setInterval(80);
    connect(&spin_, &QTimer::timeout, this, [this] {
        phase_ = (phase_ + 1) % 12;
        update();
    });
    connect(&model_, &AppModel::changed, this, [this](AppModel::Property p) {
        if (p == AppModel::Property::busy || p == AppModel::Property::info) refresh();
    });
    refresh();
}

QString BedPlaceholder::text(bool busy, bool scannerOpen)
{
    if (busy) return scannerOpen ? QStringLiteral("Scanning preview…") : QStringLiteral("Waking the scanner…");
    return scannerOpen ? QStringLiteral("Press Preview for a fast overview scan") : QStringLiteral("Press Preview to wake the scanner");
}

QString BedPlaceholder::text() const { return text(model_.busy(), model_.info().has_value()); }

void BedPlaceholder::refresh()
{
    setAccessibleName(text());
    if (model_.busy() && isVisible()) spin_.start();
    else spin_.stop();
    update();
}

void BedPlaceholder::showEvent(QShowEvent*) { refresh(); }
void BedPlaceholder::hideEvent(QHideEvent*) { spin_.stop(); }

void BedPlaceholder::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Theme::canvas());
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(13);
    const QString line = text();
    const QPointF mid = QRectF(rect()).center();
    const QRectF symbol(mid.x() - 22, mid.y() - 44, 44, 44);
    if (model_.busy()) {
        // Twelve spokes, the brightest one turning.
        p.translate(symbol.center());
        for (int i = 0; i < 12; ++i) {
            const int age = (phase_ - i + 12) % 12;
            p.setPen(QPen(Theme::withAlpha(Theme::secondary(), 1.0 - age / 13.0), 3.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(0, -11), QPointF(0, -19));
            p.rotate(30);
        }
        p.resetTransform();
    } else {
        BedGlyphs::paint(p, BedGlyphs::Glyph::dashedFrame, symbol, Theme::secondary(), 2);
    }
    p.setFont(font);
    p.setPen(Theme::secondary());
    p.drawText(QRectF(0, mid.y() + 12, width(), 24), Qt::AlignHCenter | Qt::AlignTop, line);
}

BedOrPlaceholder::BedOrPlaceholder(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    stack_ = new QStackedLayout(this);
    stack_->setContentsMargins(0, 0, 0, 0);
    bed_ = new BedView(model, this);
    placeholder_ = new BedPlaceholder(model, this);
    stack_->addWidget(placeholder_);
    stack_->addWidget(bed_);
    connect(&model_, &AppModel::changed, this, [this](AppModel::Property p) {
        if (p == AppModel::Property::overview || p == AppModel::Property::info) refresh();
    });
    refresh();
}

void BedOrPlaceholder::setPlan(const AppModel::StemMap& plan) { bed_->setPlan(plan); }

bool BedOrPlaceholder::showsBed() const { return stack_->currentWidget() == bed_; }

void BedOrPlaceholder::refresh()
{
    const bool bed = !model_.overview().isNull() && model_.info().has_value();
    stack_->setCurrentWidget(bed ? static_cast<QWidget*>(bed_) : placeholder_);
}
