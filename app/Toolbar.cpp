#include "app/Toolbar.h"

#include "app/Fonts.h"
#include "app/Icons.h"
#include "app/PairButton.h"
#include "app/ScannerChip.h"
#include "app/Spinner.h"
#include "ui/ElidedLabel.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

QPushButton* button(const QString& label, const char* icon, QWidget* parent)
{
    auto* b = new QPushButton(Icons::get(icon), label, parent);
    b->setAccessibleName(label);
    return b;
}

QWidget* verticalDivider(QWidget* parent)
{
    auto* line = new QWidget(parent);
    line->setFixedSize(1, 18);
    line->setAutoFillBackground(true);
    QPalette p = line->palette();
    p.setColor(QPalette::Window, Theme::withAlpha(Qt::white, 0.16));
    line->setPalette(p);
    return line;
}

}  // namespace

Toolbar::Toolbar(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Theme::bg());
    setPalette(p);

    auto* title = new QLabel(QStringLiteral("BIVARA"), this);
    QFont titleFont = monoFont(15, QFont::Black);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    title->setFont(titleFont);
    chip_ = new ScannerChip(model_, this);
    preview_ = button(QStringLiteral("Preview"), Icons::preview, this);
    autoDetect_ = button(QStringLiteral("Auto-detect"), Icons::autoDetect, this);
    pair_ = new PairButton(model_, this);
    spinner_ = new Spinner(this);
    // The status: shortened in the middle, the whole text as help; room for a few characters
    // either side of the ellipsis at the least.
    status_ = new ElidedLabel(Qt::ElideMiddle, this);
    status_->setFont(monoFont(12));
    status_->setColor(Theme::secondary());
    status_->setAlignment(Qt::AlignRight);
    status_->setWholeTextAsToolTip(true);
    status_->setMinimumWidth(status_->fontMetrics().horizontalAdvance(QStringLiteral("Status…")));

    auto* group = new QHBoxLayout;
    group->setSpacing(7);
    group->addWidget(title);
    group->addWidget(chip_);

    auto* row = new QHBoxLayout(this);
    row->setSpacing(14);
    row->setContentsMargins(14, 10, 14, 10);
    row->addLayout(group);
    row->addWidget(verticalDivider(this));
    row->addWidget(preview_);
    row->addWidget(autoDetect_);
    row->addWidget(pair_);
    row->addWidget(spinner_);
    row->addStretch(1);
    row->addWidget(status_);

    connect(preview_, &QPushButton::clicked, this, [this] { model_.preview(); });
    connect(autoDetect_, &QPushButton::clicked, this, [this] { model_.autoDetect(); });
    connect(&model_, &AppModel::changed, this, [this](AppModel::Property p) {
        using P = AppModel::Property;
        if (p == P::status) status_->setText(model_.status());
        // What the buttons' states read: busy, scannerBusy, overview, pairingMode and canPair's inputs.
        if (p == P::busy || p == P::scannerBusy || p == P::overview || p == P::pairingMode || p == P::history ||
            p == P::info)
            refresh();
    });
    status_->setText(model_.status());
    refresh();
}

void Toolbar::refresh()
{
    const bool busy = model_.busy();
    const bool scannerBusy = model_.scannerBusy();
    preview_->setEnabled(!busy && !scannerBusy);
    autoDetect_->setEnabled(!busy && !model_.overview().isNull());
    pair_->refresh();
    spinner_->setVisible(busy || scannerBusy);
}
