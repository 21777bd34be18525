#pragma once

// A small coloured button: a bold mono label with an optional symbol in the chip's colour,
// on a rounded rectangle tinted with it. Pressing deepens the tint and the outline.

#include <QAbstractButton>
#include <QColor>

struct ChipButtonStyle {
    QColor color;
};

class ChipButton : public QAbstractButton {
    Q_OBJECT

public:
    // `symbol` is a freedesktop icon name; empty for a label alone.
    ChipButton(const QString& text, const QString& symbol, ChipButtonStyle style, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    ChipButtonStyle style_;
};
