#include "Comm/LeftButton.h"

#include <algorithm>

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
    applyLabelFont();
}

void LeftButton::setButtonAction(bool selected) {
    isAction_ = selected;
    applyLabelFont();
    display();
}

kit::Font LeftButton::labelFont() const {
    const auto font = [this](double size) {
        return isAction_ ? kit::Font::boldSystemFont(size) : kit::Font::systemFont(size);
    };
    if (!textField_) return font(12);
    const std::string title = textField_->stringValue();
    // The selected tab's highlight card ends 8 points inside the tab; the
    // text keeps 6 points clear of that edge. The size is chosen for the bold
    // title, so a label keeps its size when its tab is selected.
    const kit::Rect text = textField_->textCell()->titleRectForBounds(textField_->bounds());
    const double cardRoom = bounds().width() - 8 - 6 - (textField_->frame().x() + text.x());
    const double room = std::min(text.width(), cardRoom);
    double size = 12;
    while (size > 8 && kit::Font::boldSystemFont(size).sizeOfString(title).width > room) --size;
    return font(size);
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
