#pragma once
// An endless animation: apply(t) is called with t running linearly from 0 to 1
// over each period, then again from 0, until the animation is stopped, the
// RepeatingAnimation object is destroyed or its owner goes away (whichever
// comes first; apply is never called after that). The period is scaled by the
// time scale (PELORIN_TIME_SCALE), like every kit duration.
//
// Tied to a view (showsIn), the animation runs only while that view can be
// seen: it pauses while the view or one of its superviews is hidden or the
// view is not in a window on screen, and goes on from where it stopped once
// the view shows again. A running but paused animation costs nothing.
//
//   stripes_ = std::make_unique<kit::RepeatingAnimation>(*this, 0.5, [this](double t) {
//       stripeOffset_ = t * tileWidth_;
//       setNeedsDisplay(true);
//   });
//   stripes_->showsIn(*this);
//   stripes_->start();
#include <functional>
#include <memory>

#include "kit/ui/Responder.h"

namespace kit {

class View;

class RepeatingAnimation {
public:
    // `period` in seconds (before scaling); a period of 0 or less never runs.
    RepeatingAnimation(Object& owner, double period, std::function<void(double)> apply);
    ~RepeatingAnimation();
    RepeatingAnimation(const RepeatingAnimation&) = delete;
    RepeatingAnimation& operator=(const RepeatingAnimation&) = delete;

    // The view whose visibility the animation follows; it must outlive this
    // object or be its owner.
    void showsIn(View& view);

    // Starts from t = 0 (a running animation starts over).
    void start();
    // Stops; apply is not called again until the next start().
    void stop();
    // Started and not stopped, paused or not.
    bool isRunning() const;
    // Running, but waiting for its view to show.
    bool isPaused() const;

    double period() const { return period_; }
    // Takes effect at once: a running animation starts over with the new period.
    void setPeriod(double seconds);

    // Every apply call of every repeating animation so far: an idle program
    // adds none.
    static unsigned long tickCount();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    double period_;
};

}  // namespace kit
