#pragma once

// The pictures the window's controls show, by their names in the freedesktop icon theme
// that Appearance selects (Breeze Dark, from Debian's breeze-icon-theme).

#include <QIcon>

#include <array>

namespace Icons {
inline constexpr const char* preview = "view-visible";               // an eye
inline constexpr const char* autoDetect = "edit-image-face-detect";  // a viewfinder's corners
inline constexpr const char* pair = "link";                          // a chain link
inline constexpr const char* checkmark = "checkmark";
inline constexpr std::array all{preview, autoDetect, pair, checkmark};

inline QIcon get(const char* name) { return QIcon::fromTheme(QString::fromLatin1(name)); }
// The same picture in one colour, for an icon on a filled button.
QIcon tinted(const char* name, const QColor& color);
}  // namespace Icons
