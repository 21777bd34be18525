#pragma once

// Writes a PNG file row by row as scanned data arrives, so a large scan never has to be
// held whole in memory. Gray or RGB, 1, 8 or 16 bits per sample. Rows are given as the
// scanner delivers them: 16-bit samples in this machine's byte order, and 1-bit gray with 1
// meaning black (the scanners' convention); both are turned into PNG's on the way out.
// Fast compression (the "up" filter, zlib's runs only): a scan file is an intermediate, read
// back at once.
//
// Not thread-bound, but one writer is used by one thread at a time.

#include <QString>

#include <cstdio>
#include <memory>

class PngRowWriter {
public:
    PngRowWriter();
    ~PngRowWriter();
    PngRowWriter(const PngRowWriter&) = delete;
    PngRowWriter& operator=(const PngRowWriter&) = delete;

    // Starts the file (creating missing folders) and writes the header. The file is written
    // beside `path` and takes that name, whole, only when finish() succeeds. False with
    // error() set.
    bool open(const QString& path, int width, int height, int channels, int bitDepth, int dpi = 0);
    // One row of at least rowBytes() bytes.
    bool writeRow(const unsigned char* row);
    // Writes the end of the file and closes it; false when anything failed on the way.
    bool finish();
    // Drops a file that will not be finished; whatever was at `path` stays.
    void abandon();

    int rowBytes() const { return rowBytes_; }
    int rowsWritten() const { return rowsWritten_; }
    const QString& error() const { return error_; }

private:
    struct Png;
    bool fail(const QString& message);

    std::unique_ptr<Png> png_;
    QString path_;
    QString error_;
    int rowBytes_ = 0;
    int height_ = 0;
    int rowsWritten_ = 0;
};
