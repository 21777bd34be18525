#pragma once

// The program's PNG writer: a file written row by row as the rows arrive, so a large scan
// never has to be held whole in memory. Gray, gray with alpha, RGB or RGBA; 8 or 16 bits
// per sample, and 1-bit gray.
//
// Compression is chosen for the master scan, an intermediate file read back at once and
// deleted: every row gets the "up" filter (one subtraction to write, one addition to read),
// and the rows gather into bands of a few megabytes which are deflated apart (RunDeflate), on
// whichever cores are free while later rows arrive. Each band ends on a byte boundary, so the
// bands' deflate data follow one another as one zlib stream.
//
// Not thread-bound, but one writer is used by one thread at a time.

#include <QByteArray>
#include <QList>
#include <QString>

#include <deque>
#include <memory>
#include <utility>
#include <vector>

class PngRowWriter {
public:
    struct Header {
        int width = 0;
        int height = 0;
        int channels = 3;  // 1 gray, 2 gray and alpha, 3 RGB, 4 RGBA
        int bitDepth = 8;  // 8 or 16; 1 for gray alone
        // Rows as scanners give them: 16-bit samples in this machine's byte order, and 1-bit
        // gray with 1 meaning black; both are turned into PNG's on the way. Otherwise rows are
        // in PNG's own order (16-bit samples big-endian, 1-bit with 1 meaning white).
        bool scannerRows = false;
        int dotsPerMetreX = 0, dotsPerMetreY = 0;
        QByteArray iccProfile;
        QList<std::pair<QString, QString>> texts;
    };

    PngRowWriter();
    ~PngRowWriter();
    PngRowWriter(const PngRowWriter&) = delete;
    PngRowWriter& operator=(const PngRowWriter&) = delete;

    // Starts the file (creating missing folders) and writes the header. The file is written
    // beside `path` and takes that name, whole, only when finish() succeeds. False with
    // error() set.
    bool open(const QString& path, const Header& header);
    // A scanner's image: rows in the scanner's conventions, its resolution in dots per inch.
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
    struct File;
    struct Band;
    bool fail(const QString& message);
    bool failWriting();
    void startBand();
    bool sendBand();
    bool writeOldest();

    std::unique_ptr<File> file_;
    std::deque<std::shared_ptr<Band>> compressing_;  // oldest first
    std::shared_ptr<Band> filling_;
    QString path_;
    QString error_;
    Header header_;
    int rowBytes_ = 0;
    int rowsPerBand_ = 0;
    int rowsWritten_ = 0;
    int bandsInFlight_ = 0;
    unsigned adler_ = 1;
    std::vector<unsigned char> lastRow_;
};
