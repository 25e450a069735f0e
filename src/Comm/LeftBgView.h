#pragma once
// A drawn background: the grey rounded column behind the feature tabs.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class LeftBgView : public kit::View {
public:
    explicit LeftBgView(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(LeftBgView);
