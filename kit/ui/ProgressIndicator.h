#pragma once
// The spinning progress indicator (the platform's spinner style): twelve
// spokes that turn while animating, and only while the spinner can be seen.
#include <memory>

#include "kit/ui/View.h"

namespace kit {

class RepeatingAnimation;

class ProgressIndicator : public View {
public:
    explicit ProgressIndicator(const Rect& frame = Rect());
    ~ProgressIndicator() override;

    void startAnimation(Object* sender = nullptr);
    void stopAnimation(Object* sender = nullptr);
    bool isAnimating() const { return animating_; }
    bool isDisplayedWhenStopped() const { return displayedWhenStopped_; }
    void setDisplayedWhenStopped(bool d) { displayedWhenStopped_ = d; setNeedsDisplay(true); }
    // The spoke drawn darkest, 0 to 11; it moves on one spoke every 80 ms.
    int phase() const { return phase_; }

    void drawRect(const Rect& dirty) override;

private:
    bool animating_ = false;
    bool displayedWhenStopped_ = false;
    int phase_ = 0;
    std::unique_ptr<RepeatingAnimation> turn_;
};

}  // namespace kit
