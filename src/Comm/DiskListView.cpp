#include "Comm/DiskListView.h"

#include "kit/ui/Graphics.h"

DiskListView::DiskListView(const kit::Rect& frame) : View(frame) {
    // One area over the bounds, whatever size the tile is given later.
    hoverArea_ = std::make_shared<kit::TrackingArea>(
        kit::Rect(), kit::TrackingMouseEnteredAndExited | kit::TrackingActiveAlways | kit::TrackingInVisibleRect, this);
    addTrackingArea(hoverArea_);
}

void DiskListView::drawRect(const kit::Rect&) {
    if (!mouseIn_) return;
    kit::Color::rgb255(237, 243, 253).setFill();
    kit::BezierPath::roundedRect(kit::insetRect(kit::Rect(15, 5, 320, 56), 0.5, 0.5), 8, 8).fill();
}

void DiskListView::mouseEntered(kit::Event&) {
    mouseIn_ = true;
    kit::Weak<DiskListView> self(this);
    if (DiskListViewDelegate* d = delegate_.get()) d->mouseInView();
    if (self) setNeedsDisplay(true);
}

void DiskListView::mouseExited(kit::Event&) {
    mouseIn_ = false;
    kit::Weak<DiskListView> self(this);
    if (DiskListViewDelegate* d = delegate_.get()) d->mouseOutView();
    if (self) setNeedsDisplay(true);
}

void DiskListView::mouseDown(kit::Event&) {
    if (DiskListViewDelegate* d = delegate_.get()) d->doSelectDisk();
}
