#include "kit/ui/Animation.h"

#include <QCoreApplication>
#include <QEasingCurve>
#include <QPointF>
#include <QPointer>
#include <QTimer>
#include <QVariantAnimation>
#include <map>
#include <vector>

#include "kit/SysPath.h"
#include "kit/ui/Application.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

namespace kit {

struct AnimationContext::Group {
    int pending = 0;
    bool setUpDone = false;
    std::function<void()> completion;
    bool hasOwner = false;
    std::weak_ptr<void> owner;

    void finishOne() {
        if (--pending == 0 && setUpDone) fire();
    }
    void fire() {
        auto fn = std::move(completion);
        completion = nullptr;
        if (!fn) return;
        if (hasOwner && owner.expired()) return;
        fn();
    }
};

namespace {
std::vector<AnimationContext*>& stack() {
    static std::vector<AnimationContext*> s;
    return s;
}

// Running animations by owner token and key.
struct Running {
    std::weak_ptr<void> owner;
    std::string key;
    QPointer<QVariantAnimation> anim;
};
std::vector<Running>& running() {
    static std::vector<Running> r;
    return r;
}

QEasingCurve curveFor(TimingFunction t) {
    switch (t) {
    case TimingFunction::Linear: return QEasingCurve(QEasingCurve::Linear);
    case TimingFunction::EaseIn: return QEasingCurve(QEasingCurve::InCubic);
    case TimingFunction::EaseOut: return QEasingCurve(QEasingCurve::OutCubic);
    default: {
        // The platform's ease-in-ease-out: a cubic bezier (0.42, 0) (0.58, 1).
        QEasingCurve c(QEasingCurve::BezierSpline);
        c.addCubicBezierSegment(QPointF(0.42, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
        return c;
    }
    }
}

Running* findRunning(const std::weak_ptr<void>& owner, const std::string& key) {
    auto& r = running();
    r.erase(std::remove_if(r.begin(), r.end(), [](const Running& x) { return x.owner.expired() || !x.anim; }), r.end());
    for (auto& x : r)
        if (!x.owner.owner_before(owner) && !owner.owner_before(x.owner) && x.key == key) return &x;
    return nullptr;
}
}  // namespace

AnimationContext* AnimationContext::current() { return stack().empty() ? nullptr : stack().back(); }

void AnimationContext::runAnimationGroup(const std::function<void(AnimationContext&)>& changes,
                                         std::function<void()> completion, Object* owner) {
    ensureUiApp();
    AnimationContext ctx;
    ctx.group_ = std::make_shared<Group>();
    ctx.group_->completion = std::move(completion);
    if (owner) {
        ctx.group_->hasOwner = true;
        ctx.group_->owner = owner->lifetime();
    }
    stack().push_back(&ctx);
    changes(ctx);
    stack().pop_back();
    auto g = ctx.group_;
    g->setUpDone = true;
    if (g->pending == 0) {
        // Nothing to wait for: complete on the next turn of the run loop, as
        // the platform does, never inside the caller.
        QTimer::singleShot(0, QCoreApplication::instance(), [g] { g->fire(); });
    }
}

void stopAnimation(Object& owner, const std::string& key) {
    if (Running* r = findRunning(owner.lifetime(), key)) {
        QVariantAnimation* a = r->anim;
        r->anim = nullptr;
        if (a) {
            a->stop();
            a->deleteLater();
        }
    }
}

bool isAnimating(Object& owner, const std::string& key) { return findRunning(owner.lifetime(), key) != nullptr; }

void animateValue(Object& owner, const std::string& key, double from, double to, std::function<void(double)> apply) {
    ensureUiApp();
    AnimationContext* ctx = AnimationContext::current();
    const double duration = ctx ? ctx->duration() : AnimationContext::kDefaultDuration;
    const TimingFunction timing = ctx ? ctx->timingFunction() : TimingFunction::EaseInEaseOut;
    std::shared_ptr<AnimationContext::Group> group = ctx ? ctx->group_ : nullptr;
    stopAnimation(owner, key);
    if (duration <= 0) {
        apply(to);
        return;
    }
    auto* anim = new QVariantAnimation(QCoreApplication::instance());
    anim->setStartValue(0.0);
    anim->setEndValue(1.0);
    // Scaled like every kit wait, so that tests of animated screens run fast.
    anim->setDuration(std::max(1, int(scaled(duration) * 1000)));
    anim->setEasingCurve(curveFor(timing));
    std::weak_ptr<void> alive = owner.lifetime();
    QObject::connect(anim, &QVariantAnimation::valueChanged, anim, [alive, from, to, apply, anim](const QVariant& v) {
        if (alive.expired()) {
            anim->stop();
            anim->deleteLater();
            return;
        }
        double t = v.toDouble();
        apply(from + (to - from) * t);
    });
    if (group) {
        group->pending++;
        // Finished or stopped early: either way this animation is over.
        QObject::connect(anim, &QObject::destroyed, QCoreApplication::instance(), [group] { group->finishOne(); });
    }
    QObject::connect(anim, &QVariantAnimation::finished, anim, [anim] { anim->deleteLater(); });
    running().push_back(Running{alive, key, anim});
    anim->start();
}

// ---- view and window animators ----

ViewAnimator::ViewAnimator(View* v) : view_(v) {}
WindowAnimator::WindowAnimator(Window* w) : window_(w) {}

void ViewAnimator::setFrame(const Rect& r) {
    View* v = view_.get();
    if (!v) return;
    const Rect start = v->frame();
    Weak<View> wv(v);
    animateValue(*v, "frame", 0, 1, [wv, start, r](double t) {
        if (View* x = wv.get())
            x->setFrame(Rect(start.x() + (r.x() - start.x()) * t, start.y() + (r.y() - start.y()) * t,
                             start.width() + (r.width() - start.width()) * t,
                             start.height() + (r.height() - start.height()) * t));
    });
}
void ViewAnimator::setFrameOrigin(Point p) {
    if (View* v = view_.get()) setFrame(Rect(p, v->frame().size));
}
void ViewAnimator::setFrameSize(Size s) {
    if (View* v = view_.get()) setFrame(Rect(v->frame().origin, s));
}
void ViewAnimator::setAlphaValue(double a) {
    View* v = view_.get();
    if (!v) return;
    Weak<View> wv(v);
    animateValue(*v, "alphaValue", v->alphaValue(), a, [wv](double x) {
        if (View* y = wv.get()) y->setAlphaValue(x);
    });
}
void ViewAnimator::setValue(const std::string& key, double from, double to, std::function<void(double)> apply) {
    if (View* v = view_.get()) animateValue(*v, key, from, to, std::move(apply));
}

void WindowAnimator::setFrame(const Rect& r) {
    Window* w = window_.get();
    if (!w) return;
    const Rect start = w->frame();
    Weak<Window> ww(w);
    animateValue(*w, "frame", 0, 1, [ww, start, r](double t) {
        if (Window* x = ww.get())
            x->setFrame(Rect(start.x() + (r.x() - start.x()) * t, start.y() + (r.y() - start.y()) * t,
                             start.width() + (r.width() - start.width()) * t,
                             start.height() + (r.height() - start.height()) * t));
    });
}
void WindowAnimator::setAlphaValue(double a) {
    Window* w = window_.get();
    if (!w) return;
    Weak<Window> ww(w);
    animateValue(*w, "alphaValue", w->alphaValue(), a, [ww](double x) {
        if (Window* y = ww.get()) y->setAlphaValue(x);
    });
}

}  // namespace kit
