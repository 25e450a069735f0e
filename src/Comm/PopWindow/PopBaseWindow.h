#pragma once
// The base of the status panels' window: a non-opaque window with a clear
// background and a shadow, movable by its background, always of the
// resizable style, that keeps its shadow after being restored from the Dock.
// No window of the system is a plain PopBaseWindow.
#include "kit/Notification.h"
#include "kit/ui/Window.h"

class PopBaseWindow : public kit::Window {
public:
    // The style mask is replaced by the resizable style.
    PopBaseWindow(const kit::Rect& contentRect, unsigned styleMask);
    ~PopBaseWindow() override;

    bool canBecomeKeyWindow() const override { return true; }
    bool canBecomeMainWindow() const override { return true; }

    // Handler of the window's own will-close notification: ends the
    // window's observations (subclasses replace it).
    virtual void windowWillClose(const kit::Notification* note);
    // Handler of the window's own deminiaturize notification: the shadow
    // follows the window's shape again.
    void windowDidDeminiaturize(const kit::Notification* note);

protected:
    void removeObservations();

private:
    kit::NotificationCenter::Token willCloseToken_ = 0, deminiaturizeToken_ = 0;
};
