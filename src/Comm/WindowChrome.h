#pragma once
// Window dressing that several controllers share.
#include "Comm/TCImageWindow.h"
#include "kit/ui/Window.h"

// The small pop-up windows' title bar: 38 points high, the traffic lights 15
// points in and level with the bar, with the pop-up's top band (bandWidth
// wide) laid into it. Returns the title bar view.
kit::View* dressPopUpTitleBar(TCImageWindow& window, double bandWidth);

// The window's close button sends "closeWindow:" to the controller, which
// closes the window its own way (ending a modal session, fading out).
void routeCloseButton(kit::Window& window, kit::Responder* controller);
