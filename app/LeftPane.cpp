#include "app/LeftPane.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPropertyAnimation>
#include <QStackedLayout>

LeftPane::LeftPane(AppModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    stack_ = new QStackedLayout(this);
    bed_ = new BedPane(model_, this);
    stack_->addWidget(bed_);
}

void LeftPane::setPlan(const AppModel::StemMap& plan)
{
    plan_ = plan;
    bed_->setPlan(plan_);
    if (workspace_) workspace_->setPlan(plan_);
}

void LeftPane::showWorkspace(bool on, bool animated)
{
    if (on == showingWorkspace()) return;
    const QPixmap before = animated && isVisible() ? stack_->currentWidget()->grab() : QPixmap();
    if (on) {
        workspace_ = new WorkspacePane(model_, this);
        workspace_->setPlan(plan_);
        stack_->addWidget(workspace_);
        stack_->setCurrentWidget(workspace_);
    } else {
        stack_->setCurrentWidget(bed_);
        delete workspace_.data();
    }
    if (!before.isNull()) crossFadeFrom(before);
}

void LeftPane::crossFadeFrom(const QPixmap& before)
{
    // The old pane's picture lies over the new pane and fades out.
    auto* veil = new QLabel(this);
    veil->setPixmap(before);
    veil->setGeometry(rect());
    veil->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* opacity = new QGraphicsOpacityEffect(veil);
    veil->setGraphicsEffect(opacity);
    veil->show();
    veil->raise();
    auto* fade = new QPropertyAnimation(opacity, "opacity", veil);
    fade->setDuration(switchMs);
    fade->setStartValue(1.0);
    fade->setEndValue(0.0);
    fade->setEasingCurve(QEasingCurve::InOutQuad);
    connect(fade, &QPropertyAnimation::finished, veil, &QObject::deleteLater);
    fade->start();
}
