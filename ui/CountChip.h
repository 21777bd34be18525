#pragma once

// A count with its label ("2 FRONT") on a rounded rectangle tinted with its colour; the text
// is faded while the count is 0.

#include <QColor>
#include <QWidget>

class CountChip : public QWidget {
    Q_OBJECT

public:
    CountChip(const QString& label, QColor color, QWidget* parent = nullptr);

    int count() const { return count_; }
    void setCount(int count);
    QColor textColor() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString label_;
    QColor color_;
    int count_ = -1;
};
