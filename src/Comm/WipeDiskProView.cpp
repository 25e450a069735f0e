#include "Comm/WipeDiskProView.h"

#include "Comm/ProgressPercent.h"
#include "Comm/getColor.h"
#include "kit/ui/Graphics.h"

WipeDiskProView::WipeDiskProView(const kit::Rect& frame) : kit::View(frame) {}

void WipeDiskProView::changeProgressValue(float percent) {
    value_ = progressFillWidth(frame().width(), percent);
    setNeedsDisplay(true);
}

void WipeDiskProView::drawRect(const kit::Rect& dirty) {
    kit::View::drawRect(dirty);
    getColor(217, 226, 241, 1).setFill();
    kit::BezierPath::roundedRect(kit::Rect(0, 0, bounds().width(), 4), 2, 2).fill();
    getColor(85, 129, 203, 1).setFill();
    kit::BezierPath::roundedRect(kit::Rect(0, 0, value_, 4), 2, 2).fill();
}
