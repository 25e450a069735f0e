#include "Comm/PopWindow/ConfirmPanelController.h"

ConfirmPanelController::ConfirmPanelController(const std::string& layoutName, std::string doneText)
    : StatusPanelController(layoutName), doneText_(std::move(doneText)) {
    declareOutlet("doneButton", doneButton_);
    registerAction("cancelButtonAction:", [this](kit::Object* s) { cancelButtonAction(s); });
    registerAction("doneButtonAction:", [this](kit::Object* s) { doneButtonAction(s); });
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
