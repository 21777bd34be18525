#include "app/ScannerChip.h"

#include "app/Fonts.h"
#include "app/Icons.h"
#include "ui/Theme.h"

#include <QMenu>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int padX = 5;
constexpr int padY = 2;
constexpr double radius = 3;
}  // namespace

QString ScannerChip::label(const AppModel& model)
{
    if (model.info()) return model.info()->name.toUpper();
    if (const auto& active = model.activeScannerID())
        for (const ScannerChoice& c : model.scanners())
            if (c.id == *active) return c.name.toUpper();
    return QStringLiteral("NO SCANNER");
}

ScannerChip::ScannerChip(AppModel& model, QWidget* parent) : QToolButton(parent), model_(model)
{
    setFont(monoFont(9, QFont::Bold));
    setToolTip(QStringLiteral("Choose which scanner to use"));
    setAccessibleDescription(toolTip());
    setPopupMode(QToolButton::InstantPopup);
    setCursor(Qt::PointingHandCursor);
    setMenu(new QMenu(this));
    updateLabel();
    rebuildMenu();
    connect(&model_, &AppModel::changed, this, [this](AppModel::Property p) {
        using P = AppModel::Property;
        if (p == P::info || p == P::scanners || p == P::activeScannerID) updateLabel();
        if (p == P::scanners || p == P::activeScannerID) rebuildMenu();
    });
}

void ScannerChip::updateLabel()
{
    const QString text = label(model_);
    if (text == this->text()) return;
    setText(text);
    setAccessibleName(text);
    updateGeometry();
    update();
}

void ScannerChip::rebuildMenu()
{
    QMenu* m = menu();
    m->clear();
    if (model_.scanners().empty()) {
        m->addAction(QStringLiteral("Searching for scanners…"))->setEnabled(false);
        return;
    }
    for (const ScannerChoice& choice : model_.scanners()) {
        QAction* a = m->addAction(choice.name);
        if (choice.id == model_.activeScannerID()) a->setIcon(Icons::get(Icons::checkmark));
        const QString id = choice.id;
        connect(a, &QAction::triggered, this, [this, id] { model_.switchScanner(id); });
    }
}

QSize ScannerChip::sizeHint() const
{
    const QFontMetrics fm(font());
    const int w = fm.horizontalAdvance(text()) + 2 * padX + 2;  // 2: the advance is rounded
    return {std::min(w, maxWidth), fm.height() + 2 * padY};
}

void ScannerChip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect());
    QPainterPath chip;
    chip.addRoundedRect(r, radius, radius);
    p.fillPath(chip, Theme::withAlpha(Theme::accent(), isDown() ? 0.35 : underMouse() ? 0.27 : 0.2));
    p.setClipPath(chip);
    p.setPen(Theme::accent());
    p.setFont(font());
    const QRect inner = rect().adjusted(padX, padY, -padX, -padY);
    p.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter, fontMetrics().elidedText(text(), Qt::ElideRight, inner.width()));
    if (hasFocus()) {
        p.setPen(QPen(Theme::withAlpha(Theme::accent(), 0.8), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    }
}
