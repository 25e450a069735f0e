#pragma once
// A drawn background: a white capsule panel with a light grey outline.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class ActiveView : public kit::View {
public:
    explicit ActiveView(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(ActiveView);
