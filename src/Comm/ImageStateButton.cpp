#include "Comm/ImageStateButton.h"

ImageStateButton::ImageStateButton(const kit::Rect& frame) : kit::Button(frame) {}

void ImageStateButton::ensureHoverArea() {
    if (hoverArea_) return;
    // One area that follows the bounds; setting the images again (or a
    // resize) does not pile up further rectangles.
    hoverArea_ = std::make_shared<kit::TrackingArea>(
        kit::Rect(), kit::TrackingMouseEnteredAndExited | kit::TrackingActiveAlways | kit::TrackingInVisibleRect, this);
    addTrackingArea(hoverArea_);
}

void ImageStateButton::setImageFromFileNormalName(const std::string& normal, const std::string& active,
                                                  const std::string& hover, const std::string& disable) {
    normalImage_ = kit::Image::named(normal);
    activeImage_ = kit::Image::named(active);
    hoverImage_ = kit::Image::named(hover);
    disableImage_ = kit::Image::named(disable);
    kit::Size s = normalImage_ ? normalImage_->size() : kit::Size{};
    dstRect_ = kit::Rect(0, 0, s.width, s.height);
    srcRect_ = dstRect_;
    setBezelStyle(kit::BezelStyle::TexturedRounded);
    ensureHoverArea();
    setNeedsDisplay(true);
}

void ImageStateButton::setButtonEnabled(bool usable) {
    isDisabled_ = usable;
    display();
}

void ImageStateButton::setLabelColor(const kit::Color& c) {
    if (textField_ && textField_->textColor() != c) textField_->setTextColor(c);
}

void ImageStateButton::mouseDown(kit::Event& e) {
    if (!isDisabled_) return;   // not usable: the click is swallowed whole
    if (isEnabled()) {
        isTracking_ = true;
        display();
    }
    kit::Button::mouseDown(e);
}

void ImageStateButton::mouseUp(kit::Event& e) {
    if (!isTracking() && !isTracking_) return;
    kit::Weak<ImageStateButton> self(this);
    kit::Button::mouseUp(e);   // sends the action on a release inside
    if (!self) return;         // the action closed the window that held us
    isTracking_ = false;
    display();
}

void ImageStateButton::mouseEntered(kit::Event&) {
    if (!isEnabled()) return;
    isFocus_ = true;
    display();
}

void ImageStateButton::mouseExited(kit::Event&) {
    isFocus_ = false;
    display();
}
