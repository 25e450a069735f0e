#include "Comm/SortSelectBgView.h"

#include <cstdlib>

#include "kit/ui/Graphics.h"

SortSelectBgView::SortSelectBgView(const kit::Rect& frame) : kit::View(frame) {}

void SortSelectBgView::awakeFromNib() {
    if (area_) return;
    area_ = std::make_shared<kit::TrackingArea>(
        kit::Rect(),
        kit::TrackingMouseEnteredAndExited | kit::TrackingMouseMoved | kit::TrackingActiveAlways |
            kit::TrackingInVisibleRect,
        this);
    addTrackingArea(area_);
}

int SortSelectBgView::rowTag() const { return std::atoi(identifier().c_str()); }

void SortSelectBgView::drawRect(const kit::Rect& dirty) {
    kit::View::drawRect(dirty);
    if (!isMouseIn_) return;
    kit::Color::rgb255(75, 141, 253).setFill();
    kit::BezierPath::fillRect(dirty);
}

void SortSelectBgView::mouseEntered(kit::Event&) {
    isMouseIn_ = true;
    if (delegate_) delegate_->mouseInView(true, rowTag());
    setNeedsDisplay(true);
}

void SortSelectBgView::mouseExited(kit::Event&) {
    isMouseIn_ = false;
    if (delegate_) delegate_->mouseInView(false, rowTag());
    setNeedsDisplay(true);
}

void SortSelectBgView::mouseDown(kit::Event&) {
    if (delegate_) delegate_->selectSortType(this);
}
