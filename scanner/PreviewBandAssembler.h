#pragma once

// Gathers the bands of an in-memory overview into one preallocated buffer, one flag per row,
// and builds the image once every row has arrived. Bands may come out of order or overlap;
// a band whose geometry disagrees with the first one, or whose rows lie outside the image,
// is dropped.

#include "platform/capture/BandData.h"

#include <QByteArray>
#include <QImage>

#include <memory>
#include <vector>

class PreviewBandAssembler {
public:
    // Null unless the band describes an 8-bit gray, RGB or RGB-plus-padding-byte image of at
    // least one pixel.
    static std::unique_ptr<PreviewBandAssembler> create(const BandData& band);

    // Copies the band's whole rows into place. False when the band was dropped.
    bool add(const BandData& band);

    bool isComplete() const { return receivedRowCount_ == height_; }
    int receivedRowCount() const { return receivedRowCount_; }

    // The image over the whole buffer (row padding included, a fourth byte skipped); null
    // when it cannot be made.
    QImage makeImage() const;

    int width() const { return width_; }
    int height() const { return height_; }
    int bytesPerRow() const { return bytesPerRow_; }
    int bitsPerPixel() const { return bitsPerPixel_; }
    int bitsPerComponent() const { return bitsPerComponent_; }
    int numComponents() const { return numComponents_; }

private:
    PreviewBandAssembler() = default;

    int width_ = 0;
    int height_ = 0;
    int bytesPerRow_ = 0;
    int bitsPerPixel_ = 0;
    int bitsPerComponent_ = 0;
    int numComponents_ = 0;
    QByteArray pixels_;
    std::vector<bool> receivedRows_;
    int receivedRowCount_ = 0;
};
