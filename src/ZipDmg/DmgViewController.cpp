#include "ZipDmg/DmgViewController.h"

#include <ctime>

#include "Comm/CopyFolder.h"
#include "Comm/CopyModeMenu.h"
#include "Comm/ErrorWindowController.h"
#include "Comm/PopWindow/RMAAttachedWindow.h"
#include "Comm/PopWindow/StatusPanel.h"
#include "Comm/ScreenSelection.h"
#include "Comm/getColor.h"
#include "Disk/OVPublicUtilities.h"
#include "Disk/VolumeObj.h"
#include "DiskList/GetFilesSize.h"
#include "ZipDmg/DMGMakeSureWC.h"
#include "kit/Dispatch.h"
#include "kit/Format.h"
#include "kit/SysPath.h"
#include "kit/System.h"
#include "kit/Workspace.h"
#include "kit/ui/Application.h"
#include "kit/ui/AttributedText.h"
#include "kit/ui/Image.h"
#include "kit/ui/Font.h"
#include "kit/ui/Window.h"

namespace {

constexpr const char* kSameDrive =
    "You can\u2019t select the source drive as the destination drive, just select another drive.";
constexpr const char* kNoSpace = "Insufficient disk space on this destination drive, please select another drive.";
constexpr const char* kNothingChosen = "No file has been selected\u2026";
constexpr const char* kFailed = "Operation failed.";
constexpr const char* kStopped = "You have stopped the process.";
constexpr const char* kPickSource = "Click here to select a source drive.";
constexpr const char* kPickDestination = "Click here to select a destination drive.";
constexpr const char* kOpenPhrase = "the disk image on the destination drive.";
constexpr const char* kAllFiles = "Copy All Files";
// The engine adds this much to every image it makes.
constexpr int64_t kImageMargin = 50000000;
constexpr double kStartDelay = 0.3;

void trace(const std::string& line) { OVPublicUtilities::writeFileWithTab(line); }
std::string llu(int64_t v) { return kit::format("%llu", static_cast<unsigned long long>(v)); }

constexpr int32_t kSource = 1;
constexpr int32_t kDestination = 2;

}  // namespace

DmgViewController::DmgViewController(const std::string& layoutName) : kit::ViewController(layoutName) {
    declareOutlet("comboBoxView", comboBoxView_);
    declareOutlet("selectFromView", selectFromView_);
    declareOutlet("selectToView", selectToView_);
    declareOutlet("cloneButton", cloneButton_);
    declareOutlet("makeZipBut", makeZipBut_);
    declareOutlet("makeDmgBut", makeDmgBut_);
    declareOutlet("topLabel", topLabel_);
    declareOutlet("setpView", setpView_);
    declareOutlet("rogressView", rogressView_);
    declareOutlet("pathLabel", pathLabel_);
    declareOutlet("cancelButton", cancelButton_);
    declareOutlet("setp_2", setp_2_);
    declareOutlet("selectDiskView", selectDiskView_);
    declareOutlet("copyProgressView", copyProgressView_);
    declareOutlet("progressView", progressView_);
    declareOutlet("endView", endView_);
    declareOutlet("sussView", sussView_);
    declareOutlet("failView", failView_);
    declareOutlet("failCancelButton", failCancelButton_);
    declareOutlet("succCancelButton", succCancelButton_);
    declareOutlet("openLabel", openLabel_);
    declareOutlet("openButton", openButton_);
    declareOutlet("errorLable", errorLable_);
    registerAction("cloneButtonAction:", [this](kit::Object* s) { cloneButtonAction(s); });
    registerAction("makeDmgButAction:", [this](kit::Object* s) { makeDmgButAction(s); });
    registerAction("makeZipButAction:", [this](kit::Object* s) { makeZipButAction(s); });
    registerAction("cancelButtonAction:", [this](kit::Object* s) { cancelButtonAction(s); });
    registerAction("failCancelButtonAction:", [this](kit::Object* s) { failCancelButtonAction(s); });
    registerAction("succCancelButtonAction:", [this](kit::Object* s) { succCancelButtonAction(s); });
    registerAction("openPathButtonAction", [this](kit::Object*) { openPathButtonAction(); });
}

DmgViewController::~DmgViewController() {
    if (controller_) controller_->setADelegate(nullptr);
    if (aTimer_) aTimer_->invalidate();
    if (makeDmg_) {
        makeDmg_->setMakeDmgDelegate(nullptr);
        if (runGuard_.isRunning()) {
            makeDmg_->setIsCancelCopy(true);
            makeDmg_->stopMakeDmg();
        }
    }
    dropCount_.cancel();
    if (sizeCounter_) sizeCounter_->setDelegate(nullptr);
    runGuard_.end();
    modeMenu_.detach();
    if (diskListWC_) diskListWC_->setDelegate(nullptr);
    if (selectFromVC_) selectFromVC_->setDelegate(nullptr);
    if (selectToVC_) selectToVC_->setDelegate(nullptr);
    if (lComboBox_) lComboBox_->setLconboBoxDelegate(nullptr);
    if (selectDiskVC_) selectDiskVC_->setSelectDiskVCDelegate(nullptr);
}

kit::Window* DmgViewController::mainWindow() { return view() ? view()->window() : nullptr; }

// ---------------------------------------------------------------------------
// Set-up

void DmgViewController::awakeFromNib() {
    isMakeZip_ = false;
    makeDmg_ = std::make_shared<MakeDmg>();
    makeDmg_->setMakeDmgDelegate(this);
    controller_ = std::make_shared<Controller>();
    controller_->setADelegate(this);
    setCloneButtonEnabled(false);
    if (cloneButton_) {
        cloneButton_->setImageFromFileNormalName("btn_main", "btn_main_press", "btn_main_hover", "btn_main_disable");
        cloneButton_->setTextWithName("Create Now");
    }
    selectFilesSize_ = usedSize_ = freeSize_ = -1;

    lComboBox_ = std::make_shared<LComboBox>("LComboBox");
    lComboBox_->setLconboBoxDelegate(this);
    lComboBox_->setlComboBoxEnde(false);
    if (comboBoxView_) {
        comboBoxView_->addSubview(lComboBox_->viewPtr());
        comboBoxView_->setHidden(true);
    }
    lComboBox_->setStrLabelValue("Copy All Files");

    if (topLabel_) {
        kit::AttributedString heading(topLabel_->stringValue());
        heading.setLineSpacing(3.0);
        heading.setAlignment(kit::TextAlignment::Center);
        topLabel_->setAttributedStringValue(heading);
    }
    isDragValue_ = false;

    selectFromVC_ = std::make_shared<SelectValueView>();
    selectFromVC_->setDiskFrom(kSource);
    selectFromVC_->setDelegate(this);
    if (selectFromView_) selectFromView_->addSubview(selectFromVC_->viewPtr());
    resetSourceSlot();
    selectFromVC_->setOpenIcon();

    selectToVC_ = std::make_shared<SelectValueView>();
    selectToVC_->setDiskFrom(kDestination);
    selectToVC_->setDelegate(this);
    if (selectToView_) selectToView_->addSubview(selectToVC_->viewPtr());
    // Only the source slot takes drops.
    if (selectToVC_->dragVie()) selectToVC_->dragVie()->removeFromSuperview();
    resetDestinationSlot();
    selectToVC_->setOpenIcon();

    setButtonTitleColor();

    setpVC_ = std::make_shared<SetpViewController>("SetpViewController");
    if (setpView_) setpView_->addSubview(setpVC_->viewPtr());
    setpVC_->setSetpIn(1);
    setpVC_2_ = std::make_shared<SetpViewController>("SetpViewController");
    if (setp_2_) setp_2_->addSubview(setpVC_2_->viewPtr());
    setpVC_2_->setSetpIn(2);
    for (SetpViewController* steps : {setpVC_.get(), setpVC_2_.get()})
        if (steps->label_2()) steps->label_2()->setStringValue("Create Disk Image");

    // The run page.
    if (rogressView_) rogressView_->setFloatValue(0);
    auto secondary = [](auto& button, const char* text) {
        if (!button) return;
        button->setButtonEnabled(true);
        button->setImageFromFileNormalName("btn_sec", "btn_sec_press", "btn_sec_hover", "btn_sec_disable");
        button->setTextWithName(text);
    };
    secondary(cancelButton_, "Cancel");
    secondary(failCancelButton_, "Cancel");
    secondary(succCancelButton_, "Done");
    if (openButton_) {
        openButton_->setTarget(this);
        openButton_->setAction("openPathButtonAction");
    }
    if (failView_) failView_->setHidden(true);
    if (sussView_) sussView_->setHidden(true);
}

// ---------------------------------------------------------------------------
// Slots

void DmgViewController::setSlotPicture(SelectValueView* slot, const std::string& imageName) {
    if (slot && slot->selectDiskBut()) slot->selectDiskBut()->setImage(kit::Image::named(imageName));
}

void DmgViewController::setCloneButtonEnabled(bool enabled) {
    if (cloneButton_) cloneButton_->setButtonEnabled(enabled);
}

void DmgViewController::resetSourceSlot() {
    SelectValueView* slot = selectFromVC_.get();
    if (!slot) return;
    slot->setIsHaveD(false);
    setSlotPicture(slot, "add");
    slot->nameLabel()->setStringValue("");
    slot->sizeLabel()->setStringValue("");
    slot->nodeSelectLabel()->setStringValue(kPickSource);
    if (slot->closeDisk()) slot->closeDisk()->setHidden(true);
    slot->changeBgImageViewWithError(false);
}

void DmgViewController::resetDestinationSlot() {
    SelectValueView* slot = selectToVC_.get();
    if (!slot) return;
    slot->setIsHaveD(false);
    setSlotPicture(slot, "add");
    slot->nameLabel()->setStringValue("");
    slot->sizeLabel()->setStringValue("");
    slot->nodeSelectLabel()->setStringValue(kPickDestination);
    if (slot->closeDisk()) slot->closeDisk()->setHidden(true);
    slot->changeBgImageViewWithError(false);
}

void DmgViewController::showVolumeInSlot(SelectValueView* slot, const VolumeObj& volume) {
    slot->nameLabel()->setStringValue(volume.volumeName());
    slot->nodeSelectLabel()->setStringValue("");
    slot->setIsHaveD(true);
    setSlotPicture(slot, screen::slotImageForVolume(volume));
    slot->changeBgImageViewWithError(false);
    if (slot->closeDisk()) slot->closeDisk()->setHidden(false);
}

void DmgViewController::showSourceAsWholeVolume() {
    if (!fromeVolume_ || !selectFromVC_) return;
    usedSize_ = screen::usedBytes(*fromeVolume_);
    showVolumeInSlot(selectFromVC_.get(), *fromeVolume_);
    selectFromVC_->sizeLabel()->setStringValue(
        kit::format("%@ selected", OVPublicUtilities::longlongDiskSize(usedSize_)));
}

void DmgViewController::resetModeQuietly() {
    if (!lComboBox_) return;
    quietModeReset_ = true;
    lComboBox_->changeSelectType(CopyModeAllFiles);
    quietModeReset_ = false;
}

void DmgViewController::selectDiskButton(int slotId, kit::View* sender) {
    if (popoverController_ && popoverController_->popoverIsVisible()) {
        popoverController_->closePopover(nullptr);
        return;
    }
    if (!sender) return;
    openPopType_ = uint64_t(slotId);
    if (selectDiskVC_) selectDiskVC_->setSelectDiskVCDelegate(nullptr);
    selectDiskVC_ = std::make_shared<SelectDiskViewController>();
    selectDiskVC_->setSelectDiskVCDelegate(this);
    popoverController_ = std::make_shared<YLPopoverController>(selectDiskVC_);
    popoverController_->setColor(kit::Color::rgb255(66, 66, 88));
    popoverController_->setBorderColor(kit::Color::rgb255(86, 123, 194));
    popoverController_->setBorderWidth(0.5);
    popoverController_->setAnimates(true);
    popoverController_->presentPopoverFromRect(sender->bounds(), sender,
                                               slotId == kDestination ? PopoverArrowRight : PopoverArrowLeft, true);
}

void DmgViewController::doSelectDiskWithVolume(const std::shared_ptr<VolumeObj>& volume) {
    if (popoverController_ && popoverController_->popoverIsVisible()) popoverController_->closePopover(nullptr);
    if (!volume) return;
    if (openPopType_ == uint64_t(kSource)) {
        // A new source ends whatever the old one was waiting for.
        dropCount_.cancel();
        pendingList_.reset();
        if (toVolume_ && screen::sameVolume(volume.get(), toVolume_.get())) {
            filesArr_.reset();
            fromeVolume_.reset();
            usedSize_ = -1;
            selectFilesSize_ = -1;
            isDragValue_ = false;
            resetSourceSlot();
            resetModeQuietly();
            setCloneButtonEnabled(false);
            lComboBox_->setlComboBoxEnde(false);
            comboBoxView_->setHidden(true);
            showErrorWindowWithErrorStr(kSameDrive);
            return;
        }
        // The sizes of the new source are in place before the mode reset, so
        // no check runs with the old source's.
        fromeVolume_ = volume;
        selectFilesSize_ = -1;
        filesArr_.reset();
        isDragValue_ = false;
        showSourceAsWholeVolume();
        trace("0---0-------------------------------\n");
        trace(kit::format("USEDSIZE : %@ \n", llu(usedSize_)));
        trace(kit::format("TotalSIZE : %@ \n", llu(volume->volumeTotalSizeNum())));
        trace(kit::format("FreeSIZE : %@ \n", llu(volume->volumeFreeSizeNum())));
        trace("0---0-------------------------------\n");
        resetModeQuietly();
        lComboBox_->setlComboBoxEnde(true);
        comboBoxView_->setHidden(false);
        changeSelectCopyType();
    } else {
        if (fromeVolume_ && screen::sameVolume(volume.get(), fromeVolume_.get())) {
            toVolume_.reset();
            freeSize_ = -1;
            resetDestinationSlot();
            setCloneButtonEnabled(false);
            if (usedSize_ != -1 || isDragValue_) lComboBox_->setlComboBoxEnde(true);
            showErrorWindowWithErrorStr(kSameDrive);
            return;
        }
        toVolume_ = volume;
        showVolumeInSlot(selectToVC_.get(), *volume);
        selectToVC_->sizeLabel()->setStringValue(kit::format("%@ free", volume->volumeFreeSize()));
        freeSize_ = volume->volumeFreeSizeNum();
        trace("1---0-------------------------------\n");
        trace(kit::format("freeSize : %@ \n", llu(freeSize_)));
        trace("1---2-------------------------------\n");
        changeSelectCopyType();
    }
}

void DmgViewController::closeDiskValue(int slotId) {
    if (slotId == kSource) {
        dropCount_.cancel();
        pendingList_.reset();
        filesArr_.reset();
        fromeVolume_.reset();
        usedSize_ = -1;
        selectFilesSize_ = -1;
        resetSourceSlot();
        resetModeQuietly();
        lComboBox_->setlComboBoxEnde(false);
        isDragValue_ = false;
        comboBoxView_->setHidden(true);
    } else {
        toVolume_.reset();
        freeSize_ = -1;
        resetDestinationSlot();
        if (usedSize_ != -1 || isDragValue_) lComboBox_->setlComboBoxEnde(true);
    }
    setCloneButtonEnabled(false);
}

void DmgViewController::viewDragAction(const std::vector<FileNode::Ptr>& nodes) {
    pendingList_.reset();
    resetModeQuietly();
    isDragValue_ = true;
    filesArr_ = std::make_shared<FileNodeList>(nodes);
    SelectValueView* slot = selectFromVC_.get();
    slot->setIsHaveD(true);
    slot->nameLabel()->setStringValue("Drag some files");
    slot->sizeLabel()->setStringValue(kit::format("%d files selected", int(nodes.size())));
    slot->nodeSelectLabel()->setStringValue("");
    setSlotPicture(slot, "ic_folder");
    lComboBox_->setlComboBoxEnde(true);
    slot->changeBgImageViewWithError(false);
    if (slot->closeDisk()) slot->closeDisk()->setHidden(false);
    // The drop is measured by its bytes before any check lets it through.
    startDropCount();
}

void DmgViewController::startDropCount() {
    selectFilesSize_ = screen::kCounting;
    setCloneButtonEnabled(false);
    const auto number = dropCount_.next();
    FileNodeList nodes = filesArr_ ? *filesArr_ : FileNodeList();
    kit::Weak<DmgViewController> self(this);
    kit::dispatch::async(kit::dispatch::globalQueue(), [self, nodes, number, this] {
        const int64_t bytes = screen::countChosenBytes(nodes);
        kit::dispatch::async(kit::dispatch::mainQueue(), [self, bytes, number, this] {
            if (!self || !dropCount_.isCurrent(number) || !isDragValue_) return;
            selectFilesSize_ = bytes;
            changeSelectCopyType();
        });
    });
}

// ---------------------------------------------------------------------------
// Space check and "Copy Now"

void DmgViewController::applySpaceCheck(bool withMessage) {
    const screen::Space verdict =
        screen::checkSpace(selectFilesSize_, usedSize_, freeSize_, isDragValue_, imageMargin());
    switch (verdict) {
    case screen::Space::Unknown:
        // One side is missing: the slot resets have already disabled "Copy Now".
        return;
    case screen::Space::Counting:
        setCloneButtonEnabled(false);
        return;
    case screen::Space::TooLarge:
        lComboBox_->changeSelectType(CopyModeSomeFiles);
        lComboBox_->setlComboBoxEnde(false);
        setCloneButtonEnabled(false);
        setSlotPicture(selectToVC_.get(), "add");
        selectToVC_->changeBgImageViewWithError(true);
        if (withMessage) showErrorWindowWithErrorStr(kNoSpace);
        return;
    case screen::Space::Fits:
        lComboBox_->setlComboBoxEnde(true);
        setCloneButtonEnabled(!isListingVolume());
        selectToVC_->changeBgImageViewWithError(false);
        if (toVolume_) setSlotPicture(selectToVC_.get(), screen::slotImageForVolume(*toVolume_));
        return;
    }
}

int64_t DmgViewController::imageMargin() const { return isMakeZip_ ? 0 : kImageMargin; }

void DmgViewController::changeSelectCopyType() {
    if (quietModeReset_) return;
    if (usedSize_ != -1 && freeSize_ != -1 && selectFilesSize_ != screen::kCounting) {
        if (selectFilesSize_ == -1) {
            trace("4---0-------------------------------\n");
            trace(kit::format("selectFilesSize : %@ \n", llu(selectFilesSize_)));
            trace(kit::format("usedSize : %@ \n", llu(usedSize_)));
            trace(kit::format("freeSize : %@ \n", llu(freeSize_)));
            trace("4---2-------------------------------\n");
        } else {
            trace("5---0-------------------------------\n");
            trace(kit::format("selectFilesSize : %@ \n", llu(selectFilesSize_)));
            trace(kit::format("freeSize : %@ \n", llu(freeSize_)));
            trace("5---2-------------------------------\n");
        }
    }
    applySpaceCheck(true);
}

void DmgViewController::changeCloneButtonActon() { applySpaceCheck(false); }

void DmgViewController::cloneButtonAction(kit::Object*) {
    if (runGuard_.isRunning() || isListingVolume()) return;
    if (filesArr_) {
        doMakeZip();
        return;
    }
    if (!fromeVolume_) return;
    // The whole volume: its top level is listed at its mount point first;
    // "Create Now" waits for the whole list.
    pendingList_ = makeFileNodeArray();
    setCloneButtonEnabled(false);
    controller_->eumeAllRootFileNodeWithRootArr(pendingList_, fromeVolume_->volumeMountPoint(), true, false);
}

void DmgViewController::endScanFiles() {
    kit::Weak<DmgViewController> self(this);
    kit::dispatch::async(kit::dispatch::mainQueue(), [self] {
        if (self) self->listingEnded();
    });
}

void DmgViewController::listingEnded() {
    // Only the listing "Create Now" started, and only once it is complete.
    if (!pendingList_ || controller_->aRootArr() != pendingList_ || controller_->isListing()) return;
    filesArr_ = pendingList_;
    pendingList_.reset();
    changeCloneButtonActon();
    doMakeZip();
}

void DmgViewController::getZipFilePathArr(const std::vector<FileNode::Ptr>& nodes, std::vector<std::string>& withZipArr) {
    for (const auto& node : nodes) {
        if (!node) continue;
        if (node->state() == 1) withZipArr.push_back(node->path());
        else if (node->state() == 2) getZipFilePathArr(node->children(), withZipArr);
    }
}

void DmgViewController::doMakeZip() {
    if (runGuard_.isRunning()) return;
    zipFilesArr_.clear();
    if (filesArr_) getZipFilePathArr(*filesArr_, zipFilesArr_);
    if (zipFilesArr_.empty()) {
        showErrorWindowWithErrorStr(kNothingChosen);
        return;
    }
    kit::Window* main = mainWindow();
    if (!main) return;
    auto panel = std::make_shared<DMGMakeSureWC>("DMGMakeSureWC");
    panel->setDelegate(this);
    if (kit::View* v = panel->view()) v->setFrameSize(main->frame().size);
    if (showStatusPanel(panel, *main)) makeSureWC_ = panel;
}

void DmgViewController::showErrorWindowWithErrorStr(const std::string& message) {
    if (auto panel = screen::showMessagePanel(mainWindow(), message)) errorWC_ = panel;
}

// ---------------------------------------------------------------------------
// Copy mode

void DmgViewController::showSelectAllVC() { modeMenu_.show(mainWindow(), this); }

void DmgViewController::selectFormatbyType(int32_t type) {
    if (type == CopyModeAllFiles) {
        if (isDragValue_) {
            // All the dropped items again.
            if (filesArr_)
                for (const auto& n : *filesArr_) controller_->changeChildrenFilNodeStateWithFileNode(n, 1);
            lComboBox_->changeSelectType(CopyModeAllFiles);
            startDropCount();
        } else {
            // The whole volume: an earlier choice of files no longer counts.
            filesArr_.reset();
            selectFilesSize_ = -1;
            showSourceAsWholeVolume();
            lComboBox_->changeSelectType(CopyModeAllFiles);
        }
    } else {
        lComboBox_->changeSelectType(type);
    }
    mouseEixtView(true);
}

void DmgViewController::mouseEixtView(bool left) { modeMenu_.pointerMoved(left); }

void DmgViewController::closeMattachedWindow() { modeMenu_.close(); }

// ---------------------------------------------------------------------------
// File choice

void DmgViewController::doShowSearchView() {
    if (!fromeVolume_ && !isDragValue_) return;
    screen::openFileChoice(diskListWC_, this, filesArr_, fromeVolume_);
}

void DmgViewController::closeWindowWithSelect(const FileNodeArray& arr, int64_t withSelectSize) {
    kit::Weak<DmgViewController> self(this);
    kit::dispatch::async(kit::dispatch::mainQueue(), [self, arr, withSelectSize, this] {
        if (!self || runGuard_.isRunning()) return;
        filesArr_ = arr ? arr : makeFileNodeArray();
        const screen::Choice choice = screen::summarizeChoice(*filesArr_);
        const screen::HandBack hb = screen::sizeOfHandBack(*filesArr_, withSelectSize, isDragValue_);
        SelectValueView* slot = selectFromVC_.get();
        if (hb.kind == screen::HandBack::WholeVolume && fromeVolume_) {
            showSourceAsWholeVolume();
        } else if (hb.kind == screen::HandBack::WholeDrop) {
            // Every dropped item again: the drop's own labels, its bytes counted anew.
            slot->nameLabel()->setStringValue("Drag some files");
            slot->sizeLabel()->setStringValue(kit::format("%d files selected", int(filesArr_->size())));
            setSlotPicture(slot, "ic_folder");
        } else {
            slot->nameLabel()->setStringValue(kit::format("%d files/folders", choice.chosen));
            slot->sizeLabel()->setStringValue(
                kit::format("%@ selected", OVPublicUtilities::longlongConvertVolSpace(
                                               hb.kind == screen::HandBack::Files ? hb.selectFilesSize : 0)));
            setSlotPicture(slot, "ic_folder");
        }
        slot->nodeSelectLabel()->setStringValue("");
        slot->setIsHaveD(true);
        slot->changeBgImageViewWithError(false);
        comboBoxView_->setHidden(false);
        selectFilesSize_ = hb.selectFilesSize;
        trace("3---0-------------------------------\n");
        trace(kit::format("freeSiselectFilesSizeze : %@ \n", llu(selectFilesSize_)));
        trace("3---2-------------------------------\n");
        if (hb.kind == screen::HandBack::WholeDrop) startDropCount();
        changeCloneButtonActon();
    });
}

// ---------------------------------------------------------------------------
// Output choice

void DmgViewController::setButtonTitleColor() {
    for (kit::Button* b : {makeDmgBut_.get(), makeZipBut_.get()}) {
        if (!b) continue;
        b->setFont(kit::Font::systemFont(13));
        b->buttonCell()->setTitleColor(getColor(79, 79, 98, 1.0));
        b->setAlignment(kit::TextAlignment::Left);
    }
}

void DmgViewController::makeDmgButAction(kit::Object*) {
    makeDmgBut_->setImage(kit::Image::named("radiobutton_sel"));
    makeZipBut_->setImage(kit::Image::named("radiobutton_unsel"));
    makeDmgBut_->setState(kit::CellState(1));
    makeZipBut_->setState(kit::CellState(0));
    isMakeZip_ = false;
    // The image needs its margin on top of the items: check again, quietly.
    if (!runGuard_.isRunning()) changeCloneButtonActon();
}

void DmgViewController::makeZipButAction(kit::Object*) {
    makeZipBut_->setImage(kit::Image::named("radiobutton_sel"));
    makeDmgBut_->setImage(kit::Image::named("radiobutton_unsel"));
    makeZipBut_->setState(kit::CellState(1));
    makeDmgBut_->setState(kit::CellState(0));
    isMakeZip_ = true;
    if (!runGuard_.isRunning()) changeCloneButtonActon();
}

// ---------------------------------------------------------------------------
// The run

std::string DmgViewController::destinationFolder(const std::string& mountPoint, int systemVersion) {
    if (mountPoint == kit::sysPath("/") && systemVersion > 1014) return screen::userDesktopFolder();
    return mountPoint;
}

std::string DmgViewController::destinationMountPoint() const {
    return toVolume_ ? toVolume_->volumeMountPoint() : std::string();
}

std::string DmgViewController::getCreateName() {
    return screen::copyFolderName(screen::copyStamp(std::time(nullptr)));
}

void DmgViewController::beginToMakeDMGorZIP() {
    if (runGuard_.isRunning() || zipFilesArr_.empty() || !toVolume_) return;
    selectDiskView_->setHidden(true);
    copyProgressView_->setHidden(false);
    pathLabel_->setStringValue(" ");
    rogressView_->animator().setFloatValue(0);
    canChangeTab(false);
    const screen::RunGuard::Token token = runGuard_.start();
    if (makeDmg_) makeDmg_->setMakeDmgDelegate(this);

    if (aTimer_) aTimer_->invalidate();
    kit::Weak<DmgViewController> self(this);
    const bool zip = isMakeZip_;
    aTimer_ = kit::Timer::scheduled(kStartDelay, false, life_, [self, token, zip](kit::Timer&) {
        // A stop inside the delay ended the run: nothing starts.
        if (!self || !self->runGuard_.accepts(token)) return;
        if (zip) self->doMakeZipWithFileArr();
        else self->doMakeDMGWithFileArr();
    });
}

void DmgViewController::doMakeDMGWithFileArr() {
    if (aTimer_) aTimer_->invalidate();
    aTimer_.reset();
    changePathValue("enumerating files...", 10);
    if (selectFilesSize_ >= 0) {
        allCopyFilesSize(selectFilesSize_);
        return;
    }
    if (selectFilesSize_ == screen::kWholeVolume) {
        // The whole volume: its used bytes.
        allCopyFilesSize(usedSize_);
        return;
    }
    // Bytes not known yet: count the chosen items off the main thread.
    if (sizeCounter_) sizeCounter_->setDelegate(nullptr);
    sizeCounter_ = std::make_shared<GetFilesSize>();
    sizeCounter_->setDelegate(this);
    if (filesArr_) sizeCounter_->getAllFilesSizeWithArr(*filesArr_);
}

void DmgViewController::allCopyFilesSize(int64_t size) {
    // The count may report from its own thread; the engine is started on the
    // main queue, and only for the run that asked (a stop drops the count).
    const screen::RunGuard::Token token = runGuard_.current();
    kit::Weak<DmgViewController> self(this);
    auto apply = [self, token, size] {
        if (!self || !self->runGuard_.accepts(token)) return;
        self->startImage(size);
    };
    if (kit::dispatch::isMainThread()) apply();
    else kit::dispatch::async(kit::dispatch::mainQueue(), apply);
}

void DmgViewController::startImage(int64_t size) {
    if (!makeDmg_) return;
    const std::string folder = destinationFolder(destinationMountPoint(), OVPublicUtilities::getSystemVersion());
    openUrl_ = folder;
    if (!makeDmg_->makeTmpDmgWithPath(folder, getCreateName(), size)) showFailView(kFailed);
}

void DmgViewController::doMakeZipWithFileArr() {
    if (aTimer_) aTimer_->invalidate();
    aTimer_.reset();
    if (!makeDmg_) return;
    const std::string mountPoint = destinationMountPoint();
    const std::string folder = destinationFolder(mountPoint, OVPublicUtilities::getSystemVersion());
    const std::string zipPath = kit::format("%@/%@.zip", folder, getCreateName());
    openUrl_ = folder;
    // zip's progress needs the number of entries, which for a whole volume
    // takes a walk of all of it: walk off the main thread, start zip back on it.
    const screen::RunGuard::Token token = runGuard_.current();
    FileNodeList nodes = filesArr_ ? *filesArr_ : FileNodeList();
    kit::Weak<DmgViewController> self(this);
    kit::dispatch::async(kit::dispatch::globalQueue(), [self, token, nodes, zipPath] {
        MakeDmg::ZipSelection selection = MakeDmg::collectZipSelection(nodes);
        kit::dispatch::async(kit::dispatch::mainQueue(), [self, token, zipPath, selection = std::move(selection)] {
            if (!self || !self->runGuard_.accepts(token) || !self->makeDmg_) return;
            if (!self->makeDmg_->doZipWithSelection(zipPath, selection)) self->showFailView(kFailed);
        });
    });
}

void DmgViewController::beginToCopyDmg() {
    if (!runGuard_.isRunning() || !makeDmg_) return;
    makeDmg_->doCopyFilesToDmgWithDmg(zipFilesArr_);
}

void DmgViewController::copyFileToDmgWithFileName(const std::string& fileName, float Withprogress) {
    if (!runGuard_.isRunning()) return;
    changePathValue(fileName, Withprogress);
}

void DmgViewController::makeDmgFailWithError(const std::optional<std::string>&) {
    if (!runGuard_.isRunning()) return;
    showFailView(kFailed);
}

std::string DmgViewController::statusTextFor(const std::string& text) {
    const bool zipLine = text.find("(stored") != std::string::npos || text.find("(deflated") != std::string::npos;
    const size_t lf = text.find('\n');
    if (zipLine && lf != std::string::npos) return text.substr(lf + 1);
    return text;
}

void DmgViewController::changePathValue(const std::string& text, float withProValue) {
    const std::string shown = statusTextFor(text);
    const screen::RunGuard::Token token = runGuard_.current();
    kit::Weak<DmgViewController> self(this);
    kit::dispatch::async(kit::dispatch::mainQueue(), [self, token, shown, withProValue] {
        // A report that arrives after the end pane changes nothing.
        if (!self || !self->runGuard_.accepts(token)) return;
        self->pathLabel_->setStringValue(shown);
        self->rogressView_->animator().setFloatValue(withProValue / 100.0);
        if (withProValue >= 100) {
            self->progressView_->setHidden(true);
            self->endView_->setHidden(false);
            self->showFaile(false);
        }
    });
}

void DmgViewController::changePathValue(const std::string& text) { pathLabel_->setStringValue(text); }

void DmgViewController::zipWritProgress(float progress, const std::string& withPath) {
    if (kit::dispatch::isMainThread()) changePathValue(withPath, progress);
    else kit::dispatch::sync(kit::dispatch::mainQueue(), [&] { changePathValue(withPath, progress); });
}

void DmgViewController::cancelButtonAction(kit::Object*) {
    if (!runGuard_.isRunning()) return;
    cancelMakeZip();
    showFailView(kStopped);
}

void DmgViewController::cancelMakeZip() {
    // Nothing of this run may start or report any more: the delayed start and
    // a size count in flight are dropped with the run's token.
    if (aTimer_) aTimer_->invalidate();
    aTimer_.reset();
    if (sizeCounter_) sizeCounter_->setDelegate(nullptr);
    if (makeDmg_) {
        makeDmg_->setIsCancelCopy(true);
        makeDmg_->stopMakeDmg();
    }
}

void DmgViewController::showFailView(const std::string& text) {
    progressView_->setHidden(true);
    endView_->setHidden(false);
    errorLable_->setStringValue(text);
    showFaile(true);
}

void DmgViewController::finishRun() {
    // From here on the run's reports are ignored until the next start.
    runGuard_.end();
    if (aTimer_) aTimer_->invalidate();
    aTimer_.reset();
}

void DmgViewController::showFaile(bool failed) {
    finishRun();
    setpVC_2_->setSetpIn(3);
    failView_->setHidden(!failed);
    sussView_->setHidden(failed);
    canChangeTab(true);
    if (openLabel_ && openLabel_->stringValue().size() > 10) setOpenLabel();
}

void DmgViewController::setOpenLabel() {
    kit::AttributedString text(openLabel_->stringValue());
    if (!text.addColorToPhrase(getColor(2, 125, 255, 1.0), kOpenPhrase)) return;
    text.setAlignment(kit::TextAlignment::Center);
    openLabel_->setAttributedStringValue(text);
}

void DmgViewController::openPathButtonAction() {
    kit::logf("21---------%@", openUrl_);
    kit::Workspace::shared().openFile(openUrl_);
}

void DmgViewController::failCancelButtonAction(kit::Object*) { backHomeView(); }
void DmgViewController::succCancelButtonAction(kit::Object*) { backHomeView(); }

void DmgViewController::backHomeView() {
    rogressView_->animator().setFloatValue(0);
    progressView_->setHidden(false);
    endView_->setHidden(true);
    closeDiskValue(kSource);
    closeDiskValue(kDestination);
    selectDiskView_->setHidden(false);
    copyProgressView_->setHidden(true);
    setpVC_2_->setSetpIn(2);
}

void DmgViewController::canChangeTab(bool value) {
    if (delegate_) delegate_->canChangeTab(value);
}
