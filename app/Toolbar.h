#pragma once

// The row across the top of the window: title, scanner chip, Preview, Auto-detect, the
// pairing switch, a spinner while anything runs, and the status line at the right edge.

#include "core/AppModel.h"

#include <QWidget>

class PairButton;
class QPushButton;
class ScannerChip;
class Spinner;
class ElidedLabel;

class Toolbar : public QWidget {
    Q_OBJECT

public:
    explicit Toolbar(AppModel& model, QWidget* parent = nullptr);

    ScannerChip* chip() const { return chip_; }
    QPushButton* previewButton() const { return preview_; }
    QPushButton* autoDetectButton() const { return autoDetect_; }
    PairButton* pairButton() const { return pair_; }
    Spinner* spinner() const { return spinner_; }
    ElidedLabel* statusLine() const { return status_; }

private:
    void refresh();

    AppModel& model_;
    ScannerChip* chip_;
    QPushButton* preview_;
    QPushButton* autoDetect_;
    PairButton* pair_;
    Spinner* spinner_;
    ElidedLabel* status_;
};
