#include "Comm/LeftButton.h"

#include "Comm/getColor.h"

LeftButton::LeftButton(const kit::Rect& frame) : ImageStateButton(frame) { setTitle(" "); }

void LeftButton::setImageFromFileNormalName(const std::string& normal, const std::string& active) {
    normalImage_ = kit::Image::named(normal);
    activeImage_ = kit::Image::named(active);
    dstRect_ = kit::Rect(12, 16, 20, 20);
    setBezelStyle(kit::BezelStyle::TexturedRounded);
    ensureHoverArea();
    setNeedsDisplay(true);
}

void LeftButton::setTextWithName(const std::string& text) {
    kit::Rect b = bounds();
    auto label = std::make_shared<kit::TextField>(kit::Rect(40, b.height() - 35, 120, 16));
    label->setStringValue(text);
    label->setFont(kit::Font::systemFont(12));
    label->setAlignment(kit::TextAlignment::Left);
    label->setLineBreakMode(kit::LineBreakMode::WordWrapping);
    label->setBackgroundColor(kit::Color::controlColor());
    label->setBordered(false);
    label->setEditable(false);
    textField_ = label;
    addSubview(label);
}

void LeftButton::setButtonAction(bool selected) {
    isAction_ = selected;
    display();
}

void LeftButton::drawRect(const kit::Rect& dirty) {
    setLabelColor(getColor(121, 129, 146, 1));
    if (textField_) {
        kit::Font f = isAction_ ? kit::Font::boldSystemFont(12) : kit::Font::systemFont(12);
        if (textField_->font() != f) textField_->setFont(f);
    }
    if (!normalImage_) {
        kit::Button::drawRect(dirty);
        return;
    }
    const auto& icon = isAction_ ? activeImage_ : normalImage_;
    if (icon) icon->drawInRect(dstRect_);
}
