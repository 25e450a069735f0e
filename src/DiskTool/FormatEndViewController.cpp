#include "DiskTool/FormatEndViewController.h"

#include "kit/Format.h"
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

std::string FormatEndViewController::failureTextFor(const FormatResult& result) {
    if (!result.renamed) return kFailureText;
    return kit::format(result.keepsItsFiles
                           ? "The volume was renamed to '%@' but could not be formatted. Its files were not changed."
                           : "The volume was renamed to '%@' but could not be formatted.",
                       result.name);
}

void FormatEndViewController::setFormatResult(const FormatResult& result) {
    view();
    succeeded_ = result.ok;
    if (endLabel_) endLabel_->setStringValue(result.ok ? successText_ : failureTextFor(result));
}

void FormatEndViewController::closeWindow(kit::Object*) {
    std::shared_ptr<kit::Window> window = superDelegate();
    if (window) window->close();
}
