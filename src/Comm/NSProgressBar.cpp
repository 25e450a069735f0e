#include "Comm/NSProgressBar.h"

#include "kit/ui/Graphics.h"

NSProgressBar::NSProgressBar(const kit::Rect& frame) : kit::View(frame) {}

void NSProgressBar::drawRect(const kit::Rect& dirty) {
    kit::View::drawRect(dirty);
    kit::BezierPath path = kit::BezierPath::rect(bounds());
    kit::GraphicsContext::saveGraphicsState();
    kit::Shadow shadow;
    shadow.color = kit::Color::rgb255(244, 244, 244, 0.5);
    shadow.offset = kit::Size{0, 0};
    shadow.blurRadius = 1;
    shadow.set();
    path.stroke();   // in the context's current stroke colour
    kit::GraphicsContext::restoreGraphicsState();
    kit::Color::rgb255(26, 161, 203).setFill();
    path.fill();
}
