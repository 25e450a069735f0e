#pragma once
// An attached window (see AttachedWindowBubble) with a white bubble of
// radius 8, a hair outline and a shadow, movable by its background. The
// system creates none; it completes the family.
#include <cstdint>
#include <memory>

#include "Comm/PopWindow/AttachedWindowBubble.h"
#include "kit/ui/Window.h"

class MAAttachedWindow : public kit::Window, public AttachedWindowBubble {
public:
    // nullptr for a null view.
    static std::shared_ptr<MAAttachedWindow> initWithView(std::shared_ptr<kit::View> view, kit::Point point,
                                                          kit::Window* inWindow, int32_t onSide, float atDistance);
    static std::shared_ptr<MAAttachedWindow> initWithView_attachedToPoint_inWindow_atDistance(
        std::shared_ptr<kit::View> view, kit::Point point, kit::Window* inWindow, float atDistance);
    static std::shared_ptr<MAAttachedWindow> initWithView_attachedToPoint_onSide_atDistance(
        std::shared_ptr<kit::View> view, kit::Point point, int32_t onSide, float atDistance);
    static std::shared_ptr<MAAttachedWindow> initWithView_attachedToPoint_atDistance(
        std::shared_ptr<kit::View> view, kit::Point point, float atDistance);
    static std::shared_ptr<MAAttachedWindow> initWithView_attachedToPoint_inWindow(
        std::shared_ptr<kit::View> view, kit::Point point, kit::Window* inWindow);
    static std::shared_ptr<MAAttachedWindow> initWithView_attachedToPoint_onSide(
        std::shared_ptr<kit::View> view, kit::Point point, int32_t onSide);
    static std::shared_ptr<MAAttachedWindow> initWithView(std::shared_ptr<kit::View> view, kit::Point point);

    // Use initWithView (the view must not be null).
    MAAttachedWindow(std::shared_ptr<kit::View> view, kit::Point point, kit::Window* parent, int32_t side,
                     float distance);

    using AttachedWindowBubble::setBackgroundColor;

    // Ends this window's own modal run, if it runs one.
    void windowWillClose(const kit::Notification* note);
    void close() override;
    // Forwards to the parent window when there is one.
    void performClose(kit::Object* sender = nullptr);

    bool canBecomeMainWindow() const override { return false; }
    bool canBecomeKeyWindow() const override { return true; }
    bool isExcludedFromWindowsMenu() const { return true; }

protected:
    void drawFrame(const kit::Rect& dirty) override { drawBubble(); }
};
