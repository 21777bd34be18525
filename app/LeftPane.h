#pragma once

// The window's main area: the bed, or the pairing workspace while pairing. The bed stays for
// the window's life; the workspace is made when it is shown and goes when it is left. A
// switch can cross-fade (0.22 s, ease in and out).

#include "app/Panes.h"

#include <QPointer>
#include <QWidget>

class QStackedLayout;

class LeftPane : public QWidget {
    Q_OBJECT

public:
    static constexpr int switchMs = 220;

    explicit LeftPane(AppModel& model, QWidget* parent = nullptr);

    void setPlan(const AppModel::StemMap& plan);
    void showWorkspace(bool on, bool animated);

    bool showingWorkspace() const { return workspace_ != nullptr; }
    BedPane* bed() const { return bed_; }
    WorkspacePane* workspace() const { return workspace_; }

private:
    void crossFadeFrom(const QPixmap& before);

    AppModel& model_;
    AppModel::StemMap plan_;
    QStackedLayout* stack_;
    BedPane* bed_;
    QPointer<WorkspacePane> workspace_;
};
