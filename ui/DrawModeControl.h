#pragma once

// The draw side: a two-segment bar (FRONT, BACK) whose highlight slides to the side new
// regions are drawn on, and four rows of hints about the bed's gestures.

#include "core/AppModel.h"

#include <QVariantAnimation>
#include <QWidget>

class QLabel;
class DrawSegment;

class DrawModeControl : public QWidget {
    Q_OBJECT

public:
    explicit DrawModeControl(AppModel& model, QWidget* parent = nullptr);

    // Where the highlight is: 0 over FRONT, 1 over BACK, between while it slides.
    double highlightPosition() const { return highlight_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showSide(DrawSide side, bool animated);
    void paintBar(QWidget* bar);

    AppModel& model_;
    QWidget* bar_;
    DrawSegment* front_;
    DrawSegment* back_;
    QLabel* firstHint_;
    double highlight_ = 0;
    QVariantAnimation slide_;
};
