#pragma once
// A drawn background: the rounded white box behind a text field, with a light outline.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class TextFiledBgView : public kit::View {
public:
    explicit TextFiledBgView(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(TextFiledBgView);
