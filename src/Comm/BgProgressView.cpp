#include "Comm/BgProgressView.h"

#include "kit/ui/Graphics.h"

BgProgressView::BgProgressView(const kit::Rect& frame) : kit::View(frame) {}

void BgProgressView::drawRect(const kit::Rect& dirty) {
    kit::View::drawRect(dirty);
    kit::BezierPath path = kit::BezierPath::roundedRect(kit::insetRect(bounds(), 0.5, 0.5), 0.5, 0.5);
    kit::GraphicsContext::saveGraphicsState();
    kit::Shadow shadow;
    shadow.color = kit::Color::rgb255(229, 229, 229, 0.2);
    shadow.offset = kit::Size{0, 0};
    shadow.blurRadius = 1;
    shadow.set();
    path.stroke();   // in the context's current stroke colour
    kit::GraphicsContext::restoreGraphicsState();
    kit::Color::white().setFill();
    path.fill();
}
