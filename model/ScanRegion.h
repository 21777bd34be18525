#pragma once

#include "model/BackTarget.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QUuid>

#include <array>
#include <optional>

// A rotated rectangle on the bed, cut out of the master scan and saved as one file.
// Bed frame: inches from the bed's top-left corner, x right, y down; angle in radians,
// positive turning clockwise on screen.
struct ScanRegion {
    QUuid id = QUuid::createUuid();
    QString name;
    QPointF center;
    QSizeF size;
    double angle = 0;
    std::optional<BackTarget> back;    // absent: a front
    std::optional<QString> frontBase;  // stem under which it was last saved as a front

    bool isBack() const { return back.has_value(); }

    // Top-left, top-right, bottom-right, bottom-left of the unrotated rectangle,
    // each turned about the centre.
    std::array<QPointF, 4> corners() const;

    // The axis-aligned bounding rectangle of the corners.
    QRectF aabbInches() const;

    friend bool operator==(const ScanRegion&, const ScanRegion&) = default;
};
