#include "kit/ui/AnimationSteps.h"

#include <cmath>
#include <memory>

#include "kit/ui/Window.h"

namespace kit {

namespace {

Rect lerp(const Rect& a, const Rect& b, double u) {
    return Rect(a.x() + (b.x() - a.x()) * u, a.y() + (b.y() - a.y()) * u, a.width() + (b.width() - a.width()) * u,
                a.height() + (b.height() - a.height()) * u);
}

struct Steps {
    std::vector<AnimationStep> steps;
    std::function<void()> completion;
    Weak<Object> owner;
    bool hasOwner = false;
};

void runStep(const std::shared_ptr<Steps>& st, size_t i) {
    if (st->hasOwner && !st->owner) return;
    if (i >= st->steps.size()) {
        if (st->completion) st->completion();
        return;
    }
    AnimationContext::runAnimationGroup(st->steps[i], [st, i] { runStep(st, i + 1); }, st->owner.get());
}

}  // namespace

void animateWindowFrameThrough(Window& w, std::vector<Rect> frames, std::function<void(bool)> completion,
                               Object* owner) {
    if (frames.empty()) return;
    w.setFrame(frames.front());
    AnimationContext* outer = AnimationContext::current();
    const double duration = outer ? outer->duration() : AnimationContext::kDefaultDuration;
    const TimingFunction timing = outer ? outer->timingFunction() : TimingFunction::EaseInEaseOut;
    auto finished = std::make_shared<bool>(false);
    Weak<Window> ww(&w);
    auto path = std::make_shared<std::vector<Rect>>(std::move(frames));
    std::function<void()> done;
    if (completion) done = [finished, completion = std::move(completion)] { completion(*finished); };
    AnimationContext::runAnimationGroup(
        [&](AnimationContext& ctx) {
            ctx.setDuration(duration);
            ctx.setTimingFunction(timing);
            animateValue(w, "frame", 0, 1, [ww, path, finished](double t) {
                Window* x = ww.get();
                if (!x) return;
                const size_t n = path->size();
                if (n == 1 || t >= 1.0) {
                    x->setFrame(path->back());
                    if (t >= 1.0) *finished = true;
                    return;
                }
                const double s = std::max(0.0, t) * double(n - 1);
                const size_t i = std::min(size_t(std::floor(s)), n - 2);
                x->setFrame(lerp((*path)[i], (*path)[i + 1], s - double(i)));
            });
        },
        std::move(done), owner);
}

void runAnimationSteps(std::vector<AnimationStep> steps, std::function<void()> completion, Object* owner) {
    auto st = std::make_shared<Steps>();
    st->steps = std::move(steps);
    st->completion = std::move(completion);
    st->owner = Weak<Object>(owner);
    st->hasOwner = owner != nullptr;
    runStep(st, 0);
}

}  // namespace kit
