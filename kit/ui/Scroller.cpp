#include "kit/ui/Scroller.h"

#include <algorithm>

#include "kit/ui/Graphics.h"

namespace kit {

namespace {
// The knob keeps this much room to the slot's ends.
constexpr double kSlotMargin = 2;
}  // namespace

Scroller::Scroller(const Rect& frame) : Control(frame) {}

double Scroller::scrollerWidthForControlSize(ControlSize size, ScrollerStyle) {
    return size == ControlSize::Regular ? 15 : 11;
}

void Scroller::setDoubleValue(double v) {
    v = std::clamp(v, 0.0, 1.0);
    if (v == value_) return;
    value_ = v;
    setNeedsDisplay();
}

void Scroller::setKnobProportion(double p) {
    p = std::clamp(p, 0.0, 1.0);
    if (p == proportion_) return;
    proportion_ = p;
    setNeedsDisplay();
}

Rect Scroller::rectForPart(ScrollerPart part) const {
    Rect b = bounds();
    Rect slot(b.x(), b.y() + kSlotMargin, b.width(), std::max(0.0, b.height() - 2 * kSlotMargin));
    if (part == ScrollerPart::KnobSlot) return b;
    if (!isUsable() || part == ScrollerPart::NoPart) return Rect();
    double knobLength = std::min(slot.height(), std::max(kMinKnobLength, slot.height() * proportion_));
    double knobTop = slot.y() + (slot.height() - knobLength) * value_;
    double knobWidth = std::max(3.0, b.width() - (style_ == ScrollerStyle::Overlay ? 8 : 6));
    switch (part) {
    case ScrollerPart::Knob: return Rect(b.x() + (b.width() - knobWidth) / 2, knobTop, knobWidth, knobLength);
    case ScrollerPart::DecrementPage: return Rect(b.x(), slot.y(), b.width(), knobTop - slot.y());
    case ScrollerPart::IncrementPage:
        return Rect(b.x(), knobTop + knobLength, b.width(), slot.maxY() - (knobTop + knobLength));
    default: return Rect();
    }
}

ScrollerPart Scroller::testPart(Point p) const {
    if (!pointInRect(p, bounds()) || !isUsable()) return ScrollerPart::NoPart;
    Rect knob = rectForPart(ScrollerPart::Knob);
    if (p.y < knob.y()) return ScrollerPart::DecrementPage;
    if (p.y >= knob.maxY()) return ScrollerPart::IncrementPage;
    return ScrollerPart::Knob;
}

void Scroller::drawRect(const Rect&) {
    drawKnobSlotInRect(rectForPart(ScrollerPart::KnobSlot), false);
    drawKnob();
}

void Scroller::drawKnobSlotInRect(const Rect& slotRect, bool) {
    if (scrollerStyle() == ScrollerStyle::Overlay) return;
    Color::white(0.98).setFill();
    BezierPath::fillRect(slotRect);
    Color::white(0.9).setFill();
    BezierPath::fillRect(Rect(slotRect.x(), slotRect.y(), 1, slotRect.height()));
}

void Scroller::drawKnob() {
    Rect knob = rectForPart(ScrollerPart::Knob);
    if (knob.isEmpty()) return;
    double r = knob.width() / 2;
    Color(0, 0, 0, scrollerStyle() == ScrollerStyle::Overlay ? 0.5 : 0.35).setFill();
    BezierPath::roundedRect(knob, r, r).fill();
}

void Scroller::mouseDown(Event& e) {
    Point p = convertPointFromView(e.locationInWindow, nullptr);
    ScrollerPart part = testPart(p);
    if (part == ScrollerPart::NoPart) return;
    hitPart_ = part;
    if (part == ScrollerPart::Knob) {
        trackingKnob_ = true;
        grabOffset_ = p.y - rectForPart(ScrollerPart::Knob).y();
        return;
    }
    // A press in the slot pages; the scroll view moves and reports back.
    sendAction();
}

void Scroller::mouseDragged(Event& e) {
    if (!trackingKnob_) return;
    Point p = convertPointFromView(e.locationInWindow, nullptr);
    Rect b = bounds();
    double slotLength = b.height() - 2 * kSlotMargin;
    double travel = slotLength - rectForPart(ScrollerPart::Knob).height();
    if (travel <= 0) return;
    double v = std::clamp((p.y - grabOffset_ - (b.y() + kSlotMargin)) / travel, 0.0, 1.0);
    if (v == value_) return;
    setDoubleValue(v);
    hitPart_ = ScrollerPart::Knob;
    sendAction();
}

void Scroller::mouseUp(Event&) { trackingKnob_ = false; }

}  // namespace kit
