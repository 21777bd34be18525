#pragma once

// The scanner chooser in the toolbar: the scanner's name in upper case on an accent-tinted
// chip, and a menu of every scanner found, the active one ticked.

#include "core/AppModel.h"

#include <QToolButton>

class ScannerChip : public QToolButton {
    Q_OBJECT

public:
    static constexpr int maxWidth = 220;

    // The open scanner's name, else the active entry's, else "NO SCANNER"; in upper case.
    static QString label(const AppModel& model);

    explicit ScannerChip(AppModel& model, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateLabel();
    void rebuildMenu();

    AppModel& model_;
};
