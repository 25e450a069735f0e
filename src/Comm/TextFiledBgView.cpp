#include "Comm/TextFiledBgView.h"

#include "Comm/getColor.h"
#include "kit/ui/Graphics.h"

TextFiledBgView::TextFiledBgView(const kit::Rect& frame) : kit::View(frame) {}

void TextFiledBgView::drawRect(const kit::Rect& dirty) {
    kit::View::drawRect(dirty);
    getColor(255, 255, 255, 1).setFill();
    kit::BezierPath::roundedRect(dirty, 4, 4).fill();
    getColor(216, 224, 233, 1).setStroke();
    kit::BezierPath::roundedRect(kit::insetRect(dirty, 0.5, 0.5), 4, 4).stroke();
}
