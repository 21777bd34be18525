#pragma once

// The lower part of the sidebar: the header with the front and back counts, one row per
// region (or a note while there are none), the buttons that act on all regions, and the
// saved files. Rows are kept per region and updated in place as the regions change.

#include "core/AppModel.h"

#include <QWidget>

#include <vector>

class CountChip;
class QScrollArea;
class QVBoxLayout;
class RegionRow;
class SavedFilesArea;

class RegionsBlock : public QWidget {
    Q_OBJECT

public:
    // `plan` is the sidebar's current plan; it outlives the block.
    RegionsBlock(AppModel& model, const AppModel::StemMap& plan, QWidget* parent = nullptr);

    // The regions, the selection or the plan changed.
    void refreshRegions();
    // The latest saved files, the history or the output folder changed.
    void refreshSavedFiles();

    const std::vector<RegionRow*>& rows() const { return rows_; }
    SavedFilesArea* savedFiles() const { return saved_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void syncRowWidgets();
    void fitSavedArea();

    AppModel& model_;
    const AppModel::StemMap& plan_;
    CountChip* fronts_;
    CountChip* backs_;
    QWidget* emptyNote_;
    QScrollArea* list_;
    QVBoxLayout* listLayout_;
    QWidget* bulkRow_;
    SavedFilesArea* saved_;
    std::vector<RegionRow*> rows_;
};
