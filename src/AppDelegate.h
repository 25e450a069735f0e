#pragma once
// The application delegate: made by the main menu layout file. At launch it
// keeps a single copy running, starts the two volume scans and opens the main
// window; its actions are the menu's.
#include <memory>
#include <string>

#include "kit/ui/Application.h"
#include "kit/ui/Menu.h"

class MainWindowController;

class AppDelegate : public kit::MenuLayoutObject, public kit::ApplicationDelegate {
public:
    AppDelegate();
    ~AppDelegate() override;

    void applicationDidFinishLaunching() override;
    // Quitting is closing the main window: a job under way is stopped first,
    // and the window's close ends the program.
    bool applicationShouldTerminate() override;

    // Brings every other running copy of the bundle identifier to the front;
    // YES when there was one.
    bool checkAppDuplicateAndBringToFrontWithBundle(const std::string& bundleIdentifier);

    void aboutMenuItemAction(kit::Object* sender);
    void userGuideMenuItemAction(kit::Object* sender);
    void helpMenuItemAction(kit::Object* sender);
    void createBootableMenuAction(kit::Object* sender);
    void dataRecoveryMenuItemAction(kit::Object* sender);
    void iosDataRecoveryMenuItemAction(kit::Object* sender);
    void dataEraserMenuItemAction(kit::Object* sender);
    void macCleanMenuItemAction(kit::Object* sender);
    void checkUpdateMenuItemAction(kit::Object* sender);

    kit::MenuItem* checkUpMenuItem() const { return checkUpMenuItem_.get(); }
    void setCheckUpMenuItem(kit::MenuItem* item) { checkUpMenuItem_ = kit::Weak<kit::MenuItem>(item); }
    kit::MenuItem* lineMenuItem() const { return lineMenuItem_.get(); }
    void setLineMenuItem(kit::MenuItem* item) { lineMenuItem_ = kit::Weak<kit::MenuItem>(item); }
    bool setMenuOutlet(const std::string& name, kit::MenuItem* item) override;

    MainWindowController* mainWindowController() const { return mainWindowController_.get(); }

private:
    static void openAddress(const std::string& address);

    kit::Weak<kit::MenuItem> checkUpMenuItem_;
    kit::Weak<kit::MenuItem> lineMenuItem_;
    std::shared_ptr<MainWindowController> mainWindowController_;
};

inline const bool kAppDelegateRegistered = (kit::registerMenuLayoutClass(
    "AppDelegate", [] { return std::make_shared<AppDelegate>(); }), true);
