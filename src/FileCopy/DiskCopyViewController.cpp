#include "FileCopy/DiskCopyViewController.h"

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
#include "FileCopy/CopyMakeSureWC.h"
#include "kit/Dispatch.h"
#include "kit/Format.h"
#include "kit/SysPath.h"
#include "kit/System.h"
#include "kit/Workspace.h"
#include "kit/ui/Application.h"
#include "kit/ui/AttributedText.h"
#include "kit/ui/Image.h"
#include "kit/ui/Window.h"

namespace {

constexpr const char* kSameDrive =
    "You can\u2019t select the source drive as the destination drive, just select another drive.";
constexpr const char* kNoSpace = "Insufficient disk space on this destination drive, please select another drive.";
constexpr const char* kNothingChosen = "No file/disk has been selected\u2026";
constexpr const char* kCopyFailed = "Some files copy failed!";
constexpr const char* kCopyStopped = "You have stopped the copying process.";
constexpr const char* kPickSource = "Click here to select a source drive.";
constexpr const char* kPickDestination = "Click here to select a destination drive.";
constexpr const char* kOpenPhrase = "the copy on the destination drive.";

constexpr int32_t kSource = 1;
constexpr int32_t kDestination = 2;

}  // namespace

DiskCopyViewController::DiskCopyViewController(const std::string& layoutName) : kit::ViewController(layoutName) {
    declareOutlet("comboBoxView", comboBoxView_);
    declareOutlet("selectFromView", selectFromView_);
    declareOutlet("selectToView", selectToView_);
    declareOutlet("cloneButton", cloneButton_);
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
    registerAction("cancelButtonAction:", [this](kit::Object* s) { cancelButtonAction(s); });
    registerAction("failCancelButtonAction:", [this](kit::Object* s) { failCancelButtonAction(s); });
    registerAction("succCancelButtonAction:", [this](kit::Object* s) { succCancelButtonAction(s); });
    registerAction("openPathButtonAction", [this](kit::Object*) { openPathButtonAction(); });
    controller_ = std::make_shared<Controller>();
    controller_->setADelegate(this);
}

DiskCopyViewController::~DiskCopyViewController() {
    if (controller_) controller_->setADelegate(nullptr);
    if (doCopy_) {
        doCopy_->setDelegate(nullptr);
        doCopy_->setIsCancel(true);
    }
    dropCount_.cancel();
    runGuard_.end();
    modeMenu_.detach();
    if (diskListWC_) diskListWC_->setDelegate(nullptr);
    if (selectFromVC_) selectFromVC_->setDelegate(nullptr);
    if (selectToVC_) selectToVC_->setDelegate(nullptr);
    if (lComboBox_) lComboBox_->setLconboBoxDelegate(nullptr);
    if (selectDiskVC_) selectDiskVC_->setSelectDiskVCDelegate(nullptr);
}

kit::Window* DiskCopyViewController::mainWindow() { return view() ? view()->window() : nullptr; }

// ---------------------------------------------------------------------------
// Set-up

void DiskCopyViewController::awakeFromNib() {
    setCloneButtonEnabled(false);
    if (cloneButton_) {
        cloneButton_->setImageFromFileNormalName("btn_main", "btn_main_press", "btn_main_hover", "btn_main_disable");
        cloneButton_->setTextWithName("Copy Now");
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

    setpVC_ = std::make_shared<SetpViewController>("SetpViewController");
    if (setpView_) setpView_->addSubview(setpVC_->viewPtr());
    setpVC_->setSetpIn(1);
    setpVC_2_ = std::make_shared<SetpViewController>("SetpViewController");
    if (setp_2_) setp_2_->addSubview(setpVC_2_->viewPtr());
    setpVC_2_->setSetpIn(2);

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

void DiskCopyViewController::setSlotPicture(SelectValueView* slot, const std::string& imageName) {
    if (slot && slot->selectDiskBut()) slot->selectDiskBut()->setImage(kit::Image::named(imageName));
}

void DiskCopyViewController::setCloneButtonEnabled(bool enabled) {
    if (cloneButton_) cloneButton_->setButtonEnabled(enabled);
}

void DiskCopyViewController::resetSourceSlot() {
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

void DiskCopyViewController::resetDestinationSlot() {
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

void DiskCopyViewController::showVolumeInSlot(SelectValueView* slot, const VolumeObj& volume) {
    slot->nameLabel()->setStringValue(volume.volumeName());
    slot->nodeSelectLabel()->setStringValue("");
    slot->setIsHaveD(true);
    setSlotPicture(slot, screen::slotImageForVolume(volume));
    slot->changeBgImageViewWithError(false);
    if (slot->closeDisk()) slot->closeDisk()->setHidden(false);
}

void DiskCopyViewController::showSourceAsWholeVolume() {
    if (!fromeVolume_ || !selectFromVC_) return;
    usedSize_ = screen::usedBytes(*fromeVolume_);
    showVolumeInSlot(selectFromVC_.get(), *fromeVolume_);
    selectFromVC_->sizeLabel()->setStringValue(
        kit::format("%@ selected", OVPublicUtilities::longlongDiskSize(usedSize_)));
}

void DiskCopyViewController::resetModeQuietly() {
    if (!lComboBox_) return;
    quietModeReset_ = true;
    lComboBox_->changeSelectType(CopyModeAllFiles);
    quietModeReset_ = false;
}

void DiskCopyViewController::selectDiskButton(int slotId, kit::View* sender) {
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
    const kit::Color frameColor = kit::Color::rgb255(66, 66, 88);
    popoverController_->setColor(frameColor);
    popoverController_->setBorderColor(frameColor);
    popoverController_->setBorderWidth(1.0);
    popoverController_->setAnimates(true);
    popoverController_->presentPopoverFromRect(sender->bounds(), sender,
                                               slotId == kDestination ? PopoverArrowRight : PopoverArrowLeft, true);
}

void DiskCopyViewController::doSelectDiskWithVolume(const std::shared_ptr<VolumeObj>& volume) {
    if (popoverController_ && popoverController_->popoverIsVisible()) popoverController_->closePopover(nullptr);
    if (!volume) return;
    if (openPopType_ == uint64_t(kSource)) {
        // A new source ends whatever the old one was waiting for.
        dropCount_.cancel();
        pendingList_.reset();
        if (toVolume_ && screen::sameVolume(volume.get(), toVolume_.get())) {
            copyArr_.reset();
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
        copyArr_.reset();
        isDragValue_ = false;
        showSourceAsWholeVolume();
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
        changeSelectCopyType();
    }
}

void DiskCopyViewController::closeDiskValue(int slotId) {
    if (slotId == kSource) {
        dropCount_.cancel();
        pendingList_.reset();
        copyArr_.reset();
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

void DiskCopyViewController::viewDragAction(const std::vector<FileNode::Ptr>& nodes) {
    pendingList_.reset();
    resetModeQuietly();
    isDragValue_ = true;
    copyArr_ = std::make_shared<FileNodeList>(nodes);
    SelectValueView* slot = selectFromVC_.get();
    slot->setIsHaveD(true);
    slot->nameLabel()->setStringValue("add some files");
    slot->sizeLabel()->setStringValue(kit::format("%d files selected", int(nodes.size())));
    slot->nodeSelectLabel()->setStringValue("");
    setSlotPicture(slot, "ic_folder");
    lComboBox_->setlComboBoxEnde(true);
    slot->changeBgImageViewWithError(false);
    if (slot->closeDisk()) slot->closeDisk()->setHidden(false);
    // The drop is measured by its bytes before any check lets it through.
    startDropCount();
}

void DiskCopyViewController::startDropCount() {
    selectFilesSize_ = screen::kCounting;
    setCloneButtonEnabled(false);
    const auto number = dropCount_.next();
    FileNodeList nodes = copyArr_ ? *copyArr_ : FileNodeList();
    kit::Weak<DiskCopyViewController> self(this);
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

void DiskCopyViewController::applySpaceCheck(bool withMessage) {
    const screen::Space verdict =
        screen::checkSpace(selectFilesSize_, usedSize_, freeSize_, isDragValue_);
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

void DiskCopyViewController::changeSelectCopyType() {
    if (quietModeReset_) return;
    applySpaceCheck(true);
}

void DiskCopyViewController::changeCloneButtonActon() { applySpaceCheck(false); }

void DiskCopyViewController::cloneButtonAction(kit::Object*) {
    if (runGuard_.isRunning() || isListingVolume()) return;
    if (copyArr_) {
        kit::Weak<DiskCopyViewController> self(this);
        kit::dispatch::async(kit::dispatch::mainQueue(), [self] {
            if (self) self->doCopyAction();
        });
        return;
    }
    if (!fromeVolume_) return;
    // The whole volume: its top level is listed at its mount point first;
    // "Copy Now" waits for the whole list.
    pendingList_ = makeFileNodeArray();
    setCloneButtonEnabled(false);
    controller_->eumeAllRootFileNodeWithRootArr(pendingList_, fromeVolume_->volumeMountPoint(), true, true);
}

void DiskCopyViewController::copyFileScanFiles() {
    kit::Weak<DiskCopyViewController> self(this);
    kit::dispatch::async(kit::dispatch::mainQueue(), [self] {
        if (self) self->listingEnded();
    });
}

void DiskCopyViewController::listingEnded() {
    // Only the listing "Copy Now" started, and only once it is complete.
    if (!pendingList_ || controller_->aRootArr() != pendingList_ || controller_->isListing()) return;
    copyArr_ = pendingList_;
    pendingList_.reset();
    changeCloneButtonActon();
    doCopyAction();
}

void DiskCopyViewController::doCopyAction() {
    if (runGuard_.isRunning()) return;
    if (!copyArr_ || !screen::hasChosenItem(*copyArr_)) {
        showErrorWindowWithErrorStr(kNothingChosen);
        return;
    }
    kit::Window* main = mainWindow();
    if (!main) return;
    auto panel = std::make_shared<CopyMakeSureWC>("CopyMakeSureWC");
    panel->setDelegate(this);
    if (kit::View* v = panel->view()) v->setFrameSize(main->frame().size);
    if (showStatusPanel(panel, *main)) makeSureWC_ = panel;
}

void DiskCopyViewController::showErrorWindowWithErrorStr(const std::string& message) {
    if (auto panel = screen::showMessagePanel(mainWindow(), message)) errorWC_ = panel;
}

// ---------------------------------------------------------------------------
// Copy mode

void DiskCopyViewController::showSelectAllVC() { modeMenu_.show(mainWindow(), this); }

void DiskCopyViewController::selectFormatbyType(int32_t type) {
    if (type == CopyModeAllFiles) {
        if (isDragValue_) {
            // All the dropped items again.
            if (copyArr_)
                for (const auto& n : *copyArr_) controller_->changeChildrenFilNodeStateWithFileNode(n, 1);
            lComboBox_->changeSelectType(CopyModeAllFiles);
            startDropCount();
        } else {
            // The whole volume: an earlier choice of files no longer counts.
            copyArr_.reset();
            selectFilesSize_ = -1;
            showSourceAsWholeVolume();
            lComboBox_->changeSelectType(CopyModeAllFiles);
        }
    } else {
        lComboBox_->changeSelectType(type);
    }
    mouseEixtView(true);
}

void DiskCopyViewController::mouseEixtView(bool left) { modeMenu_.pointerMoved(left); }

void DiskCopyViewController::closeMattachedWindow() { modeMenu_.close(); }

// ---------------------------------------------------------------------------
// File choice

void DiskCopyViewController::doShowSearchView() {
    if (!fromeVolume_ && !isDragValue_) return;
    screen::openFileChoice(diskListWC_, this, copyArr_, fromeVolume_);
}

void DiskCopyViewController::closeWindowWithSelect(const FileNodeArray& arr, int64_t withSelectSize) {
    kit::Weak<DiskCopyViewController> self(this);
    kit::dispatch::async(kit::dispatch::mainQueue(), [self, arr, withSelectSize, this] {
        if (!self || runGuard_.isRunning()) return;
        copyArr_ = arr ? arr : makeFileNodeArray();
        const screen::Choice choice = screen::summarizeChoice(*copyArr_);
        const screen::HandBack hb = screen::sizeOfHandBack(*copyArr_, withSelectSize, isDragValue_);
        SelectValueView* slot = selectFromVC_.get();
        if (hb.kind == screen::HandBack::WholeVolume && fromeVolume_) {
            showSourceAsWholeVolume();
        } else if (hb.kind == screen::HandBack::WholeDrop) {
            // Every dropped item again: the drop's own labels, its bytes counted anew.
            slot->nameLabel()->setStringValue("add some files");
            slot->sizeLabel()->setStringValue(kit::format("%d files selected", int(copyArr_->size())));
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
        if (hb.kind == screen::HandBack::WholeDrop) startDropCount();
        changeCloneButtonActon();
    });
}

// ---------------------------------------------------------------------------
// The run

void DiskCopyViewController::beginToCopyFiles() {
    if (runGuard_.isRunning()) return;
    if (!copyArr_ || !screen::hasChosenItem(*copyArr_)) {
        showErrorWindowWithErrorStr(kNothingChosen);
        return;
    }
    selectDiskView_->setHidden(true);
    copyProgressView_->setHidden(false);
    pathLabel_->setStringValue(" ");
    rogressView_->setFloatValue(0);
    canChangeTab(false);
    runGuard_.start();

    if (doCopy_) doCopy_->setDelegate(nullptr);
    doCopy_ = std::make_unique<DoCopyFiles>();
    doCopy_->setDelegate(this);

    const std::string stamp = screen::copyStamp(std::time(nullptr));
    const std::string mountPoint = toVolume_ ? toVolume_->volumeMountPoint() : std::string();
    std::string folder = screen::makeCopyFolder(mountPoint, stamp);
    if (folder.empty()) {
        // Neither folder could be made: the engine finds none and says so.
        folder = kit::pathJoin(screen::userDesktopFolder(), screen::copyFolderName(stamp));
    }
    openUrl_ = folder;
    doCopy_->doCopyFilesWithArr(*copyArr_, folder);
}

void DiskCopyViewController::topCopyProgress(float percent) {
    if (!runGuard_.isRunning()) return;
    changeProValue(percent);
}

void DiskCopyViewController::topCopyFilePath(const std::string& path) {
    if (!runGuard_.isRunning()) return;
    changePathValue(path);
}

void DiskCopyViewController::copyFileError() {
    if (!runGuard_.isRunning()) return;
    if (doCopy_) doCopy_->setIsCancel(true);
    showFailView(kCopyFailed);
}

void DiskCopyViewController::topCopyFinished(int failedCount) {
    if (!runGuard_.isRunning()) return;
    // Items that could not be copied make the run a failure, never a success.
    if (failedCount > 0) showFailView(kCopyFailed);
    else changeProValue(100);
}

void DiskCopyViewController::cancelButtonAction(kit::Object*) {
    if (!runGuard_.isRunning()) return;
    cancelCopy();
    showFailView(kCopyStopped);
}

void DiskCopyViewController::cancelCopy() {
    if (doCopy_) doCopy_->setIsCancel(true);
}

void DiskCopyViewController::changePathValue(const std::string&) { pathLabel_->setStringValue("Copying data..."); }

void DiskCopyViewController::changeProValue(float percent) {
    rogressView_->animator().setFloatValue(percent / 100.0);
    if (percent >= 100) {
        progressView_->setHidden(true);
        endView_->setHidden(false);
        showFaile(false);
    }
}

void DiskCopyViewController::showFailView(const std::string& text) {
    progressView_->setHidden(true);
    endView_->setHidden(false);
    errorLable_->setStringValue(text);
    showFaile(true);
}

void DiskCopyViewController::finishRun() {
    // From here on the run's reports are ignored until the next start.
    runGuard_.end();
    if (doCopy_) doCopy_->setDelegate(nullptr);
}

void DiskCopyViewController::showFaile(bool failed) {
    finishRun();
    setpVC_2_->setSetpIn(3);
    failView_->setHidden(!failed);
    sussView_->setHidden(failed);
    canChangeTab(true);
    if (openLabel_ && openLabel_->stringValue().size() > 10) setOpenLabel();
}

void DiskCopyViewController::setOpenLabel() {
    kit::AttributedString text(openLabel_->stringValue());
    if (!text.addColorToPhrase(getColor(2, 125, 255, 1.0), kOpenPhrase)) return;
    text.setAlignment(kit::TextAlignment::Center);
    openLabel_->setAttributedStringValue(text);
}

void DiskCopyViewController::openPathButtonAction() {
    kit::logf("open the copy folder %@", openUrl_);
    kit::Workspace::shared().openFile(openUrl_);
}

void DiskCopyViewController::failCancelButtonAction(kit::Object*) { backHomeView(); }
void DiskCopyViewController::succCancelButtonAction(kit::Object*) { backHomeView(); }

void DiskCopyViewController::backHomeView() {
    rogressView_->setFloatValue(0);
    progressView_->setHidden(false);
    endView_->setHidden(true);
    closeDiskValue(kSource);
    closeDiskValue(kDestination);
    selectDiskView_->setHidden(false);
    copyProgressView_->setHidden(true);
}

void DiskCopyViewController::canChangeTab(bool value) {
    if (delegate_) delegate_->canChangeTab(value);
}
