#include "kit/ui/RepeatingAnimation.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>
#include <cmath>

#include "kit/SysPath.h"
#include "kit/ui/Application.h"
#include "kit/ui/QtBridge.h"
#include "kit/ui/View.h"

namespace kit {

namespace {
unsigned long ticks = 0;
}

unsigned long RepeatingAnimation::tickCount() { return ticks; }

struct RepeatingAnimation::Impl : QObject {
    std::weak_ptr<void> owner;
    std::function<void(double)> apply;
    QPointer<QVariantAnimation> anim;
    QPointer<QWidget> widget;   // the widget of the view it shows in, if any

    void stop() {
        if (QVariantAnimation* a = anim) {
            anim = nullptr;
            a->stop();
            a->deleteLater();
        }
    }
    bool canBeSeen() const { return !widget || widget->isVisible(); }
    // Pauses or resumes to match what the view shows.
    void follow() {
        QVariantAnimation* a = anim;
        if (!a) return;
        if (!canBeSeen()) {
            if (a->state() == QAbstractAnimation::Running) a->pause();
        } else if (a->state() == QAbstractAnimation::Paused) {
            a->resume();
        }
    }
    // Qt tells a widget when it or an ancestor (its window included) shows
    // or hides.
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Show || e->type() == QEvent::Hide) follow();
        return false;
    }
};

RepeatingAnimation::RepeatingAnimation(Object& owner, double period, std::function<void(double)> apply)
    : impl_(std::make_unique<Impl>()), period_(period) {
    ensureUiApp();
    impl_->owner = owner.lifetime();
    impl_->apply = std::move(apply);
}

RepeatingAnimation::~RepeatingAnimation() {
    if (QWidget* w = impl_->widget) w->removeEventFilter(impl_.get());
    impl_->stop();
}

void RepeatingAnimation::showsIn(View& view) {
    if (QWidget* old = impl_->widget) old->removeEventFilter(impl_.get());
    impl_->widget = widgetOf(view);
    if (QWidget* w = impl_->widget) w->installEventFilter(impl_.get());
    impl_->follow();
}

bool RepeatingAnimation::isRunning() const { return impl_->anim != nullptr; }

bool RepeatingAnimation::isPaused() const {
    return impl_->anim && impl_->anim->state() == QAbstractAnimation::Paused;
}

void RepeatingAnimation::stop() { impl_->stop(); }

void RepeatingAnimation::setPeriod(double seconds) {
    period_ = seconds;
    if (isRunning()) start();
}

void RepeatingAnimation::start() {
    impl_->stop();
    const double ms = scaled(period_) * 1000;
    if (!(ms > 0) || !std::isfinite(ms) || impl_->owner.expired()) return;
    auto* a = new QVariantAnimation(QCoreApplication::instance());
    a->setStartValue(0.0);
    a->setEndValue(1.0);
    a->setDuration(std::max(1, int(std::lround(ms))));
    a->setLoopCount(-1);
    Impl* impl = impl_.get();
    // The connection lives as long as the animation object; the animation
    // object is stopped and released by stop(), which the destructor calls,
    // so `impl` is valid whenever the slot runs.
    QObject::connect(a, &QVariantAnimation::valueChanged, a, [impl, a](const QVariant& v) {
        if (impl->anim != a) return;
        if (impl->owner.expired()) {
            impl->stop();
            return;
        }
        if (!impl->canBeSeen()) {
            // Hidden without a word from Qt (a widget taken out of its
            // parent, say): wait for the next showing.
            impl->follow();
            return;
        }
        double t = v.toDouble();
        if (t >= 1.0) t = 0.0;   // the end of one period is the start of the next
        ++ticks;
        impl->apply(t);
    });
    impl_->anim = a;
    a->start();
    impl_->follow();
}

}  // namespace kit
