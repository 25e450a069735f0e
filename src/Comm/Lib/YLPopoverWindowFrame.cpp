#include "Comm/Lib/YLPopoverWindowFrame.h"

#include <cmath>

YLPopoverWindowFrame::YLPopoverWindowFrame(const kit::Rect& frame) : View(frame) {}

void YLPopoverWindowFrame::setColor(const std::optional<kit::Color>& c) {
    if (c == color_) return;
    color_ = c;
    setNeedsDisplay(true);
}

void YLPopoverWindowFrame::setBorderColor(const std::optional<kit::Color>& c) {
    if (c == borderColor_) return;
    borderColor_ = c;
    setNeedsDisplay(true);
}

void YLPopoverWindowFrame::setBorderWidth(double w) {
    if (w == borderWidth_) return;
    borderWidth_ = w;
    setNeedsDisplay(true);
}

void YLPopoverWindowFrame::setCornerRadius(double r) {
    if (r == cornerRadius_) return;
    cornerRadius_ = r;
    setNeedsDisplay(true);
}

void YLPopoverWindowFrame::setArrowSize(kit::Size s) {
    if (s == arrowSize_) return;
    arrowSize_ = s;
    setNeedsDisplay(true);
}

void YLPopoverWindowFrame::setArrowDirection(PopoverArrowSide side) {
    if (side == arrowDirection_) return;
    arrowDirection_ = side;
    setNeedsDisplay(true);
}

kit::BezierPath YLPopoverWindowFrame::popoverBezierPathWithRect(const kit::Rect& rect) const {
    const double r = cornerRadius_, aw = arrowSize_.width, ah = arrowSize_.height;
    const kit::Rect in = kit::insetRect(rect, ah + r, ah + r);
    const double minX = in.minX(), minY = in.minY(), maxX = in.maxX(), maxY = in.maxY();
    const double midX = in.midX(), midY = in.midY();
    kit::BezierPath path;
    path.setLineJoinStyle(kit::LineJoin::Round);
    path.appendArc({minX, minY}, r, 180, 270);
    if (arrowDirection_ == PopoverArrowDown) {
        path.lineTo({std::floor(midX - aw / 2), minY - r});
        path.lineTo({std::floor(midX), minY - r - ah});
        path.lineTo({std::floor(midX + aw / 2), minY - r});
    }
    path.appendArc({maxX, minY}, r, 270, 360);
    if (arrowDirection_ == PopoverArrowRight) {
        path.lineTo({maxX + r, std::floor(midY - aw / 2)});
        path.lineTo({maxX + r + ah, std::floor(midY)});
        path.lineTo({maxX + r, std::floor(midY + aw / 2)});
    }
    path.appendArc({maxX, maxY}, r, 0, 90);
    if (arrowDirection_ == PopoverArrowUp) {
        path.lineTo({std::floor(midX + aw / 2), maxY + r});
        path.lineTo({std::floor(midX), maxY + r + ah});
        path.lineTo({std::floor(midX - aw / 2), maxY + r});
    }
    path.appendArc({minX, maxY}, r, 90, 180);
    if (arrowDirection_ == PopoverArrowLeft) {
        path.lineTo({minX - r, std::floor(midY + aw / 2)});
        path.lineTo({minX - r - ah, std::floor(midY)});
        path.lineTo({minX - r, std::floor(midY - aw / 2)});
    }
    path.closePath();
    return path;
}

void YLPopoverWindowFrame::drawRect(const kit::Rect&) {
    kit::Rect rect = bounds();
    // An odd line width lands on whole pixels only from half-point edges.
    if (int(borderWidth_) % 2 == 1) rect = kit::insetRect(rect, 0.5, 0.5);
    kit::BezierPath path = popoverBezierPathWithRect(rect);
    if (color_) {
        kit::Color::white().set();
        path.fill();
    }
    if (borderColor_ && borderWidth_ > 0) {
        path.stroke();
        path.setLineWidth(0.5);
        kit::Color::rgb255(225, 231, 239).setStroke();
        path.stroke();
    }
    if (topHighlightColor_) {
        const kit::Rect R = kit::insetRect(bounds(), arrowSize_.height, arrowSize_.height);
        const double x = std::floor(cornerRadius_ / 2 + R.x());
        const double y = R.y() + R.height() - borderWidth_ - 1;
        const double w = R.width() - cornerRadius_;
        topHighlightColor_->setFill();
        if (arrowDirection_ == PopoverArrowUp) {
            const double piece = std::floor(w / 2 - arrowSize_.width / 2);
            kit::BezierPath::fillRect(kit::Rect(x, y, piece, 1));
            kit::BezierPath::fillRect(kit::Rect(std::floor(w / 2 + x + arrowSize_.width / 2), y, piece, 1));
        } else {
            kit::BezierPath::fillRect(kit::Rect(x, y, w, 1));
        }
    }
}
