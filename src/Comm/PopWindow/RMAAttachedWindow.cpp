#include "Comm/PopWindow/RMAAttachedWindow.h"

std::shared_ptr<RMAAttachedWindow> RMAAttachedWindow::initWithView(std::shared_ptr<kit::View> view, kit::Point point,
                                                                   kit::Window* inWindow, int32_t onSide,
                                                                   float atDistance, float /*withWindowBgAlpha*/) {
    if (!view) return nullptr;
    return std::make_shared<RMAAttachedWindow>(std::move(view), point, inWindow, onSide, atDistance);
}
std::shared_ptr<RMAAttachedWindow> RMAAttachedWindow::initWithView_attachedToPoint_inWindow_atDistance(
    std::shared_ptr<kit::View> view, kit::Point point, kit::Window* inWindow, float atDistance) {
    return initWithView(std::move(view), point, inWindow, AttachedWindowSideAutomatic, atDistance, 0);
}
std::shared_ptr<RMAAttachedWindow> RMAAttachedWindow::initWithView_attachedToPoint_onSide_atDistance(
    std::shared_ptr<kit::View> view, kit::Point point, int32_t onSide, float atDistance) {
    return initWithView(std::move(view), point, nullptr, onSide, atDistance, 0);
}
std::shared_ptr<RMAAttachedWindow> RMAAttachedWindow::initWithView_attachedToPoint_atDistance(
    std::shared_ptr<kit::View> view, kit::Point point, float atDistance) {
    return initWithView(std::move(view), point, nullptr, AttachedWindowSideAutomatic, atDistance, 0);
}
std::shared_ptr<RMAAttachedWindow> RMAAttachedWindow::initWithView_attachedToPoint_inWindow(
    std::shared_ptr<kit::View> view, kit::Point point, kit::Window* inWindow) {
    return initWithView(std::move(view), point, inWindow, AttachedWindowSideAutomatic, 0, 0);
}
std::shared_ptr<RMAAttachedWindow> RMAAttachedWindow::initWithView_attachedToPoint_onSide(
    std::shared_ptr<kit::View> view, kit::Point point, int32_t onSide) {
    return initWithView(std::move(view), point, nullptr, onSide, 0, 0);
}
std::shared_ptr<RMAAttachedWindow> RMAAttachedWindow::initWithView(std::shared_ptr<kit::View> view,
                                                                   kit::Point point) {
    return initWithView(std::move(view), point, nullptr, AttachedWindowSideAutomatic, 0, 0);
}

RMAAttachedWindow::RMAAttachedWindow(std::shared_ptr<kit::View> view, kit::Point point, kit::Window* parent,
                                     int32_t side, float distance)
    : kit::Window(kit::Rect(0, 0, view ? view->frame().width() : 0, view ? view->frame().height() : 0),
                  kit::BorderlessWindowMask),
      AttachedWindowBubble(static_cast<kit::Window&>(*this)) {
    setHasShadow(false);
    setOpaque(false);
    setMovableByWindowBackground(false);

    Defaults d;
    d.fill = kit::Color(1, 1, 1, 0.97);
    d.border = kit::Color::rgb255(216, 224, 233, 1);
    d.borderWidth = 1;
    d.metrics.viewMargin = 2;
    d.metrics.arrowBaseWidth = 0;
    d.metrics.arrowHeight = 0;
    d.metrics.hasArrow = true;
    d.metrics.cornerRadius = 6;
    d.metrics.drawsRoundCornerBesideArrow = true;
    attach(std::move(view), point, parent, side, distance, d, true);

    registerAction("performClose:", [this](kit::Object* s) { performClose(s); });
}

void RMAAttachedWindow::closeMattachedWindow() {
    if (delegate_) delegate_->closeMattachedWindow();
}

void RMAAttachedWindow::performClose(kit::Object* sender) {
    if (kit::Window* parent = attachedWindow()) parent->performClose(sender);
    else kit::Window::performClose(sender);
}
