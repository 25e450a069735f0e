#include "Comm/DiskListScrollView.h"

DiskListScrollView::DiskListScrollView(const kit::Rect& frame) : ScrollView(frame) {
    setHasVerticalScroller(true);
    setScrollerStyle(kit::ScrollerStyle::Overlay);
    setAutohidesScrollers(true);
    setDrawsBackground(false);
}
