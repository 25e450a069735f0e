#include "Comm/Lib/YLPopoverWindow.h"

#include "Comm/Lib/YLPopoverController.h"
#include "kit/ui/AnimationSteps.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/ViewImage.h"

namespace {
constexpr double kArrowHeight = 12;
}

YLPopoverWindow::YLPopoverWindow(const kit::Rect& contentRect, unsigned)
    : Window(contentRect, kit::BorderlessWindowMask | kit::NonactivatingPanelMask | kit::UtilityWindowMask) {
    setOpaque(false);
    setBackgroundColor(kit::Color::clear());
    setHasShadow(true);
    frame_ = std::make_shared<YLPopoverWindowFrame>(kit::Rect(0, 0, frame().width(), frame().height()));
    Window::setContentView(frame_);
    registerAction("cancelOperation:", [this](kit::Object* s) { cancelOperation(s); });
}

YLPopoverWindow::~YLPopoverWindow() { dropZoomWindow(); }

// The window manager learns a window's parent when the window is mapped, and
// one withdrawn and mapped again at once can be left unmanaged, below its
// parent; so the panel and its snapshot are the anchor window's children
// from their first showing.
void YLPopoverWindow::orderFrontOverAnchor(const std::shared_ptr<kit::Window>& w) {
    kit::Window* anchor = controller_ ? controller_->anchorWindow() : nullptr;
    if (anchor) anchor->addChildWindow(w, kit::WindowOrderingMode::Above);
    w->orderFront();
}

void YLPopoverWindow::dropZoomWindow() {
    std::shared_ptr<kit::Window> zoom = std::move(zoomWindow_);
    if (!zoom) return;
    zoom->orderOut();
    if (kit::Window* parent = zoom->parentWindow()) parent->removeChildWindow(zoom.get());
}

kit::Rect YLPopoverWindow::contentRectForFrameRect(const kit::Rect& f) const {
    return kit::insetRect(kit::Rect(0, 0, f.width(), f.height()), kArrowHeight, kArrowHeight);
}

kit::Rect YLPopoverWindow::frameRectForContentRect(const kit::Rect& c) const {
    return kit::insetRect(c, -kArrowHeight, -kArrowHeight);
}

bool YLPopoverWindow::isVisible() const { return Window::isVisible() || (zoomWindow_ && zoomWindow_->isVisible()); }

void YLPopoverWindow::setContentView(std::shared_ptr<kit::View> v) { setPopoverContentView(std::move(v)); }

void YLPopoverWindow::setPopoverContentView(std::shared_ptr<kit::View> v) {
    if (!v || v == content_) return;
    if (content_) content_->removeFromSuperview();
    content_ = v;
    v->setFrame(contentRectForFrameRect(frame_->frame()));
    v->setAutoresizingMask(kit::ViewWidthSizable | kit::ViewHeightSizable);
    frame_->addSubview(v);
}

void YLPopoverWindow::setPopoverController(YLPopoverController* c) { controller_ = kit::Weak<YLPopoverController>(c); }
void YLPopoverWindow::setAlphaAnimationDelegate(YLPopoverController* c) {
    alphaDelegate_ = kit::Weak<YLPopoverController>(c);
}

void YLPopoverWindow::animateAlphaTo(double alpha) {
    kit::Weak<YLPopoverWindow> self(this);
    kit::AnimationContext::runAnimationGroup(
        [&](kit::AnimationContext&) {
            if (zoomWindow_ && alpha == 0) zoomWindow_->animator().setAlphaValue(0);
            animator().setAlphaValue(alpha);
        },
        [self, alpha] {
            YLPopoverWindow* w = self.get();
            if (!w) return;
            if (YLPopoverController* d = w->alphaAnimationDelegate()) d->animationDidStop(w->alphaValue() == alpha);
        },
        this);
}

void YLPopoverWindow::presentAnimated() {
    if (isVisible()) return;
    dismissing_ = false;
    const PopoverAnimationKind type = controller_ ? controller_->animationType() : PopoverAnimationPop;
    if (type == PopoverAnimationPop) presentWithPopAnimation();
    else if (type == PopoverAnimationFadeIn || type == PopoverAnimationFade) presentWithFadeAnimation();
}

void YLPopoverWindow::presentWithFadeAnimation() {
    setAlphaValue(0);
    orderFrontOverAnchor(shared_from_this());
    makeKeyAndOrderFront();
    animateAlphaTo(1);
}

void YLPopoverWindow::presentWithPopAnimation() {
    YLPopoverController* c = controller_.get();
    if (!c) {
        presentWithFadeAnimation();
        return;
    }
    const kit::Rect final = frame();
    const PopoverArrowSide side = frame_->arrowDirection();
    const kit::Rect start = c->popoverFrameWithSize(kit::Size{20, 20}, side);
    const kit::Rect overshoot = c->popoverFrameWithSize(kit::Size{final.width() * 1.2, final.height() * 1.2}, side);
    zoomWindow_ = _zoomWindowWithRect(start);
    zoomWindow_->setAlphaValue(0);
    orderFrontOverAnchor(zoomWindow_);
    kit::Weak<YLPopoverWindow> self(this);
    kit::Window* zoom = zoomWindow_.get();
    kit::AnimationContext::runAnimationGroup([&](kit::AnimationContext&) {
        zoom->animator().setAlphaValue(1);
        kit::animateWindowFrameThrough(*zoom, {start, overshoot, final}, [self](bool finished) {
            if (YLPopoverWindow* w = self.get()) w->animationDidStop(finished);
        }, this);
    });
}

void YLPopoverWindow::animationDidStop(bool finished) {
    if (dismissing_ || !controller_) {
        // Closed while popping: the fade-out already took over the panel.
        dropZoomWindow();
        return;
    }
    setAlphaValue(1);
    orderFrontOverAnchor(shared_from_this());
    makeKeyAndOrderFront();
    dropZoomWindow();
    if (YLPopoverController* d = alphaAnimationDelegate()) d->animationDidStop(finished);
}

void YLPopoverWindow::dismissAnimated() {
    dismissing_ = true;
    animateAlphaTo(0);
}

void YLPopoverWindow::stopAnimations() {
    dismissing_ = true;
    kit::Weak<YLPopoverController> delegate = alphaDelegate_;
    alphaDelegate_ = kit::Weak<YLPopoverController>();
    if (zoomWindow_) {
        kit::stopAnimation(*zoomWindow_, "frame");
        kit::stopAnimation(*zoomWindow_, "alphaValue");
        dropZoomWindow();
    }
    kit::stopAnimation(*this, "alphaValue");
    alphaDelegate_ = delegate;
}

void YLPopoverWindow::cancelOperation(kit::Object*) {
    if (YLPopoverController* c = controller_.get(); c && c->closesWhenEscapeKeyPressed()) c->closePopover(this);
}

std::shared_ptr<kit::Window> YLPopoverWindow::_zoomWindowWithRect(const kit::Rect& rect) {
    auto image = kit::imageOfView(*frame_, frame_->bounds());
    auto zoom = std::make_shared<kit::Window>(rect, kit::BorderlessWindowMask);
    zoom->setBackgroundColor(kit::Color::clear());
    zoom->setOpaque(false);
    zoom->setHasShadow(hasShadow());
    zoom->setLevel(level());
    auto iv = std::make_shared<kit::ImageView>(kit::Rect(0, 0, rect.width(), rect.height()));
    iv->setImage(image);
    iv->setImageScaling(kit::ImageScaling::AxesIndependently);
    zoom->setContentView(iv);
    return zoom;
}
