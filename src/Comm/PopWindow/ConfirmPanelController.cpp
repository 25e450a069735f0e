#include "Comm/PopWindow/ConfirmPanelController.h"

ConfirmPanelController::ConfirmPanelController(const std::string& layoutName, std::string doneText)
    : StatusPanelController(layoutName), doneText_(std::move(doneText)) {
    declareOutlet("doneButton", doneButton_);
    registerAction("cancelButtonAction:", [this](kit::Object* s) { cancelButtonAction(s); });
    registerAction("doneButtonAction:", [this](kit::Object* s) { doneButtonAction(s); });
    registerAction(kit::WindowManagerCloseAction, [this](kit::Object* s) { answer(dismissal(), s); });
}

ConfirmPanelController::Button ConfirmPanelController::dismissal() const {
    // A closed question starts and stops nothing: the answer that only
    // closes the panel. That is "Cancel", except where "Cancel" is the
    // answer that acts (stopping a clone) and the other button only closes.
    return reportFor(Button::Cancel) && !reportFor(Button::Done) ? Button::Done : Button::Cancel;
}

void ConfirmPanelController::declareTitleBar() {
    declareOutlet("titleLabel", titleLabel_);
    declareOutlet("titleBarView", titleBarView_);
}

void ConfirmPanelController::registerCloseWindowAction() {
    registerAction("closeWindow:", [this](kit::Object* s) { closeWindow(s); });
}

void ConfirmPanelController::awakeFromNib() { setUpButton(doneButton_.get(), "btn_pri", doneText_); }

void ConfirmPanelController::closeWindow(kit::Object*) {
    // The window drops its hold on this panel when it closes: keep it for the
    // rest of the call.
    std::shared_ptr<kit::Window> window = superDelegate();
    if (window) window->close();
}

void ConfirmPanelController::cancelButtonAction(kit::Object* sender) { answer(Button::Cancel, sender); }

void ConfirmPanelController::doneButtonAction(kit::Object* sender) { answer(Button::Done, sender); }

void ConfirmPanelController::answer(Button button, kit::Object* sender) {
    std::function<void()> report = reportFor(button);
    closeWindow(sender);
    if (report) report();
}
