#pragma once
// A window that keeps reporting key status while a popover of its own is the
// key window, as long as the application is active.
#include "kit/ui/Layout.h"
#include "kit/ui/Window.h"

class YLPopoverParentWindow : public kit::Window {
public:
    using Window::Window;
    // Really key, or the parent of a popover while the application is active
    // (this hides the kit's isKeyWindow()).
    bool isKeyWindow() const;
    bool isReallyKeyWindow() const { return Window::isKeyWindow(); }
};

KIT_REGISTER_WINDOW(YLPopoverParentWindow);
