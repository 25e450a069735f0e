#include "Comm/TopBgView.h"

#include "kit/ui/Graphics.h"

TopBgView::TopBgView(const kit::Rect& frame) : kit::View(frame) {}

void TopBgView::drawRect(const kit::Rect& dirty) {
    kit::View::drawRect(dirty);
    const double h = dirty.height();
    kit::Color::rgb255(242, 247, 255).setFill();
    kit::BezierPath::roundedRect(kit::insetRect(kit::Rect(80, h - 100, 808, 100), 0.5, 0.5), 16, 16).fill();
    kit::Color::rgb255(65, 98, 255).setFill();
    kit::BezierPath::roundedRect(kit::insetRect(kit::Rect(0, 0, 90, 20), 0.5, 0.5), 16, 16).fill();
    kit::BezierPath::roundedRect(kit::insetRect(kit::Rect(0, h - 100, 112, 100), 0.5, 0.5), 16, 16).fill();
}
