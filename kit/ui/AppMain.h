#pragma once
// The application main function.
//
// applicationMain() makes the application object of the class that the
// bundle's information property list names ("NSPrincipalClass", registered
// with registerApplicationClass; a plain Application when none is), routes
// key events through it (installAppKeyRouting), loads the main-menu layout
// file ("NSMainNibFile") whose objects include the application delegate,
// records this process as a running copy of its bundle identifier
// (ApplicationRegistry), then runs: the delegate's did-finish-launching, the
// menu bar put on the main window, the main loop until terminate(). SIGTERM,
// SIGHUP and SIGINT ask for terminate() as the Quit item does.
//
// A request from another copy to come to the front brings the main window
// (else the first visible window) forward and makes the application active.
#include <functional>
#include <memory>
#include <string>

namespace kit {

class Application;

void registerApplicationClass(const std::string& className, std::function<std::unique_ptr<Application>()> make);

int applicationMain(int argc, char** argv);

// What a request to come to the front does (also used by tests).
void bringApplicationToFront();

// Where the menu bar sits in a main window's title bar.
inline constexpr double kMenuBarX = 84;

}  // namespace kit
