#include "Comm/PopWindow/PopBaseWindow.h"

PopBaseWindow::PopBaseWindow(const kit::Rect& contentRect, unsigned /*styleMask*/)
    : kit::Window(contentRect, kit::ResizableWindowMask) {
    setOpaque(false);
    setBackgroundColor(kit::Color::clear());
    setMovableByWindowBackground(true);
    setHasShadow(true);
    auto& nc = kit::NotificationCenter::defaultCenter();
    const kit::Window* self = this;
    deminiaturizeToken_ = nc.addObserver(kit::WindowDidDeminiaturizeNotification, self,
                                         [this](const kit::Notification& n) { windowDidDeminiaturize(&n); });
    willCloseToken_ = nc.addObserver(kit::WindowWillCloseNotification, self,
                                     [this](const kit::Notification& n) { windowWillClose(&n); });
}

PopBaseWindow::~PopBaseWindow() { removeObservations(); }

void PopBaseWindow::removeObservations() {
    auto& nc = kit::NotificationCenter::defaultCenter();
    if (willCloseToken_) nc.removeObserver(willCloseToken_);
    if (deminiaturizeToken_) nc.removeObserver(deminiaturizeToken_);
    willCloseToken_ = deminiaturizeToken_ = 0;
}

void PopBaseWindow::windowWillClose(const kit::Notification*) {
    // Closing again from inside the will-close notification would run the
    // close a second time; ending the observations is all that is needed.
    removeObservations();
}

void PopBaseWindow::windowDidDeminiaturize(const kit::Notification*) {
    // The kit draws no window shadows of its own: nothing to recompute.
}
