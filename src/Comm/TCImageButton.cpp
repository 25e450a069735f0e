#include "Comm/TCImageButton.h"

TCImageButton::TCImageButton(const kit::Rect& frame) : ImageStateButton(frame) {}

void TCImageButton::setTextWithName(const std::string& text, const kit::Rect& frame) {
    dstRect_ = kit::Rect(0, 0, frame.width() - 4, frame.height());
    kit::Rect b = bounds();
    auto label = std::make_shared<kit::TextField>(kit::Rect(b.x(), b.y() + 2, b.width(), b.height()));
    label->setStringValue(text);
    label->setAlignment(kit::TextAlignment::Center);
    label->setBordered(false);
    label->setEditable(false);
    if (textField_) textField_->removeFromSuperview();
    textField_ = label;
    addSubview(label);
}

void TCImageButton::drawRect(const kit::Rect&) {
    if (isUsable()) {
        const auto& img = isTracking_ ? activeImage_ : isFocus_ ? hoverImage_ : normalImage_;
        if (img) img->drawInRect(dstRect_, srcRect_);
        setLabelColor(kit::Color::white());
    } else {
        if (disableImage_) disableImage_->drawInRect(dstRect_, srcRect_);
        setLabelColor(kit::Color::gray());
    }
}
