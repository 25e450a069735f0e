#include "Comm/CustomHeaderCell.h"

#include "Comm/getColor.h"
#include "kit/ui/Graphics.h"

kit::Font CustomHeaderCell::titleFont() { return kit::Font::systemFont(12); }
kit::Color CustomHeaderCell::titleColor() { return getColor(79, 79, 98, 0.8f); }

CustomHeaderCell::CustomHeaderCell() {
    setFont(titleFont());
    setTextColor(titleColor());
}

std::shared_ptr<CustomHeaderCell> CustomHeaderCell::initWithCell(const kit::Cell& cell) {
    auto c = std::make_shared<CustomHeaderCell>();
    c->setStringValue(cell.stringValue());
    c->getStr();
    c->ascending_ = true;
    c->priority_ = 1;
    return c;
}

std::string CustomHeaderCell::getStr() {
    setFont(titleFont());
    setTextColor(titleColor());
    return stringValue();
}

void CustomHeaderCell::drawWithFrame(const kit::Rect& frame, kit::View&) {
    getColor(255, 255, 255, 1).setFill();
    kit::BezierPath::fillRect(frame);
    kit::GraphicsContext* ctx = kit::GraphicsContext::current();
    if (!ctx) return;
    std::string title = getStr();
    kit::Rect r = priority_ != 0 ? kit::Rect(frame.x() + 3, frame.y() + 8, frame.width(), frame.height())
                                 : kit::Rect(frame.x(), frame.y() + 8, frame.width() - 8, frame.height());
    kit::TextAttributes a;
    a.font = font();
    a.color = textColor();
    ctx->drawString(title, r, a);
}

void CustomHeaderCell::drawSortIndicatorWithFrame(const kit::Rect& frame, kit::View&, bool ascending, long) {
    const double x0 = frame.x() + frame.width() - 12;
    const double y = frame.y(), h = frame.height();
    kit::BezierPath p;
    if (ascending) {
        p.moveTo(kit::Point{x0, y + h - 10});
        p.lineTo(kit::Point{x0 + 4, y + h - 17});
        p.lineTo(kit::Point{x0 + 8, y + h - 10});
    } else {
        p.moveTo(kit::Point{x0, y + 10});
        p.lineTo(kit::Point{x0 + 4, y + 17});
        p.lineTo(kit::Point{x0 + 8, y + 10});
    }
    p.closePath();
    (priority_ != 0 ? kit::Color::clear() : getColor(255, 255, 255, 1)).setFill();
    p.fill();
}

void CustomHeaderCell::setSortAscending(bool ascending, long priority) {
    ascending_ = ascending;
    priority_ = priority;
}
