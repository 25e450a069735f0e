#include "DiskList/DiskListWC.h"

#include "Comm/PopWBgView.h"
#include "Comm/TCImageWindow.h"
#include "Comm/WindowChrome.h"
#include "kit/Dispatch.h"
#include "kit/ui/Application.h"

DiskListWC::DiskListWC(const std::string& layoutName) : kit::WindowController(layoutName) {
    declareOutlet("window", window_);
    declareOutlet("titleLabel", titleLabel_);
    registerAction("closeWindow:", [this](kit::Object* s) { closeWindow(s); });
}

DiskListWC::~DiskListWC() {
    if (window_ && window_->delegate() == this) window_->setDelegate(nullptr);
    if (listFileVC_) listFileVC_->setDetagate(nullptr);
}

void DiskListWC::awakeFromNib() {
    if (!window_) return;
    window_->setBackgroundColor(kit::Color::clear());
    window_->setMovableByWindowBackground(true);
}

void DiskListWC::windowDidLoad() {
    aWindow_ = dynamic_cast<TCImageWindow*>(window_.get());
    // Title bar 38 high, the traffic lights 15 in, and the pop-up's top band.
    if (aWindow_) titleBarView_ = dressPopUpTitleBar(*aWindow_, 740);
    if (window_) {
        window_->center();
        window_->setMovableByWindowBackground(true);
        window_->setDelegate(this);
        routeCloseButton(*window_, this);
    }
    isGetSelectSize_ = false;
    if (listFileVC_) {
        listFileVC_->setDetagate(nullptr);
        if (kit::View* old = listFileVC_->view()) old->removeFromSuperview();
    }
    listFileVC_ = std::make_shared<ListFileViewController>();
    listFileVC_->setDetagate(this);
    if (window_ && window_->contentView()) window_->contentView()->addSubview(listFileVC_->viewPtr());
}

void DiskListWC::closeWindow(kit::Object*) {
    if (isGetSelectSize_ || !window_) return;
    // Closing ends this window's own modal run, and no other.
    window_->close();
}

bool DiskListWC::windowShouldClose(kit::Window&) { return !isGetSelectSize_; }

void DiskListWC::windowWillClose(kit::Window&) {
    if (listFileVC_) listFileVC_->windowWillClose();
}

void DiskListWC::closeWindowWithSelect(const FileNodeArray& arr, int64_t withSelectSize) {
    isGetSelectSize_ = false;
    kit::Weak<DiskListWC> self(this);
    kit::dispatch::async(kit::dispatch::mainQueue(), [self] {
        if (self) self->closeWindow(nullptr);
    });
    if (delegate_) delegate_->closeWindowWithSelect(arr, withSelectSize);
}

void DiskListWC::showDetailWithPath(const std::string& path) {
    window();  // the list exists once the window is loaded
    if (listFileVC_) listFileVC_->getRootNodeListWithPath(path);
}

void DiskListWC::getSelectFilesSize(bool counting) { isGetSelectSize_ = counting; }
