#include "app/SelectedRegionDeleteMonitor.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>

SelectedRegionDeleteMonitor::KeyAction SelectedRegionDeleteMonitor::action(int key, Qt::KeyboardModifiers modifiers,
                                                                           bool linking, bool hasSelection)
{
    const bool chord = modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (key == Qt::Key_Escape) return linking ? KeyAction::cancelLink : KeyAction::pass;
    if (key == Qt::Key_Space && !chord) return KeyAction::flipSpace;
    if (hasSelection && (key == Qt::Key_Backspace || key == Qt::Key_Delete) && !chord) return KeyAction::removeSelected;
    return KeyAction::pass;
}

bool SelectedRegionDeleteMonitor::isTextInput(const QWidget* widget)
{
    if (!widget) return false;
    if (qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
        qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget))
        return true;
    const auto* combo = qobject_cast<const QComboBox*>(widget);
    return combo && combo->isEditable();
}

SelectedRegionDeleteMonitor::SelectedRegionDeleteMonitor(AppModel& model, QWidget* host)
    : QObject(host), model_(&model)
{
    auto* view = new QWidget(host);
    view->setObjectName(QStringLiteral("keyboardCapture"));
    view->setFocusPolicy(Qt::ClickFocus);
    view->setGeometry(0, 0, 0, 0);
    view_ = view;
    refresh();
    // A filter goes with its object, so the application never calls into a monitor that is gone.
    qApp->installEventFilter(this);
}

void SelectedRegionDeleteMonitor::refresh()
{
    const std::optional<QUuid> selected = model_ ? model_->selectedID() : std::nullopt;
    const bool selectionChanged = selected != selectedID_;
    selectedID_ = selected;
    linking_ = model_ && model_->pendingLink().has_value();
    if (selectionChanged && view_ && view_->window()->isVisible()) view_->setFocus(Qt::OtherFocusReason);
}

SelectedRegionDeleteMonitor::KeyAction SelectedRegionDeleteMonitor::decide(QObject* receiver, const QKeyEvent& key) const
{
    // Key events reach a window's handle first and its widgets after; only widgets count.
    const auto* widget = qobject_cast<const QWidget*>(receiver);
    if (!widget) return KeyAction::pass;
    const QWidget* mine = view_ ? view_->window() : nullptr;
    if (widget->window() != mine) return KeyAction::pass;
    if (isTextInput(widget) || isTextInput(widget->window()->focusWidget())) return KeyAction::pass;
    return action(key.key(), key.modifiers(), linking_, selectedID_.has_value());
}

bool SelectedRegionDeleteMonitor::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride) return false;
    const KeyAction act = decide(watched, *static_cast<QKeyEvent*>(event));
    if (act == KeyAction::pass) return false;
    // A shortcut that claims this key is asked first; taking the key here keeps the shortcut
    // from firing, and the key press itself follows.
    event->accept();
    if (type == QEvent::KeyPress) schedule(act, selectedID_);
    return true;
}

void SelectedRegionDeleteMonitor::schedule(KeyAction action, std::optional<QUuid> id)
{
    QTimer::singleShot(0, this, [this, action, id] {
        AppModel* model = model_;
        if (!model) return;
        switch (action) {
        case KeyAction::cancelLink: model->cancelLink(); break;
        case KeyAction::flipSpace: model->flipSpace(); break;
        case KeyAction::removeSelected: model->removeRegion(*id); break;
        case KeyAction::pass: break;
        }
    });
}
