#include "Comm/ActiveView.h"

#include "kit/ui/Graphics.h"

ActiveView::ActiveView(const kit::Rect& frame) : kit::View(frame) {}

void ActiveView::drawRect(const kit::Rect& /*dirty*/) {
    kit::View::drawRect(kit::Rect());
    kit::BezierPath p = kit::BezierPath::roundedRect(kit::insetRect(bounds(), 0.5, 0.5), 20, 20);
    kit::Color::rgb255(255, 255, 255).setFill();
    p.fill();
    kit::Color::lightGray().setStroke();
    p.stroke();
}
