#include "Comm/LeftBgView.h"

#include "kit/ui/Graphics.h"

LeftBgView::LeftBgView(const kit::Rect& frame) : kit::View(frame) {}

void LeftBgView::drawRect(const kit::Rect& /*dirty*/) {
    kit::View::drawRect(kit::Rect());
    kit::Color::rgb255(225, 231, 239).setFill();
    kit::BezierPath::roundedRect(kit::insetRect(frame(), 0.5, 0.5), 9, 9).fill();
}
