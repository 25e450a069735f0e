#include "Comm/Lib/YLPopoverParentWindow.h"

#include "Comm/Lib/YLPopoverWindow.h"
#include "kit/ui/Application.h"

bool YLPopoverParentWindow::isKeyWindow() const {
    if (isReallyKeyWindow()) return true;
    for (const auto& child : childWindows())
        if (dynamic_cast<YLPopoverWindow*>(child.get())) return kit::Application::shared().isActive();
    return false;
}
