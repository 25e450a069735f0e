#pragma once
// The spinning progress indicator (the platform's spinner style): twelve
// spokes that turn while animating.
#include <memory>

#include "kit/ui/View.h"

class QTimer;

namespace kit {

class ProgressIndicator : public View {
public:
    explicit ProgressIndicator(const Rect& frame = Rect());
    ~ProgressIndicator() override;

    void startAnimation(Object* sender = nullptr);
    void stopAnimation(Object* sender = nullptr);
    bool isAnimating() const { return animating_; }
    bool isDisplayedWhenStopped() const { return displayedWhenStopped_; }
    void setDisplayedWhenStopped(bool d) { displayedWhenStopped_ = d; setNeedsDisplay(true); }

    void drawRect(const Rect& dirty) override;

private:
    bool animating_ = false;
    bool displayedWhenStopped_ = false;
    int phase_ = 0;
    QTimer* timer_ = nullptr;
};

}  // namespace kit
