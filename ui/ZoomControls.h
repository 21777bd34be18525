#pragma once

// The bed's zoom cluster: zoom out, a readout, zoom in and fit to view.

#include <QAbstractButton>
#include <QLabel>
#include <QWidget>

#include "ui/BedGlyphs.h"

class ZoomButton : public QAbstractButton {
    Q_OBJECT
public:
    ZoomButton(BedGlyphs::Glyph glyph, const QString& help, QWidget* parent);
    QSize sizeHint() const override { return {22, 18}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    BedGlyphs::Glyph glyph_;
};

class ZoomControls : public QWidget {
    Q_OBJECT
public:
    explicit ZoomControls(QWidget* parent = nullptr);

    // Enables the buttons and sets the readout for this zoom.
    void setZoom(double zoom);
    QString readout() const { return readout_->text(); }

    // What the hover help says.
    static QString helpText();

signals:
    void zoomOutClicked();
    void zoomInClicked();
    void fitClicked();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    ZoomButton* out_;
    ZoomButton* in_;
    ZoomButton* fit_;
    QLabel* readout_;
};
