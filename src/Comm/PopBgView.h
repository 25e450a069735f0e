#pragma once
// A drawn background: a pale blue rounded panel.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class PopBgView : public kit::View {
public:
    explicit PopBgView(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(PopBgView);
