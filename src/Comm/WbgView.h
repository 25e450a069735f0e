#pragma once
// A drawn background: a white rounded panel.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class WbgView : public kit::View {
public:
    explicit WbgView(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(WbgView);
