#include "Comm/LagImageATextCell.h"

#include "kit/ui/Graphics.h"

kit::Rect LagImageATextCell::titleRectForBounds(const kit::Rect& bounds) const {
    kit::Rect r = ImageAndTextCell::titleRectForBounds(bounds);
    double textHeight = font().sizeOfString(stringValue()).height;
    r.origin.y = bounds.y() - 2 + (bounds.height() - textHeight) / 2;
    return r;
}

void LagImageATextCell::drawInteriorWithFrame(const kit::Rect& frame, kit::View&) {
    kit::GraphicsContext* ctx = kit::GraphicsContext::current();
    if (!ctx) return;
    kit::TextAttributes a;
    a.font = font();
    a.color = isEnabled() ? textColor() : kit::Color::disabledControlTextColor();
    a.alignment = alignment();
    a.lineBreak = lineBreakMode();
    ctx->drawString(stringValue(), titleRectForBounds(frame), a);
}
