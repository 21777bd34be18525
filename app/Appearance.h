#pragma once

// The window's look, the same on every desktop: the Fusion style with a dark palette made of
// the Theme colours, the accent as highlight, and the Breeze Dark icons.

class QApplication;
class QPalette;

namespace Appearance {
QPalette palette();
// Style, palette, icon theme and the application's own icon; safe to call more than once.
void apply(QApplication& app);
}  // namespace Appearance
