#pragma once
// A flat bar 22 points high: a BgProgressView track (436 points wide) and an
// NSProgressBar fill whose width follows the percent.
#include <memory>

#include "Comm/BgProgressView.h"
#include "Comm/NSProgressBar.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Layout.h"
#include "kit/ui/View.h"

class OVProgressView : public kit::View {
public:
    explicit OVProgressView(const kit::Rect& frame = kit::Rect());
    // Percent 0 to 100 (limited; NaN and infinities count as 0).
    void changeProgressValue(float percent);

    NSProgressBar* pProgress1() const { return pProgress1_.get(); }
    BgProgressView* bgProgress() const { return bgProgress_.get(); }

private:
    std::shared_ptr<BgProgressView> bgProgress_;
    std::shared_ptr<NSProgressBar> pProgress1_;
    // Declared with the bar; nothing uses them.
    std::shared_ptr<kit::ImageView> progressDownImageView_;
    bool isStopRunPro_ = false;
};

KIT_REGISTER_VIEW(OVProgressView);
