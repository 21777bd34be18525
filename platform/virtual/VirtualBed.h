#pragma once

// What lies on the virtual flatbed, and how it looks at any resolution.
//
// By default a demo batch of prints, painted procedurally on an off-white lid: colourful
// scenes, some with white borders, each turned a few degrees and casting a soft shadow.
// After every region scan the batch is turned over, as a user would: the backs lie at nearly
// the same places, some with handwritten notes; the scan after that brings a fresh batch.
// With image files instead, each file covers the whole bed, one after the other.
//
// The bed is a value: copy it and render the copy on any thread.

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <vector>

struct DemoPrint {
    QPointF center;  // bed inches
    QSizeF size;     // inches
    double angle = 0;  // radians, clockwise
    bool whiteBorder = false;
    int scene = 0;     // which kind of picture
    quint32 seed = 0;  // its details
    QString note;      // handwritten on the back; empty for none
};

class VirtualBed {
public:
    static constexpr double widthInches = 8.5;
    static constexpr double heightInches = 11.7;

    // The demo batch number `batch`.
    static VirtualBed demo(quint32 batch = 1);
    // Image files, each covering the whole bed, shown in turn.
    static VirtualBed images(QStringList files);
    // From BIVARA_VIRTUAL_BED (a colon-separated list of image files), else the demo.
    static VirtualBed fromEnvironment();

    // The bed's area `areaInches` at `dpi`, 8-bit RGB. The demo is painted a strip at a time,
    // so that a 1200-dpi bed is held once, not again at 32 bits per pixel.
    QImage render(QRectF areaInches, int dpi) const;

    // After a region scan: fronts become backs, backs a fresh batch; or the next image file.
    void turnOver();

    QSizeF size() const { return {widthInches, heightInches}; }
    bool showingBacks() const { return backs_; }
    const std::vector<DemoPrint>& prints() const { return prints_; }
    const QStringList& files() const { return files_; }

private:
    // Paints the demo's rows from `firstRow` of the area's picture into `image`.
    void paintDemo(QImage& image, QRectF area, int dpi, int firstRow) const;
    void paintFile(QImage& image, const QImage& picture, QRectF area, QSize size, int firstRow) const;

    std::vector<DemoPrint> prints_;
    quint32 batch_ = 1;
    bool backs_ = false;
    QStringList files_;
    int fileIndex_ = 0;
};

// The batch's prints, laid out on the bed without overlapping.
std::vector<DemoPrint> makeDemoBatch(quint32 batch);
