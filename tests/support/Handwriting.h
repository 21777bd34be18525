#pragma once

// The handwriting font that rendered backs are written in, and the guard for tests that need
// the text recognizer.

#include "platform/vision/TextRecognizer.h"

#include <QFontDatabase>
#include <QString>

#include <gtest/gtest.h>

// The family of Debian's dkg handwriting font, or empty when it is not installed.
inline QString handwritingFamily()
{
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/fonts/truetype/fifthhorseman/dkg.ttf"));
        return id < 0 ? QString() : QFontDatabase::applicationFontFamilies(id).value(0);
    }();
    return family;
}

#define REQUIRE_RECOGNIZER()                                                                   \
    do {                                                                                       \
        if (!Vision::textRecognizerAvailable()) GTEST_SKIP() << "no Tesseract English data";   \
        if (handwritingFamily().isEmpty()) GTEST_SKIP() << "fonts-dkg-handwriting missing";    \
    } while (false)
