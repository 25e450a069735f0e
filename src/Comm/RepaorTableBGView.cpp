#include "Comm/RepaorTableBGView.h"

#include "kit/ui/Graphics.h"

RepaorTableBGView::RepaorTableBGView(const kit::Rect& frame) : kit::View(frame) {}

void RepaorTableBGView::drawRect(const kit::Rect& /*dirty*/) {
    kit::View::drawRect(kit::Rect());
    kit::Color::rgb255(255, 255, 255).setFill();
    kit::BezierPath::roundedRect(kit::insetRect(bounds(), 0.5, 0.5), 10, 10).fill();
}
