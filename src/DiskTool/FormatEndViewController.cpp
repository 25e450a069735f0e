#include "DiskTool/FormatEndViewController.h"

#include "kit/ui/Window.h"

FormatEndViewController::FormatEndViewController(const std::string& layoutName) : StatusPanelController(layoutName) {
    declareOutlet("closeButton", closeButton_);
    declareOutlet("endLabel", endLabel_);
    registerAction("closeWindow", [this](kit::Object* s) { closeWindow(s); });
    registerAction(kit::WindowManagerCloseAction, [this](kit::Object* s) { closeWindow(s); });
}

void FormatEndViewController::awakeFromNib() {
    if (endLabel_) successText_ = endLabel_->stringValue();
    if (!closeButton_) return;
    closeButton_->setEnabled(true);
    closeButton_->setButtonEnabled(true);
    closeButton_->setImageFromFileNormalName("btn_pri", "btn_pri_press", "btn_pri_hover", "btn_pri_disable");
    closeButton_->setTextWithName("OK");
    closeButton_->setTarget(this);
    closeButton_->setAction("closeWindow");
}

void FormatEndViewController::setFormatSucceeded(bool succeeded) {
    view();
    succeeded_ = succeeded;
    if (endLabel_) endLabel_->setStringValue(succeeded ? successText_ : kFailureText);
}

void FormatEndViewController::closeWindow(kit::Object*) {
    std::shared_ptr<kit::Window> window = superDelegate();
    if (window) window->close();
}
