#pragma once
// The popover's panel: a borderless, shadowed, non-activating window with a
// clear background whose root view is always a YLPopoverWindowFrame; the
// content view sits inside it, inset by the arrow height on every side. The
// panel shows itself with a pop (a snapshot window that grows from small
// through a little too large to the panel's frame) or a fade, and fades out.
#include <memory>

#include "Comm/Lib/YLPopoverWindowFrame.h"
#include "kit/ui/Window.h"

class YLPopoverController;

class YLPopoverWindow : public kit::Window {
public:
    // Whatever style is asked for, the panel is a borderless non-activating one.
    YLPopoverWindow(const kit::Rect& contentRect, unsigned styleMask);
    ~YLPopoverWindow() override;

    // The arrow height (12) on every side separates the frame from the content.
    kit::Rect contentRectForFrameRect(const kit::Rect& frame) const;
    kit::Rect frameRectForContentRect(const kit::Rect& content) const;

    bool canBecomeKeyWindow() const override { return true; }
    bool canBecomeMainWindow() const override { return false; }
    // The panel or, while it pops, its snapshot is on screen.
    bool isVisible() const;

    // The root view (this hides the kit's frameView(), the window's top view).
    YLPopoverWindowFrame* frameView() const { return frame_.get(); }
    // Both install `v` inside the frame view, sized to the content rectangle
    // and resizing with the panel; installing the installed view does nothing.
    void setContentView(std::shared_ptr<kit::View> v) override;
    void setPopoverContentView(std::shared_ptr<kit::View> v);
    kit::View* popoverContentView() const { return content_.get(); }

    // Back reference, not kept.
    YLPopoverController* popoverController() const { return controller_.get(); }
    void setPopoverController(YLPopoverController* c);
    // Who hears the end of the panel's alpha animation (the controller while
    // it shows or closes the panel); not kept.
    YLPopoverController* alphaAnimationDelegate() const { return alphaDelegate_.get(); }
    void setAlphaAnimationDelegate(YLPopoverController* c);

    void presentAnimated();
    void presentWithPopAnimation();
    void presentWithFadeAnimation();
    void dismissAnimated();
    // Stops the pop and the fades where they are and drops the snapshot; no
    // animation end is reported afterwards.
    void stopAnimations();
    // The end of the snapshot's key-frame animation.
    void animationDidStop(bool finished);
    void cancelOperation(kit::Object* sender);

    // The snapshot window of the pop while it runs, else nullptr.
    kit::Window* zoomWindow() const { return zoomWindow_.get(); }
    std::shared_ptr<kit::Window> _zoomWindowWithRect(const kit::Rect& rect);

private:
    void animateAlphaTo(double alpha);
    void orderFrontOverAnchor(const std::shared_ptr<kit::Window>& w);
    void dropZoomWindow();
    std::shared_ptr<YLPopoverWindowFrame> frame_;
    std::shared_ptr<kit::View> content_;
    std::shared_ptr<kit::Window> zoomWindow_;
    kit::Weak<YLPopoverController> controller_;
    kit::Weak<YLPopoverController> alphaDelegate_;
    bool dismissing_ = false;
};
