#include "Comm/DiskSizeProgress.h"

#include "Comm/ProgressPercent.h"
#include "Comm/getColor.h"
#include "kit/ui/Graphics.h"

DiskSizeProgress::DiskSizeProgress(const kit::Rect& frame) : kit::View(frame) {}
DiskSizeProgress::~DiskSizeProgress() = default;

void DiskSizeProgress::changeProgressValue(float percent) {
    used_ = progressFillWidth(frame().width(), percent);
    setNeedsDisplay(true);
}

void DiskSizeProgress::drawRect(const kit::Rect& dirty) {
    kit::View::drawRect(dirty);
    const kit::Rect f = frame(), b = bounds();
    getColor(217, 226, 241, 1).setFill();
    kit::BezierPath::roundedRect(kit::Rect(0, 0, f.width(), f.height()), 2, 2).fill();
    const kit::Color fill = getColor(85, 129, 203, 1);
    kit::Gradient(fill, fill).drawInBezierPath(kit::BezierPath::roundedRect(kit::Rect(b.x(), b.y(), used_, b.height()), 2, 2), 0);
}
