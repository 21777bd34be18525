#include "ui/RegionsBlock.h"

#include "ui/ChipButton.h"
#include "ui/CountChip.h"
#include "ui/RegionRow.h"
#include "ui/SavedFilesArea.h"
#include "ui/SidebarRules.h"
#include "ui/SidebarStyle.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>

#include <cmath>

namespace {

// The dashed outline of a rectangle, the picture over the empty list's note.
class DashedRectangle : public QWidget {
public:
    explicit DashedRectangle(QWidget* parent) : QWidget(parent) { setFixedSize(26, 22); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPen pen(Theme::withAlpha(Theme::secondary(), 0.5), 1.8, Qt::CustomDashLine, Qt::RoundCap);
        pen.setDashPattern({2.2, 2.2});
        p.setPen(pen);
        p.drawRoundedRect(QRectF(rect()).adjusted(1.5, 3.5, -1.5, -3.5), 2.5, 2.5);
    }
};

}  // namespace

RegionsBlock::RegionsBlock(AppModel& model, const AppModel::StemMap& plan, QWidget* parent)
    : QWidget(parent), model_(model), plan_(plan)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(14, 13, 14, 9);
    header->setSpacing(8);
    header->addWidget(SidebarStyle::secondaryLabel(QStringLiteral("REGIONS"), SidebarStyle::font(10, QFont::Bold, true, 1.5), this));
    header->addStretch(1);
    fronts_ = new CountChip(QStringLiteral("FRONT"), Theme::accent(), this);
    fronts_->setObjectName(QStringLiteral("frontCount"));
    backs_ = new CountChip(QStringLiteral("BACK"), Theme::back(), this);
    backs_->setObjectName(QStringLiteral("backCount"));
    header->addWidget(fronts_);
    header->addWidget(backs_);
    column->addLayout(header);

    emptyNote_ = new QWidget(this);
    emptyNote_->setObjectName(QStringLiteral("emptyNote"));
    auto* note = new QVBoxLayout(emptyNote_);
    note->setContentsMargins(14, 0, 14, 0);
    note->setSpacing(7);
    note->addStretch(1);
    note->addWidget(new DashedRectangle(emptyNote_), 0, Qt::AlignHCenter);
    QLabel* noteText = SidebarStyle::secondaryLabel(QStringLiteral("Drag on the bed, or press Auto-detect."), SidebarStyle::font(11), emptyNote_);
    noteText->setAlignment(Qt::AlignHCenter);
    noteText->setWordWrap(true);
    note->addWidget(noteText);
    note->addStretch(1);
    column->addWidget(emptyNote_, 1);

    list_ = new QScrollArea(this);
    list_->setObjectName(QStringLiteral("regionList"));
    list_->setFrameShape(QFrame::NoFrame);
    list_->setWidgetResizable(true);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* listContent = new QWidget;
    listContent->setAutoFillBackground(false);
    list_->viewport()->setAutoFillBackground(false);
    listLayout_ = new QVBoxLayout(listContent);
    listLayout_->setContentsMargins(8, 0, 4, 4);
    listLayout_->setSpacing(4);
    listLayout_->addStretch(1);
    list_->setWidget(listContent);
    column->addWidget(list_, 1);

    bulkRow_ = new QWidget(this);
    bulkRow_->setObjectName(QStringLiteral("bulkRow"));
    auto* bulk = new QHBoxLayout(bulkRow_);
    bulk->setContentsMargins(14, 9, 14, 9);
    bulk->setSpacing(8);
    auto* allFronts = new ChipButton(QStringLiteral("All fronts"), QStringLiteral("image-x-generic-symbolic"), {Theme::accent()}, bulkRow_);
    auto* allBacks = new ChipButton(QStringLiteral("All backs"), QStringLiteral("edit-undo-symbolic"), {Theme::back()}, bulkRow_);
    auto* clear = new ChipButton(QStringLiteral("Clear"), QStringLiteral("window-close-symbolic"), {Theme::secondary()}, bulkRow_);
    connect(allFronts, &QAbstractButton::clicked, this, [this] { model_.markAllBacks(false); });
    connect(allBacks, &QAbstractButton::clicked, this, [this] { model_.markAllBacks(true); });
    connect(clear, &QAbstractButton::clicked, this, [this] {
        model_.setRegions({});
        model_.selectRegion(std::nullopt);  // also gives the keyboard back to the window
    });
    bulk->addWidget(allFronts);
    bulk->addWidget(allBacks);
    bulk->addStretch(1);
    bulk->addWidget(clear);
    column->addWidget(bulkRow_);

    saved_ = new SavedFilesArea(this);
    saved_->setObjectName(QStringLiteral("savedArea"));
    column->addWidget(saved_);

    refreshRegions();
    refreshSavedFiles();
}

void RegionsBlock::refreshRegions()
{
    const std::vector<ScanRegion>& regions = model_.regions();
    const SidebarRules::RegionCounts counts = SidebarRules::countRegions(regions);
    fronts_->setCount(counts.fronts);
    backs_->setCount(counts.backs);
    const bool none = regions.empty();
    emptyNote_->setVisible(none);  // each returns at once when nothing changes
    list_->setVisible(!none);
    bulkRow_->setVisible(!none);

    syncRowWidgets();
    const std::optional<QUuid>& selected = model_.selectedID();
    for (std::size_t i = 0; i < regions.size(); ++i) {
        const ScanRegion& r = regions[i];
        rows_[i]->setState(RegionRowState{
            r.isBack(),
            selected == r.id,
            SidebarRules::plannedName(plan_, r.id),
            SidebarRules::backTargetLabel(r, regions, plan_),
            SidebarRules::angleLabel(r.angle),
            SidebarRules::sizeLabel(r.size),
        });
    }
}

void RegionsBlock::syncRowWidgets()
{
    const std::vector<ScanRegion>& regions = model_.regions();
    const bool sameOrder = rows_.size() == regions.size() &&
                           std::equal(rows_.begin(), rows_.end(), regions.begin(),
                                      [](const RegionRow* row, const ScanRegion& r) { return row->id() == r.id; });
    if (sameOrder) return;

    QHash<QUuid, RegionRow*> spare;
    for (RegionRow* row : rows_) {
        listLayout_->removeWidget(row);
        spare.insert(row->id(), row);
    }
    rows_.clear();
    QWidget* content = list_->widget();
    for (const ScanRegion& r : regions) {
        RegionRow* row = spare.take(r.id);
        if (!row) row = new RegionRow(model_, plan_, r.id, content);
        listLayout_->insertWidget(int(rows_.size()), row);
        row->show();
        rows_.push_back(row);
    }
    // A row's own button may be what removed it: it goes once that click is over.
    for (RegionRow* row : spare) {
        row->hide();
        row->deleteLater();
    }
}

void RegionsBlock::refreshSavedFiles()
{
    const std::vector<QString>& last = model_.lastSaved();
    saved_->setFiles(last, model_.recentHistory(last, 24));
    saved_->setVisible(!saved_->isEmpty());
    fitSavedArea();
}

void RegionsBlock::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitSavedArea();
}

void RegionsBlock::fitSavedArea()
{
    const double h = SidebarRules::savedAreaHeight(saved_->lastSavedCount(), saved_->historyCount(), height());
    saved_->setAreaHeight(int(std::floor(h)));
}
