#pragma once

// One region in the sidebar's list: its side badge (a menu that changes its pairing), its
// planned name, what a back is paired with, its angle and size, and a button that removes
// it. Clicking the row selects the region. A row is updated in place from `RegionRowState`;
// only what changed is touched.

#include "core/AppModel.h"

#include <QWidget>

#include <optional>

class ElidedLabel;
class QLabel;
class QMenu;
class QToolButton;
class SideBadge;

struct RegionRowState {
    bool isBack = false;
    bool selected = false;
    QString name;                      // the planned name, or "—"
    std::optional<QString> backLabel;  // line 2
    std::optional<QString> angle;
    QString size;

    friend bool operator==(const RegionRowState&, const RegionRowState&) = default;
};

class RegionRow : public QWidget {
    Q_OBJECT

public:
    // `plan` is the sidebar's current plan; it outlives the row.
    RegionRow(AppModel& model, const AppModel::StemMap& plan, const QUuid& id, QWidget* parent = nullptr);

    const QUuid& id() const { return id_; }
    const RegionRowState& state() const { return state_; }
    void setState(const RegionRowState& state);

    // The side badge's menu; its entries are made each time it opens.
    QMenu* badgeMenu() const;
    QToolButton* removeButton() const { return remove_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void fillBadgeMenu();

    AppModel& model_;
    const AppModel::StemMap& plan_;
    QUuid id_;
    RegionRowState state_;
    bool shown_ = false;

    SideBadge* badge_;
    ElidedLabel* name_;
    QWidget* line2_;
    QLabel* line2Icon_;
    ElidedLabel* backLabel_;
    QLabel* angle_;
    QLabel* size_;
    QToolButton* remove_;
};
