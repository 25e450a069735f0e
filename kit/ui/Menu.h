#pragma once
// Menus and the main menu.
//
// A MenuItem has a title, an action sent to its target (or, with no target,
// along the responder chain through Application::sendAction), an optional key
// equivalent (a letter pressed with Command, that is Ctrl here) and a tag.
// A Menu holds items; the main menu holds one submenu per title of the menu
// bar. The main menu is shown as a bar of menus in the title bar of the
// application's main window, after the window buttons.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/ui/Responder.h"

namespace kit {

class Menu;
class Window;

class MenuItem : public Object {
public:
    MenuItem(std::string title, std::string action, std::string keyEquivalent = "");
    static std::shared_ptr<MenuItem> separatorItem();

    const std::string& title() const { return title_; }
    void setTitle(const std::string& t) { title_ = t; }
    const std::string& action() const { return action_; }
    void setAction(const std::string& a) { action_ = a; }
    const std::string& keyEquivalent() const { return keyEquivalent_; }
    Responder* target() const { return target_.get(); }
    void setTarget(Responder* t) {
        target_ = Weak<Responder>(t);
        hasTarget_ = t != nullptr;
    }
    bool isSeparatorItem() const { return separator_; }
    int tag() const { return tag_; }
    void setTag(int t) { tag_ = t; }
    // Enabled as set, except during a modal run: then only items that work
    // when modal are (the others would act behind the modal window, or open
    // a second window over it).
    bool isEnabled() const;
    void setEnabled(bool e);
    bool worksWhenModal() const { return worksWhenModal_; }
    void setWorksWhenModal(bool w);
    std::shared_ptr<Menu> submenu() const { return submenu_; }
    void setSubmenu(std::shared_ptr<Menu> m) { submenu_ = std::move(m); }

    // What choosing the item does: sends its action; true when some responder
    // performed it.
    bool performAction();

private:
    std::string title_, action_, keyEquivalent_;
    Weak<Responder> target_;
    bool hasTarget_ = false;
    bool separator_ = false;
    bool enabled_ = true;
    bool worksWhenModal_ = false;
    int tag_ = 0;
    std::shared_ptr<Menu> submenu_;
};

class Menu : public Object {
public:
    explicit Menu(std::string title = "") : title_(std::move(title)) {}
    const std::string& title() const { return title_; }
    const std::vector<std::shared_ptr<MenuItem>>& items() const { return items_; }
    void addItem(std::shared_ptr<MenuItem> item) { items_.push_back(std::move(item)); }
    MenuItem* itemWithTitle(const std::string& title) const;
    // The item (at any depth) whose action is `action`, or nullptr.
    MenuItem* itemWithAction(const std::string& action) const;

private:
    std::string title_;
    std::vector<std::shared_ptr<MenuItem>> items_;
};

// An object that a main-menu layout file makes (the application delegate).
// Outlets of the file are handed to setMenuOutlet; answering false for a name
// makes the load fail.
class MenuLayoutObject : public Responder {
public:
    virtual bool setMenuOutlet(const std::string& name, MenuItem* item) { return false; }
};

using MenuLayoutObjectFactory = std::function<std::shared_ptr<MenuLayoutObject>()>;
void registerMenuLayoutClass(const std::string& className, MenuLayoutObjectFactory make);

// The result of loading a main-menu layout file:
//   {"objects": [{"class": "AppDelegate", "name": "delegate",
//                 "outlets": {"checkUpMenuItem": "check"}}],
//    "applicationDelegate": "delegate",
//    "menus": [{"title": "Help", "items": [
//        {"title": "User Guide", "action": "userGuideMenuItemAction:", "target": "delegate"},
//        {"separator": true, "name": "line"},
//        {"title": "Quit", "action": "terminate:", "keyEquivalent": "q"}]}]}
// An item's "name" is what outlets refer to; a target names an object of the
// file; an item without one goes along the responder chain. An item with
// "worksWhenModal": true stays enabled while a modal window runs.
struct MainMenuLayout {
    std::shared_ptr<Menu> mainMenu;
    std::map<std::string, std::shared_ptr<MenuLayoutObject>> objects;
    std::shared_ptr<MenuLayoutObject> applicationDelegate;
};
// nullopt (with the reason in *error) when the file is missing or malformed,
// a class is unknown, a target or outlet names nothing, or an object refuses
// an outlet.
std::optional<MainMenuLayout> loadMainMenuLayout(const std::string& path, std::string* error = nullptr);

// The application's main menu: set once loaded; shown by attachMainMenu.
std::shared_ptr<Menu> mainMenu();
void setMainMenu(std::shared_ptr<Menu> menu);
// Shows the main menu as a menu bar in the window's title bar, at x (points
// from the left edge), height `height`. Replaces a bar shown before.
void attachMainMenu(Window& window, double x, double height);
namespace detail {
// Brings the shown bar's items up to date with their enabled state (kit
// internal: called when a modal run starts or ends).
void refreshMenuEnabling();
}  // namespace detail

}  // namespace kit
