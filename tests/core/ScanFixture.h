#pragma once

// A model over a scripted engine whose bed holds two prints, ready to scan at 100 dpi.

#include "support/Make.h"
#include "support/ModelFixture.h"

#include <QDir>
#include <QPainter>

class ScanTest : public ModelFixture {
protected:
    // A bed at 20 px per inch: a red print at (1..3, 1..4) in, a blue one at (5..7, 6..9) in.
    static QImage paintedBed()
    {
        QImage bed(170, 234, QImage::Format_RGB32);
        bed.fill(QColor(235, 235, 230));
        QPainter p(&bed);
        p.fillRect(QRect(20, 20, 40, 60), QColor(200, 30, 30));
        p.fillRect(QRect(100, 120, 40, 60), QColor(30, 30, 200));
        return bed;
    }

    AppModel& readyModel()
    {
        AppModel& m = makeModel([](ScriptedEngine& e) { e.bedImage = e.overviewImage = paintedBed(); });
        announceScanner();
        spinUntil([&] { return m.info().has_value(); });
        m.setDpi(100);
        return m;
    }

    static ScanRegion print(QRectF inches, std::optional<BackTarget> back = std::nullopt)
    {
        return makeRegion(inches.center(), inches.size(), back, "Photo");
    }

    QString out(const QString& name) const { return QDir(outputFolder()).filePath(name); }
};

