#pragma once

// Reads one scan from a SANE handle: starts every frame, reads it with blocking sane_read
// and turns the rows into bands of whole rows or a PNG file. Handles single-pass gray and
// RGB frames, three-pass red/green/blue frames (gathered, then interleaved), data that a
// backend returns together with EOF, and an unknown line count (hand scanners): bands cannot
// describe such an image, so none are sent; a file gets the rows that arrived.
// Runs on the SANE thread.

#include "platform/capture/BandData.h"

#include <QByteArray>
#include <QString>

#include <sane/sane.h>

#include <atomic>
#include <functional>
#include <optional>

class SaneFrameReader {
public:
    SaneFrameReader(SANE_Handle handle, const std::atomic<bool>& cancel);

    // The error text, or nullopt when every frame was read.
    std::optional<QString> readToBands(int maxBandSize, const std::function<void(BandData)>& onBand);
    std::optional<QString> readToPng(const QString& path, int dpi);

    // The shape of the picture once all frames are in: for three-pass scans, the
    // interleaved RGB image.
    struct Shape {
        int width = 0;
        int height = 0;  // -1 while unknown
        int bytesPerRow = 0;
        int channels = 1;
        int depth = 8;
    };

private:
    // Calls `onRow` for each row of the frame; stops early when it returns false.
    std::optional<QString> readFrame(const SANE_Parameters& p, const std::function<bool(const unsigned char*)>& onRow);
    // Reads a whole scan, whose first frame `p` is started, into `shape` and `image` (used
    // for three-pass and unknown heights).
    std::optional<QString> readWhole(SANE_Parameters p, Shape& shape, QByteArray& image);
    // Starts the next frame and fetches its parameters.
    std::optional<QString> start(SANE_Parameters& p);
    bool threePass(const SANE_Parameters& p) const;

    SANE_Handle handle_;
    const std::atomic<bool>& cancel_;
};
