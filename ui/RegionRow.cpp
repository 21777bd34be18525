#include "ui/RegionRow.h"

#include "ui/ElidedLabel.h"
#include "ui/SidebarRules.h"
#include "ui/SidebarStyle.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

#include <cmath>

namespace {

constexpr double rowRadius = 6;

QColor rowColor(bool isBack) { return isBack ? Theme::back() : Theme::accent(); }

void setTextColor(QWidget* w, const QColor& c)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, c);
    w->setPalette(pal);
}

}  // namespace

// The side badge: FRONT or BACK on a capsule of the row's colour, opening the pairing menu.
class SideBadge : public QToolButton {
public:
    explicit SideBadge(QWidget* parent) : QToolButton(parent)
    {
        setPopupMode(QToolButton::InstantPopup);
        setFont(SidebarStyle::font(8.5, QFont::Black, false, 0.5));
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    void setSide(bool isBack)
    {
        isBack_ = isBack;
        setText(isBack ? QStringLiteral("BACK") : QStringLiteral("FRONT"));
        setToolTip(isBack ? QStringLiteral("Back side — click to change pairing")
                          : QStringLiteral("Front side — click to make it a back"));
        setAccessibleName(text());
        setAccessibleDescription(toolTip());
        updateGeometry();
        update();
    }
    QSize sizeHint() const override
    {
        const QFontMetricsF fm(font());
        return QSize(int(std::ceil(12 + iconPx + 3 + fm.horizontalAdvance(text()))), int(std::ceil(6 + fm.height())));
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor c = rowColor(isBack_);
        const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath capsule;
        capsule.addRoundedRect(r, r.height() / 2, r.height() / 2);
        p.fillPath(capsule, Theme::withAlpha(c, isDown() ? 0.3 : 0.16));
        p.setPen(QPen(Theme::withAlpha(c, 0.55), 0.75));
        p.drawPath(capsule);
        const QString symbol = isBack_ ? QStringLiteral("edit-undo-symbolic") : QStringLiteral("image-x-generic-symbolic");
        p.drawPixmap(QPointF(6, (height() - iconPx) / 2), SidebarStyle::symbol(symbol, c, iconPx, devicePixelRatioF()));
        p.setPen(c);
        p.setFont(font());
        p.drawText(QRectF(6 + iconPx + 3, 0, width(), height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    }

private:
    static constexpr double iconPx = 7.5;
    bool isBack_ = false;
};

RegionRow::RegionRow(AppModel& model, const AppModel::StemMap& plan, const QUuid& id, QWidget* parent)
    : QWidget(parent), model_(model), plan_(plan), id_(id)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(11, 5, 7, 5);
    row->setSpacing(9);

    auto* column = new QVBoxLayout;
    column->setSpacing(3);
    auto* line1 = new QHBoxLayout;
    line1->setSpacing(7);
    badge_ = new SideBadge(this);
    badge_->setMenu(new QMenu(badge_));
    connect(badge_->menu(), &QMenu::aboutToShow, this, &RegionRow::fillBadgeMenu);
    name_ = new ElidedLabel(Qt::ElideMiddle, this);
    name_->setFont(SidebarStyle::font(11, QFont::Medium));
    line1->addWidget(badge_);
    line1->addWidget(name_, 1);
    column->addLayout(line1);

    line2_ = new QWidget(this);
    auto* line2 = new QHBoxLayout(line2_);
    line2->setContentsMargins(0, 0, 0, 0);
    line2->setSpacing(3);
    line2Icon_ = new QLabel(line2_);
    line2Icon_->setPixmap(SidebarStyle::symbol(QStringLiteral("mail-forward-symbolic"), Theme::withAlpha(Theme::back(), 0.8),
                                               7.5, devicePixelRatioF()));
    backLabel_ = new ElidedLabel(Qt::ElideMiddle, line2_);
    backLabel_->setFont(SidebarStyle::font(9));
    backLabel_->setColor(Theme::withAlpha(Theme::back(), 0.8));
    line2->addWidget(line2Icon_);
    line2->addWidget(backLabel_, 1);
    column->addWidget(line2_);
    row->addLayout(column, 1);

    angle_ = new QLabel(this);
    angle_->setFont(SidebarStyle::font(10));
    setTextColor(angle_, Theme::accent());
    size_ = new QLabel(this);
    size_->setFont(SidebarStyle::font(9.5));
    setTextColor(size_, Theme::secondary());
    row->addWidget(angle_);
    row->addWidget(size_);

    remove_ = new QToolButton(this);
    remove_->setAutoRaise(true);
    remove_->setIcon(SidebarStyle::symbolIcon(QStringLiteral("user-trash-symbolic"), Theme::secondary()));
    remove_->setIconSize(QSize(13, 13));
    remove_->setFixedSize(20, 20);
    remove_->setToolTip(QStringLiteral("Remove region"));
    remove_->setAccessibleName(QStringLiteral("Remove region"));
    remove_->setFocusPolicy(Qt::NoFocus);
    remove_->setCursor(Qt::PointingHandCursor);
    connect(remove_, &QToolButton::clicked, this, [this] { model_.removeRegion(id_); });
    row->addWidget(remove_);
}

QMenu* RegionRow::badgeMenu() const { return badge_->menu(); }

void RegionRow::setState(const RegionRowState& state)
{
    if (shown_ && state == state_) return;
    const RegionRowState old = std::exchange(state_, state);
    const bool first = !std::exchange(shown_, true);

    if (first || old.isBack != state.isBack) badge_->setSide(state.isBack);
    if (first || old.name != state.name) {
        name_->setText(state.name);
        setAccessibleName(state.name);
    }
    name_->setColor(state.selected ? QColor(Qt::white) : state.isBack ? Theme::back() : QColor());
    if (first || old.backLabel != state.backLabel) {
        backLabel_->setText(state.backLabel.value_or(QString()));
        line2_->setVisible(state.backLabel.has_value());
    }
    if (first || old.angle != state.angle) {
        angle_->setText(state.angle.value_or(QString()));
        angle_->setVisible(state.angle.has_value());
    }
    if (first || old.size != state.size) size_->setText(state.size);
    if (first || old.isBack != state.isBack || old.selected != state.selected) update();
}

void RegionRow::fillBadgeMenu()
{
    QMenu* menu = badge_->menu();
    menu->clear();
    const std::optional<ScanRegion> region = model_.region(id_);
    if (!region) return;
    for (const SidebarRules::BadgeMenuEntry& entry :
         SidebarRules::badgeMenuEntries(*region, model_.regions(), plan_, model_.history())) {
        if (entry.dividerBefore) menu->addSeparator();
        const std::optional<BackTarget> target = entry.target;
        menu->addAction(entry.text, this, [this, target] { model_.setBack(id_, target); });
    }
}

void RegionRow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor c = rowColor(state_.isBack);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), rowRadius, rowRadius);
    p.fillPath(shape, state_.selected ? Theme::withAlpha(c, 0.15) : Theme::withAlpha(Qt::white, 0.025));
    if (state_.selected) {
        p.setPen(QPen(Theme::withAlpha(c, 0.55), 1));
        p.drawPath(shape);
    }
    QPainterPath bar;
    bar.addRoundedRect(QRectF(4, 4, 3, height() - 8), 1.5, 1.5);
    p.fillPath(bar, c);
}

void RegionRow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) model_.selectRegion(id_);
    QWidget::mousePressEvent(event);
}
