#pragma once

// An empty pane holding the place of a view the window hosts (see Panes.h): the same
// constructor and plan input as the view, and nothing drawn but its background.

#include "core/AppModel.h"

#include <QWidget>

class StandInPane : public QWidget {
    Q_OBJECT

public:
    explicit StandInPane(AppModel& model, QWidget* parent = nullptr);

    void setPlan(const AppModel::StemMap& plan) { plan_ = plan; }
    const AppModel::StemMap& plan() const { return plan_; }

private:
    AppModel::StemMap plan_;
};
