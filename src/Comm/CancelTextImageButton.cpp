#include "Comm/CancelTextImageButton.h"

#include "Comm/getColor.h"

CancelTextImageButton::CancelTextImageButton(const kit::Rect& frame) : ImageStateButton(frame) {}

void CancelTextImageButton::setTextWithName(const std::string& text) {
    if (textField_) {
        textField_->setStringValue(text);
        return;
    }
    kit::Rect b = bounds();
    auto label = std::make_shared<kit::TextField>(kit::Rect(b.x(), (b.height() - 17) / 2, b.width(), 17));
    label->setStringValue(text);
    label->setAlignment(kit::TextAlignment::Center);
    label->setBordered(false);
    label->setEditable(false);
    textField_ = label;
    addSubview(label);
}

void CancelTextImageButton::drawRect(const kit::Rect&) {
    // Set once, after the state is known (see TextImageButton::drawRect).
    kit::Color label = getColor(2, 125, 255, 1);
    if (isUsable()) {
        if (isTracking_) {
            if (activeImage_) activeImage_->drawInRect(dstRect_);
            label = getColor(0, 103, 217, 1);
        } else if (isFocus_) {
            if (hoverImage_) hoverImage_->drawInRect(dstRect_);
            label = getColor(39, 144, 255, 1);
        } else {
            if (normalImage_) normalImage_->drawInRect(dstRect_);
        }
    } else {
        if (disableImage_) disableImage_->drawInRect(dstRect_);
        label = getColor(225, 231, 239, 1);
    }
    setLabelColor(label);
}
