#pragma once
// The scroll view of the drive picker: a column of tiles with an overlay
// scroller that hides while the whole column is in view.
#include "kit/ui/Layout.h"
#include "kit/ui/ScrollView.h"

class DiskListScrollView : public kit::ScrollView {
public:
    explicit DiskListScrollView(const kit::Rect& frame = kit::Rect());
};

KIT_REGISTER_VIEW(DiskListScrollView);
