#include "kit/ui/ProgressIndicator.h"

#include <QTimer>
#include <cmath>

#include "kit/ui/Graphics.h"
#include "kit/ui/QtBridge.h"
#include "kit/ui/ViewWidget.h"

namespace kit {

ProgressIndicator::ProgressIndicator(const Rect& frame) : View(frame) {
    // The timer belongs to the view's widget, so it cannot outlive the view.
    timer_ = new QTimer(widgetOf(*this));
    timer_->setInterval(80);
    Weak<ProgressIndicator> self(this);
    QObject::connect(timer_, &QTimer::timeout, widgetOf(*this), [self] {
        if (auto* p = self.get()) {
            p->phase_ = (p->phase_ + 1) % 12;
            p->setNeedsDisplay(true);
        }
    });
}

ProgressIndicator::~ProgressIndicator() {
    if (timer_) timer_->stop();
}

void ProgressIndicator::startAnimation(Object*) {
    if (animating_) return;
    animating_ = true;
    timer_->start();
    setNeedsDisplay(true);
}

void ProgressIndicator::stopAnimation(Object*) {
    if (!animating_) return;
    animating_ = false;
    timer_->stop();
    setNeedsDisplay(true);
}

void ProgressIndicator::drawRect(const Rect&) {
    if (!animating_ && !displayedWhenStopped_) return;
    Rect b = bounds();
    const double r = std::min(b.width(), b.height()) / 2;
    const Point c{b.midX(), b.midY()};
    for (int i = 0; i < 12; ++i) {
        const double a = M_PI / 2 - i * (2 * M_PI / 12);
        const int age = (i - phase_ + 12) % 12;   // the spoke at the phase is darkest
        Color(0, 0, 0, animating_ ? 0.85 - age * 0.06 : 0.3).setStroke();
        BezierPath p;
        p.setLineWidth(std::max(1.0, r * 0.16));
        p.setLineCapStyle(LineCap::Round);
        p.moveTo({c.x + std::cos(a) * r * 0.45, c.y + std::sin(a) * r * 0.45});
        p.lineTo({c.x + std::cos(a) * r * 0.9, c.y + std::sin(a) * r * 0.9});
        p.stroke();
    }
}

}  // namespace kit
