#include "Comm/PopBgView.h"

#include "kit/ui/Graphics.h"

PopBgView::PopBgView(const kit::Rect& frame) : kit::View(frame) {}

void PopBgView::drawRect(const kit::Rect& /*dirty*/) {
    kit::View::drawRect(kit::Rect());
    kit::Color::rgb255(241, 246, 255).setFill();
    kit::BezierPath::roundedRect(kit::insetRect(bounds(), 0.5, 0.5), 4, 4).fill();
}
