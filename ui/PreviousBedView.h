#pragma once

// The previous scan: the last batch of fronts as remembered, drawn over the overview they were
// scanned from, each in its pair colour. Hovering a photo traces its link; dragging from a
// photo pulls out a cord to drop on a back; while a link is pending, a click picks the photo
// (or cancels the link on empty space).

#include "model/ScanRecord.h"
#include "ui/PairFrame.h"
#include "ui/PairingRules.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

// The pointer's state, which the previous scan and the workspace read and write together.
struct PairingPointer {
    std::optional<LinkDrag> linkDrag;     // the cord being dragged
    std::optional<QString> hoveredBase;   // the previous photo under the pointer
    std::optional<QPointF> linkCursor;    // the pointer while a link is pending

    friend bool operator==(const PairingPointer&, const PairingPointer&) = default;
};

class PreviousBedView : public QWidget {
    Q_OBJECT

public:
    // Positions it reports and receives are in the coordinates of `space` (the workspace).
    explicit PreviousBedView(QWidget* space, QWidget* parent = nullptr);

    // The remembered fronts, the overview they were scanned from (may be null) and its bed.
    void setScan(const std::vector<ScanRecord>& records, const QImage& image, QSizeF bedSize);
    void setColorByBase(const ColorByBase& colorByBase);
    void setPendingActive(bool pendingActive);
    // The photo under a pending link's pointer.
    void setHighlightBase(const std::optional<QString>& base);
    const std::optional<QString>& highlightBase() const { return highlightBase_; }

    void setPointer(const PairingPointer& pointer);
    const PairingPointer& pointer() const { return pointer_; }

    // Reports the frames again if they moved, for instance when the view moved in the space.
    void reportFrames();

    // Told every change of the pointer's state this view makes.
    std::function<void(const PairingPointer&)> onPointerChanged;
    // A dragged cord released anywhere.
    std::function<void(const LinkDrag&)> onDrop;
    // A click while a link is pending: the photo clicked, or none.
    std::function<void(const std::optional<QString>&)> onPickPrevious;

signals:
    // One frame per record, in record order, after every change of layout or records.
    void prevFramesChanged(const PrevFrames& frames);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void layOut();
    QPointF toSpace(QPointF local) const;
    std::optional<std::size_t> recordAt(QPointF local) const;
    void changePointer(const PairingPointer& pointer);
    void hoverMove(QPointF local);
    void dragMove(QPointF local);
    void redraw();
    void renderLayer(qreal devicePixelRatio);
    void drawPicture(QPainter& painter);
    bool emphasised(std::size_t i) const;
    bool raised(std::size_t i) const;
    // The record plain, or (`over`) what emphasis and highlight add over its plain self.
    void drawRecord(QPainter& painter, std::size_t i, bool over);

    QWidget* space_;
    std::vector<ScanRecord> records_;
    QImage image_;
    QSizeF bedSize_;
    ColorByBase colorByBase_;
    bool pendingActive_ = false;
    std::optional<QString> highlightBase_;
    PairingPointer pointer_;

    // Layout, made again on every resize and change of the scan.
    QRectF fit_;
    std::vector<QPolygonF> polygons_;
    std::vector<QPointF> centers_;
    std::vector<QSizeF> labelSizes_;
    PrevFrames reported_;

    // The picture with every record drawn plain, made again only when the scan, the colours
    // or the size change; and the picture's shadow, made once per size.
    QPixmap layer_;
    QImage shadow_;

    std::optional<QPointF> pressAt_;  // where the left button went down
    bool dragging_ = false;
};
