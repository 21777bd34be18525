#include "ui/PairingWorkspace.h"

#include "ui/AllLinksToggle.h"
#include "ui/BedView.h"
#include "ui/ConnectorsView.h"
#include "ui/LinkCordView.h"
#include "ui/PairPalette.h"
#include "ui/PairingBars.h"
#include "ui/Theme.h"

#include <QBoxLayout>
#include <QEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

// The 2-point strip between the two halves.
class Gutter : public QWidget {
public:
    explicit Gutter(QWidget* parent) : QWidget(parent) { setFixedWidth(2); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QLinearGradient shade(0, 0, 0, height());
        shade.setColorAt(0, Theme::withAlpha(Qt::black, 0));
        shade.setColorAt(0.5, Theme::withAlpha(Qt::black, 0.7));
        shade.setColorAt(1, Theme::withAlpha(Qt::black, 0));
        painter.fillRect(rect(), shade);
        painter.fillRect(rect(), Theme::withAlpha(Theme::accent(), 0.12));
    }
};

}  // namespace

PairingWorkspace::PairingWorkspace(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setAccessibleName(QStringLiteral("Pairing workspace"));
    showAllLinks_ = model_.preferences().boolean(Preferences::showAllLinksKey).value_or(false);

    header_ = new PairingHeader(this);
    header_->toggle()->setCheckedAtOnce(showAllLinks_);
    connect(header_->toggle(), &QAbstractButton::toggled, this, &PairingWorkspace::setShowAllLinks);

    workArea_ = new QWidget(this);
    workArea_->setAutoFillBackground(true);
    QPalette canvas = workArea_->palette();
    canvas.setColor(QPalette::Window, Theme::canvas());
    workArea_->setPalette(canvas);
    previous_ = new PreviousBedView(this, workArea_);
    bedArea_ = new QWidget(workArea_);
    bed_ = makeBed();
    auto* bedLayout = new QVBoxLayout(bedArea_);
    bedLayout->setContentsMargins(0, 0, 0, 0);
    bedLayout->addWidget(bed_);
    auto* row = new QHBoxLayout(workArea_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(previous_, 1);
    row->addWidget(new Gutter(workArea_));
    row->addWidget(bedArea_, 1);
    connectors_ = new ConnectorsView(this, workArea_);
    cord_ = new LinkCordView(this, workArea_);
    connectors_->raise();
    cord_->raise();
    workArea_->installEventFilter(this);
    watchPointer(bed_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(header_);
    column->addWidget(workArea_, 1);
    column->addWidget(new PairingFooter(this));

    previous_->onPointerChanged = [this](const PairingPointer& p) { setPointer(p); };
    previous_->onDrop = [this](const LinkDrag& d) { drop(d); };
    previous_->onPickPrevious = [this](const std::optional<QString>& base) { pickPrevious(base); };
    connect(previous_, &PreviousBedView::prevFramesChanged, this, &PairingWorkspace::setPrevFrames);
    connect(&model_, &AppModel::changed, this, &PairingWorkspace::onModelChanged);

    refreshScan();
    refreshPairs();
    refreshBed();
    refreshLinks();
}

// ---- the embedded bed ------------------------------------------------------------------------

// The bed of the new preview, in pairing mode, reporting where it draws each region to
// setCurrentFrames in this widget's coordinates.
QWidget* PairingWorkspace::makeBed()
{
    bedView_ = new BedView(model_, this);
    bedView_->setPairingMode(true);
    bedView_->setFrameReceiver(this);
    bedView_->setAccessibleName(QStringLiteral("New preview"));
    connect(bedView_, &BedView::pairFramesChanged, this, &PairingWorkspace::setCurrentFrames);
    return bedView_;
}

void PairingWorkspace::watchPointer(QWidget* widget)
{
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
    for (QWidget* child : widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) watchPointer(child);
}

bool PairingWorkspace::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == workArea_) {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Move) {
            connectors_->setGeometry(workArea_->rect());
            cord_->setGeometry(workArea_->rect());
            previous_->reportFrames();
        }
        return false;
    }
    // The pointer over the bed: where a pending link's cord runs to and what it would link.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget) return false;
    if (event->type() == QEvent::ChildAdded) {
        // Controls the bed adds later are followed too.
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType()) watchPointer(static_cast<QWidget*>(child));
    } else if (event->type() == QEvent::MouseMove) {
        PairingPointer next = pointer_;
        next.linkCursor = widget->mapTo(this, static_cast<QMouseEvent*>(event)->position());
        setPointer(next);
    } else if (event->type() == QEvent::Leave && widget == bed_) {
        PairingPointer next = pointer_;
        next.linkCursor.reset();
        setPointer(next);
    }
    return false;
}

// ---- the model ---------------------------------------------------------------------------------

void PairingWorkspace::setPlan(const AppModel::StemMap& plan)
{
    plan_ = plan;
    bedView_->setPlan(plan_);
    refreshPairs();
}

void PairingWorkspace::onModelChanged(AppModel::Property property)
{
    using P = AppModel::Property;
    switch (property) {
    case P::history:
        refreshScan();
        refreshPairs();
        break;
    case P::prevOverview:
    case P::prevBedSize: refreshScan(); break;
    case P::info:
        refreshScan();
        refreshBed();
        break;
    case P::overview: refreshBed(); break;
    case P::regions: refreshPairs(); break;
    case P::pendingLink: refreshLinks(); break;
    default: break;
    }
}

void PairingWorkspace::refreshScan()
{
    records_ = model_.previousScanRecords();
    colorByBase_ = model_.previousColorIndexByBase();
    previous_->setScan(records_, model_.prevOverview(),
                       PairingRules::previousBedSize(model_.prevBedSize(), model_.info()));
    previous_->setColorByBase(colorByBase_);
    header_->previousTag()->setDetail(PairingRules::frontsDetail(static_cast<int>(records_.size())), Theme::secondary());
}

void PairingWorkspace::refreshPairs()
{
    const AppModel::StemMap backStems = PairingRules::backStems(model_, plan_);
    pairColorIndex_ = PairingRules::pairColorIndex(model_.regions(), backStems, colorByBase_);
    pairMap_ = PairingRules::pairMap(model_.regions(), backStems);
    QHash<QUuid, QColor> colors;
    for (auto it = pairColorIndex_.constBegin(); it != pairColorIndex_.constEnd(); ++it)
        colors.insert(it.key(), PairPalette::color(it.value()));
    bedView_->setPairColors(colors, PairPalette::unpaired());
    const int matched = static_cast<int>(pairColorIndex_.size());
    const int backs = PairingRules::backCount(model_.regions());
    header_->newTag()->setDetail(PairingRules::matchedDetail(matched, backs),
                                 PairingRules::allMatched(matched, backs) ? PairPalette::colors()[3] : Theme::secondary());
    refreshLinks();
}

void PairingWorkspace::refreshBed()
{
    const bool shown = !model_.overview().isNull() && model_.info().has_value();
    bed_->setVisible(shown);
    if (!shown && !currentFrames_.empty()) {
        currentFrames_.clear();
        refreshLinks();
    }
}

// ---- cords and highlights ---------------------------------------------------------------------

void PairingWorkspace::refreshLinks(bool fade)
{
    const bool pending = model_.pendingLink().has_value();
    const LinkScene scene{colorByBase_, pairMap_, prevFrames_, currentFrames_,
                          showAllLinks_, pointer_.linkDrag, pointer_.hoveredBase};
    connectors_->setConnectors(PairingRules::connectors(scene), fade);

    previous_->setPendingActive(pending);
    previous_->setPointer(pointer_);
    previous_->setHighlightBase(PairingRules::highlightBase(pending, pointer_.linkCursor, prevFrames_));

    cord_->setLinkDrag(pointer_.linkDrag ? pointer_.linkDrag
                                         : PairingRules::pendingCord(model_.pendingLink(), currentFrames_,
                                                                     pairColorIndex_, pointer_.linkCursor));
    linkTargetID_ = PairingRules::linkTargetID(pointer_.linkDrag, pending, pointer_.linkCursor, currentFrames_);
    const auto target = std::find_if(currentFrames_.begin(), currentFrames_.end(),
                                     [&](const PairFrame& f) { return f.id == linkTargetID_; });
    if (target == currentFrames_.end()) {
        cord_->setTarget(std::nullopt, QColor());
    } else {
        const auto index = pairColorIndex_.constFind(target->id);
        cord_->setTarget(target->corners, PairPalette::color(index == pairColorIndex_.constEnd()
                                                                 ? std::nullopt
                                                                 : std::optional<int>(*index)));
    }
}

void PairingWorkspace::setCurrentFrames(const PairFrames& frames)
{
    currentFrames_ = frames;
    refreshLinks();
}

void PairingWorkspace::setPrevFrames(const PrevFrames& frames)
{
    prevFrames_ = frames;
    refreshLinks();
}

void PairingWorkspace::setPointer(const PairingPointer& pointer)
{
    if (pointer == pointer_) return;
    pointer_ = pointer;
    refreshLinks();
}

void PairingWorkspace::setShowAllLinks(bool on)
{
    if (on == showAllLinks_) return;
    showAllLinks_ = on;
    model_.preferences().setBoolean(Preferences::showAllLinksKey, on);
    header_->toggle()->setChecked(on);
    refreshLinks(true);
}

// ---- gestures -----------------------------------------------------------------------------------

void PairingWorkspace::drop(const LinkDrag& drag)
{
    if (const auto back = PairingRules::frameAt(drag.to, currentFrames_)) model_.linkBack(*back, drag.sourceBase);
}

void PairingWorkspace::pickPrevious(const std::optional<QString>& base)
{
    if (base) model_.completePendingLinkToHistory(*base);
    else model_.cancelLink();
}
