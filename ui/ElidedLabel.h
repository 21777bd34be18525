#pragma once

// One line of text that is shortened with an ellipsis (at its head, middle or tail) when it
// does not fit, instead of widening its row.

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

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString text_;
    QColor color_;
    Qt::TextElideMode mode_;
    Qt::Alignment alignment_ = Qt::AlignLeft;
};
