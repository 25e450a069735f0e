#include "Comm/AboutVersionBgView.h"

#include "Comm/getColor.h"
#include "kit/ui/Graphics.h"

AboutVersionBgView::AboutVersionBgView(const kit::Rect& frame) : kit::View(frame) {}

void AboutVersionBgView::drawRect(const kit::Rect& dirty) {
    kit::View::drawRect(dirty);
    getColor(211, 231, 255, 1).setFill();
    kit::BezierPath::roundedRect(dirty, 4, 4).fill();
}
