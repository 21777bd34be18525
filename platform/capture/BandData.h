#pragma once

// One band of whole rows of an image scanned into memory. The geometry fields describe the
// full image; dataStartRow and dataNumRows say which rows this band's buffer holds.

#include <QByteArray>

struct BandData {
    int fullImageWidth = 0;
    int fullImageHeight = 0;
    int bytesPerRow = 0;
    int bitsPerPixel = 0;
    int numComponents = 0;
    int dataStartRow = 0;
    int dataNumRows = 0;
    bool hasData = false;  // a band may arrive without a buffer
    QByteArray dataBuffer;
};
