#pragma once

// The window's type: sizes are pixel sizes (one logical pixel per point), "mono" is the
// system's fixed-pitch font.

#include <QFont>
#include <QFontDatabase>

inline QFont monoFont(int pixelSize, QFont::Weight weight = QFont::Normal)
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    return f;
}
