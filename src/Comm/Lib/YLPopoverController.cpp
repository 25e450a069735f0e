#include "Comm/Lib/YLPopoverController.h"

#include "kit/Dispatch.h"
#include "Comm/Lib/YLPopoverParentWindow.h"
#include "kit/ui/Application.h"

YLPopoverController::YLPopoverController() { _setInitialPropertyValues(); }

YLPopoverController::YLPopoverController(std::shared_ptr<kit::ViewController> content) : YLPopoverController() {
    setContentViewController(std::move(content));
}

YLPopoverController::~YLPopoverController() {
    stopObserving();
    if (!popoverWindow_) return;
    popoverWindow_->setPopoverController(nullptr);
    popoverWindow_->setAlphaAnimationDelegate(nullptr);
    popoverWindow_->stopAnimations();
    if (kit::Window* anchor = anchorWindow_.get()) anchor->removeChildWindow(popoverWindow_.get());
    popoverWindow_->orderOut();
    // The panel may be handling the very event that led here (Esc): it goes
    // away on the next turn of the main loop, already off screen.
    kit::dispatch::async(kit::dispatch::mainQueue(), [keep = std::move(popoverWindow_)] {});
}

void YLPopoverController::awakeFromNib() {
    if (!popoverWindow_) _setInitialPropertyValues();
}

void YLPopoverController::_setInitialPropertyValues() {
    popoverWindow_ = std::make_shared<YLPopoverWindow>(kit::Rect(), kit::BorderlessWindowMask);
    popoverWindow_->setPopoverController(this);
    setColor(kit::Color::white(0.94, 0.92));
    setBorderColor(kit::Color::white(1.0, 0.92));
    setBorderWidth(1.0);
    closesWhenEscapeKeyPressed_ = true;
    closesWhenPopoverResignsKey_ = true;
    closesWhenApplicationBecomesInactive_ = false;
    animates_ = true;
    animationType_ = PopoverAnimationPop;
}

void YLPopoverController::setContentViewController(std::shared_ptr<kit::ViewController> vc) {
    if (vc == contentViewController_) return;
    contentViewController_ = std::move(vc);
    if (!contentViewController_) return;
    std::shared_ptr<kit::View> v = contentViewController_->viewPtr();
    if (!v) return;
    setContentSize(v->frame().size);
    popoverWindow_->setPopoverContentView(v);
}

void YLPopoverController::setContentSize(kit::Size size) {
    contentSize_ = size;
    const kit::Rect f = popoverFrameWithSize(size, arrowDirection());
    // A hidden panel takes its frame at once, so a later presentation's
    // placement is never overtaken by a glide still running.
    popoverWindow_->setFrame(f, true, animates_ && popoverWindow_->isVisible());
}

kit::Rect YLPopoverController::screenRectFor(kit::View& view, const kit::Rect& rect) const {
    const kit::Rect inWindow = view.convertRectToView(rect, nullptr);
    kit::Window* w = view.window();
    const kit::Point origin = w ? w->convertPointToScreen(inWindow.origin) : inWindow.origin;
    return kit::Rect(origin, inWindow.size);
}

kit::Rect YLPopoverController::popoverFrameWithSize(kit::Size size, PopoverArrowSide side) const {
    const kit::Size f = popoverWindow_->frameRectForContentRect(kit::Rect(0, 0, size.width, size.height)).size;
    const kit::Rect& a = screenRect_;
    switch (side) {
    case PopoverArrowLeft:
        return kit::Rect(a.x() + a.width(), a.y() + a.height() / 2 - std::floor(f.height / 2), f.width, f.height);
    case PopoverArrowRight:
        return kit::Rect(a.x() - f.width, a.y() + a.height() / 2 - std::floor(f.height / 2), f.width, f.height);
    case PopoverArrowUp:
        return kit::Rect(a.x() + a.width() / 2 - std::floor(f.width / 2) + 10, a.y() - f.height, f.width, f.height);
    case PopoverArrowDown:
        return kit::Rect(a.x() + a.width() / 2 - std::floor(f.width / 2), a.y() + a.height(), f.width, f.height);
    default:
        return kit::Rect();
    }
}

PopoverArrowSide YLPopoverController::_arrowDirectionWithPreferredArrowDirection(PopoverArrowSide preferred) const {
    kit::View* v = positionView_.get();
    const kit::Rect screen = v && v->window() ? v->window()->screen().frame : kit::Rect();
    auto fits = [&](PopoverArrowSide side) {
        return kit::rectContainsRect(screen, popoverFrameWithSize(contentSize_, side));
    };
    if (fits(preferred)) return preferred;
    PopoverArrowSide opposite = preferred == PopoverArrowLeft ? PopoverArrowRight
                                : preferred == PopoverArrowRight ? PopoverArrowLeft
                                : preferred == PopoverArrowUp ? PopoverArrowDown
                                : preferred == PopoverArrowDown ? PopoverArrowUp : PopoverArrowNone;
    if (fits(opposite)) return opposite;
    PopoverArrowSide third = opposite;
    if (preferred >= PopoverArrowLeft && preferred <= PopoverArrowDown) {
        const kit::Rect& a = screenRect_;
        third = a.y() > screen.height() - a.maxY() ? PopoverArrowUp : PopoverArrowDown;
    }
    if (fits(third)) return third;
    return preferred;
}

void YLPopoverController::recalculateAndResetArrowDirection() {
    _setArrowDirection(_arrowDirectionWithPreferredArrowDirection(arrowDirection()));
}

bool YLPopoverController::popoverIsVisible() const { return popoverWindow_ && popoverWindow_->isVisible(); }

void YLPopoverController::observe(const char* name, const void* sender, void (YLPopoverController::*handler)()) {
    kit::Weak<YLPopoverController> self(this);
    observers_.push_back(kit::NotificationCenter::defaultCenter().addObserver(
        name, sender, [self, handler](const kit::Notification&) {
            if (YLPopoverController* c = self.get()) (c->*handler)();
        }));
}

void YLPopoverController::stopObserving() {
    for (auto t : observers_) kit::NotificationCenter::defaultCenter().removeObserver(t);
    observers_.clear();
}

void YLPopoverController::presentPopoverFromRect(const kit::Rect& rect, kit::View* view, PopoverArrowSide preferred,
                                                 bool anchorsToPositionView) {
    if (popoverIsVisible()) return;
    if (!view || !view->window()) return;
    kit::Weak<YLPopoverController> self(this);
    closing_ = false;
    shown_ = false;
    positionView_ = kit::Weak<kit::View>(view);
    anchorWindow_ = kit::Weak<kit::Window>(view->window());
    viewRect_ = rect;
    screenRect_ = screenRectFor(*view, rect);
    _setArrowDirection(_arrowDirectionWithPreferredArrowDirection(preferred));
    kit::stopAnimation(*popoverWindow_, "frame");
    popoverWindow_->setFrame(popoverFrameWithSize(contentSize_, arrowDirection()), true);
    popoverWindow_->setAlphaAnimationDelegate(this);
    _callDelegateMethod(DelegateCall::WillShow);
    if (!self) return;
    if (animates_ && animationType_ != PopoverAnimationFadeOut) {
        popoverWindow_->presentAnimated();
    } else {
        popoverWindow_->setAlphaValue(1);
        if (kit::Window* anchor = anchorWindow_.get()) anchor->addChildWindow(popoverWindow_, kit::WindowOrderingMode::Above);
        popoverWindow_->makeKeyAndOrderFront();
        shown_ = true;
        _callDelegateMethod(DelegateCall::DidShow);
        if (!self) return;
    }
    if (anchorsToPositionView)
        observe(kit::ViewFrameDidChangeNotification, static_cast<const void*>(view),
                &YLPopoverController::_positionViewFrameChanged);
    const void* panel = static_cast<const void*>(static_cast<kit::Window*>(popoverWindow_.get()));
    if (closesWhenPopoverResignsKey_) {
        kit::Weak<YLPopoverController> me(this);
        observers_.push_back(kit::NotificationCenter::defaultCenter().addObserver(
            kit::WindowDidResignKeyNotification, panel, [me](const kit::Notification&) {
                if (YLPopoverController* c = me.get()) c->close(true);
            }));
        if (!closesWhenApplicationBecomesInactive_)
            observe(kit::ApplicationDidBecomeActiveNotification, nullptr, &YLPopoverController::applicationDidBecomeActive);
    } else if (closesWhenApplicationBecomesInactive_) {
        kit::Weak<YLPopoverController> me(this);
        observers_.push_back(kit::NotificationCenter::defaultCenter().addObserver(
            kit::ApplicationDidResignActiveNotification, nullptr, [me](const kit::Notification&) {
                if (YLPopoverController* c = me.get()) c->closePopover(nullptr);
            }));
    }
}

void YLPopoverController::animationDidStop(bool) {
    if (!popoverWindow_) return;
    const double alpha = popoverWindow_->alphaValue();
    if (alpha == 1 && !closing_ && !shown_) {
        shown_ = true;
        _callDelegateMethod(DelegateCall::DidShow);
    } else if (alpha == 0 && closing_) {
        _closePopoverAndResetVariables();
    }
}

void YLPopoverController::closePopover(kit::Object*) { close(false); }

void YLPopoverController::close(bool fromResignKey) {
    if (!popoverIsVisible() || closing_) return;
    // Losing key status because the whole application went to the back is no
    // reason to close.
    if (fromResignKey && !closesWhenApplicationBecomesInactive_ && !kit::Application::shared().isActive()) return;
    if (YLPopoverControllerDelegate* d = delegate_.get()) {
        kit::Weak<YLPopoverController> self(this);
        const bool ok = d->popoverShouldClose(*this);
        if (!self || !ok) return;
    }
    forceClosePopover(nullptr);
}

void YLPopoverController::forceClosePopover(kit::Object*) {
    if (!popoverIsVisible() || closing_) return;
    closing_ = true;
    kit::Weak<YLPopoverController> self(this);
    _callDelegateMethod(DelegateCall::WillClose);
    if (!self || !closing_) return;
    if (animates_ && animationType_ != PopoverAnimationFadeIn) popoverWindow_->dismissAnimated();
    else _closePopoverAndResetVariables();
}

void YLPopoverController::_closePopoverAndResetVariables() {
    kit::Weak<YLPopoverController> self(this);
    closing_ = false;
    shown_ = false;
    if (kit::Window* zoom = popoverWindow_->zoomWindow()) zoom->orderOut();
    popoverWindow_->orderOut();
    _callDelegateMethod(DelegateCall::DidClose);
    if (!self) return;
    if (kit::Window* anchor = anchorWindow_.get()) {
        anchor->removeChildWindow(popoverWindow_.get());
        anchor->makeKeyAndOrderFront();
    }
    if (!self) return;
    _setArrowDirection(PopoverArrowNone);
    stopObserving();
    positionView_ = kit::Weak<kit::View>();
    anchorWindow_ = kit::Weak<kit::Window>();
    screenRect_ = kit::Rect();
    viewRect_ = kit::Rect();
    // A presentation started meanwhile keeps its own animation delegate.
    performAfterDelay(0, [this] {
        if (!popoverIsVisible()) popoverWindow_->setAlphaAnimationDelegate(nullptr);
    });
}

void YLPopoverController::_positionViewFrameChanged() {
    kit::View* v = positionView_.get();
    if (!v || !v->superview() || !kit::rectContainsRect(v->superview()->bounds(), v->frame())) {
        forceClosePopover(nullptr);
        return;
    }
    screenRect_ = screenRectFor(*v, viewRect_);
    const kit::Rect f = popoverFrameWithSize(contentSize_, arrowDirection());
    popoverWindow_->setFrame(kit::Rect(f.origin, popoverWindow_->frame().size), true, false);
}

void YLPopoverController::applicationDidBecomeActive() {
    if (!popoverIsVisible()) return;
    performAfterDelay(0, [this] { checkPopoverKeyWindowStatus(); });
}

void YLPopoverController::checkPopoverKeyWindowStatus() {
    kit::Window* anchor = anchorWindow_.get();
    if (!anchor || !popoverIsVisible()) return;
    bool key;
    if (auto* parent = dynamic_cast<YLPopoverParentWindow*>(anchor)) key = parent->isReallyKeyWindow();
    else key = anchor->isKeyWindow();
    if (key) popoverWindow_->makeKeyWindow();
}

void YLPopoverController::_callDelegateMethod(DelegateCall call) {
    YLPopoverControllerDelegate* d = delegate_.get();
    if (!d) return;
    switch (call) {
    case DelegateCall::WillShow: d->popoverWillShow(*this); break;
    case DelegateCall::DidShow: d->popoverDidShow(*this); break;
    case DelegateCall::WillClose: d->popoverWillClose(*this); break;
    case DelegateCall::DidClose: d->popoverDidClose(*this); break;
    }
}
