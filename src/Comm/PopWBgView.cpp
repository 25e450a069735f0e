#include "Comm/PopWBgView.h"

#include "kit/ui/Graphics.h"

PopWBgView::PopWBgView(const kit::Rect& frame) : kit::View(frame) {}

void PopWBgView::drawRect(const kit::Rect& /*dirty*/) {
    kit::View::drawRect(kit::Rect());
    kit::Rect f = frame();
    kit::Color::rgb255(255, 255, 255).setFill();
    kit::BezierPath::roundedRect(kit::insetRect(f, 0.5, 0.5), 10, 10).fill();
    kit::BezierPath::roundedRect(kit::insetRect(kit::Rect(0, f.height() - 19, f.width(), 20), 0.5, 0.5), 0, 0).fill();
}
