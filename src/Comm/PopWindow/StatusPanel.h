#pragma once
// The status panels of the screens (confirmations, busy, end and message
// panels), shown one way everywhere:
//
//   auto panel = std::make_shared<ErrorWindowController>();
//   showStatusPanel(panel, *mainWindow);
//   panel->changeErrorLabelStr("...");
//
// The panel's view is hosted by a StatusAttachedWindow placed at the main
// window's origin and added to it as a child window above it, so it moves
// with the main window. The window keeps the controller until it closes; the
// screen need not keep either. A panel's buttons close its window through
// superDelegate(); closing ends no other window's modal run, leaves no child
// window behind, and may safely happen twice. The window manager's close of
// the window goes to the controller: a panel that can be dismissed answers
// kit::WindowManagerCloseAction as its Cancel or close button; one that
// can't (a busy panel) stays.
#include <memory>
#include <string>

#include "Comm/PopWindow/StatusAttachedWindow.h"
#include "kit/ui/ViewController.h"
#include "kit/ui/Window.h"

// A view controller whose view is shown as a status panel.
class StatusPanelController : public kit::ViewController {
public:
    using kit::ViewController::ViewController;

    // The window that hosts the panel's view; held until that window closes.
    const std::shared_ptr<kit::Window>& superDelegate() const { return superDelegate_; }
    void setSuperDelegate(std::shared_ptr<kit::Window> window) { superDelegate_ = std::move(window); }

private:
    std::shared_ptr<kit::Window> superDelegate_;
};

// Loads the controller's view and gives it the main window's frame size (its
// contents keep their places from its lower left), hosts it in a new
// StatusAttachedWindow attached below the point (main frame x + half its
// width − 3, main frame y) at distance 5 with no parent, makes that window
// the controller's superDelegate, moves it onto the main window's frame
// origin and adds it to the main window as a child window ordered above.
// Returns the window (nullptr when the controller has no view).
std::shared_ptr<StatusAttachedWindow> showStatusPanel(const std::shared_ptr<StatusPanelController>& controller,
                                                      kit::Window& mainWindow);
