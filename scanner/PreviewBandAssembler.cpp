#include "scanner/PreviewBandAssembler.h"

#include <algorithm>
#include <cstring>
#include <limits>

std::unique_ptr<PreviewBandAssembler> PreviewBandAssembler::create(const BandData& band)
{
    const int components = std::max(1, band.numComponents);
    const int bitsPerComponent = band.bitsPerPixel / components;
    if (band.fullImageWidth < 1 || band.fullImageHeight < 1 || band.bytesPerRow < 1) return nullptr;
    if (bitsPerComponent != 8 || band.bitsPerPixel != components * 8) return nullptr;
    if (components != 1 && components != 3 && components != 4) return nullptr;
    // A row must hold its pixels, and the whole buffer must fit in memory we can address.
    if (qint64(band.bytesPerRow) < qint64(band.fullImageWidth) * components) return nullptr;
    const qint64 total = qint64(band.bytesPerRow) * band.fullImageHeight;
    if (total > std::numeric_limits<int>::max()) return nullptr;

    std::unique_ptr<PreviewBandAssembler> a(new PreviewBandAssembler);
    a->width_ = band.fullImageWidth;
    a->height_ = band.fullImageHeight;
    a->bytesPerRow_ = band.bytesPerRow;
    a->bitsPerPixel_ = band.bitsPerPixel;
    a->bitsPerComponent_ = bitsPerComponent;
    a->numComponents_ = components;
    a->pixels_ = QByteArray(qsizetype(total), '\0');
    a->receivedRows_.assign(size_t(a->height_), false);
    return a;
}

bool PreviewBandAssembler::add(const BandData& band)
{
    if (band.fullImageWidth != width_ || band.fullImageHeight != height_ || band.bytesPerRow != bytesPerRow_ ||
        band.bitsPerPixel != bitsPerPixel_ || !band.hasData)
        return false;

    const int start = std::max(0, band.dataStartRow);
    const int rows = std::min(height_ - start, band.dataNumRows);
    if (rows < 1) return false;
    const qint64 bytes = std::min<qint64>(qint64(rows) * bytesPerRow_, band.dataBuffer.size());
    if (bytes < 1) return false;
    const qint64 whole = bytes / bytesPerRow_;
    const qint64 end = (start + whole) * bytesPerRow_;
    if (whole < 1 || pixels_.size() < end) return false;

    std::memcpy(pixels_.data() + qint64(start) * bytesPerRow_, band.dataBuffer.constData(),
                size_t(whole * bytesPerRow_));
    for (qint64 row = start; row < start + whole; ++row) {
        if (receivedRows_[size_t(row)]) continue;
        receivedRows_[size_t(row)] = true;
        ++receivedRowCount_;
    }
    return true;
}

QImage PreviewBandAssembler::makeImage() const
{
    if (pixels_.isEmpty()) return {};
    QImage::Format format = QImage::Format_RGB888;
    if (numComponents_ == 1) format = QImage::Format_Grayscale8;
    else if (numComponents_ == 4) format = QImage::Format_RGBX8888;
    // The image keeps its own reference to the buffer, so it stays valid after we are gone.
    auto* shared = new QByteArray(pixels_);
    QImage image(reinterpret_cast<const uchar*>(shared->constData()), width_, height_, bytesPerRow_, format,
                 [](void* p) { delete static_cast<QByteArray*>(p); }, shared);
    if (image.isNull()) {
        delete shared;
        return {};
    }
    // The fourth byte is padding of unknown value, not alpha: drop it.
    if (numComponents_ == 4) return image.convertToFormat(QImage::Format_RGB888);
    return image;
}
