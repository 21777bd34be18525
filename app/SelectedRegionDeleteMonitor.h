#pragma once

// The window's keys for the bed: Space flips, Delete removes the selected region, Escape
// cancels a link in progress. One application-wide event filter sees every key before the
// widgets and the shortcuts do; it only acts for keys meant for its own window and never
// while a text input has the keyboard focus.
//
// A key it takes is consumed at once (neither a shortcut nor a focused button sees it) and
// its action runs on the next turn of the event loop, against the model as it is then.

#include "core/AppModel.h"

#include <QObject>
#include <QPointer>
#include <QUuid>

#include <optional>

class QKeyEvent;
class QWidget;

class SelectedRegionDeleteMonitor : public QObject {
    Q_OBJECT

public:
    enum class KeyAction { pass, cancelLink, flipSpace, removeSelected };

    // The action for one key press, given whether a link is in progress and a region is
    // selected; Shift never matters, Ctrl, Alt and Meta make the key pass.
    static KeyAction action(int key, Qt::KeyboardModifiers modifiers, bool linking, bool hasSelection);
    // Line edits, text views, spin boxes and editable combo boxes.
    static bool isTextInput(const QWidget* widget);

    // Puts the (empty, zero-sized) keyboard capture view into `host` and installs the filter.
    SelectedRegionDeleteMonitor(AppModel& model, QWidget* host);

    // The widget that takes the keyboard focus from text fields when the selection changes.
    QWidget* captureView() const { return view_; }

    // Takes the model's selection and link state; moves the focus to the capture view when
    // the selection changed.
    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyAction decide(QObject* receiver, const QKeyEvent& key) const;
    void schedule(KeyAction action, std::optional<QUuid> id);

    QPointer<QWidget> view_;
    QPointer<AppModel> model_;
    std::optional<QUuid> selectedID_;
    bool linking_ = false;
};
