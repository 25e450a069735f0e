#pragma once
// A drawn background: a light grey square panel.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class BGMView : public kit::View {
public:
    explicit BGMView(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(BGMView);
