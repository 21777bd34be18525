#pragma once

// The cords between remembered fronts and their backs, over the whole work area. It takes no
// pointer input: the photos and the bed below it get every click.

#include "ui/PairingRules.h"

#include <QPixmap>
#include <QVariantAnimation>
#include <QWidget>

#include <vector>

class ConnectorsView : public QWidget {
public:
    // Draws in the coordinates of `space` (the workspace), where the cords are given.
    explicit ConnectorsView(QWidget* space, QWidget* parent = nullptr);

    // `fade`: cords that come fade in and cords that go fade out, over 0.18 seconds.
    void setConnectors(std::vector<Connector> connectors, bool fade = false);
    const std::vector<Connector>& connectors() const { return connectors_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<Connector> plainCords() const;

    QWidget* space_;
    std::vector<Connector> connectors_;
    std::vector<Connector> leaving_;  // fading out
    std::vector<Connector> arriving_; // fading in
    QVariantAnimation fade_;
    // The cords at rest, drawn plain once.
    QPixmap layer_;
    QPointF layerOrigin_;
    std::vector<Connector> layerCords_;
};
