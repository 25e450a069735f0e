#pragma once
// The vertical scroller of a scroll view: a knob in a slot. Its value runs
// from 0 (the knob at the top, the document's top edge in view) to 1 (the
// bottom); the knob proportion is the visible share of the document (1 or
// more: nothing to scroll, the scroller is disabled and draws no knob).
//
//   auto s = std::make_shared<kit::Scroller>(kit::Rect(0, 0, 15, 200));
//   s->setKnobProportion(0.25);      // a quarter of the document is visible
//   s->setDoubleValue(0.5);          // scrolled half way
//   s->rectForPart(kit::ScrollerPart::Knob);   // where the knob is drawn
//
// A press on the knob drags it, a press in the slot above or below it pages;
// either sends the scroller's action (to its scroll view when it is one's),
// with hitPart() telling which part moved. The scroll view reports every
// change of position back through setFloatValue(), the point where a
// subclass learns that the content scrolled.
//
// Width: scrollerWidthForControlSize() gives the width a scroller takes for
// a control size and a style (legacy: a track beside the content; overlay:
// the same width, but drawn over the content, which keeps its full width).
// A scroll view asks widthForControlSize() of its own scroller when it tiles,
// so a subclass can answer another width there.
#include "kit/ui/Control.h"

namespace kit {

enum class ControlSize { Regular = 0, Small = 1, Mini = 2 };
enum class ScrollerStyle { Legacy = 0, Overlay = 1 };
enum class ScrollerPart { NoPart = 0, DecrementPage = 1, Knob = 2, IncrementPage = 3, KnobSlot = 6 };

class Scroller : public Control {
public:
    explicit Scroller(const Rect& frame = Rect());

    // Regular 15, small 11, mini 11 points, for either style.
    static double scrollerWidthForControlSize(ControlSize size, ScrollerStyle style);
    // The width this scroller's class gives (see above); a subclass may answer
    // its own, as the platform's class operation would be overridden.
    virtual double widthForControlSize(ControlSize size, ScrollerStyle style) const {
        return scrollerWidthForControlSize(size, style);
    }
    // Whether the class draws in the overlay style; the kit's own scroller does.
    virtual bool isCompatibleWithOverlayScrollers() const { return true; }

    double doubleValue() const { return value_; }
    // Clamped to 0..1; redraws.
    void setDoubleValue(double v);
    float floatValue() const { return float(value_); }
    // The scroll view's report of a new position (a scroll); sets the value.
    virtual void setFloatValue(float v) { setDoubleValue(v); }
    double knobProportion() const { return proportion_; }
    void setKnobProportion(double p);

    ControlSize controlSize() const { return controlSize_; }
    void setControlSize(ControlSize s) { controlSize_ = s; setNeedsDisplay(); }
    ScrollerStyle scrollerStyle() const { return style_; }
    void setScrollerStyle(ScrollerStyle s) { style_ = s; setNeedsDisplay(); }

    // Usable: there is something to scroll (proportion below 1) and the
    // control is enabled.
    bool isUsable() const { return isEnabled() && proportion_ < 1.0; }
    // The part a press last hit (the part the last action was about).
    ScrollerPart hitPart() const { return hitPart_; }
    // The part under a point of the scroller's bounds.
    ScrollerPart testPart(Point p) const;
    // In bounds coordinates (the scroller is flipped: y grows downwards).
    // The knob is at least kMinKnobLength long; an unusable scroller has none.
    Rect rectForPart(ScrollerPart part) const;
    static constexpr double kMinKnobLength = 20;

    void drawRect(const Rect& dirty) override;
    // The slot under the knob (a light track) and the knob itself.
    virtual void drawKnobSlotInRect(const Rect& slotRect, bool highlight);
    virtual void drawKnob();

    void mouseDown(Event& e) override;
    void mouseDragged(Event& e) override;
    void mouseUp(Event& e) override;

private:
    double value_ = 0;
    double proportion_ = 1;
    ControlSize controlSize_ = ControlSize::Regular;
    ScrollerStyle style_ = ScrollerStyle::Legacy;
    ScrollerPart hitPart_ = ScrollerPart::NoPart;
    bool trackingKnob_ = false;
    double grabOffset_ = 0;   // from the knob's top edge to the press
};

}  // namespace kit
