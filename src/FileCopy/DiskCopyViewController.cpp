#include "FileCopy/DiskCopyViewController.h"

#include <ctime>

#include "Comm/CopyFolder.h"
#include "Comm/PopWindow/StatusPanel.h"
#include "Comm/ScreenSelection.h"
#include "Disk/VolumeObj.h"
#include "FileCopy/CopyMakeSureWC.h"
#include "kit/Dispatch.h"
#include "kit/Format.h"
#include "kit/SysPath.h"
#include "kit/ui/Window.h"

namespace {

constexpr const char* kNothingChosen = "No file/disk has been selected\u2026";
constexpr const char* kCopyFailed = "Some files copy failed!";
constexpr const char* kCopyStopped = "You have stopped the copying process.";
constexpr const char* kCopying = "Copying data...";

SourceDestViewController::Settings copySettings() {
    SourceDestViewController::Settings t;
    t.startTitle = "Copy Now";
    t.dropName = "add some files";
    t.openPhrase = "the copy on the destination drive.";
    t.openLogFormat = "open the copy folder %@";
    const kit::Color frameColor = kit::Color::rgb255(66, 66, 88);
    t.picker = {frameColor, frameColor, 1.0, false};
    t.listForCopy = true;
    return t;
}

}  // namespace

DiskCopyViewController::DiskCopyViewController(const std::string& layoutName)
    : SourceDestViewController(layoutName, copySettings()) {
    registerAction("cancelButtonAction:", [this](kit::Object* s) { cancelButtonAction(s); });
}

DiskCopyViewController::~DiskCopyViewController() {
    if (doCopy_) {
        doCopy_->setDelegate(nullptr);
        doCopy_->setIsCancel(true);
    }
}

// ---------------------------------------------------------------------------
// Start

void DiskCopyViewController::confirmChosenItems() {
    kit::Weak<DiskCopyViewController> self(this);
    kit::dispatch::async(kit::dispatch::mainQueue(), [self] {
        if (self) self->doCopyAction();
    });
}

void DiskCopyViewController::doCopyAction() {
    if (runGuard_.isRunning()) return;
    if (!chosen_ || !screen::hasChosenItem(*chosen_)) {
        showErrorWindowWithErrorStr(kNothingChosen);
        return;
    }
    kit::Window* main = mainWindow();
    if (!main) return;
    auto panel = std::make_shared<CopyMakeSureWC>("CopyMakeSureWC");
    panel->setDelegate(this);
    if (showStatusPanel(panel, *main)) makeSureWC_ = panel;
}

// ---------------------------------------------------------------------------
// The run

void DiskCopyViewController::beginToCopyFiles() {
    if (runGuard_.isRunning()) return;
    if (!chosen_ || !screen::hasChosenItem(*chosen_)) {
        showErrorWindowWithErrorStr(kNothingChosen);
        return;
    }
    selectDiskView_->setHidden(true);
    copyProgressView_->setHidden(false);
    pathLabel_->setStringValue(" ");
    rogressView_->setFloatValue(0);
    barPercent_ = 0;
    canChangeTab(false);
    // Nothing is written before the chosen drives have been read again.
    startWhenVolumesHold(runGuard_.start(), [this] { startCopyRun(); });
}

void DiskCopyViewController::startCopyRun() {
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
    doCopy_->doCopyFilesWithArr(*chosen_, folder);
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

// A run of many small items reports thousands of paths and percentages, most
// of them changing nothing on the screen: only a change is drawn (or glides).
void DiskCopyViewController::changePathValue(const std::string&) {
    if (pathLabel_->stringValue() != kCopying) pathLabel_->setStringValue(kCopying);
}

void DiskCopyViewController::changeProValue(float percent) {
    if (percent != barPercent_) {
        barPercent_ = percent;
        rogressView_->animator().setFloatValue(percent / 100.0);
    }
    if (percent >= 100) {
        progressView_->setHidden(true);
        endView_->setHidden(false);
        showFaile(false);
    }
}

void DiskCopyViewController::runEnded() {
    if (doCopy_) doCopy_->setDelegate(nullptr);
}

void DiskCopyViewController::backHomeView() {
    rogressView_->setFloatValue(0);
    barPercent_ = 0;
    showFirstPage();
}

void DiskCopyViewController::canChangeTab(bool value) {
    if (delegate_) delegate_->canChangeTab(value);
}
