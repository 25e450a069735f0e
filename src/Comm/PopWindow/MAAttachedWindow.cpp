#include "Comm/PopWindow/MAAttachedWindow.h"

#include "kit/ui/Application.h"

std::shared_ptr<MAAttachedWindow> MAAttachedWindow::initWithView(std::shared_ptr<kit::View> view, kit::Point point,
                                                                 kit::Window* inWindow, int32_t onSide,
                                                                 float atDistance) {
    if (!view) return nullptr;
    return std::make_shared<MAAttachedWindow>(std::move(view), point, inWindow, onSide, atDistance);
}
std::shared_ptr<MAAttachedWindow> MAAttachedWindow::initWithView_attachedToPoint_inWindow_atDistance(
    std::shared_ptr<kit::View> view, kit::Point point, kit::Window* inWindow, float atDistance) {
    return initWithView(std::move(view), point, inWindow, AttachedWindowSideAutomatic, atDistance);
}
std::shared_ptr<MAAttachedWindow> MAAttachedWindow::initWithView_attachedToPoint_onSide_atDistance(
    std::shared_ptr<kit::View> view, kit::Point point, int32_t onSide, float atDistance) {
    return initWithView(std::move(view), point, nullptr, onSide, atDistance);
}
std::shared_ptr<MAAttachedWindow> MAAttachedWindow::initWithView_attachedToPoint_atDistance(
    std::shared_ptr<kit::View> view, kit::Point point, float atDistance) {
    return initWithView(std::move(view), point, nullptr, AttachedWindowSideAutomatic, atDistance);
}
std::shared_ptr<MAAttachedWindow> MAAttachedWindow::initWithView_attachedToPoint_inWindow(
    std::shared_ptr<kit::View> view, kit::Point point, kit::Window* inWindow) {
    return initWithView(std::move(view), point, inWindow, AttachedWindowSideAutomatic, 0);
}
std::shared_ptr<MAAttachedWindow> MAAttachedWindow::initWithView_attachedToPoint_onSide(
    std::shared_ptr<kit::View> view, kit::Point point, int32_t onSide) {
    return initWithView(std::move(view), point, nullptr, onSide, 0);
}
std::shared_ptr<MAAttachedWindow> MAAttachedWindow::initWithView(std::shared_ptr<kit::View> view,
                                                                 kit::Point point) {
    return initWithView(std::move(view), point, nullptr, AttachedWindowSideAutomatic, 0);
}

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
