#pragma once

// The cord being made: dragged from a previous photo, or running from a pending link's source
// back to the pointer, with the back it would link to outlined. Over everything else in the
// work area, and taking no pointer input.

#include "ui/PairingRules.h"

#include <QColor>
#include <QPolygonF>
#include <QWidget>

#include <optional>

class LinkCordView : public QWidget {
public:
    // Draws in the coordinates of `space` (the workspace), where the cord is given.
    explicit LinkCordView(QWidget* space, QWidget* parent = nullptr);

    void setLinkDrag(const std::optional<LinkDrag>& linkDrag);
    const std::optional<LinkDrag>& linkDrag() const { return linkDrag_; }

    // The outline of the back under the cord's end, in its pair colour.
    void setTarget(const std::optional<QPolygonF>& corners, const QColor& color);
    const std::optional<QPolygonF>& target() const { return target_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF drawnArea() const;  // in this view's coordinates
    void repaintArea(const QRectF& before);

    QWidget* space_;
    std::optional<LinkDrag> linkDrag_;
    std::optional<QPolygonF> target_;
    QColor targetColor_;
};
