#pragma once

// A busy bed for benchmarks: 40 regions in a grid of five columns, every other one an
// automatic back.

#include "model/ScanRegion.h"

#include <vector>

inline std::vector<ScanRegion> fortyRegions()
{
    std::vector<ScanRegion> regions;
    for (int i = 0; i < 40; ++i) {
        ScanRegion r;
        r.name = QString("Region %1").arg(i + 1);
        r.center = QPointF((i % 5) * 1.7 + 0.9, (i / 5) * 1.4 + 0.8);
        r.size = QSizeF(1.5, 1.2);
        if (i % 2) r.back = BackTarget::automatic();
        regions.push_back(r);
    }
    return regions;
}
