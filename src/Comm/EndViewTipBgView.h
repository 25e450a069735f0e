#pragma once
// A drawn background: a dashed outline around the area being drawn (the tip frame of the end views).
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class EndViewTipBgView : public kit::View {
public:
    explicit EndViewTipBgView(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(EndViewTipBgView);
