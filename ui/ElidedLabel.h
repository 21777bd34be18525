#pragma once

// One line of text that is shortened with an ellipsis (at its head, middle or tail) when it
// does not fit, instead of widening its row; optionally the whole text is then its tool tip.

#include <QColor>
#include <QWidget>

class ElidedLabel : public QWidget {
    Q_OBJECT

public:
    explicit ElidedLabel(Qt::TextElideMode mode, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    void setText(const QString& text);
    void setColor(const QColor& color);
    // Alignment within the label's width when the text is shorter.
    void setAlignment(Qt::Alignment alignment);
    // While the text is shortened, the whole text is the tool tip (off by default).
    void setWholeTextAsToolTip(bool on);
    // The text as drawn at the current width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateToolTip();

    QString text_;
    QColor color_;
    Qt::TextElideMode mode_;
    Qt::Alignment alignment_ = Qt::AlignLeft;
    bool wholeTextAsToolTip_ = false;
};
