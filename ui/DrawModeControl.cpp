#include "ui/DrawModeControl.h"

#include "ui/SidebarRules.h"
#include "ui/SidebarStyle.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

constexpr double barPad = 3, segmentPadY = 6, radius = 6, iconPx = 9.5, iconGap = 5;
constexpr double springResponse = 0.3, springDamping = 0.72, springSeconds = 0.5;

double springCurve(qreal progress)
{
    return SidebarRules::springProgress(progress, springResponse, springDamping, springSeconds);
}

}  // namespace

// One segment: its symbol and title, in its colour while chosen, else secondary.
class DrawSegment : public QAbstractButton {
public:
    DrawSegment(const QString& title, const QString& symbol, QColor color, QWidget* parent)
        : QAbstractButton(parent), symbol_(symbol), color_(color)
    {
        setText(title);
        setAccessibleName(title);
        setCheckable(true);
        setFont(SidebarStyle::font(11, QFont::Black, true, 0.5));
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
    }
    QColor color() const { return color_; }
    QSize sizeHint() const override
    {
        const QFontMetricsF fm(font());
        return QSize(int(std::ceil(iconPx + iconGap + fm.horizontalAdvance(text()))),
                     int(std::ceil(std::max<double>(fm.height(), iconPx) + 2 * segmentPadY)));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QColor ink = isChecked() ? color_ : Theme::secondary();
        const QFontMetricsF fm(font());
        const double w = iconPx + iconGap + fm.horizontalAdvance(text());
        const double x = (width() - w) / 2;
        p.drawPixmap(QPointF(x, (height() - iconPx) / 2), SidebarStyle::symbol(symbol_, ink, iconPx, devicePixelRatioF()));
        p.setPen(ink);
        p.setFont(font());
        p.drawText(QRectF(x + iconPx + iconGap, 0, width(), height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    }

private:
    QString symbol_;
    QColor color_;
};

DrawModeControl::DrawModeControl(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    bar_ = new QWidget(this);
    bar_->installEventFilter(this);
    auto* segments = new QHBoxLayout(bar_);
    segments->setContentsMargins(int(barPad), int(barPad), int(barPad), int(barPad));
    segments->setSpacing(0);
    front_ = new DrawSegment(QStringLiteral("FRONT"), QStringLiteral("image-x-generic-symbolic"), Theme::accent(), bar_);
    back_ = new DrawSegment(QStringLiteral("BACK"), QStringLiteral("edit-undo-symbolic"), Theme::back(), bar_);
    segments->addWidget(front_, 1);
    segments->addWidget(back_, 1);
    connect(front_, &QAbstractButton::clicked, this, [this] { model_.setDrawSide(DrawSide::front); showSide(model_.drawSide(), true); });
    connect(back_, &QAbstractButton::clicked, this, [this] { model_.setDrawSide(DrawSide::back); showSide(model_.drawSide(), true); });
    column->addWidget(bar_);

    const struct {
        const char* symbol;
        QString text;
    } hints[] = {
        {"input-mouse-symbolic", SidebarRules::drawHint(model.drawSide())},
        {"edit-copy-symbolic", QStringLiteral("Alt-drag = draw over · click again = pick underneath")},
        {"object-rotate-right-symbolic", QStringLiteral("Shift on rotate knob = fine rotate (sub-degree)")},
        {"zoom-in-symbolic", QStringLiteral("Ctrl-scroll / pinch = zoom · scroll = pan")},
    };
    auto* hintColumn = new QVBoxLayout;
    hintColumn->setSpacing(3);
    for (const auto& hint : hints) {
        const QColor ink = Theme::withAlpha(Theme::secondary(), &hint == hints ? 0.8 : 0.62);
        auto* row = new QHBoxLayout;
        row->setSpacing(5);
        auto* icon = new QLabel(this);
        icon->setPixmap(SidebarStyle::symbol(QString::fromLatin1(hint.symbol), ink, 8, devicePixelRatioF()));
        icon->setFixedSize(8, 8);
        QLabel* text = SidebarStyle::secondaryLabel(hint.text, SidebarStyle::font(9, QFont::Medium), this, ink.alphaF());
        text->setWordWrap(true);
        row->addWidget(icon, 0, Qt::AlignTop);
        row->addWidget(text, 1);
        hintColumn->addLayout(row);
        if (&hint == hints) firstHint_ = text;
    }
    column->addLayout(hintColumn);

    QEasingCurve curve;
    curve.setCustomType(springCurve);
    slide_.setEasingCurve(curve);
    slide_.setDuration(int(springSeconds * 1000));
    connect(&slide_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        highlight_ = v.toDouble();
        bar_->update();
    });

    showSide(model.drawSide(), false);
    connect(&model, &AppModel::changed, this, [this](AppModel::Property p) {
        if (p == AppModel::Property::drawSide) showSide(model_.drawSide(), true);
    });
}

void DrawModeControl::showSide(DrawSide side, bool animated)
{
    const double target = side == DrawSide::back ? 1 : 0;
    front_->setChecked(side == DrawSide::front);
    back_->setChecked(side == DrawSide::back);
    firstHint_->setText(SidebarRules::drawHint(side));
    const bool sliding = slide_.state() == QAbstractAnimation::Running;
    if (sliding && slide_.endValue().toDouble() == target) return;
    slide_.stop();
    if (!animated || highlight_ == target) {
        highlight_ = target;
        bar_->update();
        return;
    }
    slide_.setStartValue(highlight_);
    slide_.setEndValue(target);
    slide_.start();
}

bool DrawModeControl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == bar_ && event->type() == QEvent::Paint) paintBar(bar_);
    return QWidget::eventFilter(watched, event);
}

void DrawModeControl::paintBar(QWidget* bar)
{
    QPainter p(bar);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(bar->rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius + 2, radius + 2);
    p.fillPath(outline, QColor(0, 0, 0, int(0.3 * 255)));
    p.setPen(QPen(Theme::withAlpha(Qt::white, 0.05), 1));
    p.drawPath(outline);

    const QRectF inner = QRectF(bar->rect()).adjusted(barPad, barPad, -barPad, -barPad);
    const double half = inner.width() / 2;
    const QRectF highlight(inner.left() + highlight_ * half, inner.top(), half, inner.height());
    const QColor color = model_.drawSide() == DrawSide::back ? Theme::back() : Theme::accent();
    for (int i = 5; i >= 1; --i) {  // a soft glow of the side's colour, fading outwards over 5 points
        QPainterPath glow;
        glow.addRoundedRect(highlight.adjusted(-i, -i + 1, i, i + 1), radius + i, radius + i);
        p.fillPath(glow, Theme::withAlpha(color, 0.45 / 5 * (1 - (i - 1) / 5.0)));
    }
    QPainterPath shape;
    shape.addRoundedRect(highlight.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.fillPath(shape, Theme::withAlpha(color, 0.18));
    p.setPen(QPen(Theme::withAlpha(color, 0.8), 1));
    p.drawPath(shape);
}
