#include "ZipDmg/DMGMakeSureWC.h"

#include "kit/ui/Window.h"

DMGMakeSureWC::DMGMakeSureWC(const std::string& layoutName) : StatusPanelController(layoutName) {
    declareOutlet("cancelButton", cancelButton_);
    declareOutlet("doneButton", doneButton_);
    registerAction("cancelButtonAction:", [this](kit::Object* s) { cancelButtonAction(s); });
    registerAction("doneButtonAction:", [this](kit::Object* s) { doneButtonAction(s); });
}

void DMGMakeSureWC::awakeFromNib() {
    if (cancelButton_) {
        cancelButton_->setButtonEnabled(true);
        cancelButton_->setImageFromFileNormalName("btn_sec", "btn_sec_press", "btn_sec_hover", "btn_sec_disable");
        cancelButton_->setTextWithName("Cancel");
    }
    if (doneButton_) {
        doneButton_->setButtonEnabled(true);
        doneButton_->setImageFromFileNormalName("btn_pri", "btn_pri_press", "btn_pri_hover", "btn_pri_disable");
        doneButton_->setTextWithName("Create Image");
    }
}

void DMGMakeSureWC::closeWindow(kit::Object*) {
    // The window drops its hold on this panel when it closes: keep it for the
    // rest of the call.
    std::shared_ptr<kit::Window> window = superDelegate();
    if (window) window->close();
}

void DMGMakeSureWC::cancelButtonAction(kit::Object* sender) { closeWindow(sender); }

void DMGMakeSureWC::doneButtonAction(kit::Object* sender) {
    DMGMakeSureWCDelegate* d = delegate_;
    closeWindow(sender);
    if (d) d->beginToMakeDMGorZIP();
}
