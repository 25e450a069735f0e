#include "Comm/PopInView.h"

#include "kit/ui/Graphics.h"

PopInView::PopInView(const kit::Rect& frame) : kit::View(frame) {}

void PopInView::drawRect(const kit::Rect& dirty) {
    kit::View::drawRect(dirty);
    kit::Rect b = bounds();
    kit::Rect r = kit::insetRect(kit::Rect(dirty.x() + 6, dirty.y() + 6, b.width() - 12, b.height() - 12), 0.5, 0.5);
    kit::BezierPath card = kit::BezierPath::roundedRect(r, 10, 10);
    kit::Color::rgb255(255, 255, 255, 0.9).setFill();
    card.fill();
    // The shadow stays set for the rest of this drawing pass.
    kit::Shadow shadow;
    shadow.blurRadius = 6;
    shadow.color = kit::Color::rgb255(86, 123, 194, 0.2);
    shadow.offset = kit::Size{0, 0};
    shadow.set();
    kit::Color::rgb255(225, 231, 239).setStroke();
    card.stroke();
}
