#include "kit/ui/ProgressIndicator.h"

#include <cmath>

#include "kit/ui/Graphics.h"
#include "kit/ui/RepeatingAnimation.h"

namespace kit {

namespace {
constexpr int kSpokes = 12;
constexpr double kTurn = kSpokes * 0.08;   // one spoke every 80 ms
}  // namespace

ProgressIndicator::ProgressIndicator(const Rect& frame) : View(frame) {
    turn_ = std::make_unique<RepeatingAnimation>(*this, kTurn, [this](double t) {
        const int phase = std::min(kSpokes - 1, int(t * kSpokes));
        if (phase == phase_) return;
        phase_ = phase;
        setNeedsDisplay(true);
    });
    turn_->showsIn(*this);
}

ProgressIndicator::~ProgressIndicator() = default;

void ProgressIndicator::startAnimation(Object*) {
    if (animating_) return;
    animating_ = true;
    turn_->start();
    setNeedsDisplay(true);
}

void ProgressIndicator::stopAnimation(Object*) {
    if (!animating_) return;
    animating_ = false;
    turn_->stop();
    setNeedsDisplay(true);
}

void ProgressIndicator::drawRect(const Rect&) {
    if (!animating_ && !displayedWhenStopped_) return;
    Rect b = bounds();
    const double r = std::min(b.width(), b.height()) / 2;
    const Point c{b.midX(), b.midY()};
    for (int i = 0; i < kSpokes; ++i) {
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
