#include "Comm/TCImageWindowDelegateProxy.h"

#include "Comm/TCImageWindow.h"

kit::Rect TCImageWindowDelegateProxy::willPositionSheet(kit::Window& w, kit::Window&, kit::Rect rect) {
    auto* tc = dynamic_cast<TCImageWindow*>(&w);
    rect.origin.y = w.frame().height() - (tc ? tc->titleBarHeight() : 0.0);
    return rect;
}
