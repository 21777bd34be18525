#pragma once

// One functional unit of a scanner (flatbed, document feeder, transparency unit): what it can
// do, reported by the device, and the parameters of the next scan, set by the caller before
// ScannerDevice::requestScan(). All lengths are in inches.

#include "platform/capture/CaptureTypes.h"

#include <QRectF>
#include <QSizeF>

#include <vector>

struct FunctionalUnit {
    // ---- capabilities (set by the device) -----------------------------------------------
    int type = UnitType::flatbed;
    int nativeXResolution = 0;
    std::vector<int> supportedResolutions;  // ascending
    std::vector<int> supportedBitDepths;    // ascending
    QSizeF physicalSize;                    // the scannable area

    // ---- the next scan (set by the caller) ----------------------------------------------
    QRectF scanArea;
    int resolution = 0;
    int pixelDataType = PixelDataType::rgb;
    int bitDepth = 8;
};
