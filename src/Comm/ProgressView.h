#pragma once
// A flat bar 6 points high: a light blue track with a blue fill, radius 3.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class ProgressView : public kit::View {
public:
    explicit ProgressView(const kit::Rect& frame = kit::Rect());
    // Percent 0 to 100 (limited; NaN and infinities count as 0).
    void changeProgressValue(float percent);
    float used() const { return used_; }
    void drawRect(const kit::Rect& dirty) override;

private:
    float used_ = 0;
};

KIT_REGISTER_VIEW(ProgressView);
