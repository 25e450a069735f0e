#include "Bootable/MakeSureCancelCloneSystemVC.h"

#include "kit/ui/Window.h"

MakeSureCancelCloneSystemVC::MakeSureCancelCloneSystemVC(const std::string& layoutName)
    : StatusPanelController(layoutName) {
    declareOutlet("titleLabel", titleLabel_);
    declareOutlet("titleBarView", titleBarView_);
    declareOutlet("cancelButton", cancelButton_);
    declareOutlet("doneButton", doneButton_);
    registerAction("cancelButtonAction:", [this](kit::Object* s) { cancelButtonAction(s); });
    registerAction("doneButtonAction:", [this](kit::Object* s) { doneButtonAction(s); });
    registerAction("closeWindow:", [this](kit::Object* s) { closeWindow(s); });
}

void MakeSureCancelCloneSystemVC::awakeFromNib() {
    if (cancelButton_) {
        cancelButton_->setButtonEnabled(true);
        cancelButton_->setImageFromFileNormalName("btn_sec", "btn_sec_press", "btn_sec_hover", "btn_sec_disable");
        cancelButton_->setTextWithName("Cancel");
    }
    if (doneButton_) {
        doneButton_->setButtonEnabled(true);
        doneButton_->setImageFromFileNormalName("btn_pri", "btn_pri_press", "btn_pri_hover", "btn_pri_disable");
        doneButton_->setTextWithName("Continue");
    }
}

void MakeSureCancelCloneSystemVC::closeWindow(kit::Object*) {
    std::shared_ptr<kit::Window> window = superDelegate();
    if (window) window->close();
}

void MakeSureCancelCloneSystemVC::cancelButtonAction(kit::Object* sender) {
    MakeSureCancelCloneSystemVCDelegate* d = delegate_;
    closeWindow(sender);
    if (d) d->cancelToCopySystem();
}

// "Continue": the clone goes on.
void MakeSureCancelCloneSystemVC::doneButtonAction(kit::Object* sender) { closeWindow(sender); }
