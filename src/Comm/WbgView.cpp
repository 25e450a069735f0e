#include "Comm/WbgView.h"

#include "kit/ui/Graphics.h"

WbgView::WbgView(const kit::Rect& frame) : kit::View(frame) {}

void WbgView::drawRect(const kit::Rect& /*dirty*/) {
    kit::View::drawRect(kit::Rect());
    kit::Color::rgb255(255, 255, 255).setFill();
    kit::BezierPath::roundedRect(kit::insetRect(bounds(), 0.5, 0.5), 16, 16).fill();
}
