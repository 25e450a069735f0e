#include "DiskTool/MakeSureFormatViewController.h"

#include <algorithm>
#include <cctype>

#include "Comm/PopWindow/RMAAttachedWindow.h"
#include "Comm/getColor.h"
#include "kit/Dispatch.h"
#include "kit/Format.h"
#include "kit/ui/Window.h"

namespace {

bool holdsApfs(std::string type) {
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return type.find("apfs") != std::string::npos;
}

}  // namespace

MakeSureFormatViewController::MakeSureFormatViewController(const std::string& layoutName)
    : StatusPanelController(layoutName) {
    declareOutlet("okButton", okButton_);
    declareOutlet("noButton", noButton_);
    declareOutlet("nameTextFiled", nameTextFiled_);
    declareOutlet("typeLabel", typeLabel_);
    declareOutlet("nodeLabel", nodeLabel_);
    declareOutlet("nameLabel", nameLabel_);
    declareOutlet("typeSelectBut", typeSelectBut_);
    declareOutlet("openImageV", openImageV_);
    declareOutlet("formatView", formatView_);
    declareOutlet("makeSureView", makeSureView_);
    declareOutlet("loading", loading_);
    registerAction("okButtonAction", [this](kit::Object* s) { okButtonAction(s); });
    registerAction("noButtonAction", [this](kit::Object* s) { noButtonAction(s); });
    registerAction(kit::WindowManagerCloseAction, [this](kit::Object* s) { noButtonAction(s); });
    registerAction("openMenuAction:", [this](kit::Object* s) { openMenuAction(s); });
}

MakeSureFormatViewController::~MakeSureFormatViewController() {
    // A menu still up goes with its confirmation.
    if (formatTypeVC_) formatTypeVC_->setDelegate(nullptr);
    if (sortAttachedWindow_) {
        if (kit::Window* parent = sortAttachedWindow_->parentWindow()) parent->removeChildWindow(sortAttachedWindow_.get());
        sortAttachedWindow_->orderOut();
    }
}

void MakeSureFormatViewController::awakeFromNib() {
    if (okButton_) {
        okButton_->setEnabled(true);
        okButton_->setButtonEnabled(true);
        okButton_->setImageFromFileNormalName("btn_pri", "btn_pri_press", "btn_pri_hover", "btn_pri_disable");
        okButton_->setTextWithName("Continue");
        okButton_->setTarget(this);
        okButton_->setAction("okButtonAction");
    }
    if (noButton_) {
        noButton_->setEnabled(true);
        noButton_->setButtonEnabled(true);
        noButton_->setImageFromFileNormalName("btn_sec", "btn_sec_press", "btn_sec_hover", "btn_sec_disable");
        noButton_->setTextWithName("Cancel");
        noButton_->setTarget(this);
        noButton_->setAction("noButtonAction");
    }
}

void MakeSureFormatViewController::setName(const std::string& name, const std::string& setType) {
    view();   // the outlets are bound once the layout is loaded
    // A long name is cut in its middle, so the question keeps its start and its end.
    nameLabel_->setLineBreakMode(kit::LineBreakMode::TruncatingMiddle);
    nameLabel_->setStringValue(kit::format("Format '%@'?", name));
    nameLabel_->setToolTip(name);
    nodeLabel_->setStringValue(
        kit::format("All data on '%@' will be deleted after format, do you want to format it?", name));
    nameTextFiled_->setEditable(false);
    nameTextFiled_->setStringValue(name);
    typeLabel_->setStringValue(setType);
    typeLabel_->setTextColor(getColor(79, 79, 98, 1));
    openImageV_->setHidden(false);
    if (holdsApfs(setType)) {
        // APFS is reformatted in place: its type can't change.
        typeLabel_->setTextColor(getColor(0, 0, 0, 0.6f));
        openImageV_->setHidden(true);
        typeSelectBut_->setEnabled(false);
    }
    // The field opens for typing once the panel is up (a later turn of the main loop).
    kit::Weak<MakeSureFormatViewController> self(this);
    kit::dispatch::async(kit::dispatch::globalQueue(), [self] {
        kit::dispatch::async(kit::dispatch::mainQueue(), [self] {
            if (MakeSureFormatViewController* p = self.get()) p->chengTextStart();
        });
    });
}

void MakeSureFormatViewController::chengTextStart() {
    if (nameTextFiled_) nameTextFiled_->setEditable(true);
}

void MakeSureFormatViewController::okButtonAction(kit::Object*) {
    // The window lets go of this panel when it closes: keep it for the call.
    std::shared_ptr<kit::Window> window = superDelegate();
    const std::string name = nameTextFiled_ ? nameTextFiled_->text() : std::string();
    const std::string type = typeLabel_ ? typeLabel_->stringValue() : std::string();
    if (MakeSureFormatVCDelegate* d = delegate()) d->makeSureToFormatSelectVolumeWithName(name, type);
    closeWindow();
}

void MakeSureFormatViewController::noButtonAction(kit::Object*) {
    std::shared_ptr<kit::Window> window = superDelegate();
    if (MakeSureFormatVCDelegate* d = delegate()) d->cancelFormatVoluem();
    closeWindow();
}

void MakeSureFormatViewController::closeWindow() {
    menuClose_.close();
    std::shared_ptr<kit::Window> window = superDelegate();
    if (window) window->close();
}

void MakeSureFormatViewController::openMenuAction(kit::Object*) {
    if (typeSelectBut_ && !typeSelectBut_->isEnabled()) return;
    std::shared_ptr<kit::Window> host = superDelegate();
    if (!host) return;
    kit::Weak<MakeSureFormatViewController> self(this);
    // A menu the pointer has not entered yet stays the only one.
    if (!menuClose_.open([self] {
            if (MakeSureFormatViewController* p = self.get())
                p->closeMenuWindow(p->formatTypeVC_, p->sortAttachedWindow_);
        }))
        return;
    if (formatTypeVC_) formatTypeVC_->setDelegate(nullptr);
    formatTypeVC_ = std::make_shared<FormatTypeViewController>("FormatTypeViewController");
    formatTypeVC_->setDelegate(this);
    sortAttachedWindow_ = RMAAttachedWindow::initWithView(formatTypeVC_->viewPtr(), kMenuPoint, host.get(),
                                                          AttachedWindowSideTop, 0.0f, 0.8f);
    if (!sortAttachedWindow_) {
        menuClose_.close();
        return;
    }
    host->addChildWindow(sortAttachedWindow_, kit::WindowOrderingMode::Above);
}

void MakeSureFormatViewController::selectFormatbyType(int32_t type) {
    if (const char* text = formatTypeText(type); text && typeLabel_) typeLabel_->setStringValue(text);
    mouseEixtView(true);
}

void MakeSureFormatViewController::mouseEixtView(bool left) {
    if (left) menuClose_.pointerLeft();
    else menuClose_.pointerEntered();
}

void MakeSureFormatViewController::closeMattachedWindow() { menuClose_.close(); }

void MakeSureFormatViewController::closeMenuWindow(std::shared_ptr<FormatTypeViewController> menu,
                                                   std::shared_ptr<RMAAttachedWindow> window) {
    if (menu == formatTypeVC_) {
        if (formatTypeVC_) formatTypeVC_->setDelegate(nullptr);
        formatTypeVC_.reset();
        sortAttachedWindow_.reset();
    }
    // Off the screen on the next turn: the menu's own click may be on the stack.
    kit::dispatch::async(kit::dispatch::mainQueue(), [menu, window] {
        if (!window) return;
        if (kit::Window* parent = window->parentWindow()) parent->removeChildWindow(window.get());
        window->orderOut();
    });
}
