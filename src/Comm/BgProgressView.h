#pragma once
// The track of OVProgressView: a white bar with a soft grey edge.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class BgProgressView : public kit::View {
public:
    explicit BgProgressView(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(BgProgressView);
