#pragma once
// An attached window (see AttachedWindowBubble) with a white bubble of
// radius 8, a hair outline and a shadow, movable by its background. The
// system creates none; it completes the family.
#include <cstdint>
#include <memory>

#include "Comm/PopWindow/AttachedWindowBubble.h"
#include "Comm/PopWindow/AttachedWindowFactory.h"
#include "kit/ui/Window.h"

class MAAttachedWindow : public kit::Window, public AttachedWindowBubble,
                         public AttachedWindowFactory<MAAttachedWindow> {
public:
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
