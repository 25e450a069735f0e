#pragma once
// The usage bar of a row of the disk tools' volume table: a track 4 points
// high with a blue fill, radius 2.
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class WipeDiskProView : public kit::View {
public:
    explicit WipeDiskProView(const kit::Rect& frame = kit::Rect());
    // Percent 0 to 100 (limited; NaN and infinities count as 0).
    void changeProgressValue(float percent);
    float value() const { return value_; }
    void drawRect(const kit::Rect& dirty) override;

private:
    float value_ = 0;
};

KIT_REGISTER_VIEW(WipeDiskProView);
