#pragma once
// The pop-up row menus' one tracking area over their view, reporting
// entering, leaving and moves to `owner` whether or not the application is
// active (so the menu's owner can close it). Made once: nothing happens while
// `area` is set or when there is no view.
#include <memory>

#include "kit/ui/View.h"

inline void addMenuPointerArea(kit::View* menu, kit::Responder* owner, std::shared_ptr<kit::TrackingArea>& area) {
    if (!menu || area) return;
    area = std::make_shared<kit::TrackingArea>(
        kit::Rect(),
        kit::TrackingMouseEnteredAndExited | kit::TrackingMouseMoved | kit::TrackingActiveAlways |
            kit::TrackingInVisibleRect,
        owner);
    menu->addTrackingArea(area);
}
