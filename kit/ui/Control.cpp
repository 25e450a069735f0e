#include "kit/ui/Control.h"

#include "kit/ui/Application.h"
#include "kit/ui/Window.h"

namespace kit {

Control::Control(const Rect& frame) : View(frame) { setTag(0); }

Cell* Control::cell() {
    if (!cell_) {
        cell_ = makeCell();
        cell_->setControlView(this);
        cell_->setEnabled(enabled_);
    }
    return cell_.get();
}

void Control::setCell(std::shared_ptr<Cell> c) {
    cell_ = std::move(c);
    if (cell_) {
        cell_->setControlView(this);
        cell_->setEnabled(enabled_);
    }
    setNeedsDisplay(true);
}

std::shared_ptr<Cell> Control::makeCell() { return std::make_shared<Cell>(); }

void Control::setEnabled(bool e) {
    enabled_ = e;
    cell()->setEnabled(e);
    setNeedsDisplay(true);
}

void Control::setStringValue(const std::string& s) {
    cell()->setStringValue(s);
    setNeedsDisplay(true);
}
void Control::setFont(const Font& f) {
    cell()->setFont(f);
    setNeedsDisplay(true);
}
void Control::setAlignment(TextAlignment a) {
    cell()->setAlignment(a);
    setNeedsDisplay(true);
}

bool Control::sendAction() { return sendAction(action_, target_.get()); }

bool Control::sendAction(const std::string& action, Responder* target) {
    if (action.empty()) return false;
    return Application::shared().sendAction(action, target, this);
}

void Control::drawRect(const Rect&) { cell()->drawWithFrame(bounds(), *this); }

// ---- Button ----

Button::Button(const Rect& frame) : Control(frame) {}

std::shared_ptr<Cell> Button::makeCell() { return std::make_shared<ButtonCell>(); }

ButtonCell* Button::buttonCell() {
    auto* bc = dynamic_cast<ButtonCell*>(cell());
    if (!bc) {   // a plain cell was set: give the button its button cell back
        setCell(makeCell());
        bc = static_cast<ButtonCell*>(cell());
    }
    return bc;
}

void Button::setTitle(const std::string& t) { buttonCell()->setTitle(t); setNeedsDisplay(true); }
void Button::setImage(std::shared_ptr<Image> img) { buttonCell()->setImage(std::move(img)); setNeedsDisplay(true); }
void Button::setAlternateImage(std::shared_ptr<Image> img) { buttonCell()->setAlternateImage(std::move(img)); setNeedsDisplay(true); }
void Button::setBezelStyle(BezelStyle b) { buttonCell()->setBezelStyle(b); setNeedsDisplay(true); }
void Button::setButtonType(ButtonType t) { buttonCell()->setButtonType(t); setNeedsDisplay(true); }
void Button::setBordered(bool b) { buttonCell()->setBordered(b); setNeedsDisplay(true); }
void Button::setImagePosition(ImagePosition p) { buttonCell()->setImagePosition(p); setNeedsDisplay(true); }
void Button::setImageScaling(ImageScaling s) { buttonCell()->setImageScaling(s); setNeedsDisplay(true); }
void Button::setState(CellState s) { buttonCell()->setState(s); setNeedsDisplay(true); }

void Button::highlight(bool on) {
    if (buttonCell()->isHighlighted() == on) return;
    buttonCell()->setHighlighted(on);
    display();
}

void Button::performClick(Object*) {
    if (!isEnabled()) return;
    sendAction();
}

void Button::mouseDown(Event& e) {
    if (!isEnabled()) return;
    tracking_ = true;
    highlight(true);
}

void Button::mouseDragged(Event& e) {
    if (!tracking_) return;
    Point p = convertPointFromView(e.locationInWindow, nullptr);
    highlight(pointInRect(p, bounds()));
}

void Button::mouseUp(Event& e) {
    if (!tracking_) return;
    tracking_ = false;
    Point p = convertPointFromView(e.locationInWindow, nullptr);
    const bool inside = pointInRect(p, bounds());
    Weak<Button> self(this);
    highlight(false);
    if (!inside || !isEnabled()) return;
    ButtonType t = buttonCell()->buttonType();
    if (t == ButtonType::Toggle || t == ButtonType::Switch || t == ButtonType::PushOnPushOff || t == ButtonType::OnOff)
        setState(state() == CellState::On ? CellState::Off : CellState::On);
    sendAction();
    // The action may have destroyed this button (and its window).
    if (!self) return;
}

}  // namespace kit
