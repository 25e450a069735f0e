#include "kit/ui/RepeatingAnimation.h"

#include <QCoreApplication>
#include <QPointer>
#include <QVariantAnimation>
#include <cmath>

#include "kit/SysPath.h"
#include "kit/ui/Application.h"

namespace kit {

struct RepeatingAnimation::Impl {
    std::weak_ptr<void> owner;
    std::function<void(double)> apply;
    QPointer<QVariantAnimation> anim;

    void stop() {
        if (QVariantAnimation* a = anim) {
            anim = nullptr;
            a->stop();
            a->deleteLater();
        }
    }
};

RepeatingAnimation::RepeatingAnimation(Object& owner, double period, std::function<void(double)> apply)
    : impl_(std::make_unique<Impl>()), period_(period) {
    ensureUiApp();
    impl_->owner = owner.lifetime();
    impl_->apply = std::move(apply);
}

RepeatingAnimation::~RepeatingAnimation() { impl_->stop(); }

bool RepeatingAnimation::isRunning() const { return impl_->anim != nullptr; }

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
        double t = v.toDouble();
        if (t >= 1.0) t = 0.0;   // the end of one period is the start of the next
        impl->apply(t);
    });
    impl_->anim = a;
    a->start();
}

}  // namespace kit
