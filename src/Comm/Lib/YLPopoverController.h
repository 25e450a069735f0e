#pragma once
// The anchored popover: shows a view controller's view in a YLPopoverWindow
// whose arrow points at a rectangle of a view in another window.
//
//   auto pop = std::make_shared<YLPopoverController>(picker);
//   pop->setColor(getColor(66, 66, 88, 1));
//   pop->presentPopoverFromRect(button->bounds(), button, PopoverArrowLeft, true);
//
// The side is the preferred one when the panel fits on the screen there,
// else the opposite side, else below or above (where there is more room),
// else the preferred one after all. While shown the panel is a child window
// of the anchor's window and key; it closes on Esc, when it loses key status
// while the application stays active (a click in another window of the
// application), when the anchor leaves its superview's bounds, and on
// closePopover. Switching to another application leaves it open.
//
// Lifetime: everything the controller schedules (animation ends, the
// deferred key check) dies with it; destroyed while shown, it takes its panel
// off the anchor's window and stops observing at once.
#include <memory>
#include <optional>
#include <vector>

#include "Comm/Lib/YLPopoverWindow.h"
#include "Comm/Lib/YLPopoverWindowFrame.h"
#include "kit/Notification.h"
#include "kit/ui/DelegateRef.h"
#include "kit/ui/ViewController.h"

enum PopoverAnimationKind : int {
    PopoverAnimationPop = 0,       // zoom in on show, fade out on close
    PopoverAnimationFadeIn = 1,    // fade in on show, close at once
    PopoverAnimationFadeOut = 2,   // show at once, fade out on close
    PopoverAnimationFade = 3,      // fade both ways
};

class YLPopoverController;

// Every operation is optional; the defaults are what happens without a delegate.
class YLPopoverControllerDelegate {
public:
    virtual ~YLPopoverControllerDelegate() = default;
    // false keeps the popover open.
    virtual bool popoverShouldClose(YLPopoverController& popover) { return true; }
    virtual void popoverWillShow(YLPopoverController& popover) {}
    virtual void popoverDidShow(YLPopoverController& popover) {}
    virtual void popoverWillClose(YLPopoverController& popover) {}
    virtual void popoverDidClose(YLPopoverController& popover) {}
};

class YLPopoverController : public kit::Responder {
public:
    YLPopoverController();
    explicit YLPopoverController(std::shared_ptr<kit::ViewController> content);
    ~YLPopoverController() override;
    void awakeFromNib() override;

    std::shared_ptr<kit::ViewController> contentViewController() const { return contentViewController_; }
    void setContentViewController(std::shared_ptr<kit::ViewController> vc);
    void setContectViewController(std::shared_ptr<kit::ViewController> vc) { setContentViewController(std::move(vc)); }
    kit::Size contentSize() const { return contentSize_; }
    void setContentSize(kit::Size size);

    // Shows the popover beside `rect` of `view` (the view's coordinates).
    // Ignored while the popover is visible and refused for a view that is in
    // no window. With `anchorsToPositionView` the popover follows the view.
    void presentPopoverFromRect(const kit::Rect& rect, kit::View* view, PopoverArrowSide preferred,
                                bool anchorsToPositionView);
    // Closes unless the delegate objects; nothing while hidden or closing.
    void closePopover(kit::Object* sender);
    // Closes without asking the delegate.
    void forceClosePopover(kit::Object* sender);
    bool popoverIsVisible() const;
    // The panel's frame for a content size and a side, beside the anchor.
    kit::Rect popoverFrameWithSize(kit::Size size, PopoverArrowSide side) const;
    void recalculateAndResetArrowDirection();

    // The look, kept by the panel's frame view.
    std::optional<kit::Color> color() const { return frameView()->color(); }
    void setColor(const std::optional<kit::Color>& c) { frameView()->setColor(c); }
    std::optional<kit::Color> borderColor() const { return frameView()->borderColor(); }
    void setBorderColor(const std::optional<kit::Color>& c) { frameView()->setBorderColor(c); }
    double borderWidth() const { return frameView()->borderWidth(); }
    void setBorderWidth(double w) { frameView()->setBorderWidth(w); }
    std::optional<kit::Color> topHighlightColor() const { return frameView()->topHighlightColor(); }
    void setTopHighlightColor(const std::optional<kit::Color>& c) { frameView()->setTopHighlightColor(c); }
    double cornerRadius() const { return frameView()->cornerRadius(); }
    void setCornerRadius(double r) { frameView()->setCornerRadius(r); }
    kit::Size arrowSize() const { return frameView()->arrowSize(); }
    void setArrowSize(kit::Size s) { frameView()->setArrowSize(s); }
    PopoverArrowSide arrowDirection() const { return frameView()->arrowDirection(); }
    kit::View* contentView() const { return popoverWindow_->popoverContentView(); }

    bool animates() const { return animates_; }
    void setAnimates(bool a) { animates_ = a; }
    PopoverAnimationKind animationType() const { return animationType_; }
    void setAnimationType(PopoverAnimationKind t) { animationType_ = t; }
    bool closesWhenEscapeKeyPressed() const { return closesWhenEscapeKeyPressed_; }
    void setClosesWhenEscapeKeyPressed(bool c) { closesWhenEscapeKeyPressed_ = c; }
    bool closesWhenPopoverResignsKey() const { return closesWhenPopoverResignsKey_; }
    void setClosesWhenPopoverResignsKey(bool c) { closesWhenPopoverResignsKey_ = c; }
    bool closesWhenApplicationBecomesInactive() const { return closesWhenApplicationBecomesInactive_; }
    void setClosesWhenApplicationBecomesInactive(bool c) { closesWhenApplicationBecomesInactive_ = c; }
    // Not kept.
    YLPopoverControllerDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(YLPopoverControllerDelegate* d) { delegate_ = d; }
    kit::View* positionView() const { return positionView_.get(); }
    YLPopoverWindow* popoverWindow() const { return popoverWindow_.get(); }
    // The window the popover points into while it is presented.
    kit::Window* anchorWindow() const { return anchorWindow_.get(); }
    const kit::Rect& screenRect() const { return screenRect_; }
    const kit::Rect& viewRect() const { return viewRect_; }

    // Steps of showing and closing.
    void animationDidStop(bool finished);
    void applicationDidBecomeActive();
    void checkPopoverKeyWindowStatus();
    void _positionViewFrameChanged();
    void _closePopoverAndResetVariables();
    enum class DelegateCall { WillShow, DidShow, WillClose, DidClose };
    void _callDelegateMethod(DelegateCall call);
    PopoverArrowSide _arrowDirectionWithPreferredArrowDirection(PopoverArrowSide preferred) const;
    void _setArrowDirection(PopoverArrowSide side) { frameView()->setArrowDirection(side); }
    void _setInitialPropertyValues();

private:
    YLPopoverWindowFrame* frameView() const { return popoverWindow_->frameView(); }
    kit::Rect screenRectFor(kit::View& view, const kit::Rect& rect) const;
    void close(bool fromResignKey);
    void observe(const char* name, const void* sender, void (YLPopoverController::*handler)());
    void stopObserving();

    std::shared_ptr<YLPopoverWindow> popoverWindow_;
    kit::Rect screenRect_;
    kit::Rect viewRect_;
    bool closesWhenEscapeKeyPressed_ = true;
    bool closesWhenPopoverResignsKey_ = true;
    bool closesWhenApplicationBecomesInactive_ = false;
    bool animates_ = true;
    kit::DelegateRef<YLPopoverControllerDelegate> delegate_;
    PopoverAnimationKind animationType_ = PopoverAnimationPop;
    std::shared_ptr<kit::ViewController> contentViewController_;
    kit::Weak<kit::View> positionView_;
    kit::Size contentSize_;

    kit::Weak<kit::Window> anchorWindow_;
    std::vector<kit::NotificationCenter::Token> observers_;
    bool closing_ = false;
    bool shown_ = false;   // the panel has finished appearing
};
