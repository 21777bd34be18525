#pragma once

// The window's content: it owns the one AppModel and lays out the toolbar, a black line, and
// the main row (the bed or pairing workspace, and the 300-wide sidebar column). It hands the
// plan to both panes, keeps the left pane in step with pairing, and holds the key monitor.

#include "app/Panes.h"
#include "core/AppModel.h"

#include <QWidget>

#include <memory>

class LeftPane;
class PlanScheduler;
class SelectedRegionDeleteMonitor;
class Toolbar;

class ContentView : public QWidget {
    Q_OBJECT

public:
    static constexpr int sidebarWidth = 300;

    explicit ContentView(std::unique_ptr<AppModel> model, QWidget* parent = nullptr);
    ~ContentView() override;

    AppModel& model() const { return *model_; }
    Toolbar* toolbar() const { return toolbar_; }
    LeftPane* leftPane() const { return left_; }
    SidebarPane* sidebar() const { return sidebar_; }
    PlanScheduler* planScheduler() const { return plan_; }
    SelectedRegionDeleteMonitor* keyMonitor() const { return monitor_; }

    // The Pair button's action: entering pairing makes every region a back drawn as a back.
    void togglePairing();

private:
    void onModelChanged(AppModel::Property property);
    void syncLeftPane(bool animated);

    std::unique_ptr<AppModel> model_;
    Toolbar* toolbar_;
    LeftPane* left_;
    SidebarPane* sidebar_;
    PlanScheduler* plan_;
    SelectedRegionDeleteMonitor* monitor_;
    bool animateSwitch_ = false;
};
