#include "kit/ui/AppMain.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <map>
#include <mutex>

#include "kit/Bundle.h"
#include "kit/Dispatch.h"
#include "kit/System.h"
#include "kit/app/RunningApplication.h"
#include "kit/ui/AppKeyRouting.h"
#include "kit/ui/Application.h"
#include "kit/ui/Menu.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

namespace kit {

namespace {

std::mutex gMutex;
std::map<std::string, std::function<std::unique_ptr<Application>()>>& appClasses() {
    static std::map<std::string, std::function<std::unique_ptr<Application>()>> c;
    return c;
}

// Keeps the main menu's objects (the delegate among them) for the process.
MainMenuLayout& loadedMenu() {
    static MainMenuLayout layout;
    return layout;
}

Window* frontCandidate() {
    Application& app = Application::shared();
    if (Window* w = app.mainWindow()) return w;
    for (Window* w : app.windows())
        if (w->isVisible() && w->canBecomeMainWindow()) return w;
    return nullptr;
}

// The session's request to end the program (SIGTERM at logout or shutdown,
// SIGHUP when its terminal goes, SIGINT from the terminal) is a quit request
// like the Quit item's: the program ends through its loop, so work under way
// is stopped first and the temporary folder goes with the process. The
// handler only wakes the main loop through a pipe.
int gQuitPipe[2] = {-1, -1};

void onQuitSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(gQuitPipe[1], &byte, 1);
    errno = saved;
}

void quitOnTerminationSignals() {
    if (gQuitPipe[0] >= 0 || ::pipe2(gQuitPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(gQuitPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char bytes[16];
        while (::read(gQuitPipe[0], bytes, sizeof bytes) > 0) {
        }
        Application::shared().terminate(nullptr);
    });
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) ::sigaction(signal, &action, nullptr);
}

}  // namespace

void registerApplicationClass(const std::string& className, std::function<std::unique_ptr<Application>()> make) {
    std::lock_guard<std::mutex> lock(gMutex);
    appClasses()[className] = std::move(make);
}

void bringApplicationToFront() {
    Application& app = Application::shared();
    // A modal window keeps the front while it runs.
    Window* w = app.modalWindow() ? app.modalWindow() : frontCandidate();
    if (w) w->makeKeyAndOrderFront();
    app.activateIgnoringOtherApps(true);
    systemLog("brought to the front by another copy");
}

int applicationMain(int argc, char** argv) {
    ensureUiApp();
    Bundle& bundle = Bundle::main();
    Value info = bundle.infoDictionary();

    std::string principal = info.getString("NSPrincipalClass").value_or("");
    std::function<std::unique_ptr<Application>()> make;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        auto it = appClasses().find(principal);
        if (it != appClasses().end()) make = it->second;
    }
    if (make) Application::setShared(make());
    Application& app = Application::shared();
    if (!app.respondsToAction("terminate:")) app.registerAction("terminate:", [](Object* sender) {
        Application::shared().terminate(sender);
    });
    installAppKeyRouting();
    quitOnTerminationSignals();

    std::string nib = info.getString("NSMainNibFile").value_or("MainMenu");
    if (auto path = bundle.pathForResource(nib, "json")) {
        std::string error;
        if (auto layout = loadMainMenuLayout(*path, &error)) {
            loadedMenu() = *layout;
            setMainMenu(layout->mainMenu);
            if (auto* delegate = dynamic_cast<ApplicationDelegate*>(layout->applicationDelegate.get()))
                app.setDelegate(delegate);
        } else {
            systemLog("cannot load the main menu: " + error);
        }
    } else {
        systemLog("no main menu layout \"" + nib + "\" in the bundle");
    }

    ApplicationRegistry& registry = ApplicationRegistry::shared();
    registry.setActivationHandler([] { bringApplicationToFront(); });
    std::string identifier = bundle.bundleIdentifier();
    if (!identifier.empty()) registry.registerApplication(identifier, bundle.bundlePath());

    // Runs on the loop's first turn, after the delegate has made its windows.
    dispatch::async(dispatch::mainQueue(), [] {
        if (Window* w = frontCandidate()) attachMainMenu(*w, kMenuBarX, 25);
    });
    (void)argc;
    (void)argv;
    return app.run();
}

}  // namespace kit
