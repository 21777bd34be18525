#pragma once

// The capsule button that shows every front-to-back link at once: an eye and "ALL LINKS",
// accent-filled while on. Its look eases between off and on over 0.18 seconds.

#include <QAbstractButton>
#include <QVariantAnimation>

class AllLinksToggle : public QAbstractButton {
public:
    explicit AllLinksToggle(QWidget* parent = nullptr);

    // Sets the state without the animation (at start-up).
    void setCheckedAtOnce(bool on);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVariantAnimation ease_;  // 0 off .. 1 on
};
