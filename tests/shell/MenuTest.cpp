// The main menu file: its items reach the application delegate, which opens
// the About and update windows modally and hands web addresses on.
#include <gtest/gtest.h>

#include "AppDelegate.h"
#include "ShellTestUtil.h"
#include <algorithm>

#include "kit/Bundle.h"
#include "kit/Defaults.h"
#include "kit/Dispatch.h"
#include "kit/RunLoop.h"
#include "kit/app/Launch.h"
#include "kit/ui/Application.h"
#include "kit/ui/Menu.h"
#include "kit/ui/Window.h"

using namespace shelltest;

TEST(MainMenu, ItemsOpenTheModalWindowsAndTheLinks) {
    kit::ensureUiApp();
    auto path = kit::Bundle::main().pathForResource("MainMenu", "json");
    ASSERT_TRUE(path);
    std::string error;
    auto layout = kit::loadMainMenuLayout(*path, &error);
    ASSERT_TRUE(layout) << error;
    auto* delegate = dynamic_cast<AppDelegate*>(layout->applicationDelegate.get());
    ASSERT_NE(delegate, nullptr);
    ASSERT_NE(delegate->checkUpMenuItem(), nullptr);
    EXPECT_EQ(delegate->checkUpMenuItem()->action(), "checkUpdateMenuItemAction:");
    EXPECT_NE(delegate->lineMenuItem(), nullptr);

    // Each modal run must keep the main queue going: the stop comes from it.
    for (const char* action : {"aboutMenuItemAction:", "checkUpdateMenuItemAction:"}) {
        kit::MenuItem* item = layout->mainMenu->itemWithAction(action);
        ASSERT_NE(item, nullptr) << action;
        std::string modalTitle;
        kit::dispatch::after(0.3, kit::dispatch::mainQueue(), [&] {
            if (kit::Window* w = kit::Application::shared().modalWindow()) modalTitle = w->title();
            kit::Application::shared().stopModal();
        });
        EXPECT_TRUE(item->performAction()) << action;
        EXPECT_FALSE(modalTitle.empty()) << action;
    }

    TempDir root;
    EnvGuard sysroot("PELORIN_SYSROOT", root.path());
    kit::UserDefaults::standard().setObject("AppleLanguages", kit::Value(kit::Value::Array{"en"}));
    for (const char* action : {"userGuideMenuItemAction:", "helpMenuItemAction:", "createBootableMenuAction:",
                               "dataRecoveryMenuItemAction:", "iosDataRecoveryMenuItemAction:",
                               "dataEraserMenuItemAction:", "macCleanMenuItemAction:"})
        EXPECT_TRUE(layout->mainMenu->itemWithAction(action)->performAction()) << action;
    std::string opened = readFile(kit::openedURLsPath());
    EXPECT_EQ(opened.rfind("https://www.pelorin.org/guide/\nhttps://www.pelorin.org/support/\n", 0), 0u) << opened;
    EXPECT_EQ(std::count(opened.begin(), opened.end(), '\n'), 7);
}

TEST(MainMenu, ABrokenFileIsALoadError) {
    TempDir dir;
    std::string error;
    writeFile(dir / "unknown.json", R"({"objects": [{"class": "NoSuchClass", "name": "x"}]})");
    EXPECT_FALSE(kit::loadMainMenuLayout(dir / "unknown.json", &error));
    EXPECT_NE(error.find("NoSuchClass"), std::string::npos);
    writeFile(dir / "outlet.json", R"({"objects": [{"class": "AppDelegate", "name": "d",
        "outlets": {"noSuchOutlet": "i"}}], "menus": [{"title": "M", "items": [{"title": "I", "name": "i",
        "action": "helpMenuItemAction:", "target": "d"}]}]})");
    EXPECT_FALSE(kit::loadMainMenuLayout(dir / "outlet.json", &error));
    writeFile(dir / "target.json", R"({"menus": [{"title": "M", "items": [{"title": "I", "action": "a:",
        "target": "nobody"}]}]})");
    EXPECT_FALSE(kit::loadMainMenuLayout(dir / "target.json", &error));
    EXPECT_FALSE(kit::loadMainMenuLayout(dir / "missing.json", &error));
}
