#pragma once
// A drawn background: an inner card: translucent white with a soft blue-shadowed outline.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class PopInView : public kit::View {
public:
    explicit PopInView(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(PopInView);
