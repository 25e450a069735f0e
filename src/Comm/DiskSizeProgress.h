#pragma once
// The usage bar of a drive tile: a light track with a blue fill, radius 2.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class DiskSizeProgress : public kit::View {
public:
    explicit DiskSizeProgress(const kit::Rect& frame = kit::Rect());
    ~DiskSizeProgress() override;
    // Percent 0 to 100 (limited; NaN and infinities count as 0).
    void changeProgressValue(float percent);
    float used() const { return used_; }
    void drawRect(const kit::Rect& dirty) override;

private:
    float used_ = 0;
};

KIT_REGISTER_VIEW(DiskSizeProgress);
