#pragma once

// Near-equality of points, sizes and regions worked out in floating point, with both values in
// the failure message.

#include "model/ScanRegion.h"

#include <QPointF>
#include <QSizeF>

#include <gtest/gtest.h>

#include <cmath>

inline ::testing::AssertionResult near(QPointF a, QPointF b, double eps = 1e-9)
{
    if (std::abs(a.x() - b.x()) <= eps && std::abs(a.y() - b.y()) <= eps) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << '(' << a.x() << ", " << a.y() << ") vs (" << b.x() << ", " << b.y() << ')';
}

inline ::testing::AssertionResult near(QSizeF a, QSizeF b, double eps = 1e-9)
{
    return near(QPointF(a.width(), a.height()), QPointF(b.width(), b.height()), eps);
}

// Centre, size and angle of two regions.
inline ::testing::AssertionResult near(const ScanRegion& a, const ScanRegion& b, double eps = 1e-9)
{
    if (near(a.center, b.center, eps) && near(a.size, b.size, eps) && std::abs(a.angle - b.angle) <= eps)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "centre " << near(a.center, b.center, 0).message() << ", size "
                                         << near(a.size, b.size, 0).message() << ", angle " << a.angle << " vs " << b.angle;
}
