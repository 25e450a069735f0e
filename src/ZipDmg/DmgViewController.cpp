#include "ZipDmg/DmgViewController.h"

#include <ctime>

#include "Comm/CopyFolder.h"
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
#include "kit/ui/Font.h"
#include "kit/ui/Image.h"
#include "kit/ui/Window.h"

namespace {

constexpr const char* kNothingChosen = "No file has been selected\u2026";
constexpr const char* kFailed = "Operation failed.";
constexpr const char* kStopped = "You have stopped the process.";
// The engine adds this much to every image it makes.
constexpr int64_t kImageMargin = 50000000;
constexpr double kStartDelay = 0.3;

void trace(const std::string& line) { OVPublicUtilities::writeFileWithTab(line); }
std::string llu(int64_t v) { return kit::format("%llu", static_cast<unsigned long long>(v)); }

SourceDestViewController::Settings imageSettings() {
    SourceDestViewController::Settings t;
    t.startTitle = "Create Now";
    t.dropName = "Drag some files";
    t.choiceSizeFormat = "%@";
    t.openPhrase = "the disk image on the destination drive.";
    t.openLogFormat = "21---------%@";
    t.picker = {kit::Color::rgb255(66, 66, 88), kit::Color::rgb255(86, 123, 194), 0.5, false};
    t.listForCopy = false;
    return t;
}

}  // namespace

DmgViewController::DmgViewController(const std::string& layoutName)
    : SourceDestViewController(layoutName, imageSettings()) {
    declareOutlet("makeZipBut", makeZipBut_);
    declareOutlet("makeDmgBut", makeDmgBut_);
    registerAction("makeDmgButAction:", [this](kit::Object* s) { makeDmgButAction(s); });
    registerAction("makeZipButAction:", [this](kit::Object* s) { makeZipButAction(s); });
    registerAction("cancelButtonAction:", [this](kit::Object* s) { cancelButtonAction(s); });
}

DmgViewController::~DmgViewController() {
    if (aTimer_) aTimer_->invalidate();
    if (makeDmg_) {
        makeDmg_->setMakeDmgDelegate(nullptr);
        if (runGuard_.isRunning()) {
            makeDmg_->setIsCancelCopy(true);
            makeDmg_->stopMakeDmg();
        }
    }
    if (sizeCounter_) sizeCounter_->setDelegate(nullptr);
}

// ---------------------------------------------------------------------------
// Set-up

void DmgViewController::awakeFromNib() {
    isMakeZip_ = false;
    makeDmg_ = std::make_shared<MakeDmg>();
    makeDmg_->setMakeDmgDelegate(this);
    SourceDestViewController::awakeFromNib();
    setButtonTitleColor();
    for (SetpViewController* steps : {setpVC_.get(), setpVC_2_.get()})
        if (steps->label_2()) steps->label_2()->setStringValue("Create Disk Image");
}

// ---------------------------------------------------------------------------
// Size trace and space margin

void DmgViewController::noteSizes(SizeNote note) {
    switch (note) {
    case SizeNote::SourceChosen:
        trace("0---0-------------------------------\n");
        trace(kit::format("USEDSIZE : %@ \n", llu(usedSize_)));
        trace(kit::format("TotalSIZE : %@ \n", llu(fromeVolume_->volumeTotalSizeNum())));
        trace(kit::format("FreeSIZE : %@ \n", llu(fromeVolume_->volumeFreeSizeNum())));
        trace("0---0-------------------------------\n");
        return;
    case SizeNote::DestinationChosen:
        trace("1---0-------------------------------\n");
        trace(kit::format("freeSize : %@ \n", llu(freeSize_)));
        trace("1---2-------------------------------\n");
        return;
    case SizeNote::ChoiceApplied:
        trace("3---0-------------------------------\n");
        trace(kit::format("freeSiselectFilesSizeze : %@ \n", llu(selectFilesSize_)));
        trace("3---2-------------------------------\n");
        return;
    case SizeNote::SpaceCheck:
        if (usedSize_ == -1 || freeSize_ == -1 || selectFilesSize_ == screen::kCounting) return;
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
        return;
    }
}

int64_t DmgViewController::spaceMargin() const { return isMakeZip_ ? 0 : kImageMargin; }

// ---------------------------------------------------------------------------
// Confirmation

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
    if (chosen_) getZipFilePathArr(*chosen_, zipFilesArr_);
    if (zipFilesArr_.empty()) {
        showErrorWindowWithErrorStr(kNothingChosen);
        return;
    }
    kit::Window* main = mainWindow();
    if (!main) return;
    auto panel = std::make_shared<DMGMakeSureWC>("DMGMakeSureWC");
    panel->setDelegate(this);
    if (showStatusPanel(panel, *main)) makeSureWC_ = panel;
}

void DmgViewController::canChangeTab(bool value) {
    if (delegate_) delegate_->canChangeTab(value);
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
    // Nothing is written before the chosen drives have been read again.
    startWhenVolumesHold(token, [this, token] { armStart(token); });
}

void DmgViewController::armStart(screen::RunGuard::Token token) {
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
    if (chosen_) sizeCounter_->getAllFilesSizeWithArr(*chosen_);
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
    FileNodeList nodes = chosen_ ? *chosen_ : FileNodeList();
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

void DmgViewController::makeDmgFailWithError(const std::optional<std::string>& error) {
    if (!runGuard_.isRunning()) return;
    showFailView(error ? std::string(kFailed) + " " + *error : std::string(kFailed));
}

void DmgViewController::stoppedImageKept(const std::string& text) {
    // Said on the stop pane while it shows; once the page has moved on, in a
    // message of its own.
    const bool stopPaneShown = !runGuard_.isRunning() && !copyProgressView_->isHidden() && !endView_->isHidden() &&
                               !failView_->isHidden() && errorLable_->stringValue() == kStopped;
    if (stopPaneShown) errorLable_->setStringValue(std::string(kStopped) + " " + text);
    else showErrorWindowWithErrorStr(text);
}

bool DmgViewController::isWorking() const { return makeDmg_ && makeDmg_->isWorking(); }

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

void DmgViewController::runEnded() {
    if (aTimer_) aTimer_->invalidate();
    aTimer_.reset();
}

void DmgViewController::backHomeView() {
    rogressView_->animator().setFloatValue(0);
    showFirstPage();
}
