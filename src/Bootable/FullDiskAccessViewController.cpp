#include "Bootable/FullDiskAccessViewController.h"

#include "Bootable/FullDiskAccess.h"
#include "Comm/WindowChrome.h"

FullDiskAccessViewController::FullDiskAccessViewController(const std::string& layoutName)
    : kit::WindowController(layoutName) {
    declareOutlet("window", window_);
    declareOutlet("titleLabel", titleLabel_);
    declareOutlet("textLabel", textLabel_);
    declareOutlet("openButton", openButton_);
    registerAction("closeWindow:", [this](kit::Object*) { closeWindow(); });
    registerAction("openSetView:", [this](kit::Object* s) { openSetView(s); });
}

void FullDiskAccessViewController::awakeFromNib() {
    if (!window_) return;
    window_->setBackgroundColor(kit::Color::clear());
    window_->setMovableByWindowBackground(true);
}

void FullDiskAccessViewController::windowDidLoad() {
    if (!window_) return;
    if (auto* w = dynamic_cast<TCImageWindow*>(window_.get())) dressPopUpTitleBar(*w, window_->frame().width());
    routeCloseButton(*window_, this);
    if (openButton_) {
        openButton_->setButtonEnabled(true);
        openButton_->setImageFromFileNormalName("btn_pri", "btn_pri_press", "btn_pri_hover", "btn_pri_disable");
        openButton_->setTextWithName("Open Settings");
    }
}

void FullDiskAccessViewController::closeWindow() {
    // Closing ends this window's own modal run, and no other.
    if (window_) window_->close();
}

void FullDiskAccessViewController::openSetView(kit::Object*) {
    openedSettings_ = openFullDiskAccessSettings();
    closeWindow();
}
