#pragma once
// A drawn background: the light blue rounded box behind the version text of the About window.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class AboutVersionBgView : public kit::View {
public:
    explicit AboutVersionBgView(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(AboutVersionBgView);
