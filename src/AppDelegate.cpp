#include "AppDelegate.h"

#include <unistd.h>

#include <cstdlib>

#include "Disk/GetVolumes.h"
#include "MainWindowController.h"
#include "OVLinkUrl.h"
#include "ToolWind/OVCheckUpdateWindowController.h"
#include "ToolWind/TCPreferenceWindowController.h"
#include "kit/Bundle.h"
#include "kit/SysPath.h"
#include "kit/app/Launch.h"
#include "kit/app/RunningApplication.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

namespace {
// The maker's pages that the Help menu names; fixed, not read from the bundle.
const char* kCreateBootableGuideURL = "https://www.pelorin.org/guide/bootable-clone/";
const char* kDataRecoveryURL = "https://www.pelorin.org/data-recovery/";
const char* kPhoneDataRecoveryURL = "https://www.pelorin.org/phone-data-recovery/";
const char* kDataEraserURL = "https://www.pelorin.org/data-eraser/";
const char* kCleanerURL = "https://www.pelorin.org/cleaner/";
}  // namespace

AppDelegate::AppDelegate() {
    registerAction("aboutMenuItemAction:", [this](kit::Object* s) { aboutMenuItemAction(s); });
    registerAction("userGuideMenuItemAction:", [this](kit::Object* s) { userGuideMenuItemAction(s); });
    registerAction("helpMenuItemAction:", [this](kit::Object* s) { helpMenuItemAction(s); });
    registerAction("createBootableMenuAction:", [this](kit::Object* s) { createBootableMenuAction(s); });
    registerAction("dataRecoveryMenuItemAction:", [this](kit::Object* s) { dataRecoveryMenuItemAction(s); });
    registerAction("iosDataRecoveryMenuItemAction:", [this](kit::Object* s) { iosDataRecoveryMenuItemAction(s); });
    registerAction("dataEraserMenuItemAction:", [this](kit::Object* s) { dataEraserMenuItemAction(s); });
    registerAction("macCleanMenuItemAction:", [this](kit::Object* s) { macCleanMenuItemAction(s); });
    registerAction("checkUpdateMenuItemAction:", [this](kit::Object* s) { checkUpdateMenuItemAction(s); });
}

AppDelegate::~AppDelegate() = default;

bool AppDelegate::setMenuOutlet(const std::string& name, kit::MenuItem* item) {
    if (name == "checkUpMenuItem") setCheckUpMenuItem(item);
    else if (name == "lineMenuItem") setLineMenuItem(item);
    else return false;
    return true;
}

void AppDelegate::applicationDidFinishLaunching() {
    if (checkAppDuplicateAndBringToFrontWithBundle(kit::Bundle::main().bundleIdentifier())) {
        // The running copy has been asked forward; this one leaves before it
        // makes any window or starts any scan.
        kit::exitProcess(0);
    }
    GetVolumes::Instance().getVolumes();
    mainWindowController_ = std::make_shared<MainWindowController>("MainWindowController");
    if (kit::Window* window = mainWindowController_->window()) window->center();
    GetVolumes::Instance().getExVolumes();
}

bool AppDelegate::applicationShouldTerminate() {
    if (!mainWindowController_) return true;
    mainWindowController_->closeWindow(nullptr);
    return false;
}

bool AppDelegate::checkAppDuplicateAndBringToFrontWithBundle(const std::string& bundleIdentifier) {
    const pid_t current = kit::currentApplication().processIdentifier;
    std::vector<kit::RunningApplication> running = kit::runningApplicationsWithBundleIdentifier(bundleIdentifier);
    if (running.empty()) return false;
    bool found = false;
    for (size_t i = 0; i < running.size(); ++i) {
        if (running[i].processIdentifier == current) continue;
        kit::launchApplication(running[i].bundlePath);
        found = true;
    }
    return found;
}

void AppDelegate::openAddress(const std::string& address) { kit::openURL(address); }

void AppDelegate::aboutMenuItemAction(kit::Object*) {
    auto about = std::make_shared<TCPreferenceWindowController>("TCPreferenceWindowController");
    kit::Window* window = about->window();
    if (!window) return;
    window->center();
    kit::Application::shared().runModalForWindow(*window);
}

void AppDelegate::userGuideMenuItemAction(kit::Object*) {
    if (auto url = OVLinkUrl::GetUrl("OnlineHelp")) openAddress(*url);
}

void AppDelegate::helpMenuItemAction(kit::Object*) {
    if (auto url = OVLinkUrl::GetUrl("Support")) openAddress(*url);
}

void AppDelegate::createBootableMenuAction(kit::Object*) { openAddress(kCreateBootableGuideURL); }
void AppDelegate::dataRecoveryMenuItemAction(kit::Object*) { openAddress(kDataRecoveryURL); }
void AppDelegate::iosDataRecoveryMenuItemAction(kit::Object*) { openAddress(kPhoneDataRecoveryURL); }
void AppDelegate::dataEraserMenuItemAction(kit::Object*) { openAddress(kDataEraserURL); }
void AppDelegate::macCleanMenuItemAction(kit::Object*) { openAddress(kCleanerURL); }

void AppDelegate::checkUpdateMenuItemAction(kit::Object*) {
    auto update = std::make_shared<OVCheckUpdateWindowController>("UpdateVersionXib");
    kit::Window* window = update->window();
    if (!window) return;
    window->center();
    kit::Application::shared().runModalForWindow(*window);
}
