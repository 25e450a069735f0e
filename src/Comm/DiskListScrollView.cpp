#include "Comm/DiskListScrollView.h"

#include "Comm/RFOverlayScroller.h"

DiskListScrollView::DiskListScrollView(const kit::Rect& frame) : RFOverlayScrollView(frame) {
    setHasVerticalScroller(true);
    setVerticalScroller(std::make_shared<RFOverlayScroller>(kit::Rect(0, 0, 15, frame.height())));
    setAutohidesScrollers(true);
    setDrawsBackground(false);
    tile();
}
