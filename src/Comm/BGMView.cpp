#include "Comm/BGMView.h"

#include "kit/ui/Graphics.h"

BGMView::BGMView(const kit::Rect& frame) : kit::View(frame) {}

void BGMView::drawRect(const kit::Rect& /*dirty*/) {
    kit::View::drawRect(kit::Rect());
    kit::Color::rgb255(249, 250, 251).setFill();
    kit::BezierPath::roundedRect(kit::insetRect(bounds(), 0.5, 0.5), 0, 0).fill();
}
