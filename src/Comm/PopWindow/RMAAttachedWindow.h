#pragma once
// The window of the system's two pop-up menus (the copy-mode menu and the
// file-system type menu): an attached window (see AttachedWindowBubble) with
// a white fill, a light blue-grey outline, corners of radius 6 and an arrow of
// zero size, so a plain rounded rectangle. Its owner closes it (removes it as
// child window and orders it out).
#include <cstdint>
#include <memory>

#include "Comm/PopWindow/AttachedWindowBubble.h"
#include "kit/ui/Window.h"

// Optional callbacks; the default body does nothing.
class RMAAttachedWindowDelegate {
public:
    virtual ~RMAAttachedWindowDelegate() = default;
    // The window lost key status.
    virtual void closeMattachedWindow() {}
};

class RMAAttachedWindow : public kit::Window, public AttachedWindowBubble {
public:
    // nullptr for a null view. The alpha is taken and ignored.
    static std::shared_ptr<RMAAttachedWindow> initWithView(std::shared_ptr<kit::View> view, kit::Point point,
                                                           kit::Window* inWindow, int32_t onSide, float atDistance,
                                                           float withWindowBgAlpha);
    static std::shared_ptr<RMAAttachedWindow> initWithView_attachedToPoint_inWindow_atDistance(
        std::shared_ptr<kit::View> view, kit::Point point, kit::Window* inWindow, float atDistance);
    static std::shared_ptr<RMAAttachedWindow> initWithView_attachedToPoint_onSide_atDistance(
        std::shared_ptr<kit::View> view, kit::Point point, int32_t onSide, float atDistance);
    static std::shared_ptr<RMAAttachedWindow> initWithView_attachedToPoint_atDistance(
        std::shared_ptr<kit::View> view, kit::Point point, float atDistance);
    static std::shared_ptr<RMAAttachedWindow> initWithView_attachedToPoint_inWindow(
        std::shared_ptr<kit::View> view, kit::Point point, kit::Window* inWindow);
    static std::shared_ptr<RMAAttachedWindow> initWithView_attachedToPoint_onSide(
        std::shared_ptr<kit::View> view, kit::Point point, int32_t onSide);
    static std::shared_ptr<RMAAttachedWindow> initWithView(std::shared_ptr<kit::View> view, kit::Point point);

    // Use initWithView (the view must not be null).
    RMAAttachedWindow(std::shared_ptr<kit::View> view, kit::Point point, kit::Window* parent, int32_t side,
                      float distance);

    using AttachedWindowBubble::setBackgroundColor;

    // Loss of key status: tells the delegate.
    void closeMattachedWindow() override;
    // Forwards to the parent window when there is one.
    void performClose(kit::Object* sender = nullptr);

    bool canBecomeMainWindow() const override { return false; }
    bool canBecomeKeyWindow() const override { return true; }
    bool isExcludedFromWindowsMenu() const { return true; }

    RMAAttachedWindowDelegate* mattachedWDelegate() const { return delegate_; }
    void setMattachedWDelegate(RMAAttachedWindowDelegate* d) { delegate_ = d; }

protected:
    void drawFrame(const kit::Rect& dirty) override { drawBubble(); }

private:
    RMAAttachedWindowDelegate* delegate_ = nullptr;   // not owned
};
