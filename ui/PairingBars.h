#pragma once

// The bars above and below the pairing work area: the header with the two tags, the
// "DRAG TO PAIR" chip and the all-links toggle, and the footer with the hints.

#include <QColor>
#include <QWidget>

class AllLinksToggle;
class QLabel;

// A title above a detail line, in the header's corners.
class PairingTag : public QWidget {
public:
    PairingTag(const QString& title, Qt::Alignment alignment, QWidget* parent = nullptr);
    void setDetail(const QString& text, const QColor& color);
    QString detail() const;

private:
    QLabel* detail_;
};

// A capsule in the accent colour that says cords can be dragged.
class DragChip : public QWidget {
public:
    explicit DragChip(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

class PairingHeader : public QWidget {
public:
    explicit PairingHeader(QWidget* parent = nullptr);
    PairingTag* previousTag() const { return previous_; }
    PairingTag* newTag() const { return new_; }
    AllLinksToggle* toggle() const { return toggle_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PairingTag* previous_;
    PairingTag* new_;
    AllLinksToggle* toggle_;
};

class PairingFooter : public QWidget {
public:
    explicit PairingFooter(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
