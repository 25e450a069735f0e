#include "kit/ui/Cell.h"

#include "kit/ui/AppTextMeasure.h"
#include "kit/ui/Image.h"
#include "kit/ui/View.h"

namespace kit {

void Cell::setControlView(View* v) { controlView_ = Weak<View>(v); }

unsigned Cell::hitTestForEvent(const Event& e, const Rect& cellFrame, View& controlView) {
    Point p = controlView.convertPointFromView(e.locationInWindow, nullptr);
    return pointInRect(p, cellFrame) ? CellHitContentArea : CellHitNone;
}

// ---- text ----

Rect TextFieldCell::titleRectForBounds(const Rect& frame) const {
    // A small inset like the platform's text cells; the text hangs from the top.
    double inset = (bezeled_ || bordered_) ? 3 : 2;
    return Rect(frame.x() + inset, frame.y(), std::max(0.0, frame.width() - 2 * inset), frame.height());
}

std::string TextFieldCell::displayedStringForFrame(const Rect& frame) const {
    return truncatedText(stringValue(), font(), titleRectForBounds(frame).width(), lineBreak_);
}

void TextFieldCell::drawWithFrame(const Rect& frame, View& view) {
    if (bezeled_) {
        Color::white().setFill();
        BezierPath::fillRect(frame);
        BezierPath p = BezierPath::rect(insetRect(frame, 0.5, 0.5));
        Color::rgb255(200, 200, 200).setStroke();
        p.stroke();
    } else {
        if (drawsBackground_) {
            backgroundColor_.setFill();
            BezierPath::fillRect(frame);
        }
        if (bordered_) {
            Color::black().setStroke();
            BezierPath::rect(insetRect(frame, 0.5, 0.5)).stroke();
        }
    }
    drawInteriorWithFrame(frame, view);
}

void TextFieldCell::drawInteriorWithFrame(const Rect& frame, View& view) {
    auto* ctx = GraphicsContext::current();
    if (!ctx) return;
    Rect r = titleRectForBounds(frame);
    const bool flipped = ctx->isFlipped();
    const double topInset = (bezeled_ || bordered_) ? 2 : 1;
    r = flipped ? Rect(r.x(), r.y() + topInset, r.width(), r.height() - topInset)
                : Rect(r.x(), r.y(), r.width(), r.height() - topInset);
    TextAttributes a;
    a.font = font();
    a.alignment = alignment();
    a.lineBreak = lineBreak_;
    std::string text = stringValue();
    a.color = isEnabled() ? textColor_ : Color::disabledControlTextColor();
    if (text.empty() && !placeholder_.empty()) {
        text = placeholder_;
        a.color = Color(0, 0, 0, 0.3);
    }
    if (!text.empty()) ctx->drawString(text, r, a);
}

// ---- image ----

Rect imageRectInFrame(Size s, const Rect& frame, ImageScaling scaling) {
    Size out = s;
    switch (scaling) {
    case ImageScaling::AxesIndependently: out = frame.size; break;
    case ImageScaling::None: break;
    case ImageScaling::ProportionallyDown:
    case ImageScaling::ProportionallyUpOrDown: {
        if (s.width <= 0 || s.height <= 0) return Rect();
        double k = std::min(frame.width() / s.width, frame.height() / s.height);
        if (scaling == ImageScaling::ProportionallyDown) k = std::min(k, 1.0);
        out = Size{s.width * k, s.height * k};
        break;
    }
    }
    return Rect(frame.x() + (frame.width() - out.width) / 2, frame.y() + (frame.height() - out.height) / 2, out.width,
                out.height);
}

Rect ImageCell::imageRectForFrame(const Rect& frame) const {
    if (!image()) return Rect();
    return imageRectInFrame(image()->size(), frame, scaling_);
}

void ImageCell::drawInteriorWithFrame(const Rect& frame, View&) {
    if (!image()) return;
    GraphicsContext::saveGraphicsState();
    GraphicsContext::current()->clipToRect(frame);
    image()->drawInRect(imageRectForFrame(frame));
    GraphicsContext::restoreGraphicsState();
}

// ---- buttons ----

void ButtonCell::setButtonType(ButtonType t) {
    type_ = t;
    switch (t) {
    case ButtonType::MomentaryChange: highlightsBy_ = ContentsCellMask; break;
    case ButtonType::MomentaryLight: highlightsBy_ = ChangeBackgroundCellMask; break;
    default: highlightsBy_ = PushInCellMask | ChangeGrayCellMask; break;
    }
}

TextAttributes ButtonCell::titleAttributes() const {
    TextAttributes a;
    a.font = font();
    a.color = isEnabled() ? titleColor_ : Color::disabledControlTextColor();
    a.alignment = TextAlignment::Center;
    a.lineBreak = LineBreakMode::Clipping;
    return a;
}

void ButtonCell::drawBezelWithFrame(const Rect& frame, View&) {
    const bool pressed = isHighlighted() && (highlightsBy_ & (PushInCellMask | ChangeGrayCellMask));
    Rect r = insetRect(frame, 1.5, 1.5);
    BezierPath p = BezierPath::roundedRect(r, 5, 5);
    Gradient(pressed ? Color::white(0.80) : Color::white(1.0), pressed ? Color::white(0.74) : Color::white(0.94))
        .drawInBezierPath(p, -90);
    Color::rgb255(176, 176, 176).setStroke();
    p.stroke();
}

void ButtonCell::drawImage(const Image& image, const Rect& frame, View&) {
    image.drawInRect(frame, Rect(), CompositingOperation::SourceOver, (!isEnabled() && imageDims_) ? 0.5 : 1.0);
}

Rect ButtonCell::drawTitle(const std::string& title, const TextAttributes& attrs, const Rect& frame, View&) {
    auto* ctx = GraphicsContext::current();
    if (!ctx || title.empty()) return Rect();
    Size ts = attrs.font.sizeOfString(title);
    double h = std::min(frame.height(), ts.height);
    Rect r(frame.x(), frame.y() + (frame.height() - h) / 2, frame.width(), h);
    ctx->drawString(title, r, attrs);
    double w = std::min(frame.width(), ts.width);
    return Rect(frame.midX() - w / 2, r.y(), w, h);
}

void ButtonCell::drawWithFrame(const Rect& frame, View& view) {
    if (transparent_) return;
    if (bordered_) drawBezelWithFrame(frame, view);
    std::shared_ptr<Image> img = image();
    if (isHighlighted() && (highlightsBy_ & ContentsCellMask) && alternateImage_) img = alternateImage_;
    else if (state() == CellState::On && alternateImage_ && type_ != ButtonType::MomentaryChange) img = alternateImage_;
    Rect titleFrame = frame;
    if (img && imagePosition_ != ImagePosition::NoImage) {
        Rect ir = imageRectInFrame(img->size(), frame, imageScaling_);
        if (imagePosition_ == ImagePosition::ImageLeft) {
            ir.origin.x = frame.x() + 4;
            titleFrame = Rect(ir.maxX() + 4, frame.y(), std::max(0.0, frame.maxX() - ir.maxX() - 8), frame.height());
        }
        drawImage(*img, ir, view);
    }
    if (imagePosition_ != ImagePosition::ImageOnly) {
        const std::string& t = title();
        if (!t.empty()) drawTitle(t, titleAttributes(), titleFrame, view);
    }
}

}  // namespace kit
