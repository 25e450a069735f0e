#pragma once
// The scroll view of the drive picker: the column of tiles with the overlay
// scroller floating over its right edge, hidden while the whole column is in
// view.
#include "Comm/RFOverlayScrollView.h"
#include "kit/ui/Layout.h"

class DiskListScrollView : public RFOverlayScrollView {
public:
    explicit DiskListScrollView(const kit::Rect& frame = kit::Rect());
};

KIT_REGISTER_VIEW(DiskListScrollView);
