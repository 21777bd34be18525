#pragma once

// Fonts and tinted symbols for the sidebar's widgets.

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QLabel;
class QWidget;

namespace SidebarStyle {

// The system's fixed font (or its ordinary font) `px` logical pixels high.
QFont font(double px, QFont::Weight weight = QFont::Normal, bool mono = true, double letterSpacing = 0);

// A symbol of the desktop's icon theme (a freedesktop name such as "user-trash-symbolic"),
// `px` logical pixels square, drawn in `color`. Null when the theme has no such icon.
QPixmap symbol(const QString& name, const QColor& color, double px, qreal devicePixelRatio);
// The same as an icon for buttons and menus, in `color`, with a disabled form at lower opacity.
QIcon symbolIcon(const QString& name, const QColor& color);

// A label in `Theme::secondary()` at `opacity`.
QLabel* secondaryLabel(const QString& text, const QFont& font, QWidget* parent, double opacity = 1);
// A one-pixel black line across its parent.
QWidget* divider(QWidget* parent);

}  // namespace SidebarStyle
