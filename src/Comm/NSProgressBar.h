#pragma once
// The fill of OVProgressView: a square-cornered blue bar with a soft edge.
// (A class of this program, not the platform's progress indicator.)
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class NSProgressBar : public kit::View {
public:
    explicit NSProgressBar(const kit::Rect& frame = kit::Rect());
    void drawRect(const kit::Rect& dirty) override;
};

KIT_REGISTER_VIEW(NSProgressBar);
