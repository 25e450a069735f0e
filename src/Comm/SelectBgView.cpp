#include "Comm/SelectBgView.h"

SelectBgView::SelectBgView(const kit::Rect& frame) : View(frame) {
    // One area for the life of the view; it covers whatever the bounds are.
    hoverArea_ = std::make_shared<kit::TrackingArea>(
        kit::Rect(), kit::TrackingMouseEnteredAndExited | kit::TrackingActiveAlways | kit::TrackingInVisibleRect, this);
    addTrackingArea(hoverArea_);
}

void SelectBgView::mouseEntered(kit::Event&) {
    if (SelectBgViewDelegate* d = delegate_.get()) d->mouseInSelectBgView(true);
}

void SelectBgView::mouseExited(kit::Event&) {
    if (SelectBgViewDelegate* d = delegate_.get()) d->mouseInSelectBgView(false);
}

void SelectBgView::mouseDown(kit::Event&) {
    if (SelectBgViewDelegate* d = delegate_.get()) d->mouseDownAction();
}
