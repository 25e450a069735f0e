#include "Comm/SourceDestViewController.h"

#include "Comm/ErrorWindowController.h"
#include "Comm/PopWindow/RMAAttachedWindow.h"
#include "Comm/ScreenSelection.h"
#include "Comm/getColor.h"
#include "Disk/OVPublicUtilities.h"
#include "Disk/VolumeObj.h"
#include "Disk/VolumeRecheck.h"
#include "kit/Dispatch.h"
#include "kit/Format.h"
#include "kit/System.h"
#include "kit/Workspace.h"
#include "kit/ui/AttributedText.h"
#include "kit/ui/Window.h"

namespace {

constexpr const char* kSameDrive =
    "You can\u2019t select the source drive as the destination drive, just select another drive.";
constexpr const char* kNoSpace = "Insufficient disk space on this destination drive, please select another drive.";
constexpr const char* kSourceGone =
    "The source drive is no longer available or has changed, so nothing was done. Please select it again.";
constexpr const char* kDestinationGone =
    "The destination drive is no longer available or has changed, so nothing was done. Please select it again.";
constexpr const char* kPickSource = "Click here to select a source drive.";
constexpr const char* kPickDestination = "Click here to select a destination drive.";

constexpr int32_t kSource = 1;
constexpr int32_t kDestination = 2;

}  // namespace

SourceDestViewController::SourceDestViewController(const std::string& layoutName, Settings settings)
    : kit::ViewController(layoutName), settings_(std::move(settings)) {
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
    registerAction("failCancelButtonAction:", [this](kit::Object* s) { failCancelButtonAction(s); });
    registerAction("succCancelButtonAction:", [this](kit::Object* s) { succCancelButtonAction(s); });
    registerAction("openPathButtonAction", [this](kit::Object*) { openPathButtonAction(); });
    controller_ = std::make_shared<Controller>();
    controller_->setADelegate(this);
}

SourceDestViewController::~SourceDestViewController() {
    if (controller_) controller_->setADelegate(nullptr);
    dropCount_.cancel();
    runGuard_.end();
    modeMenu_.detach();
    if (diskListWC_) diskListWC_->setDelegate(nullptr);
    if (selectFromVC_) selectFromVC_->setDelegate(nullptr);
    if (selectToVC_) selectToVC_->setDelegate(nullptr);
    if (lComboBox_) lComboBox_->setLconboBoxDelegate(nullptr);
    picker_.detach();
}

kit::Window* SourceDestViewController::mainWindow() { return view() ? view()->window() : nullptr; }

// ---------------------------------------------------------------------------
// Set-up

void SourceDestViewController::awakeFromNib() {
    setCloneButtonEnabled(false);
    if (cloneButton_) {
        cloneButton_->setImageFromFileNormalName("btn_main", "btn_main_press", "btn_main_hover", "btn_main_disable");
        cloneButton_->setTextWithName(settings_.startTitle);
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
    // The run page names the file in work: a long path keeps its start and
    // its file name around an ellipsis.
    if (pathLabel_) pathLabel_->setLineBreakMode(kit::LineBreakMode::TruncatingMiddle);

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
    screen::styleTextButton(cancelButton_.get(), "sec", "Cancel");
    screen::styleTextButton(failCancelButton_.get(), "sec", "Cancel");
    screen::styleTextButton(succCancelButton_.get(), "sec", "Done");
    if (openButton_) {
        openButton_->setTarget(this);
        openButton_->setAction("openPathButtonAction");
    }
    if (failView_) failView_->setHidden(true);
    if (sussView_) sussView_->setHidden(true);
}

// ---------------------------------------------------------------------------
// Slots

void SourceDestViewController::setCloneButtonEnabled(bool enabled) {
    if (cloneButton_) cloneButton_->setButtonEnabled(enabled);
}

void SourceDestViewController::resetSourceSlot() { screen::resetSlot(selectFromVC_.get(), kPickSource); }

void SourceDestViewController::resetDestinationSlot() { screen::resetSlot(selectToVC_.get(), kPickDestination); }

void SourceDestViewController::showSourceAsWholeVolume() {
    if (!fromeVolume_ || !selectFromVC_) return;
    usedSize_ = screen::usedBytes(*fromeVolume_);
    screen::showDriveInSlot(selectFromVC_.get(), fromeVolume_->volumeName(),
                            kit::format("%@ selected", OVPublicUtilities::longlongDiskSize(usedSize_)),
                            screen::slotImageForVolume(*fromeVolume_));
}

void SourceDestViewController::showDropInSlot(size_t count) {
    screen::showDriveInSlot(selectFromVC_.get(), settings_.dropName, kit::format("%d files selected", int(count)),
                            "ic_folder");
}

void SourceDestViewController::resetModeQuietly() {
    if (!lComboBox_) return;
    quietModeReset_ = true;
    lComboBox_->changeSelectType(CopyModeAllFiles);
    quietModeReset_ = false;
}

void SourceDestViewController::selectDiskButton(int slotId, kit::View* sender) {
    if (picker_.toggle(sender, slotId == kDestination, this, settings_.picker)) openPopType_ = uint64_t(slotId);
}

void SourceDestViewController::doSelectDiskWithVolume(const std::shared_ptr<VolumeObj>& volume) {
    picker_.closeIfVisible();
    if (!volume) return;
    if (openPopType_ == uint64_t(kSource)) {
        // A new source ends whatever the old one was waiting for.
        dropCount_.cancel();
        pendingList_.reset();
        if (toVolume_ && screen::sameVolume(volume.get(), toVolume_.get())) {
            chosen_.reset();
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
        chosen_.reset();
        isDragValue_ = false;
        showSourceAsWholeVolume();
        noteSizes(SizeNote::SourceChosen);
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
        screen::showDriveInSlot(selectToVC_.get(), volume->volumeName(), kit::format("%@ free", volume->volumeFreeSize()),
                                screen::slotImageForVolume(*volume));
        freeSize_ = volume->volumeFreeSizeNum();
        noteSizes(SizeNote::DestinationChosen);
        changeSelectCopyType();
    }
}

void SourceDestViewController::closeDiskValue(int slotId) {
    if (slotId == kSource) {
        dropCount_.cancel();
        pendingList_.reset();
        chosen_.reset();
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

void SourceDestViewController::viewDragAction(const std::vector<FileNode::Ptr>& nodes) {
    pendingList_.reset();
    resetModeQuietly();
    isDragValue_ = true;
    chosen_ = std::make_shared<FileNodeList>(nodes);
    showDropInSlot(nodes.size());
    lComboBox_->setlComboBoxEnde(true);
    // The drop is measured by its bytes before any check lets it through.
    startDropCount();
}

void SourceDestViewController::startDropCount() {
    selectFilesSize_ = screen::kCounting;
    setCloneButtonEnabled(false);
    const auto number = dropCount_.next();
    FileNodeList nodes = chosen_ ? *chosen_ : FileNodeList();
    kit::Weak<SourceDestViewController> self(this);
    kit::dispatch::async(kit::dispatch::globalQueue(), [self, nodes, number] {
        const int64_t bytes = screen::countChosenBytes(nodes);
        kit::dispatch::async(kit::dispatch::mainQueue(), [self, bytes, number] {
            if (!self || !self->dropCount_.isCurrent(number) || !self->isDragValue_) return;
            self->selectFilesSize_ = bytes;
            self->changeSelectCopyType();
        });
    });
}

// ---------------------------------------------------------------------------
// Space check and the start button

void SourceDestViewController::applySpaceCheck(bool withMessage) {
    // The quiet check (a file choice coming back, another output) reads the
    // destination's free bytes again: the drive picker may have refreshed the
    // shared record since the destination was chosen.
    const int64_t freeBytes = !withMessage && toVolume_ && freeSize_ != -1 ? toVolume_->volumeFreeSizeNum() : freeSize_;
    const screen::Space verdict =
        screen::checkSpace(selectFilesSize_, usedSize_, freeBytes, isDragValue_, spaceMargin());
    switch (verdict) {
    case screen::Space::Unknown:
        // One side is missing: the slot resets have already disabled the start button.
        return;
    case screen::Space::Counting:
        setCloneButtonEnabled(false);
        return;
    case screen::Space::TooLarge:
        lComboBox_->changeSelectType(CopyModeSomeFiles);
        lComboBox_->setlComboBoxEnde(false);
        setCloneButtonEnabled(false);
        screen::setSlotPicture(selectToVC_.get(), "add");
        selectToVC_->changeBgImageViewWithError(true);
        if (withMessage) showErrorWindowWithErrorStr(kNoSpace);
        return;
    case screen::Space::Fits:
        lComboBox_->setlComboBoxEnde(true);
        setCloneButtonEnabled(!isListingVolume());
        selectToVC_->changeBgImageViewWithError(false);
        if (toVolume_) screen::setSlotPicture(selectToVC_.get(), screen::slotImageForVolume(*toVolume_));
        return;
    }
}

void SourceDestViewController::changeSelectCopyType() {
    if (quietModeReset_) return;
    noteSizes(SizeNote::SpaceCheck);
    applySpaceCheck(true);
}

void SourceDestViewController::changeCloneButtonActon() { applySpaceCheck(false); }

void SourceDestViewController::cloneButtonAction(kit::Object*) {
    if (runGuard_.isRunning() || isListingVolume()) return;
    if (chosen_) {
        confirmChosenItems();
        return;
    }
    if (!fromeVolume_) return;
    // The whole volume: its top level is listed at its mount point first; the
    // start button waits for the whole list.
    pendingList_ = makeFileNodeArray();
    setCloneButtonEnabled(false);
    controller_->eumeAllRootFileNodeWithRootArr(pendingList_, fromeVolume_->volumeMountPoint(), true,
                                                settings_.listForCopy);
}

void SourceDestViewController::copyFileScanFiles() { endScanFiles(); }

void SourceDestViewController::endScanFiles() {
    kit::Weak<SourceDestViewController> self(this);
    kit::dispatch::async(kit::dispatch::mainQueue(), [self] {
        if (self) self->listingEnded();
    });
}

void SourceDestViewController::listingEnded() {
    // Only the listing the start button started, and only once it is complete.
    if (!pendingList_ || controller_->aRootArr() != pendingList_ || controller_->isListing()) return;
    chosen_ = pendingList_;
    pendingList_.reset();
    changeCloneButtonActon();
    confirmRun();
}

// ---------------------------------------------------------------------------
// The volumes at a run's start

void SourceDestViewController::startWhenVolumesHold(screen::RunGuard::Token token, std::function<void()> start) {
    checkingRun_ = token;
    // The records as the user chose them; the run page keeps the slots as they are.
    std::shared_ptr<VolumeObj> source = isDragValue_ ? nullptr : fromeVolume_;
    std::shared_ptr<VolumeObj> destination = toVolume_;
    kit::Weak<SourceDestViewController> self(this);
    kit::dispatch::async(kit::dispatch::globalQueue(), [self, token, source, destination, start = std::move(start)] {
        VolumesNow now;
        if (source) now.sourceHolds = currentRecordOfVolume(*source).has_value();
        if (now.sourceHolds && destination)
            if (auto record = currentRecordOfVolume(*destination)) {
                now.destinationHolds = true;
                now.destinationFree = recordFreeBytes(*record);
            }
        kit::dispatch::async(kit::dispatch::mainQueue(), [self, token, now, start] {
            // A stop ended the run meanwhile: nothing starts.
            if (!self || !self->runGuard_.accepts(token)) return;
            self->checkingRun_ = 0;
            self->volumesRead(now, start);
        });
    });
}

void SourceDestViewController::volumesRead(const VolumesNow& now, const std::function<void()>& start) {
    if (!now.sourceHolds || !now.destinationHolds || !toVolume_) {
        backToChoice();
        closeDiskValue(now.sourceHolds ? kDestination : kSource);
        showErrorWindowWithErrorStr(now.sourceHolds ? kDestinationGone : kSourceGone);
        return;
    }
    // The destination's free bytes as they are now, kept in the shared record
    // as the drive picker keeps them.
    toVolume_->setVolumeFreeSizeNum(now.destinationFree);
    toVolume_->setVolumeFreeSize(OVPublicUtilities::longlongConvertVolSpace(now.destinationFree));
    freeSize_ = now.destinationFree;
    if (screen::checkSpace(selectFilesSize_, usedSize_, freeSize_, isDragValue_, spaceMargin()) !=
        screen::Space::TooLarge) {
        start();
        return;
    }
    backToChoice();
    screen::showDriveInSlot(selectToVC_.get(), toVolume_->volumeName(),
                            kit::format("%@ free", toVolume_->volumeFreeSize()), screen::slotImageForVolume(*toVolume_));
    changeSelectCopyType();
}

void SourceDestViewController::backToChoice() {
    runGuard_.end();
    runEnded();
    canChangeTab(true);
    selectDiskView_->setHidden(false);
    copyProgressView_->setHidden(true);
}

void SourceDestViewController::showErrorWindowWithErrorStr(const std::string& message) {
    if (auto panel = screen::showMessagePanel(mainWindow(), message)) errorWC_ = panel;
}

// ---------------------------------------------------------------------------
// Copy mode

void SourceDestViewController::showSelectAllVC() { modeMenu_.show(mainWindow(), this); }

void SourceDestViewController::selectFormatbyType(int32_t type) {
    if (type == CopyModeAllFiles) {
        if (isDragValue_) {
            // All the dropped items again.
            if (chosen_)
                for (const auto& n : *chosen_) controller_->changeChildrenFilNodeStateWithFileNode(n, 1);
            lComboBox_->changeSelectType(CopyModeAllFiles);
            startDropCount();
        } else {
            // The whole volume: an earlier choice of files no longer counts.
            chosen_.reset();
            selectFilesSize_ = -1;
            showSourceAsWholeVolume();
            lComboBox_->changeSelectType(CopyModeAllFiles);
        }
    } else {
        lComboBox_->changeSelectType(type);
    }
    mouseEixtView(true);
}

void SourceDestViewController::mouseEixtView(bool left) { modeMenu_.pointerMoved(left); }

void SourceDestViewController::closeMattachedWindow() { modeMenu_.close(); }

// ---------------------------------------------------------------------------
// File choice

void SourceDestViewController::doShowSearchView() {
    if (!fromeVolume_ && !isDragValue_) return;
    screen::openFileChoice(diskListWC_, this, chosen_, fromeVolume_);
}

void SourceDestViewController::closeWindowWithSelect(const FileNodeArray& arr, int64_t withSelectSize) {
    kit::Weak<SourceDestViewController> self(this);
    kit::dispatch::async(kit::dispatch::mainQueue(), [self, arr, withSelectSize, this] {
        if (!self || runGuard_.isRunning()) return;
        chosen_ = arr ? arr : makeFileNodeArray();
        const screen::Choice choice = screen::summarizeChoice(*chosen_);
        const screen::HandBack hb = screen::sizeOfHandBack(*chosen_, withSelectSize, isDragValue_);
        if (hb.kind == screen::HandBack::WholeVolume && fromeVolume_) {
            showSourceAsWholeVolume();
        } else {
            // Every dropped item again shows as chosen files too; its bytes are counted anew below.
            const int64_t bytes = hb.kind == screen::HandBack::Files ? hb.selectFilesSize : 0;
            screen::showDriveInSlot(
                selectFromVC_.get(), kit::format("%d files/folders", choice.chosen),
                kit::format(settings_.choiceSizeFormat.c_str(), OVPublicUtilities::longlongConvertVolSpace(bytes)),
                "ic_folder");
        }
        comboBoxView_->setHidden(false);
        selectFilesSize_ = hb.selectFilesSize;
        noteSizes(SizeNote::ChoiceApplied);
        if (hb.kind == screen::HandBack::WholeDrop) startDropCount();
        changeCloneButtonActon();
    });
}

// ---------------------------------------------------------------------------
// End views

void SourceDestViewController::showFailView(const std::string& text) {
    progressView_->setHidden(true);
    endView_->setHidden(false);
    errorLable_->setStringValue(text);
    showFaile(true);
}

void SourceDestViewController::showFaile(bool failed) {
    // From here on the run's reports are ignored until the next start.
    runGuard_.end();
    runEnded();
    setpVC_2_->setSetpIn(3);
    failView_->setHidden(!failed);
    sussView_->setHidden(failed);
    canChangeTab(true);
    if (openLabel_ && openLabel_->stringValue().size() > 10) setOpenLabel();
}

void SourceDestViewController::setOpenLabel() {
    kit::AttributedString text(openLabel_->stringValue());
    if (!text.addColorToPhrase(getColor(2, 125, 255, 1.0), settings_.openPhrase)) return;
    text.setAlignment(kit::TextAlignment::Center);
    openLabel_->setAttributedStringValue(text);
}

void SourceDestViewController::openPathButtonAction() {
    kit::logf(settings_.openLogFormat.c_str(), openUrl_);
    kit::Workspace::shared().openFile(openUrl_);
}

void SourceDestViewController::failCancelButtonAction(kit::Object*) { backHomeView(); }
void SourceDestViewController::succCancelButtonAction(kit::Object*) { backHomeView(); }

void SourceDestViewController::showFirstPage() {
    progressView_->setHidden(false);
    endView_->setHidden(true);
    closeDiskValue(kSource);
    closeDiskValue(kDestination);
    selectDiskView_->setHidden(false);
    copyProgressView_->setHidden(true);
    // The end of the last run left the step indicator on its last step; the
    // next run's page starts again on its own step.
    setpVC_2_->setSetpIn(2);
}
