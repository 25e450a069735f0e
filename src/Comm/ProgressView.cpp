#include "Comm/ProgressView.h"

#include "Comm/ProgressPercent.h"
#include "kit/ui/Graphics.h"

ProgressView::ProgressView(const kit::Rect& frame) : kit::View(frame) {}

void ProgressView::changeProgressValue(float percent) {
    used_ = progressFillWidth(frame().width(), percent);
    setNeedsDisplay(true);
}

void ProgressView::drawRect(const kit::Rect& dirty) {
    kit::View::drawRect(dirty);
    kit::Color::rgb255(207, 222, 250).setFill();
    kit::BezierPath::roundedRect(kit::Rect(0, 0, dirty.width(), 6), 3, 3).fill();
    kit::Color::rgb255(78, 109, 255).setFill();
    kit::BezierPath::roundedRect(kit::Rect(0, 0, used_, 6), 3, 3).fill();
}
