#include "Comm/PopWindow/StatusPanel.h"

std::shared_ptr<StatusAttachedWindow> showStatusPanel(const std::shared_ptr<StatusPanelController>& controller,
                                                      kit::Window& mainWindow) {
    if (!controller) return nullptr;
    std::shared_ptr<kit::View> view = controller->viewPtr();
    const kit::Rect main = mainWindow.frame();
    // Every panel lies over the whole window, title bar included, on the
    // window's frosted backdrop.
    if (view) view->setFrameSize(main.size);
    const kit::Point point{main.x() + main.width() / 2 - 3, main.y()};
    auto window = StatusAttachedWindow::initWithView(view, point, nullptr, AttachedWindowSideBottom, 5.0f);
    if (!window) return nullptr;
    controller->setSuperDelegate(window);
    // The window keeps the panel until it closes; then the panel lets go of
    // the window, so neither outlives the close.
    std::weak_ptr<StatusPanelController> weak = controller;
    const kit::Window* host = window.get();
    window->retainUntilClosed(controller, [weak, host] {
        if (auto c = weak.lock(); c && c->superDelegate().get() == host) c->setSuperDelegate(nullptr);
    });
    // The panel answers the window manager's close of its window (or doesn't).
    window->registerAction(kit::WindowManagerCloseAction, [weak](kit::Object* sender) {
        if (auto c = weak.lock()) c->performAction(kit::WindowManagerCloseAction, sender);
    });
    window->setFrameOrigin(main.origin);
    mainWindow.addChildWindow(window, kit::WindowOrderingMode::Above);
    return window;
}
