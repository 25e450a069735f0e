#include "Comm/PopWindow/StatusAttachedWindow.h"

#include "Comm/getColor.h"
#include "Disk/OVPublicUtilities.h"
#include "kit/ui/Application.h"
#include "kit/ui/Graphics.h"

StatusAttachedWindow::StatusAttachedWindow(std::shared_ptr<kit::View> view, kit::Point point, kit::Window* parent,
                                           int32_t side, float distance)
    : PopBaseWindow(kit::Rect(0, 0, view ? view->frame().width() : 0, view ? view->frame().height() : 0),
                    kit::BorderlessWindowMask),
      AttachedWindowBubble(static_cast<kit::Window&>(*this)) {
    setAlphaValue(0.99);
    setHasShadow(true);
    setOpaque(false);
    setMovableByWindowBackground(false);
    const int version = OVPublicUtilities::getSystemVersion();
    if (version >= 1010) setWindowBackgroundBlurRadius(400);

    Defaults d;
    // Translucent over the blur from 10.9 on; nearly opaque before.
    d.fill = kit::Color::rgb255(225, 231, 239, version < 1009 ? 0.98 : 0.06);
    d.border = getColor(225, 231, 239, 0.06);
    d.borderWidth = 1;
    d.metrics.viewMargin = 2;
    d.metrics.arrowBaseWidth = 15;
    d.metrics.arrowHeight = 0;
    d.metrics.hasArrow = false;
    d.metrics.cornerRadius = 10;
    d.metrics.drawsRoundCornerBesideArrow = true;
    attach(std::move(view), point, parent, side, distance, d, true);

    updateTrackingAreas();
    if (delegate_) delegate_->mouseInWindow(false);
}

StatusAttachedWindow::~StatusAttachedWindow() = default;

void StatusAttachedWindow::drawFrame(const kit::Rect&) {
    if (blurRadius_ > 0) {
        kit::GraphicsContext::saveGraphicsState();
        _backgroundPath().addClip();
        drawBackdrop(blurRadius_);
        kit::GraphicsContext::restoreGraphicsState();
    }
    drawBubble();
}

void StatusAttachedWindow::updateTrackingAreas() {
    kit::View* content = contentView();
    if (!content) return;
    for (auto& a : std::vector<std::shared_ptr<kit::TrackingArea>>(content->trackingAreas()))
        content->removeTrackingArea(a.get());
    trackingArea_ = std::make_shared<kit::TrackingArea>(
        content->bounds(),
        kit::TrackingMouseEnteredAndExited | kit::TrackingMouseMoved | kit::TrackingActiveAlways |
            kit::TrackingInVisibleRect,
        this);
    content->addTrackingArea(trackingArea_);
}

void StatusAttachedWindow::mouseEntered(kit::Event&) {
    if (delegate_) delegate_->mouseInWindow(true);
}

void StatusAttachedWindow::mouseExited(kit::Event&) {
    if (delegate_) delegate_->mouseInWindow(false);
}

void StatusAttachedWindow::closeMattachedWindow() {
    if (delegate_) delegate_->isHiddenWindow();
}

void StatusAttachedWindow::windowWillClose(const kit::Notification*) {
    // Only this window's own modal run ends here; asking the application to
    // stop "its" modal loop would end whatever other window runs one.
    kit::Application::shared().stopModalForWindow(this);
}

void StatusAttachedWindow::close() {
    // Leaving the parent drops the parent's hold on us; stay alive to the end.
    std::shared_ptr<kit::Window> keep = weak_from_this().lock();
    windowWillClose(nullptr);
    PopBaseWindow::close();
}
