#pragma once
// The size bar of a drive slot: a grey-blue track with a blue fill 6 points
// high, radius 3.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class SizeView : public kit::View {
public:
    explicit SizeView(const kit::Rect& frame = kit::Rect());
    // Percent 0 to 100 (limited; NaN and infinities count as 0); redraws.
    void setSizeFloat(float percent);
    float pointSize() const { return pointSize_; }
    void drawRect(const kit::Rect& dirty) override;

private:
    float pointSize_ = 0;
};

KIT_REGISTER_VIEW(SizeView);
