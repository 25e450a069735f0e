#include "Bootable/SelectDrivceViewController.h"

#include "Bootable/CloneCommands.h"
#include "Bootable/FullDiskAccess.h"
#include "Bootable/FullDiskAccessViewController.h"
#include "Bootable/MakeSureCancelCloneSystemVC.h"
#include "Bootable/MakeSureToCloneSystemVC.h"
#include "Bootable/SystemClonebyTimeMacine.h"
#include "Bootable/boot/OVBootable.h"
#include "Comm/ErrorWindowController.h"
#include "Comm/PopWindow/StatusPanel.h"
#include "Comm/getColor.h"
#include "Disk/OVPublicUtilities.h"
#include "Disk/VolumeObj.h"
#include "kit/Dispatch.h"
#include "kit/Format.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"
#include "kit/System.h"
#include "kit/ui/Application.h"
#include "kit/ui/Image.h"
#include "kit/ui/Window.h"

namespace {

constexpr const char* kPickDestination = "Click here to select a destination drive.";
constexpr const char* kNoSpace = "Insufficient disk space on this destination drive, please select another drive.";
constexpr const char* kCloneFailed = "Failed to create bootable disk, please try again.";
constexpr const char* kUnplugged = "USB device unplugged, Please reconnect the device and try again.";
constexpr const char* kEraseFailed =
    "An error occurred when erasing data. Please make sure that the device is not being used or you have enough "
    "permissions.";
constexpr const char* kUnsupported = "System version does not support this function.";
constexpr const char* kCreateFailed = "An error occurred when creating the target disk.";
constexpr const char* kStopped = "You have stopped the clone process.";

constexpr int kSource = 1;
constexpr int kTarget = 2;

OVBootable& engine() { return OVBootable::OVShareInstance(); }

}  // namespace

SelectDrivceViewController::SelectDrivceViewController(const std::string& layoutName)
    : kit::ViewController(layoutName) {
    declareOutlet("selectFromView", selectFromView_);
    declareOutlet("selectToView", selectToView_);
    declareOutlet("cloneButton", cloneButton_);
    declareOutlet("stepView", stepView_);
    declareOutlet("setp_2", setp_2_);
    declareOutlet("cancelButton", cancelButton_);
    declareOutlet("failCancelButton", failCancelButton_);
    declareOutlet("succCancelButton", succCancelButton_);
    declareOutlet("checkFullButton", checkFullButton_);
    declareOutlet("iProgreeBar", iProgreeBar_);
    declareOutlet("selectDiskView", selectDiskView_);
    declareOutlet("copyProgressView", copyProgressView_);
    declareOutlet("progressView", progressView_);
    declareOutlet("endView", endView_);
    declareOutlet("sussView", sussView_);
    declareOutlet("failView", failView_);
    declareOutlet("pathLabel", pathLabel_);
    declareOutlet("errorLable", errorLable_);
    declareOutlet("animImageView", animImageView_);
    registerAction("cloneButtonAction:", [this](kit::Object* s) { cloneButtonAction(s); });
    registerAction("cancelButtonAction:", [this](kit::Object* s) { cancelButtonAction(s); });
    registerAction("failCancelButtonAction:", [this](kit::Object* s) { failCancelButtonAction(s); });
    registerAction("succCancelButtonAction:", [this](kit::Object* s) { succCancelButtonAction(s); });
    registerAction("toCheckFullDiskAccess", [this](kit::Object*) { toCheckFullDiskAccess(); });
}

SelectDrivceViewController::~SelectDrivceViewController() {
    runGuard_.end();
    if (engine().delegateObj() == this) engine().OVSetDelegate(nullptr);
    if (selectFromVC_) selectFromVC_->setDelegate(nullptr);
    if (selectToVC_) selectToVC_->setDelegate(nullptr);
    picker_.detach();
    if (auto panel = makeSureWC_.lock()) panel->setDelegate(nullptr);
    if (auto panel = makeSureCancelWC_.lock()) panel->setDelegate(nullptr);
}

kit::Window* SelectDrivceViewController::mainWindow() { return view() ? view()->window() : nullptr; }

// ---------------------------------------------------------------------------
// Set-up

void SelectDrivceViewController::awakeFromNib() {
    engine().OVInit();
    engine().OVSetDelegate(this);

    setCloneButtonEnabled(false);
    if (cloneButton_) {
        cloneButton_->setImageFromFileNormalName("btn_main", "btn_main_press", "btn_main_hover", "btn_main_disable");
        cloneButton_->setTextWithName("Clone Now");
    }

    freeSize_ = -1;

    // The running system: shown, never chosen.
    selectFromVC_ = std::make_shared<SelectValueView>();
    selectFromVC_->setDiskFrom(kSource);
    selectFromVC_->setDelegate(this);
    if (selectFromView_) selectFromView_->addSubview(selectFromVC_->viewPtr());
    selectFromVC_->setIsHaveD(true);
    selectFromVC_->setIsCanSelect(false);
    if (kit::Button* b = selectFromVC_->selectDiskBut()) {
        b->setEnabled(false);
        b->setImage(kit::Image::named("ic_os_main_b"));
    }
    if (selectFromVC_->bgImageView()) selectFromVC_->bgImageView()->setImageNamed("source_sel");
    selectFromVC_->nameLabel()->setStringValue("System Drive");
    selectFromVC_->sizeLabel()->setStringValue("");
    selectFromVC_->nodeSelectLabel()->setStringValue("");

    // The target: external disks only, no file drops.
    selectToVC_ = std::make_shared<SelectValueView>();
    selectToVC_->setDiskFrom(kTarget);
    selectToVC_->setDelegate(this);
    if (selectToView_) selectToView_->addSubview(selectToVC_->viewPtr());
    if (selectToVC_->dragVie()) selectToVC_->dragVie()->removeFromSuperview();
    screen::resetSlot(selectToVC_.get(), kPickDestination);

    setupStepVC_ = std::make_shared<SetpFViewController>("SetpFViewController");
    if (stepView_) stepView_->addSubview(setupStepVC_->viewPtr());
    setupStepVC_->setSetpIn(1);
    stepFVC_ = std::make_shared<SetpFViewController>("SetpFViewController");
    if (setp_2_) setp_2_->addSubview(stepFVC_->viewPtr());
    stepFVC_->setSetpIn(2);

    if (iProgreeBar_) iProgreeBar_->animator().setFloatValue(0);

    screen::styleTextButton(cancelButton_.get(), "sec", "Cancel");
    screen::styleTextButton(failCancelButton_.get(), "sec", "Done");
    screen::styleTextButton(succCancelButton_.get(), "sec", "Done");
    screen::styleTextButton(checkFullButton_.get(), "pri", "Check");
    if (checkFullButton_) {
        checkFullButton_->setTarget(this);
        checkFullButton_->setAction("toCheckFullDiskAccess");
    }
    if (failView_) failView_->setHidden(true);
    if (sussView_) sussView_->setHidden(true);

    measureUsedSize();
}

namespace {

// Bytes in use on the system volume from the disk tool's record of "/"; 0 when
// it can't be read. Blocks while the tool runs (bounded): off the main thread.
uint64_t systemUsedBytes() {
    int status = -1;
    auto info =
        ZZCaptureValue("diskutil info -plist " + kit::shellQuote(kit::sysPath("/")), "FerlDataTemp.plist", &status);
    // A run that failed or was ended has given no answer, whatever it printed.
    if (status != 0 || !info || !info->isDict()) return 0;
    const char* freeKey = OVPublicUtilities::getSystemVersion() < 1015 ? "FreeSpace" : "APFSContainerFree";
    const auto total = info->getUInt("TotalSize");
    const auto free = info->getUInt(freeKey);
    // A missing key, or more free than there is in all, is no size at all:
    // the difference would wrap to an enormous count.
    if (!total || !free || *free > *total) return 0;
    return *total - *free;
}

}  // namespace

uint64_t SelectDrivceViewController::ZZCheckVolumeIsBootDriveImp() { return systemUsedBytes(); }

void SelectDrivceViewController::measureUsedSize() {
    // Unknown until the disk tool answers: "Clone Now" waits for it, and the
    // window is drawn meanwhile.
    usedSize_ = -1;
    const unsigned generation = ++usedSizeGeneration_;
    kit::Weak<SelectDrivceViewController> self(this);
    kit::dispatch::async(kit::dispatch::globalQueue(), [self, generation] {
        const uint64_t used = systemUsedBytes();
        kit::dispatch::async(kit::dispatch::mainQueue(), [self, generation, used] {
            if (self && self->usedSizeGeneration_ == generation) self->usedSizeMeasured(used);
        });
    });
}

void SelectDrivceViewController::usedSizeMeasured(uint64_t used) {
    usedSizeUnreadable_ = used == 0;
    usedSize_ = used > uint64_t(INT64_MAX) ? INT64_MAX : int64_t(used);
    showUsedSize();
    // A target chosen meanwhile is checked now.
    if (freeSize_ != -1) changeSelectCopyType();
}

void SelectDrivceViewController::showUsedSize() {
    if (usedSize_ != -1 && selectFromVC_ && selectFromVC_->sizeLabel())
        selectFromVC_->sizeLabel()->setStringValue(OVPublicUtilities::longlongDiskSize(usedSize_));
}

// ---------------------------------------------------------------------------
// Target choice

void SelectDrivceViewController::setCloneButtonEnabled(bool enabled) {
    if (cloneButton_) cloneButton_->setButtonEnabled(enabled);
}

void SelectDrivceViewController::setTargetPicture(const std::string& imageName) {
    screen::setSlotPicture(selectToVC_.get(), imageName);
}

void SelectDrivceViewController::selectDiskButton(int slotId, kit::View* sender) {
    const kit::Color frameColor = getColor(66, 66, 88, 1);
    if (picker_.toggle(sender, slotId == kTarget, this, {frameColor, frameColor, 2.0, true}))
        openPopType_ = uint64_t(slotId);
}

void SelectDrivceViewController::doSelectDiskWithVolume(const std::shared_ptr<VolumeObj>& volume) {
    picker_.closeIfVisible();
    if (openPopType_ == uint64_t(kSource) || !volume || runGuard_.isRunning()) return;
    toVolume_ = volume;
    // The whole disk is erased: its total size is what the clone may fill.
    screen::showDriveInSlot(selectToVC_.get(), volume->volumeName(), kit::format("%@ free", volume->volumeTotalSize()),
                            "ic_usb_main");
    freeSize_ = volume->volumeTotalSizeNum();
    listTarget(volume);
    // A used size that could not be read at set-up would let any disk pass:
    // it is measured again, and the check follows its answer.
    if (usedSizeUnreadable_ && usedSize_ != -1) {
        usedSizeUnreadable_ = false;
        setCloneButtonEnabled(false);
        measureUsedSize();
        return;
    }
    changeSelectCopyType();
}

void SelectDrivceViewController::listTarget(const std::shared_ptr<VolumeObj>& volume) {
    // "Clone Now" checks the disk against these slices: the disk in the slot
    // now, not the one the launch scan may have seen there. An unreadable list
    // keeps what the scan saw. "Clone Now" waits for the answer.
    listingTarget_ = true;
    setCloneButtonEnabled(false);
    const unsigned generation = ++listingGeneration_;
    kit::Weak<SelectDrivceViewController> self(this);
    kit::dispatch::async(kit::dispatch::globalQueue(), [self, generation, volume] {
        auto slices = readDiskSlices(volume->volumePath());
        kit::dispatch::async(kit::dispatch::mainQueue(), [self, generation, volume, slices] {
            if (!self || self->listingGeneration_ != generation) return;
            if (slices) volume->setDiskSlices(slices);
            self->listingTarget_ = false;
            self->changeCloneButtonActon();
        });
    });
}

void SelectDrivceViewController::applySpaceCheck(bool withMessage) {
    if (usedSize_ == -1 || freeSize_ == -1) return;
    if (freeSize_ < usedSize_) {
        setCloneButtonEnabled(false);
        setTargetPicture("add");
        selectToVC_->changeBgImageViewWithError(true);
        if (withMessage) showErrorWindowWithErrorStr(kNoSpace);
    } else {
        setCloneButtonEnabled(!listingTarget_);
        selectToVC_->changeBgImageViewWithError(false);
    }
}

void SelectDrivceViewController::changeSelectCopyType() {
    if (usedSize_ == -1 || freeSize_ == -1) {
        changeCloneButtonActon();
        return;
    }
    applySpaceCheck(true);
}

void SelectDrivceViewController::changeCloneButtonActon() { applySpaceCheck(false); }

void SelectDrivceViewController::closeDiskValue(int) {
    ++listingGeneration_;
    listingTarget_ = false;
    toVolume_.reset();
    freeSize_ = -1;
    screen::resetSlot(selectToVC_.get(), kPickDestination);
    setCloneButtonEnabled(false);
}

// ---------------------------------------------------------------------------
// Confirmations and messages

void SelectDrivceViewController::cloneButtonAction(kit::Object*) {
    kit::Weak<SelectDrivceViewController> self(this);
    kit::dispatch::async(kit::dispatch::mainQueue(), [self] {
        if (self) self->doCopyAction();
    });
}

void SelectDrivceViewController::doCopyAction() {
    if (runGuard_.isRunning()) return;
    kit::Window* main = mainWindow();
    if (!main) return;
    auto panel = std::make_shared<MakeSureToCloneSystemVC>("MakeSureToCloneSystemVC");
    panel->setDelegate(this);
    if (showStatusPanel(panel, *main)) makeSureWC_ = panel;
}

void SelectDrivceViewController::cancelButtonAction(kit::Object*) {
    // Nothing to stop once the run has ended, and the repair is not stopped halfway.
    if (!runGuard_.isRunning() || repairing_) return;
    kit::Window* main = mainWindow();
    if (!main) return;
    auto panel = std::make_shared<MakeSureCancelCloneSystemVC>("MakeSureCancelCloneSystemVC");
    panel->setDelegate(this);
    if (showStatusPanel(panel, *main)) makeSureCancelWC_ = panel;
}

void SelectDrivceViewController::showErrorWindowWithErrorStr(const std::string& message) {
    kit::Window* main = mainWindow();
    if (!main) return;
    auto panel = std::make_shared<ErrorWindowController>("ErrorWindowController");
    if (!showStatusPanel(panel, *main)) return;
    panel->changeErrorLabelStr(message);
    errorWC_ = panel;
}

void SelectDrivceViewController::toCheckFullDiskAccess() {
    auto controller = std::make_shared<FullDiskAccessViewController>("FullDiskAccessViewController");
    kit::Window* w = controller->window();
    if (!w) return;
    fullDiskAccessWC_ = controller;
    w->center();
    kit::Application::shared().runModalForWindow(*w);
    // Kept while its window is open; the run has ended with it.
    if (fullDiskAccessWC_ == controller) fullDiskAccessWC_.reset();
}

// ---------------------------------------------------------------------------
// The run

void SelectDrivceViewController::beginToCopySystem() {
    if (runGuard_.isRunning()) return;
    // Only logged: the clone is tried whatever the answer.
    getAuthorizationStatus();

    selectDiskView_->setHidden(true);
    copyProgressView_->setHidden(false);
    endView_->setHidden(true);
    progressView_->setHidden(false);
    if (cancelButton_) cancelButton_->setHidden(false);
    // Nothing of the last run's texts or bar stays on the page.
    pathLabel_->setStringValue("");
    canChangeTab(false);

    runGuard_.start();
    repairing_ = false;
    finishing_ = false;
    runTarget_ = toVolume_ ? toVolume_->volumePath() : std::string();
    const int rc = engine().OVStart(toVolume_);
    if (rc < 0) {
        showErrorWindowWithErrorStr(rc == -3 ? kUnplugged : kCreateFailed);
        // Nothing runs: the page must not stand waiting with the tabs locked.
        showFailView(kCloneFailed);
    }
}

std::string SelectDrivceViewController::messageForErrorCode(int errorCode) {
    switch (errorCode) {
    case -1:
    case -2:
    case -6:
    case -7: return kCloneFailed;
    case -3: return kUnplugged;
    case -4: return kEraseFailed;
    case -5: return kUnsupported;
    default: return "";
    }
}

float SelectDrivceViewController::progressForStep(int stepCode) {
    switch (stepCode) {
    case 1: return 5;
    case 2: return 10;
    case 3: return 15;
    case 4: return 20;
    case 5: return 30;
    case 8: return 100;
    default: return 0;
    }
}

void SelectDrivceViewController::setAnimImage(const std::string& name) {
    animImageName_ = name;
    if (animImageView_) animImageView_->setImageNamed(name);
}

void SelectDrivceViewController::OVUINotify(const OVCloneProgress* progress) {
    if (!progress || !runGuard_.isRunning()) return;
    const int error = progress->errorCode;
    if (error >= 0) {
        if (progress->stepCode == 1) {
            stepFVC_->setSetpIn(2);
            setAnimImage("erase");
        } else if (progress->stepCode == 5) {
            stepFVC_->setSetpIn(3);
            setAnimImage("copy");
        }
        changeProValue(progressForStep(progress->stepCode));
    } else if (error >= -7) {
        const std::string message = messageForErrorCode(error);
        if (message.empty()) return;
        engine().OVStop();
        showFailView(message);
    }
}

void SelectDrivceViewController::changeProTimeWithTag(int tag, int withStep) {
    if (!runGuard_.isRunning()) return;
    kit::logf("|-----: pro : %d", tag);
    changeProValue(float(3 * tag + (withStep == 2 ? 65 : 35)));
}

std::string SelectDrivceViewController::trim(const std::string& text) {
    const char* blanks = " \t";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

void SelectDrivceViewController::changeProLabelValue(const std::string& text) {
    if (!runGuard_.isRunning() || repairing_) return;
    pathLabel_->setStringValue(trim(text));
}

void SelectDrivceViewController::changeProValue(float value) {
    if (!runGuard_.isRunning()) return;
    iProgreeBar_->animator().setFloatValue(value / 100.0);
    if (value < 100 || finishing_) return;
    finishing_ = true;
    if (cloneNeedsPrebootRepair()) repairPrebootFile();
    else showEndView();
}

void SelectDrivceViewController::returnProForClone(float percent) {
    if (!runGuard_.isRunning()) return;
    const SystemClonebyTimeMacine::Display shown = SystemClonebyTimeMacine::displayForPercent(percent);
    if (shown.step) stepFVC_->setSetpIn(shown.step);
    if (!shown.picture.empty()) setAnimImage(shown.picture);
    pathLabel_->setStringValue(shown.label);
    changeProValue(shown.value);
}

void SelectDrivceViewController::backupDidFail(int status) {
    if (!runGuard_.isRunning()) return;
    kit::logf("backup route failed: %d", status);
    showFailView(kCloneFailed);
}

void SelectDrivceViewController::repairPrebootFile() {
    pathLabel_->setStringValue("Cloning...");
    // The repair is not stopped halfway: no "Cancel" while it runs.
    repairing_ = true;
    if (cancelButton_) cancelButton_->setHidden(true);
    if (auto panel = makeSureCancelWC_.lock()) panel->closeWindow(nullptr);
    kit::Weak<SelectDrivceViewController> self(this);
    const auto token = runGuard_.current();
    PrebootRepair::start(runTarget_, [self, token](const PrebootRepairOutcome& outcome) {
        if (!self || !self->runGuard_.accepts(token)) return;
        self->repairing_ = false;
        self->pathLabel_->setStringValue("Finishing...");
        // A Preboot volume that was found but could not be filled leaves a
        // clone that won't start: that is no success.
        if (outcome.succeeded()) self->showEndView();
        else self->showFailView(kCloneFailed);
    });
}

void SelectDrivceViewController::showEndView() {
    stepFVC_->setSetpIn(4);
    progressView_->setHidden(true);
    endView_->setHidden(false);
    showFaile(false);
}

void SelectDrivceViewController::showFailView(const std::string& text) {
    progressView_->setHidden(true);
    endView_->setHidden(false);
    errorLable_->setStringValue(text);
    showFaile(true);
}

void SelectDrivceViewController::showFaile(bool failed) {
    // From here on the run's reports are ignored until the next start.
    runGuard_.end();
    repairing_ = false;
    if (auto panel = makeSureCancelWC_.lock()) panel->closeWindow(nullptr);
    // A failure leaves the bar at the step the run had reached: the steps after
    // it (an erase, a clone) did not happen.
    if (!failed) stepFVC_->setSetpIn(4);
    failView_->setHidden(!failed);
    sussView_->setHidden(failed);
    if (cancelButton_) cancelButton_->setHidden(false);
    canChangeTab(true);
}

void SelectDrivceViewController::cancelToCopySystem() {
    if (!runGuard_.isRunning() || repairing_) return;
    engine().OVStop();
    showFailView(kStopped);
}

void SelectDrivceViewController::failCancelButtonAction(kit::Object*) { backHomeView(); }
void SelectDrivceViewController::succCancelButtonAction(kit::Object*) { backHomeView(); }

void SelectDrivceViewController::backHomeView() {
    iProgreeBar_->animator().setFloatValue(0);
    progressView_->setHidden(false);
    endView_->setHidden(true);
    closeDiskValue(kTarget);
    selectDiskView_->setHidden(false);
    copyProgressView_->setHidden(true);
}

void SelectDrivceViewController::canChangeTab(bool value) {
    if (delegate_) delegate_->canChangeTab(value);
}
