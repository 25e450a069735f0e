#include "Comm/BGWView.h"

#include "kit/ui/Graphics.h"

BGWView::BGWView(const kit::Rect& frame) : kit::View(frame) {}

void BGWView::drawRect(const kit::Rect& /*dirty*/) {
    kit::View::drawRect(kit::Rect());
    kit::Color::rgb255(242, 247, 255).setFill();
    kit::BezierPath::roundedRect(kit::insetRect(kit::Rect(0, 518, 888, 40), 0.5, 0.5), 0, 0).fill();
    kit::BezierPath::roundedRect(kit::insetRect(frame(), 0.5, 0.5), 16, 16).fill();
}
