#pragma once

// The main area when the pairing workspace is not up: the bed once there is an overview of an
// open scanner's bed, else guidance on what to do next.

#include "core/AppModel.h"

#include <QStackedLayout>
#include <QTimer>
#include <QWidget>

class BedView;

// The guidance shown before the first overview.
class BedPlaceholder : public QWidget {
    Q_OBJECT
public:
    explicit BedPlaceholder(AppModel& model, QWidget* parent = nullptr);

    // The line of text shown for the model's state.
    static QString text(bool busy, bool scannerOpen);
    QString text() const;
    bool showsProgress() const { return model_.busy(); }

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    void refresh();

    AppModel& model_;
    QTimer spin_;
    int phase_ = 0;
};

class BedOrPlaceholder : public QWidget {
    Q_OBJECT
public:
    explicit BedOrPlaceholder(AppModel& model, QWidget* parent = nullptr);

    void setPlan(const AppModel::StemMap& plan);

    BedView* bed() const { return bed_; }
    BedPlaceholder* placeholder() const { return placeholder_; }
    bool showsBed() const;

private:
    void refresh();

    AppModel& model_;
    QStackedLayout* stack_;
    BedView* bed_;
    BedPlaceholder* placeholder_;
};
