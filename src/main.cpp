// The entry: the launcher check, the display-sleep assertion and the
// application loop.
#include "AppDelegate.h"
#include "MyNSApplication.h"
#include "PreventSleep.h"
#include "kit/Bundle.h"
#include "kit/SysPath.h"
#include "kit/app/Launch.h"
#include "kit/app/PowerAssertion.h"
#include "kit/ui/AppMain.h"

int main(int argc, char* argv[]) {
    if (argc <= 1) {
        // Started without arguments: the enclosing launcher three levels up
        // starts this program itself with arguments.
        std::string launcher = kit::Bundle::main().bundlePath();
        for (int i = 0; i < 3; ++i) launcher = kit::deletingLastPathComponent(launcher);
        if (kit::launchApplication(launcher)) return 0;
    }
    kit::removeAbandonedTemporaryDirectories();
    PreventSleep();
    int result = kit::applicationMain(argc, argv);
    kit::releasePowerAssertion(assertionID);
    // The windows and controllers that the menu file's objects hold are not
    // torn down one by one after the loop: the process leaves as it is.
    kit::exitProcess(result);
}
