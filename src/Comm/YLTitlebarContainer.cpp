#include "Comm/YLTitlebarContainer.h"

#include "kit/ui/Window.h"

YLTitlebarContainer::YLTitlebarContainer(const kit::Rect& frame) : kit::View(frame) {}

void YLTitlebarContainer::mouseDown(kit::Event& e) {
    dragging_ = false;
    kit::View::mouseDown(e);
}

void YLTitlebarContainer::mouseDragged(kit::Event& e) {
    kit::Window* w = window();
    if (!w || w->isFullScreen()) return;
    if (!dragging_) {
        // The drag starts here; each later event moves the window by the
        // pointer's travel on the screen since the previous one.
        dragging_ = true;
        lastScreenPoint_ = e.screenLocation;
        return;
    }
    kit::Point o = w->frame().origin;
    w->setFrameOrigin(kit::Point{o.x + e.screenLocation.x - lastScreenPoint_.x, o.y + e.screenLocation.y - lastScreenPoint_.y});
    lastScreenPoint_ = e.screenLocation;
}

void YLTitlebarContainer::mouseUp(kit::Event& e) {
    dragging_ = false;
    kit::View::mouseUp(e);
}
