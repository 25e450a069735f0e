#include "Comm/TextImageButton.h"

#include "Comm/getColor.h"

TextImageButton::TextImageButton(const kit::Rect& frame) : ImageStateButton(frame) {}

void TextImageButton::setTextWithName(const std::string& text) {
    if (textField_) return;
    const std::string name = nameOf(normalImage_);
    kit::Rect b = bounds();
    const double height = name == "btn_main" ? 20 : 17;
    const double d = name == "btn_tool" ? 0 : 1;
    auto label = std::make_shared<kit::TextField>(kit::Rect(b.x(), (b.height() - 17) / 2 - d, b.width(), height));
    label->setStringValue(text);
    label->setFont(name == "btn_main" ? kit::Font::boldSystemFont(14)
                   : name == "btn_tool" ? kit::Font::systemFont(12) : kit::Font::systemFont(13));
    label->setAlignment(kit::TextAlignment::Center);
    label->setBackgroundColor(kit::Color::controlColor());
    label->setBordered(false);
    label->setEditable(false);
    textField_ = label;
    addSubview(label);
}

void TextImageButton::drawRect(const kit::Rect& dirty) {
    const std::string name = nameOf(normalImage_);
    // The label's colour is settled first and set once: setting it twice in
    // one drawing (a default, then the state's own) would ask the label, and
    // so this button beneath it, to draw again, without end.
    kit::Color label = name == "btn_cancel" ? getColor(211, 211, 215, 1)
                       : name == "btn_tool" ? getColor(79, 79, 98, 1)
                       : name == "btn_sec"  ? getColor(2, 125, 255, 1)
                                            : kit::Color::white();

    if (!normalImage_) {
        setLabelColor(label);
        kit::Button::drawRect(dirty);
        return;
    }
    if (isUsable()) {
        if (isTracking_) {
            if (activeImage_) activeImage_->drawInRect(dstRect_);
            if (name == "btn_tool") label = getColor(59, 89, 233, 1);
            else if (name == "btn_sec") label = getColor(0, 103, 217, 1);
        } else if (isFocus_) {
            if (hoverImage_) hoverImage_->drawInRect(dstRect_);
            if (name == "btn_tool") label = getColor(65, 98, 255, 1);
            else if (name == "btn_sec") label = getColor(39, 144, 255, 1);
        } else {
            normalImage_->drawInRect(dstRect_);
        }
    } else {
        if (disableImage_) disableImage_->drawInRect(dstRect_);
        label = nameOf(disableImage_) == "btn_cancel_disable" ? getColor(148, 148, 160, 1) : getColor(225, 231, 239, 1);
    }
    setLabelColor(label);
}
