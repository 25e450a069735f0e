#pragma once
// Animation: the animator proxies of views and windows and the animation
// context that groups changes.
//
//   AnimationContext::runAnimationGroup([&](AnimationContext& ctx) {
//       ctx.setDuration(0.2);
//       view->animator().setFrame(r);
//   }, [this] { ... }, this);
//
// A change made through an animator glides from the current value to the new
// one with ease-in-ease-out timing over the group's duration (0.25 s unless
// set); outside a group the default duration applies. A new change of the
// same property starts from wherever the old one had got to. Animations stop
// when their view or window goes away; a completion runs once every animation
// of its group has ended, on the main run loop, and never after its owner
// (when one is given) is gone. A duration of 0 applies the change at once.
// Durations are multiplied by the time scale (PELORIN_TIME_SCALE).
#include <functional>
#include <memory>
#include <string>

#include "kit/ui/Geometry.h"
#include "kit/ui/Responder.h"

namespace kit {

class View;
class Window;

enum class TimingFunction { Linear, EaseIn, EaseOut, EaseInEaseOut };

class AnimationContext {
public:
    static constexpr double kDefaultDuration = 0.25;

    static void runAnimationGroup(const std::function<void(AnimationContext&)>& changes,
                                  std::function<void()> completion = nullptr, Object* owner = nullptr);
    // The innermost group being set up, or nullptr.
    static AnimationContext* current();

    double duration() const { return duration_; }
    void setDuration(double s) { duration_ = s; }
    TimingFunction timingFunction() const { return timing_; }
    void setTimingFunction(TimingFunction t) { timing_ = t; }

    struct Group;

private:
    friend void animateValue(Object& owner, const std::string& key, double from, double to,
                             std::function<void(double)> apply);
    std::shared_ptr<Group> group_;
    double duration_ = kDefaultDuration;
    TimingFunction timing_ = TimingFunction::EaseInEaseOut;
};

// Runs apply(value) for values gliding from `from` to `to`, tied to the
// lifetime of `owner` and keyed so that a new animation of the same key of
// the same owner replaces the running one.
void animateValue(Object& owner, const std::string& key, double from, double to,
                  std::function<void(double)> apply);
// Stops the animation of that key (the value stays where it is).
void stopAnimation(Object& owner, const std::string& key);
bool isAnimating(Object& owner, const std::string& key);

class ViewAnimator {
public:
    explicit ViewAnimator(View* v);
    void setFrame(const Rect& r);
    void setFrameOrigin(Point p);
    void setFrameSize(Size s);
    void setAlphaValue(double a);
    // Any numeric property: its current value, the new one and its setter.
    void setValue(const std::string& key, double from, double to, std::function<void(double)> apply);
private:
    Weak<View> view_;
};

class WindowAnimator {
public:
    explicit WindowAnimator(Window* w);
    void setFrame(const Rect& r);
    void setAlphaValue(double a);
private:
    Weak<Window> window_;
};

}  // namespace kit
