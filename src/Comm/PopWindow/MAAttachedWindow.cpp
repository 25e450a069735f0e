#include "Comm/PopWindow/MAAttachedWindow.h"

#include "kit/ui/Application.h"

MAAttachedWindow::MAAttachedWindow(std::shared_ptr<kit::View> view, kit::Point point, kit::Window* parent,
                                   int32_t side, float distance)
    : kit::Window(kit::Rect(0, 0, view ? view->frame().width() : 0, view ? view->frame().height() : 0),
                  kit::BorderlessWindowMask),
      AttachedWindowBubble(static_cast<kit::Window&>(*this)) {
    setMovableByWindowBackground(true);
    setAlphaValue(1.0);
    setOpaque(false);
    setHasShadow(true);

    Defaults d;
    d.fill = kit::Color::white();
    d.border = kit::Color::white();
    d.borderWidth = 0.2f;
    d.metrics.viewMargin = 2;
    d.metrics.arrowBaseWidth = 0;
    d.metrics.arrowHeight = 0;
    d.metrics.hasArrow = true;
    d.metrics.cornerRadius = 8;
    d.metrics.drawsRoundCornerBesideArrow = true;
    attach(std::move(view), point, parent, side, distance, d, false);

    registerAction("performClose:", [this](kit::Object* s) { performClose(s); });
}

void MAAttachedWindow::windowWillClose(const kit::Notification*) {
    kit::Application::shared().stopModalForWindow(this);
}

void MAAttachedWindow::close() {
    std::shared_ptr<kit::Window> keep = weak_from_this().lock();
    windowWillClose(nullptr);
    kit::Window::close();
}

void MAAttachedWindow::performClose(kit::Object* sender) {
    if (kit::Window* parent = attachedWindow()) parent->performClose(sender);
    else kit::Window::performClose(sender);
}
