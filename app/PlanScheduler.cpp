#include "app/PlanScheduler.h"

#include <QMetaObject>

PlanScheduler::PlanScheduler(AppModel& model, QObject* parent) : QObject(parent), model_(model)
{
    recompute();
    connect(&model_, &AppModel::changed, this, [this](AppModel::Property p) {
        if (!affectsPlan(p) || std::exchange(pending_, true)) return;
        QMetaObject::invokeMethod(this, &PlanScheduler::recompute, Qt::QueuedConnection);
    });
}

bool PlanScheduler::affectsPlan(AppModel::Property property)
{
    using P = AppModel::Property;
    switch (property) {
    case P::regions:     // which regions, fronts or backs, their targets and places
    case P::baseName:    // the fronts' base
    case P::backSuffix:  // the backs' suffix
    case P::outputDir:   // the next free index
    case P::lastSaved:   // a scan has just added files to the folder
    case P::history:     // the fronts automatic backs pair with
        return true;
    default:
        return false;
    }
}

void PlanScheduler::recompute()
{
    pending_ = false;
    ++computations_;
    AppModel::StemMap next = model_.plannedStems();
    if (next == plan_ && computations_ > 1) return;
    plan_ = std::move(next);
    emit planChanged(plan_);
}
