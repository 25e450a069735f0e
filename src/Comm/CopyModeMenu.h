#pragma once
// What the copy and image screens share around their copy mode and file
// choice: the copy-mode menu under the mode box (its window, its timed close),
// the message panel, and the opening of the file-choice window.
#include <memory>
#include <string>

#include "Comm/SelectAllFilePopVC.h"
#include "Comm/TimedMenuClose.h"
#include "DiskList/DiskListWC.h"
#include "DiskList/FileNodeArray.h"

class ErrorWindowController;
class RMAAttachedWindow;
class VolumeObj;
namespace kit {
class Window;
}

namespace screen {

// The copy-mode menu: one at a time, closed 3 s after it opened unless the
// pointer entered it, on the pointer leaving it, or on a choice.
class CopyModeMenu {
public:
    CopyModeMenu();
    ~CopyModeMenu();
    CopyModeMenu(const CopyModeMenu&) = delete;
    CopyModeMenu& operator=(const CopyModeMenu&) = delete;

    // Opens the menu over `main`, its choices going to `delegate`; nothing
    // while a menu the pointer has not entered yet is open.
    void show(kit::Window* main, SelectAllFileVCDelegate* delegate);
    // The pointer left (true) or entered (false) the menu.
    void pointerMoved(bool left);
    // Closes the menu now.
    void close();
    // Takes the menu off the screen at once and cuts it from its delegate
    // (the screen is going away).
    void detach();

    bool isOpen() const { return isOpen_; }
    SelectAllFilePopVC* menu() const { return menu_.get(); }
    RMAAttachedWindow* window() const { return window_.get(); }

private:
    // Takes one menu and its window off the screen (main queue, later).
    void closeMenuWindow(std::shared_ptr<SelectAllFilePopVC> menu, std::shared_ptr<RMAAttachedWindow> window);

    bool isOpen_ = false;
    std::shared_ptr<SelectAllFilePopVC> menu_;
    std::shared_ptr<RMAAttachedWindow> window_;
    // Lives as long as this object: the close block holds it weakly.
    std::shared_ptr<int> life_ = std::make_shared<int>(0);
    TimedMenuClose closer_;
};

// Shows `message` in the message panel over `main`; the panel, or null when
// it could not be shown.
std::shared_ptr<ErrorWindowController> showMessagePanel(kit::Window* main, const std::string& message);

// Opens the file-choice window modally into `slot` (the window before it no
// longer reports): the items of `chosen` when there are any, else the volume's
// tree.
void openFileChoice(std::shared_ptr<DiskListWC>& slot, DiskListWCDelegate* delegate, const FileNodeArray& chosen,
                    const std::shared_ptr<VolumeObj>& volume);

}  // namespace screen
