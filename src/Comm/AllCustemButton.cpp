#include "Comm/AllCustemButton.h"

kit::Rect AllCustemButtonCell::drawTitle(const std::string& title, const kit::TextAttributes& attrs,
                                         const kit::Rect& frame, kit::View& controlView) {
    kit::GraphicsContext::saveGraphicsState();
    kit::TextAttributes white = attrs;
    white.color = kit::Color::white();
    kit::Rect r = kit::ButtonCell::drawTitle(title, white, frame, controlView);
    kit::GraphicsContext::restoreGraphicsState();
    return r;
}

AllCustemButton::AllCustemButton(const kit::Rect& frame) : kit::Button(frame) {}

std::shared_ptr<kit::Cell> AllCustemButton::makeCell() { return std::make_shared<AllCustemButtonCell>(); }

void AllCustemButton::drawRect(const kit::Rect& dirty) { kit::Button::drawRect(dirty); }
