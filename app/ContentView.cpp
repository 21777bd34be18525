#include "app/ContentView.h"

#include "app/LeftPane.h"
#include "app/PairButton.h"
#include "app/PlanScheduler.h"
#include "app/SelectedRegionDeleteMonitor.h"
#include "app/Toolbar.h"
#include "ui/Theme.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

QWidget* filled(QWidget* w, const QColor& color)
{
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, color);
    w->setPalette(p);
    return w;
}

// A modal folder chooser that opens at the current folder and lets the user make a new one.
std::optional<QString> chooseFolderWithDialog(QWidget* parent, const QString& current)
{
    const QString folder = QFileDialog::getExistingDirectory(parent, QStringLiteral("Choose Output Folder"), current,
                                                             QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) return std::nullopt;
    return folder;
}

}  // namespace

ContentView::ContentView(std::unique_ptr<AppModel> model, QWidget* parent) : QWidget(parent), model_(std::move(model))
{
    filled(this, Theme::bg());
    toolbar_ = new Toolbar(*model_, this);
    auto* line = filled(new QWidget(this), Qt::black);
    line->setFixedHeight(1);
    left_ = new LeftPane(*model_, this);
    sidebar_ = new SidebarPane(*model_, this);
    sidebar_->setFixedWidth(sidebarWidth);
    filled(sidebar_, Theme::panel());

    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(left_, 1);
    row->addWidget(sidebar_);
    auto* column = new QVBoxLayout(this);
    column->setSpacing(0);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(toolbar_);
    column->addWidget(line);
    column->addLayout(row, 1);

    plan_ = new PlanScheduler(*model_, this);
    const auto handOut = [this](const AppModel::StemMap& plan) {
        left_->setPlan(plan);
        sidebar_->setPlan(plan);
    };
    connect(plan_, &PlanScheduler::planChanged, this, handOut);
    handOut(plan_->plan());

    monitor_ = new SelectedRegionDeleteMonitor(*model_, this);
    model_->releaseKeyboardFocus = [this] {
        if (QWidget* capture = monitor_->captureView()) capture->setFocus(Qt::OtherFocusReason);
    };
    if (!model_->chooseFolder)
        model_->chooseFolder = [this](const QString& current) { return chooseFolderWithDialog(this, current); };
    connect(toolbar_->pairButton(), &QPushButton::clicked, this, &ContentView::togglePairing);
    connect(model_.get(), &AppModel::changed, this, &ContentView::onModelChanged);
    syncLeftPane(false);
}

ContentView::~ContentView()
{
    // The panes and the monitor go before the model they hold.
    model_->releaseKeyboardFocus = nullptr;
    model_->chooseFolder = nullptr;
    disconnect(model_.get(), nullptr, this, nullptr);
    while (!children().isEmpty()) delete children().last();
}

void ContentView::togglePairing()
{
    const bool entering = !model_->pairingMode();
    if (entering) {
        model_->setDrawSide(DrawSide::back);
        model_->ensureAllBacks();
    }
    // The left pane follows the change, cross-fading this once.
    animateSwitch_ = true;
    model_->setPairingMode(entering);
    animateSwitch_ = false;
}

void ContentView::onModelChanged(AppModel::Property p)
{
    using P = AppModel::Property;
    if (p == P::selectedID || p == P::pendingLink) monitor_->refresh();
    // canPair reads the history, the overview and the open scanner.
    if (p == P::pairingMode || p == P::history || p == P::overview || p == P::info) {
        if (model_->pairingMode() && !model_->canPair()) model_->setPairingMode(false);
        syncLeftPane(animateSwitch_);
    }
}

void ContentView::syncLeftPane(bool animated) { left_->showWorkspace(model_->pairingMode() && model_->canPair(), animated); }
