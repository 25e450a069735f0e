#include "Comm/RFOverlayScroller.h"

#include <typeinfo>

#include "kit/ui/Animation.h"

RFOverlayScroller::RFOverlayScroller(const kit::Rect& frame) : kit::Scroller(frame) { commonInitializer(); }

void RFOverlayScroller::awakeFromNib() {
    kit::Scroller::awakeFromNib();
    commonInitializer();
}

void RFOverlayScroller::commonInitializer() {
    // The area follows the bounds: the scroller is made at one size and tiled
    // to another, and a frozen area would miss the pointer over most of it.
    if (trackingArea_) removeTrackingArea(trackingArea_.get());
    trackingArea_ = std::make_shared<kit::TrackingArea>(
        bounds(), kit::TrackingMouseEnteredAndExited | kit::TrackingMouseMoved | kit::TrackingActiveInActiveApp |
                      kit::TrackingInVisibleRect,
        this);
    addTrackingArea(trackingArea_);
}

void RFOverlayScroller::drawRect(const kit::Rect&) { drawKnob(); }

bool RFOverlayScroller::isCompatibleWithOverlayScrollers() const { return typeid(*this) == typeid(RFOverlayScroller); }

double RFOverlayScroller::scrollerWidthForControlSize(kit::ControlSize size, kit::ScrollerStyle style) {
    if (zeroWidthDepth_ > 0) return zeroWidth();
    return kit::Scroller::scrollerWidthForControlSize(size, style);
}

void RFOverlayScroller::animateAlpha(double alpha, double duration) {
    kit::AnimationContext::runAnimationGroup([&](kit::AnimationContext& ctx) {
        ctx.setDuration(duration);
        animator().setAlphaValue(alpha);
    });
}

void RFOverlayScroller::setFloatValue(float v) {
    kit::Scroller::setFloatValue(v);
    animator().setAlphaValue(kDimmedAlpha);
    cancelPreviousPerformRequests();
    performAfterDelay(kFadeDelay, [this] { fadeOut(); });
}

void RFOverlayScroller::mouseEntered(kit::Event& e) {
    kit::Scroller::mouseEntered(e);
    animateAlpha(kDimmedAlpha, kFadeDuration);
    cancelPreviousPerformRequests();
}

void RFOverlayScroller::mouseMoved(kit::Event& e) {
    kit::Scroller::mouseMoved(e);
    setAlphaValue(kDimmedAlpha);
}

void RFOverlayScroller::mouseExited(kit::Event& e) {
    kit::Scroller::mouseExited(e);
    fadeOut();
}

void RFOverlayScroller::fadeOut() { animateAlpha(kDimmedAlpha, kFadeDuration); }
