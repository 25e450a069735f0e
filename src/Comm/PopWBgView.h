#pragma once
// A drawn background: a popover-window panel: a white rounded body with a squared-off top band.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class PopWBgView : public kit::View {
public:
    explicit PopWBgView(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(PopWBgView);
