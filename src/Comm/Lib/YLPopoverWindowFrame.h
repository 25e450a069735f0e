#pragma once
// The popover panel's root view: a white rounded body with an arrow on one
// edge whose tip touches the view's edge, outlined in a light blue-grey.
#include <optional>

#include "kit/ui/Color.h"
#include "kit/ui/Graphics.h"
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

// Which edge carries the arrow, and so where the popover sits beside its anchor.
enum PopoverArrowSide : unsigned {
    PopoverArrowNone = 0,
    PopoverArrowLeft = 1,    // popover to the right of the anchor, arrow on its left edge
    PopoverArrowRight = 2,   // popover to the left, arrow on its right edge
    PopoverArrowUp = 3,      // popover below, arrow on its top edge
    PopoverArrowDown = 4,    // popover above, arrow on its bottom edge
};

class YLPopoverWindowFrame : public kit::View {
public:
    explicit YLPopoverWindowFrame(const kit::Rect& frame = kit::Rect());

    void drawRect(const kit::Rect& dirty) override;
    // The body and arrow outline inside `rect`.
    kit::BezierPath popoverBezierPathWithRect(const kit::Rect& rect) const;

    // A colour switches the white fill on (its own value is not used).
    const std::optional<kit::Color>& color() const { return color_; }
    void setColor(const std::optional<kit::Color>& c);
    // A colour, with a border width above 0, switches the outline on.
    const std::optional<kit::Color>& borderColor() const { return borderColor_; }
    void setBorderColor(const std::optional<kit::Color>& c);
    const std::optional<kit::Color>& topHighlightColor() const { return topHighlightColor_; }
    void setTopHighlightColor(const std::optional<kit::Color>& c) { topHighlightColor_ = c; }
    double borderWidth() const { return borderWidth_; }
    void setBorderWidth(double w);
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double r);
    // Width along the edge, height out of the edge.
    kit::Size arrowSize() const { return arrowSize_; }
    void setArrowSize(kit::Size s);
    PopoverArrowSide arrowDirection() const { return arrowDirection_; }
    void setArrowDirection(PopoverArrowSide side);

private:
    std::optional<kit::Color> color_ = kit::Color::white(0, 0.8);
    std::optional<kit::Color> borderColor_;
    std::optional<kit::Color> topHighlightColor_;
    double borderWidth_ = 0;
    double cornerRadius_ = 12;
    kit::Size arrowSize_{23, 12};
    PopoverArrowSide arrowDirection_ = PopoverArrowLeft;
};

KIT_REGISTER_VIEW(YLPopoverWindowFrame);
