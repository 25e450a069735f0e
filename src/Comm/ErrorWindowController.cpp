#include "Comm/ErrorWindowController.h"

#include "Comm/CommClasses.h"

ErrorWindowController::ErrorWindowController(const std::string& layoutName) : StatusPanelController(layoutName) {
    declareOutlet("errorLabel", errorLabel_);
    declareOutlet("okButton", okButton_);
    registerAction("okButtonAction:", [this](kit::Object* s) { okButtonAction(s); });
    registerAction(kit::WindowManagerCloseAction, [this](kit::Object* s) { okButtonAction(s); });
}

void ErrorWindowController::awakeFromNib() {
    okButton_->setButtonEnabled(true);
    okButton_->setImageFromFileNormalName("btn_sec", "btn_sec_press", "btn_sec_hover", "btn_sec_disable");
    okButton_->setTextWithName("Done");
    if (pendingText_) {
        errorLabel_->setStringValue(*pendingText_);
        pendingText_.reset();
    }
}

void ErrorWindowController::changeErrorLabelStr(const std::string& text) {
    if (!errorLabel_) {
        // The label comes with the view; keep the text until then.
        pendingText_ = text;
        return;
    }
    errorLabel_->setStringValue(text);
    errorLabel_->setNeedsDisplay(true);
}

void ErrorWindowController::closeWindow(kit::Object*) {
    // The window drops this controller when it closes; keep our hold on it
    // for the length of the call.
    if (std::shared_ptr<kit::Window> window = superDelegate()) window->close();
}

void ErrorWindowController::okButtonAction(kit::Object* sender) { closeWindow(sender); }
