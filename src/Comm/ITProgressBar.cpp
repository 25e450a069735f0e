#include "Comm/ITProgressBar.h"

#include <cmath>

#include "kit/System.h"
#include "kit/ui/Graphics.h"
#include "kit/ui/TiledImage.h"

namespace {

// The stripes show at 4 % over the fill.
constexpr double kStripesOpacity = 0.04;

// NaN stays NaN (the caller ignores it); everything else lands in [0, 1].
double limitedValue(double v) {
    if (std::isnan(v)) return v;
    return std::clamp(v, 0.0, 1.0);
}

}  // namespace

// ---- animator ----

void ITProgressBar::Animator::setFloatValue(double value) {
    ITProgressBar* bar = bar_.get();
    if (!bar) return;
    const double to = limitedValue(value);
    if (std::isnan(to)) return;
    kit::Weak<ITProgressBar> weak(bar);
    kit::AnimationContext::runAnimationGroup([&](kit::AnimationContext& ctx) {
        ctx.setTimingFunction(kit::TimingFunction::EaseInEaseOut);
        kit::animateValue(*bar, "floatValue", bar->floatValue(), to, [weak](double x) {
            if (ITProgressBar* b = weak.get()) b->setFloatValue(x);
        });
    });
}

void ITProgressBar::Animator::setAlphaValue(double a) {
    if (ITProgressBar* bar = bar_.get()) bar->kit::View::animator().setAlphaValue(a);
}

std::optional<ITBasicAnimation> ITProgressBar::defaultAnimationForKey(const std::string& key) {
    if (key != "floatValue") return std::nullopt;
    ITBasicAnimation a;
    a.keyPath = key;
    a.duration = kit::AnimationContext::kDefaultDuration;
    a.timing = kit::TimingFunction::EaseInEaseOut;
    return a;
}

// ---- set-up ----

ITProgressBar::ITProgressBar(const kit::Rect& frame) : kit::View(frame) {
    borderWidth_ = 1.0;
    borderColor_ = kit::Color::white();
    shadowWidth_ = 1.0;
    floatValue_ = 1.0;
    animationDuration_ = 0.5;
    stripesImage_ = stripesImageWithSize(kit::Size{30, 10});
    colorTintOpacity_ = 0.2;
    backgroundColors_ = {kit::Color::rgb255(207, 222, 250), kit::Color::rgb255(207, 222, 250)};

    fillLayer().gradientColors = {kit::Color::rgb255(2, 125, 255), kit::Color::rgb255(2, 193, 255)};
    backgroundLayer().gradientColors = backgroundColors_;
    innerClipLayer().sublayers = {&fillLayer(), &stripesLayer(), &innerShadowLayer(), &colorTintLayer()};
    clipLayer().sublayers = {&backgroundLayer(), &borderLayer(), &innerClipLayer()};
    rootLayer().sublayers = {&clipLayer()};
    clipLayer().masksToBounds = true;
    innerClipLayer().masksToBounds = true;
    colorTintLayer().opacity = colorTintOpacity_;

    resizeLayers();
    setAnimates(true);
}

ITProgressBar::~ITProgressBar() = default;

ITProgressBar::Layer& ITProgressBar::layer(std::unique_ptr<Layer>& slot) {
    if (!slot) slot = std::make_unique<Layer>();
    return *slot;
}
ITProgressBar::Layer& ITProgressBar::rootLayer() { return layer(rootLayer_); }
ITProgressBar::Layer& ITProgressBar::clipLayer() { return layer(clipLayer_); }
ITProgressBar::Layer& ITProgressBar::backgroundLayer() { return layer(backgroundLayer_); }
ITProgressBar::Layer& ITProgressBar::borderLayer() { return layer(borderLayer_); }
ITProgressBar::Layer& ITProgressBar::innerClipLayer() { return layer(innerClipLayer_); }
ITProgressBar::Layer& ITProgressBar::fillLayer() { return layer(fillLayer_); }
ITProgressBar::Layer& ITProgressBar::stripesLayer() { return layer(stripesLayer_); }
ITProgressBar::Layer& ITProgressBar::innerShadowLayer() { return layer(innerShadowLayer_); }
ITProgressBar::Layer& ITProgressBar::colorTintLayer() { return layer(colorTintLayer_); }

// ---- layout ----

void ITProgressBar::resizeLayers() {
    const kit::Rect b = bounds();
    clipLayer().frame = b;
    clipLayer().cornerRadius = b.height() / 2;
    resizeInnerLayers();
    fillLayer().frame = b;
    borderLayer().frame = b;
    colorTintLayer().frame = b;
    backgroundLayer().frame = b;
    borderLayer().contents = borderImageForSize(b.size, false);

    Layer& stripes = stripesLayer();
    stripes.backgroundPattern = stripesImage_;
    const double w = stripesImage_ ? stripesImage_->size().width : 0;
    if (w > 0 && std::isfinite(w)) {
        // One image width wider than needed, starting one width to the left:
        // sliding right by one width repeats the pattern seamlessly.
        stripes.frame = kit::Rect(-w, b.y(), w * (std::ceil(b.width() / w) + 1), b.height());
    } else {
        // No stripes image, no stripes.
        stripes.frame = kit::Rect(0, b.y(), 0, b.height());
    }
    setNeedsDisplay(true);
}

void ITProgressBar::resizeInnerLayers() {
    Layer& inner = innerClipLayer();
    kit::Rect r = kit::insetRect(bounds(), borderWidth_, borderWidth_);
    r.size.width = std::max(0.0, r.width() * floatValue_);
    inner.frame = r;
    inner.cornerRadius = r.height() / 2;

    Layer& shadow = innerShadowLayer();
    shadow.frame = kit::insetRect(kit::Rect(0, 0, r.width(), r.height()), -borderWidth_, -borderWidth_);
    shadow.cornerRadius = shadow.frame.height() / 2;
    shadow.contents = borderImageForSize(shadow.frame.size, true);
    setNeedsDisplay(true);
}

void ITProgressBar::frameDidChange(const kit::Rect& oldFrame) {
    if (oldFrame.size != frame().size) viewResized();
}

void ITProgressBar::viewResized() { resizeLayers(); }

void ITProgressBar::reloadColorTint() {
    colorTintLayer().backgroundColor = colorTint_;
    colorTintLayer().opacity = colorTintOpacity_;
    setNeedsDisplay(true);
}

void ITProgressBar::reloadBackground() {
    backgroundLayer().gradientColors = backgroundColors_;
    setNeedsDisplay(true);
}

// ---- images ----

std::shared_ptr<kit::Image> ITProgressBar::borderImageForSize(kit::Size size, bool withInnerShadow) const {
    if (!(size.width > 0) || !(size.height > 0)) return nullptr;
    auto image = kit::Image::withSize(size);
    const double bw = borderWidth_;
    const kit::Color color = borderColor_;
    const double shadowWidth = shadowWidth_;
    image->drawInto([&] {
        kit::BezierPath path =
            kit::BezierPath::roundedRect(kit::Rect(bw / 2, bw / 2, size.width - bw, size.height - bw),
                                         size.height / 2, size.height / 2);
        path.setLineWidth(bw);
        color.setStroke();
        if (withInnerShadow) {
            kit::GraphicsContext::saveGraphicsState();
            kit::Shadow shadow;
            shadow.color = kit::Color(1, 1, 1, 0.6);
            shadow.offset = kit::Size{0, -shadowWidth};
            shadow.blurRadius = 0;
            shadow.set();
            path.stroke();
            kit::GraphicsContext::restoreGraphicsState();
        } else {
            path.stroke();
        }
    });
    return image;
}

std::shared_ptr<kit::Image> ITProgressBar::stripesImageWithSize(kit::Size size) {
    const double w = size.width, h = size.height;
    auto image = kit::Image::withSize(size);
    // The pattern is laid out top-down; the image is drawn y up, so each y
    // becomes h - y.
    image->drawInto([&] {
        kit::Color::white().setFill();
        kit::BezierPath::fillRect(kit::Rect(0, 0, w, h));
        kit::Color::black().setFill();
        kit::BezierPath band;
        band.moveTo({w, h - 0});
        band.lineTo({w, h - h / 2});
        band.lineTo({w / 2, h - h});
        band.lineTo({0, h - h});
        band.closePath();
        band.fill();
        kit::BezierPath corner;
        corner.moveTo({0, h - 0});
        corner.lineTo({w / 2, h - 0});
        corner.lineTo({0, h - h / 2});
        corner.closePath();
        corner.fill();
    });
    return image;
}

// ---- animations ----

ITBasicAnimation ITProgressBar::stripesAnimation() const {
    const double w = stripesImage_ ? stripesImage_->size().width : 0;
    ITBasicAnimation a;
    a.keyPath = "position.x";
    a.fromValue = -w;
    a.toValue = 0;   // by one image width
    a.duration = animationDuration_;
    a.repeatsForever = true;
    a.autoreverses = false;
    a.timing = kit::TimingFunction::Linear;
    return a;
}

ITBasicAnimation ITProgressBar::fadeAnimationVisible(bool visible) {
    ITBasicAnimation a;
    a.keyPath = "opacity";
    a.fromValue = visible ? 0 : kStripesOpacity;
    a.toValue = visible ? kStripesOpacity : 0;
    a.duration = 0.255;
    return a;
}

bool ITProgressBar::hasStripesAnimation() const { return stripes_ && stripes_->isRunning(); }
bool ITProgressBar::stripesAnimationPaused() const { return stripes_ && stripes_->isPaused(); }

void ITProgressBar::addStripesAnimation() {
    const ITBasicAnimation a = stripesAnimation();
    const double width = a.toValue - a.fromValue;
    if (!(width > 0)) return;
    stripes_ = std::make_unique<kit::RepeatingAnimation>(*this, a.duration, [this, width](double t) {
        stripesOffset_ = t * width;
        setNeedsDisplay(true);
    });
    // The stripes stand still while nobody can see them.
    stripes_->showsIn(*this);
    stripes_->start();
}

void ITProgressBar::removeStripesAnimation() {
    stripes_.reset();
    stripesOffset_ = 0;
    setNeedsDisplay(true);
}

void ITProgressBar::setAnimates(bool on) {
    if (on == animates_) return;
    animates_ = on;
    Layer& stripes = stripesLayer();
    if (on) {
        if (!hasStripesAnimation() && !it_isHidden_) addStripesAnimation();
        kit::stopAnimation(*this, "stripesOpacity");
        stripes.opacity = kStripesOpacity;
        setNeedsDisplay(true);
        return;
    }
    // The stripes fade out; their movement stops once the fade is over,
    // unless animation was turned on again meanwhile.
    kit::Weak<ITProgressBar> weak(this);
    const double from = stripes.opacity;
    kit::AnimationContext::runAnimationGroup(
        [&](kit::AnimationContext&) {
            kit::animateValue(*this, "stripesOpacity", from, 0, [weak](double x) {
                if (ITProgressBar* b = weak.get()) {
                    b->stripesLayer().opacity = x;
                    b->setNeedsDisplay(true);
                }
            });
        },
        [weak] {
            ITProgressBar* b = weak.get();
            if (b && !b->animates_) b->removeStripesAnimation();
        },
        this);
}

void ITProgressBar::setAnimationDuration(double seconds) {
    animationDuration_ = seconds;
    if (!animates_) return;
    setAnimates(false);
    removeStripesAnimation();
    setAnimates(true);
}

void ITProgressBar::setHidden(bool hidden) {
    it_isHidden_ = hidden;
    if (!window()) {
        // Not on screen (a layout file being loaded): nothing to fade.
        kit::View::setHidden(hidden);
        setAlphaValue(hidden ? 0 : 1);
        if (hidden) removeStripesAnimation();
        else if (animates_ && !hasStripesAnimation()) addStripesAnimation();
        return;
    }
    // A show during the hide fade goes on: the view is not hidden yet, but
    // it is on its way out.
    if (isHidden() == hidden && !(!hidden && hideFading_)) return;
    kit::Weak<ITProgressBar> weak(this);
    if (hidden) {
        hideFading_ = true;
        kit::AnimationContext::runAnimationGroup(
            [&](kit::AnimationContext&) { kit::View::animator().setAlphaValue(0); },
            [weak] {
                ITProgressBar* b = weak.get();
                if (!b) return;
                b->hideFading_ = false;
                if (!b->it_isHidden_) return;   // shown again meanwhile
                b->kit::View::setHidden(true);
                b->removeStripesAnimation();
            },
            this);
        return;
    }
    hideFading_ = false;
    kit::View::setHidden(false);
    kit::View::animator().setAlphaValue(1);
    if (animates_ && !hasStripesAnimation()) addStripesAnimation();
}

// ---- properties ----

void ITProgressBar::setFloatValue(double value) {
    const double v = limitedValue(value);
    if (std::isnan(v)) return;
    floatValue_ = v;
    resizeInnerLayers();
}

void ITProgressBar::setBorderWidth(double w) {
    borderWidth_ = w;
    if (shadowWidth_ > w) shadowWidth_ = w;
}

void ITProgressBar::setShadowWidth(double w) {
    if (w > borderWidth_) {
        kit::logf("Warning: Line width must be at least as large as shadow width");
        return;
    }
    shadowWidth_ = w;
}

void ITProgressBar::setBackgroundColors(const std::vector<kit::Color>& colors) {
    backgroundColors_ = colors;
    reloadBackground();
}

void ITProgressBar::setColorTint(const std::optional<kit::Color>& c) {
    colorTint_ = c;
    reloadColorTint();
}

void ITProgressBar::setColorTintOpacity(double o) {
    colorTintOpacity_ = o;
    reloadColorTint();
}

// ---- drawing ----

void ITProgressBar::drawLayer(const Layer& l, kit::Point origin, double opacity) const {
    const double alpha = opacity * l.opacity;
    const kit::Rect r = kit::offsetRect(l.frame, origin.x, origin.y);
    kit::GraphicsContext::saveGraphicsState();
    if (l.masksToBounds) kit::BezierPath::roundedRect(r, l.cornerRadius, l.cornerRadius).addClip();
    if (alpha > 0 && !r.isEmpty()) {
        if (l.backgroundColor) {
            const kit::Color c = *l.backgroundColor;
            c.withAlpha(c.alpha * alpha).setFill();
            kit::BezierPath::roundedRect(r, l.cornerRadius, l.cornerRadius).fill();
        }
        if (l.backgroundPattern) kit::drawTiledImage(*l.backgroundPattern, r, r.origin, alpha);
        if (l.gradientColors.size() >= 2) {
            std::vector<kit::Color> colors;
            std::vector<double> locations;
            for (size_t i = 0; i < l.gradientColors.size(); ++i) {
                const kit::Color& c = l.gradientColors[i];
                colors.push_back(c.withAlpha(c.alpha * alpha));
                locations.push_back(double(i) / double(l.gradientColors.size() - 1));
            }
            kit::Gradient(colors, locations).drawInRect(r, 90);
        }
        if (l.contents) l.contents->drawInRect(r, kit::Rect(), kit::CompositingOperation::SourceOver, alpha);
    }
    for (const Layer* sub : l.sublayers) {
        if (sub == stripesLayer_.get()) {
            // The stripes layer's presented position follows its animation.
            Layer moved = *sub;
            moved.frame.origin.x += stripesOffset_;
            drawLayer(moved, r.origin, alpha);
        } else {
            drawLayer(*sub, r.origin, alpha);
        }
    }
    kit::GraphicsContext::restoreGraphicsState();
}

void ITProgressBar::drawRect(const kit::Rect&) { drawLayer(*rootLayer_, kit::Point{}, 1.0); }
