#include "Comm/PopWTopBgView.h"

#include "kit/ui/Graphics.h"

PopWTopBgView::PopWTopBgView(const kit::Rect& frame) : kit::View(frame) {}

void PopWTopBgView::drawRect(const kit::Rect& /*dirty*/) {
    kit::View::drawRect(kit::Rect());
    kit::Rect f = frame();
    kit::Color::rgb255(225, 231, 239).setFill();
    kit::BezierPath::roundedRect(kit::insetRect(f, 0.5, 0.5), 10, 10).fill();
    kit::BezierPath::roundedRect(kit::insetRect(kit::Rect(0, -2, f.width(), 12), 0.5, 0.5), 0, 0).fill();
}
