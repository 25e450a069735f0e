#include "Comm/CopyModeMenu.h"

#include "Comm/ErrorWindowController.h"
#include "Comm/PopWindow/RMAAttachedWindow.h"
#include "Comm/PopWindow/StatusPanel.h"
#include "Disk/VolumeObj.h"
#include "kit/Dispatch.h"
#include "kit/ui/Application.h"
#include "kit/ui/Window.h"

namespace screen {

CopyModeMenu::CopyModeMenu() = default;

CopyModeMenu::~CopyModeMenu() { detach(); }

void CopyModeMenu::detach() {
    if (window_) {
        if (kit::Window* parent = window_->parentWindow()) parent->removeChildWindow(window_.get());
        window_->orderOut();
    }
    if (menu_) menu_->setDelegate(nullptr);
}

void CopyModeMenu::show(kit::Window* main, SelectAllFileVCDelegate* delegate) {
    if (!main) return;
    std::weak_ptr<int> alive = life_;
    // A menu the pointer has not entered yet stays the only one.
    if (!closer_.open([this, alive] {
            if (alive.lock()) closeMenuWindow(menu_, window_);
        }))
        return;
    isOpen_ = true;
    if (menu_) menu_->setDelegate(nullptr);
    menu_ = std::make_shared<SelectAllFilePopVC>("SelectAllFilePopVC");
    menu_->setDelegate(delegate);
    window_ = RMAAttachedWindow::initWithView(menu_->viewPtr(), kit::Point{346.0, 46.0}, main, 3, 0.0f, 0.8f);
    if (!window_) {
        closer_.close();
        return;
    }
    main->addChildWindow(window_, kit::WindowOrderingMode::Above);
}

void CopyModeMenu::pointerMoved(bool left) {
    if (left) closer_.pointerLeft();
    else closer_.pointerEntered();
}

void CopyModeMenu::close() { closer_.close(); }

void CopyModeMenu::closeMenuWindow(std::shared_ptr<SelectAllFilePopVC> menu,
                                   std::shared_ptr<RMAAttachedWindow> window) {
    // This very menu: a newer one opened meanwhile stays.
    if (menu == menu_) {
        isOpen_ = false;
        if (menu_) menu_->setDelegate(nullptr);
        menu_.reset();
        window_.reset();
    }
    // Off the screen on the next turn: the menu's own event may be on the stack.
    kit::dispatch::async(kit::dispatch::mainQueue(), [menu, window] {
        if (!window) return;
        if (kit::Window* parent = window->parentWindow()) parent->removeChildWindow(window.get());
        window->orderOut();
    });
}

std::shared_ptr<ErrorWindowController> showMessagePanel(kit::Window* main, const std::string& message) {
    if (!main) return nullptr;
    auto panel = std::make_shared<ErrorWindowController>("ErrorWindowController");
    if (!showStatusPanel(panel, *main)) return nullptr;
    panel->changeErrorLabelStr(message);
    return panel;
}

void openFileChoice(std::shared_ptr<DiskListWC>& slot, DiskListWCDelegate* delegate, const FileNodeArray& chosen,
                    const std::shared_ptr<VolumeObj>& volume) {
    if (slot) slot->setDelegate(nullptr);
    slot = std::make_shared<DiskListWC>("DiskListWC");
    slot->setDelegate(delegate);
    kit::Window* w = slot->window();
    if (!w) return;
    w->center();
    if (chosen) {
        slot->listFileVC()->setArrForListWithArr(chosen, volume ? volume->volumeMountPoint() : "");
    } else {
        slot->showDetailWithPath(volume->volumeMountPoint());
    }
    kit::Application::shared().runModalForWindow(*w);
}

}  // namespace screen
