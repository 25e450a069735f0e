#include "Comm/PopNoHeaderV.h"

#include "kit/ui/Graphics.h"

PopNoHeaderV::PopNoHeaderV(const kit::Rect& frame) : kit::View(frame) {}

void PopNoHeaderV::drawRect(const kit::Rect& /*dirty*/) {
    kit::View::drawRect(kit::Rect());
    kit::Color::rgb255(255, 255, 255).setFill();
    kit::BezierPath::roundedRect(kit::insetRect(frame(), 0.5, 0.5), 16, 16).fill();
}
