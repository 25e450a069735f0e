#include "Comm/SizeView.h"

#include "Comm/ProgressPercent.h"
#include "kit/ui/Graphics.h"

SizeView::SizeView(const kit::Rect& frame) : kit::View(frame) {}

void SizeView::setSizeFloat(float percent) {
    pointSize_ = float(progressPercent(percent) * bounds().width() / 100.0);
    setNeedsDisplay(true);
}

void SizeView::drawRect(const kit::Rect& dirty) {
    kit::View::drawRect(dirty);
    kit::Color::rgb255(215, 220, 231).setFill();
    kit::BezierPath::roundedRect(kit::insetRect(bounds(), 0.5, 0.5), 3, 3).fill();
    // An empty share draws no fill (its inset rectangle would have no width).
    const kit::Rect fill = kit::insetRect(kit::Rect(0, 0, pointSize_, 6), 0.5, 0.5);
    if (fill.width() <= 0) return;
    kit::Color::rgb255(107, 146, 242).setFill();
    kit::BezierPath::roundedRect(fill, 3, 3).fill();
}
