#pragma once
// The window of every status panel (confirmation, progress, end, message):
// an attached window (see AttachedWindowBubble) with a translucent blue-grey
// fill, a faint outline, corners of radius 10 and no arrow, laid over the
// main window. Its panel's buttons close it.
//
// Closing it ends a modal run only when this window itself runs one: a
// file-choice or access window running modally goes on when a busy panel
// closes. showStatusPanel (StatusPanel.h) shows a panel controller's view in
// one; the window then keeps the controller until it closes.
#include <cstdint>
#include <memory>

#include "Comm/PopWindow/AttachedWindowBubble.h"
#include "Comm/PopWindow/AttachedWindowFactory.h"
#include "Comm/PopWindow/PopBaseWindow.h"

// Optional callbacks; the default bodies do nothing.
class StatusAttachedWindowDelegate {
public:
    virtual ~StatusAttachedWindowDelegate() = default;
    // The pointer entered (true) or left (false) the window.
    virtual void mouseInWindow(bool inside) {}
    // The window lost key status.
    virtual void isHiddenWindow() {}
};

class StatusAttachedWindow : public PopBaseWindow, public AttachedWindowBubble,
                             public AttachedWindowFactory<StatusAttachedWindow> {
public:
    // Use initWithView (the view must not be null).
    StatusAttachedWindow(std::shared_ptr<kit::View> view, kit::Point point, kit::Window* parent, int32_t side,
                         float distance);
    ~StatusAttachedWindow() override;

    using AttachedWindowBubble::setBackgroundColor;

    // The blur of what lies beneath, behind the translucent fill.
    void setWindowBackgroundBlurRadius(int32_t radius) { blurRadius_ = radius; }
    int32_t windowBackgroundBlurRadius() const { return blurRadius_; }

    // One area over the content view's bounds (entered, exited, moved,
    // always active) that reports to this window.
    void updateTrackingAreas();
    void mouseEntered(kit::Event& e) override;
    void mouseExited(kit::Event& e) override;
    // Loss of key status: tells the delegate.
    void closeMattachedWindow() override;

    // Replaces the base's handler: ends this window's own modal run, if it runs one.
    void windowWillClose(const kit::Notification* note) override;
    void close() override;

    bool canBecomeMainWindow() const override { return false; }
    bool canBecomeKeyWindow() const override { return true; }
    bool isExcludedFromWindowsMenu() const { return true; }

    StatusAttachedWindowDelegate* mattachedWDelegate() const { return delegate_; }
    void setMattachedWDelegate(StatusAttachedWindowDelegate* d) { delegate_ = d; }

protected:
    void drawFrame(const kit::Rect& dirty) override;

private:
    StatusAttachedWindowDelegate* delegate_ = nullptr;   // not owned
    int32_t blurRadius_ = 0;
    std::shared_ptr<kit::TrackingArea> trackingArea_;
};
