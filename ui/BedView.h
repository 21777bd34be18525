#pragma once

// The interactive picture of the scanner bed: the overview with every region drawn on it,
// and the mouse that draws, selects, moves, resizes and rotates them. Every edit is written
// straight into the model's regions; the view keeps only the gesture, hover and zoom.

#include "core/AppModel.h"
#include "ui/BedDrawing.h"
#include "ui/BedGeometry.h"
#include "ui/BedLayers.h"
#include "ui/PairFrame.h"

#include <QColor>
#include <QHash>
#include <QPointer>
#include <QWidget>

#include <optional>

class ZoomControls;

class BedView : public QWidget {
    Q_OBJECT

public:
    explicit BedView(AppModel& model, QWidget* parent = nullptr);

    // Each region's planned stem, its label.
    void setPlan(const AppModel::StemMap& plan);

    // In the pairing workspace: regions take their pair's colour, no link cord is drawn, and
    // the view reports its frames and the pointer to the receiver.
    void setPairingMode(bool pairing);
    void setFrameReceiver(QWidget* receiver);
    // Pair colours by region id; a region without one is drawn in `unpaired`.
    void setPairColors(const QHash<QUuid, QColor>& colors, const QColor& unpaired);

    const Bed::Zoom& zoom() const { return zoom_; }
    Bed::Mapping mapping() const;
    ZoomControls* zoomControls() const { return controls_; }
    // Where each region is drawn, in the receiver's coordinates (this view's without one).
    PairFrames currentFrames() const;

signals:
    // Pairing mode with a receiver: one frame per region, in list order, after every layout,
    // region change, zoom and pan.
    void pairFramesChanged(const PairFrames& frames);
    // Pairing mode: the pointer in the receiver's coordinates; absent when it leaves.
    void hoverChanged(const std::optional<QPointF>& point);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;

private:
    void modelChanged(AppModel::Property property);
    QSizeF bedSize() const;
    QRectF base() const;
    void setZoom(Bed::Zoom zoom);
    void zoomAbout(double factor, QPointF at);
    void resetZoom();
    void placeControls();

    void hover(QPointF p, Qt::KeyboardModifiers modifiers);
    void refreshPointer(Qt::KeyboardModifiers modifiers);
    void beginDrag(Qt::KeyboardModifiers modifiers);
    void updateDrag(QPointF p, Qt::KeyboardModifiers modifiers);
    void endDrag();
    void click(QPointF p);
    void writeRegion(const ScanRegion& region);
    void reportFrames();
    QPointF toReceiver(QPointF p) const;

    QColor colorOf(const ScanRegion& r) const;
    const QImage& picture();
    BedDrawing::Frame frame();

    AppModel& model_;
    AppModel::StemMap plan_;
    bool pairing_ = false;
    QPointer<QWidget> receiver_;
    QHash<QUuid, QColor> pairColors_;
    QColor unpaired_ = QColor::fromRgbF(0.55f, 0.55f, 0.55f);

    // The gesture: a press, and once it moves, what it grabbed.
    std::optional<QPointF> pressPt_;
    bool moved_ = false;
    std::optional<Bed::DragInfo> drag_;
    std::optional<QRectF> createRect_;

    std::optional<QPointF> lastHover_;
    std::optional<Bed::Pointer> pointer_;
    Bed::Zoom zoom_;
    ZoomControls* controls_;

    QImage picture_;  // the overview in the drawing's format, redone when the overview changes
    qint64 pictureKey_ = 0;
    BedDrawing::BedLayers layers_;
    QImage frameImage_;  // where each frame is drawn before it is shown
};
