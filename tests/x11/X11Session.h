#pragma once
// What the tests on a real X display with a window manager (run-under-x.sh
// starts both) ask of the display: the windows the manager stacks, the
// window a window is transient for, the active window, and pointer and
// activation requests as the user's own, through the display's standard tools
// (xprop, xdotool).
#include <QImage>
#include <string>
#include <vector>

#include "kit/ui/Geometry.h"

namespace kit {
class View;
class Window;
}

namespace x11 {

using WindowId = unsigned long;

// The X window behind a kit window.
WindowId idOf(const kit::Window& w);
// The managed windows from bottom to top (_NET_CLIENT_LIST_STACKING).
std::vector<WindowId> stacking();
// Where a window is in that order, or -1 when the manager does not list it.
int stackIndex(WindowId id);
// The window named by WM_TRANSIENT_FOR, 0 when there is none.
WindowId transientFor(WindowId id);
// _NET_ACTIVE_WINDOW.
WindowId activeWindow();
// The window's type as the manager reads it (_NET_WM_WINDOW_TYPE), for messages.
std::string windowType(WindowId id);
// The window's place on the screen as the X server has it (top-left, y down).
kit::Point xPosition(WindowId id);

// The window manager's activation of a window (_NET_ACTIVE_WINDOW, as a
// task list, Alt+Tab or another program asks for it), waited for while the
// kit's loop runs.
bool activate(WindowId id);
// A raise of the window asked of the window manager (xdotool windowraise).
bool raise(WindowId id);
// The user's Alt+F4 on the window: activated by the window manager, then
// the keys that the manager takes as its close. False when the window could
// not be activated.
bool closeFromWindowManager(WindowId id);
// The pointer: at a point of the screen in X's coordinates, then a click, a
// press or a release of the first button. Each waits until the X server has
// it and gives the kit's loop a moment.
void pointerTo(kit::Point xPoint, double settleSeconds = 0.15);
void click();
void press();
void release();
// A point of a view (its centre unless given, in the view's coordinates) in
// X's screen coordinates (y down).
kit::Point xPointOf(const kit::View& v);
kit::Point xPointOf(const kit::View& v, kit::Point inView);

// The whole screen as it is shown.
QImage grabScreen();
// Saves the whole screen as a PNG under the build's ui-render folder and
// returns the path.
std::string screenshot(const std::string& name);

// Runs the kit's loop until the window manager lists the window, and a moment more.
bool waitUntilManaged(WindowId id);

}  // namespace x11
