#pragma once
// A drawn background: the top band: a pale panel with two blue rounded accents, placed from the top of the area being drawn.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class TopBgView : public kit::View {
public:
    explicit TopBgView(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(TopBgView);
