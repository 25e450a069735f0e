#pragma once
// A drawn background: a white rounded panel without a header.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class PopNoHeaderV : public kit::View {
public:
    explicit PopNoHeaderV(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(PopNoHeaderV);
