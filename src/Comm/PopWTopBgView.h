#pragma once
// A drawn background: the band under a custom title bar: rounded on top, square below.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class PopWTopBgView : public kit::View {
public:
    explicit PopWTopBgView(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(PopWTopBgView);
