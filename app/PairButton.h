#pragma once

// The pairing switch in two forms: "Pair Backs" (enabled when there is a batch of fronts to
// pair with and nothing runs) while the bed is shown, and the accent-filled "Pairing" (always
// enabled) while the pairing workspace is up. What pressing it does is the window's.

#include "core/AppModel.h"

#include <QPushButton>

#include <optional>

class PairButton : public QPushButton {
    Q_OBJECT

public:
    static const QString pairHelp;     // when there is something to pair with
    static const QString cannotHelp;   // when there is not

    explicit PairButton(AppModel& model, QWidget* parent = nullptr);

    // Takes the form, enabled state and tool tip from the model.
    void refresh();

private:
    AppModel& model_;
    std::optional<bool> form_;  // pairing or not, as last shown
};
