#include "kit/ui/Menu.h"

#include <QAction>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <mutex>

#include "kit/ui/Application.h"
#include "kit/ui/QtBridge.h"
#include "kit/ui/ViewWidget.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

namespace kit {

MenuItem::MenuItem(std::string title, std::string action, std::string keyEquivalent)
    : title_(std::move(title)), action_(std::move(action)), keyEquivalent_(std::move(keyEquivalent)) {}

std::shared_ptr<MenuItem> MenuItem::separatorItem() {
    auto item = std::make_shared<MenuItem>("", "");
    item->separator_ = true;
    return item;
}

bool MenuItem::isEnabled() const {
    if (!enabled_) return false;
    return worksWhenModal_ || Application::shared().modalWindow() == nullptr;
}

void MenuItem::setEnabled(bool e) {
    enabled_ = e;
    detail::refreshMenuEnabling();
}

void MenuItem::setWorksWhenModal(bool w) {
    worksWhenModal_ = w;
    detail::refreshMenuEnabling();
}

bool MenuItem::performAction() {
    if (separator_ || !isEnabled() || action_.empty()) return false;
    Responder* t = target_.get();
    // An item whose target has gone does nothing rather than reach someone else.
    if (!t && hasTarget_) return false;
    return Application::shared().sendAction(action_, t, this);
}

MenuItem* Menu::itemWithTitle(const std::string& title) const {
    for (auto& item : items_)
        if (item->title() == title) return item.get();
    return nullptr;
}

MenuItem* Menu::itemWithAction(const std::string& action) const {
    for (auto& item : items_) {
        if (!item->isSeparatorItem() && item->action() == action) return item.get();
        if (auto sub = item->submenu())
            if (MenuItem* found = sub->itemWithAction(action)) return found;
    }
    return nullptr;
}

namespace {

std::mutex gClassesMutex;
std::map<std::string, MenuLayoutObjectFactory>& classes() {
    static std::map<std::string, MenuLayoutObjectFactory> c;
    return c;
}

std::shared_ptr<Menu> gMainMenu;
QPointer<QMenuBar> gBar;
// The bar's actions and the items they show.
std::vector<std::pair<QPointer<QAction>, std::weak_ptr<MenuItem>>> gBarActions;

bool fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

}  // namespace

void registerMenuLayoutClass(const std::string& className, MenuLayoutObjectFactory make) {
    std::lock_guard<std::mutex> lock(gClassesMutex);
    classes()[className] = std::move(make);
}

std::optional<MainMenuLayout> loadMainMenuLayout(const std::string& path, std::string* error) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, "cannot read " + path);
        return std::nullopt;
    }
    QJsonParseError parseError;
    QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject()) {
        fail(error, path + ": " + parseError.errorString().toStdString());
        return std::nullopt;
    }
    QJsonObject root = doc.object();
    MainMenuLayout layout;
    layout.mainMenu = std::make_shared<Menu>("Main Menu");

    std::map<std::string, QJsonObject> outletsOf;
    for (const QJsonValue& v : root.value("objects").toArray()) {
        QJsonObject o = v.toObject();
        std::string cls = o.value("class").toString().toStdString();
        std::string name = o.value("name").toString().toStdString();
        MenuLayoutObjectFactory make;
        {
            std::lock_guard<std::mutex> lock(gClassesMutex);
            auto it = classes().find(cls);
            if (it != classes().end()) make = it->second;
        }
        if (!make || name.empty()) {
            fail(error, path + ": unknown class or unnamed object \"" + cls + "\"");
            return std::nullopt;
        }
        layout.objects[name] = make();
        outletsOf[name] = o.value("outlets").toObject();
    }

    std::map<std::string, MenuItem*> named;
    for (const QJsonValue& mv : root.value("menus").toArray()) {
        QJsonObject m = mv.toObject();
        auto submenu = std::make_shared<Menu>(m.value("title").toString().toStdString());
        for (const QJsonValue& iv : m.value("items").toArray()) {
            QJsonObject i = iv.toObject();
            std::shared_ptr<MenuItem> item;
            if (i.value("separator").toBool()) {
                item = MenuItem::separatorItem();
            } else {
                item = std::make_shared<MenuItem>(i.value("title").toString().toStdString(),
                                                  i.value("action").toString().toStdString(),
                                                  i.value("keyEquivalent").toString().toStdString());
                std::string target = i.value("target").toString().toStdString();
                if (!target.empty()) {
                    auto t = layout.objects.find(target);
                    if (t == layout.objects.end()) {
                        fail(error, path + ": no object \"" + target + "\" for the target of \"" + item->title() + "\"");
                        return std::nullopt;
                    }
                    item->setTarget(t->second.get());
                }
                item->setTag(i.value("tag").toInt());
                item->setWorksWhenModal(i.value("worksWhenModal").toBool());
            }
            std::string name = i.value("name").toString().toStdString();
            if (!name.empty()) named[name] = item.get();
            submenu->addItem(item);
        }
        auto holder = std::make_shared<MenuItem>(submenu->title(), "");
        holder->setSubmenu(submenu);
        layout.mainMenu->addItem(holder);
    }

    for (auto& [objectName, outlets] : outletsOf) {
        for (auto it = outlets.begin(); it != outlets.end(); ++it) {
            std::string outlet = it.key().toStdString();
            std::string itemName = it.value().toString().toStdString();
            auto found = named.find(itemName);
            if (found == named.end() || !layout.objects[objectName]->setMenuOutlet(outlet, found->second)) {
                fail(error, path + ": outlet \"" + outlet + "\" of \"" + objectName + "\" cannot be set");
                return std::nullopt;
            }
        }
    }

    std::string delegateName = root.value("applicationDelegate").toString().toStdString();
    if (!delegateName.empty()) {
        auto d = layout.objects.find(delegateName);
        if (d == layout.objects.end()) {
            fail(error, path + ": no object \"" + delegateName + "\" for the application delegate");
            return std::nullopt;
        }
        layout.applicationDelegate = d->second;
    }
    return layout;
}

std::shared_ptr<Menu> mainMenu() { return gMainMenu; }
void setMainMenu(std::shared_ptr<Menu> menu) { gMainMenu = std::move(menu); }
QMenuBar* mainMenuBar() { return gBar.data(); }

void detail::refreshMenuEnabling() {
    for (auto& [action, item] : gBarActions)
        if (auto i = item.lock(); i && action) action->setEnabled(i->isEnabled());
}

void attachMainMenu(Window& window, double x, double height) {
    if (!gMainMenu || !widgetOf(window)) return;
    delete gBar.data();
    gBarActions.clear();
    auto* bar = new QMenuBar(widgetOf(window));
    detail::registerNativeInputWidget(bar);
    bar->setNativeMenuBar(false);
    bar->setStyleSheet(QStringLiteral(
        "QMenuBar { background: transparent; color: rgb(79,79,98); font-size: 12px; }"
        "QMenuBar::item { background: transparent; padding: 2px 8px; }"
        "QMenuBar::item:selected { background: rgba(65,98,255,40); border-radius: 4px; }"));
    std::shared_ptr<Menu> menu = gMainMenu;
    for (auto& top : menu->items()) {
        auto sub = top->submenu();
        if (!sub) continue;
        QMenu* qmenu = bar->addMenu(QString::fromStdString(sub->title()));
        for (auto& item : sub->items()) {
            if (item->isSeparatorItem()) {
                qmenu->addSeparator();
                continue;
            }
            QAction* action = qmenu->addAction(QString::fromStdString(item->title()));
            action->setEnabled(item->isEnabled());
            if (!item->keyEquivalent().empty()) {
                action->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + QString::fromStdString(item->keyEquivalent()).toUpper()));
                action->setShortcutContext(Qt::ApplicationShortcut);
            }
            std::weak_ptr<MenuItem> weakItem = item;
            gBarActions.emplace_back(action, weakItem);
            QObject::connect(action, &QAction::triggered, bar, [weakItem] {
                if (auto i = weakItem.lock()) i->performAction();
            });
        }
    }
    bar->adjustSize();
    bar->setGeometry(int(x), 0, bar->sizeHint().width(), int(height));
    bar->raise();
    bar->show();
    gBar = bar;
}

}  // namespace kit
