#pragma once
// A drawn background: the pale window background with its top band.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class BGWView : public kit::View {
public:
    explicit BGWView(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(BGWView);
