#pragma once
// Animations in steps: a window's frame carried through key frames (the
// pop of a popover: small, a little too large, then its size), and groups
// run one after another.
//
//   kit::animateWindowFrameThrough(*snapshot, {start, overshoot, final},
//                                  [this](bool finished) { ... }, this);
//   kit::runAnimationSteps({
//       [&](kit::AnimationContext&) { w->animator().setAlphaValue(1); },
//       [&](kit::AnimationContext& c) { c.setDuration(0.1); w->animator().setFrame(r); },
//   }, [this] { ... }, this);
#include <functional>
#include <vector>

#include "kit/ui/Animation.h"
#include "kit/ui/Geometry.h"

namespace kit {

class Object;
class Window;

// Moves the window to frames[0], then carries its frame through the other
// frames, each reached after an equal share of the duration. The duration and
// timing are those of the group being set up (the default ones outside a
// group). It is the window's "frame" animation: a later frame animation of
// the window replaces it. completion(finished) runs on the main run loop once
// it is over (finished is false when it was stopped or replaced first); it is
// the animation's own, so an enclosing group's completion does not wait for
// it; it never runs after `owner` (when given) is gone.
void animateWindowFrameThrough(Window& w, std::vector<Rect> frames,
                               std::function<void(bool finished)> completion = nullptr, Object* owner = nullptr);

// Runs each step as an animation group once every animation of the previous
// step has ended, then `completion`. Nothing more runs once `owner` (when
// given) is gone.
using AnimationStep = std::function<void(AnimationContext&)>;
void runAnimationSteps(std::vector<AnimationStep> steps, std::function<void()> completion = nullptr,
                       Object* owner = nullptr);

}  // namespace kit
