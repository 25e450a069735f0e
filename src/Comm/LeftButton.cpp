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
    // The label starts 2 points right of the icon and reaches the tab's
    // edge, so that the widest title ("Disk Image Create") shows whole on its
    // one line in the bold 12-point face.
    auto label = std::make_shared<kit::TextField>(kit::Rect(34, b.height() - 35, 130, 16));
    label->setStringValue(text);
    label->setFont(kit::Font::systemFont(12));
    label->setAlignment(kit::TextAlignment::Left);
    label->setLineBreakMode(kit::LineBreakMode::WordWrapping);
    label->setBackgroundColor(kit::Color::controlColor());
    label->setBordered(false);
    label->setEditable(false);
    textField_ = label;
    addSubview(label);
    applyLabelFont();
}

void LeftButton::setButtonAction(bool selected) {
    isAction_ = selected;
    applyLabelFont();
    display();
}

kit::Font LeftButton::labelFont() const {
    return isAction_ ? kit::Font::boldSystemFont(12) : kit::Font::systemFont(12);
}

void LeftButton::applyLabelFont() {
    if (!textField_) return;
    kit::Font f = labelFont();
    if (textField_->font() != f) textField_->setFont(f);
}

void LeftButton::drawRect(const kit::Rect& dirty) {
    setLabelColor(getColor(121, 129, 146, 1));
    applyLabelFont();
    if (!normalImage_) {
        kit::Button::drawRect(dirty);
        return;
    }
    const auto& icon = isAction_ ? activeImage_ : normalImage_;
    if (icon) icon->drawInRect(dstRect_);
}
