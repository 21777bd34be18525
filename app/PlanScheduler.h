#pragma once

// The plan (each region's planned file stem) for every view of the window, computed once per
// burst of model changes: a change of anything the stems depend on marks the plan stale, and
// it is computed again on the next turn of the event loop, however many changes came first.

#include "core/AppModel.h"

#include <QObject>

class PlanScheduler : public QObject {
    Q_OBJECT

public:
    // Computes the first plan at once.
    explicit PlanScheduler(AppModel& model, QObject* parent = nullptr);

    const AppModel::StemMap& plan() const { return plan_; }
    // How many times the plan has been computed so far.
    int computations() const { return computations_; }

    static bool affectsPlan(AppModel::Property property);

signals:
    // A newly computed plan that differs from the previous one.
    void planChanged(const AppModel::StemMap& plan);

private:
    void recompute();

    AppModel& model_;
    AppModel::StemMap plan_;
    int computations_ = 0;
    bool pending_ = false;
};
