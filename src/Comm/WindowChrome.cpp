#include "Comm/WindowChrome.h"

#include "Comm/PopWTopBgView.h"
#include "kit/ui/Control.h"

kit::View* dressPopUpTitleBar(TCImageWindow& window, double bandWidth) {
    window.setTitleBarHeight(38);
    window.setTrafficLightButtonsLeftMargin(15);
    window.setTopButtonMoveUp(0);
    kit::View* titleBar = window.titleBarView();
    if (titleBar) titleBar->addSubview(std::make_shared<PopWTopBgView>(kit::Rect(0, -10, bandWidth, 58)));
    return titleBar;
}

void routeCloseButton(kit::Window& window, kit::Responder* controller) {
    if (kit::Button* close = window.standardWindowButton(kit::WindowButtonKind::Close)) {
        close->setTarget(controller);
        close->setAction("closeWindow:");
    }
}
