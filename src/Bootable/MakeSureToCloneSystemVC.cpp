#include "Bootable/MakeSureToCloneSystemVC.h"

#include "kit/ui/Window.h"

MakeSureToCloneSystemVC::MakeSureToCloneSystemVC(const std::string& layoutName) : StatusPanelController(layoutName) {
    declareOutlet("titleLabel", titleLabel_);
    declareOutlet("titleBarView", titleBarView_);
    declareOutlet("nodeLabel", nodeLabel_);
    declareOutlet("cancelButton", cancelButton_);
    declareOutlet("doneButton", doneButton_);
    registerAction("cancelButtonAction:", [this](kit::Object* s) { cancelButtonAction(s); });
    registerAction("doneButtonAction:", [this](kit::Object* s) { doneButtonAction(s); });
    registerAction("closeWindow:", [this](kit::Object* s) { closeWindow(s); });
}

void MakeSureToCloneSystemVC::awakeFromNib() {
    if (cancelButton_) {
        cancelButton_->setButtonEnabled(true);
        cancelButton_->setImageFromFileNormalName("btn_sec", "btn_sec_press", "btn_sec_hover", "btn_sec_disable");
        cancelButton_->setTextWithName("Cancel");
    }
    if (doneButton_) {
        doneButton_->setButtonEnabled(true);
        doneButton_->setImageFromFileNormalName("btn_pri", "btn_pri_press", "btn_pri_hover", "btn_pri_disable");
        doneButton_->setTextWithName("Clone Now");
    }
}

void MakeSureToCloneSystemVC::closeWindow(kit::Object*) {
    // The window drops its hold on this panel when it closes: keep both for
    // the rest of the call.
    std::shared_ptr<kit::Window> window = superDelegate();
    if (window) window->close();
}

void MakeSureToCloneSystemVC::cancelButtonAction(kit::Object* sender) { closeWindow(sender); }

void MakeSureToCloneSystemVC::doneButtonAction(kit::Object* sender) {
    MakeSureToCloneSystemVCDelegate* d = delegate_;
    closeWindow(sender);
    if (d) d->beginToCopySystem();
}
