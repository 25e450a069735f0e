#include "Comm/EndViewTipBgView.h"

#include "kit/ui/Graphics.h"

EndViewTipBgView::EndViewTipBgView(const kit::Rect& frame) : kit::View(frame) {}

void EndViewTipBgView::drawRect(const kit::Rect& dirty) {
    kit::View::drawRect(dirty);
    kit::BezierPath p = kit::BezierPath::roundedRect(dirty, 4, 4);
    p.setLineWidth(2);
    p.setLineDash({5, 5}, 0);
    kit::Color::rgb255(226, 231, 238).setStroke();
    p.stroke();
}
