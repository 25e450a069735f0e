#include "Comm/OVHandButton.h"

#include "kit/ui/Application.h"

OVHandButton::OVHandButton(const kit::Rect& frame) : kit::Button(frame) {}

void OVHandButton::viewDidMoveToWindow() {
    // One area over the bounds, kept across moves between windows (joining a
    // window again must not stack another one).
    if (!window() || handArea_) return;
    handArea_ = std::make_shared<kit::TrackingArea>(
        kit::Rect(), kit::TrackingMouseEnteredAndExited | kit::TrackingActiveAlways | kit::TrackingInVisibleRect, this);
    addTrackingArea(handArea_);
}

void OVHandButton::mouseEntered(kit::Event&) { kit::Cursor::pointingHand().set(); }

void OVHandButton::mouseExited(kit::Event&) { kit::Cursor::arrow().set(); }
