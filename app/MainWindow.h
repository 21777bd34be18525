#pragma once

// The one window, "Bivara Scanner": 1080 × 720 at first, never below 940 × 620. Its menus
// carry Quit and the Edit menu's Delete; it starts the scanner's warm-up when first shown and
// writes the debounced saves at once when it closes.

#include "app/ContentView.h"

#include <QMainWindow>

class QAction;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr QSize openingSize{1080, 720};
    static constexpr QSize smallestSize{940, 620};

    explicit MainWindow(std::unique_ptr<AppModel> model, QWidget* parent = nullptr);

    ContentView* content() const { return content_; }
    AppModel& model() const { return content_->model(); }
    QAction* deleteAction() const { return delete_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    ContentView* content_;
    QAction* delete_;
    QAction* quit_;
    bool shown_ = false;
};
