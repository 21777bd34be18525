#pragma once

// The window's right column: the output settings, the draw side, the Scan button, the
// regions with their pairing, and the saved files. Everything it shows comes from the model
// and from the plan the window hands it; it keeps nothing of its own.

#include "core/AppModel.h"

#include <QWidget>

class DrawModeControl;
class ElidedLabel;
class QComboBox;
class QLineEdit;
class QPushButton;
class RegionsBlock;

class Sidebar : public QWidget {
    Q_OBJECT

public:
    static constexpr int columnWidth = 300;

    explicit Sidebar(AppModel& model, QWidget* parent = nullptr);

    // The stem of each region, as the window computed it for this turn of the event loop.
    void setPlan(const AppModel::StemMap& plan);

    RegionsBlock* regionsBlock() const { return regions_; }

private:
    QWidget* makeSettings();
    QWidget* makeScanBlock();
    void onModelChanged(AppModel::Property property);
    void refreshResolutions();
    void refreshColorMode();
    void refreshScanButton();
    void refreshCaption();
    void refreshFolder();

    AppModel& model_;
    AppModel::StemMap plan_;

    QLineEdit* baseName_ = nullptr;
    QComboBox* resolution_ = nullptr;
    QComboBox* colorMode_ = nullptr;
    QLineEdit* suffix_ = nullptr;
    ElidedLabel* folder_ = nullptr;
    DrawModeControl* drawMode_ = nullptr;
    QPushButton* scan_ = nullptr;
    ElidedLabel* caption_ = nullptr;
    RegionsBlock* regions_ = nullptr;
};
