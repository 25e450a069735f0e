#include "Comm/YLTitlebarContainer.h"

#include "kit/ui/Window.h"

YLTitlebarContainer::YLTitlebarContainer(const kit::Rect& frame) : kit::View(frame) {}

void YLTitlebarContainer::mouseDown(kit::Event& e) {
    // The drag is anchored at the press: the window keeps its offset to the
    // pointer from here on, so the first movement is not lost.
    if (kit::Window* w = window(); w && !w->isFullScreen()) w->performWindowDragWithEvent(e);
    kit::View::mouseDown(e);
}

void YLTitlebarContainer::mouseDragged(kit::Event& e) {
    kit::Window* w = window();
    if (!w || w->isFullScreen()) return;
    w->mouseDragged(e);
}

void YLTitlebarContainer::mouseUp(kit::Event& e) { kit::View::mouseUp(e); }
