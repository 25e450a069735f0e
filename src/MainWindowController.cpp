#include "MainWindowController.h"

#include <chrono>

#include "Bootable/SelectDrivceViewController.h"
#include "Bootable/boot/OVBootable.h"
#include "Comm/BGWView.h"
#include "Comm/LeftButton.h"
#include "Comm/TCImageWindow.h"
#include "Comm/WindowChrome.h"
#include "DiskTool/RepairDiskViewController.h"
#include "FileCopy/DiskCopyViewController.h"
#include "ZipDmg/DmgViewController.h"
#include "kit/RunLoop.h"
#include "kit/SysPath.h"
#include "kit/System.h"
#include "kit/ui/Animation.h"
#include "kit/ui/Application.h"
#include "kit/ui/Control.h"

namespace {

void endApplicationLoop(int status) { kit::Application::shared().stop(status); }

struct TabSpec {
    const char* icon;
    const char* label;
    double y;
    const char* action;
};
const TabSpec kTabs[4] = {
    {"ic_disk_icon", "Disk Copy", 423, "TopCloneButtonAction:"},
    {"ic_os_main", "OS Clone", 371, "BootableButtonAction:"},
    {"ic_dmg", "Disk Image Create", 319, "TopDmgButtonAction:"},
    {"ic_tool", "Disk Manager", 267, "TopDiskToolButtonAction:"},
};
// The highlight sits 14 points below its tab's origin.
constexpr double kHighlightOffset = 14;

}  // namespace

void (*MainWindowController::exitProcess)(int) = endApplicationLoop;

MainWindowController::MainWindowController(const std::string& layoutName) : kit::WindowController(layoutName) {
    declareOutlet("window", window_);
    declareOutlet("diskCopyView", diskCopyView_);
    declareOutlet("dmgView", dmgView_);
    declareOutlet("diskTool", diskTool_);
    declareOutlet("bootableView", bootableView_);
    registerAction("TopCloneButtonAction:", [this](kit::Object* s) { TopCloneButtonAction(s); });
    registerAction("BootableButtonAction:", [this](kit::Object* s) { BootableButtonAction(s); });
    registerAction("TopDmgButtonAction:", [this](kit::Object* s) { TopDmgButtonAction(s); });
    registerAction("TopDiskToolButtonAction:", [this](kit::Object* s) { TopDiskToolButtonAction(s); });
    registerAction("closeWindow:", [this](kit::Object* s) { closeWindow(s); });
}

MainWindowController::~MainWindowController() {
    if (window_ && window_->delegate() == this) window_->setDelegate(nullptr);
}

void MainWindowController::awakeFromNib() {
    aWindow_ = dynamic_cast<TCImageWindow*>(window_.get());
    if (!aWindow_) return;
    aWindow_->setBackgroundColor(kit::Color::clear());
    titleBarView_ = aWindow_->titleBarView();
    aWindow_->setTitleBarHeight(25);
    aWindow_->setTrafficLightButtonsLeftMargin(16);
    aWindow_->setTopButtonMoveUp(-3);
}

void MainWindowController::windowDidLoad() {
    if (titleBarView_) {
        auto top = std::make_shared<kit::ImageView>(kit::Rect(0, 0, 960, 25));
        top->setImageNamed("top");
        top->setImageScaling(kit::ImageScaling::AxesIndependently);
        titleBarView_->addSubview(top);
    }
    canChangeTab_ = true;
    addWindowTitle();
    addBaseView();
    addDmgView();
    addDiskToolView();
    addBootableView();
    if (kit::Window* w = window()) {
        routeCloseButton(*w, this);
        w->setDelegate(this);
    }
}

void MainWindowController::addWindowTitle() {
    kit::Window* w = window();
    if (!w || !w->contentView()) return;
    kit::View* content = w->contentView();
    selectBgImage_ = std::make_shared<kit::ImageView>(kit::Rect(0, kTabs[0].y - kHighlightOffset, 164, 80));
    selectBgImage_->setImageNamed("tab_on");
    content->addSubview(selectBgImage_);

    std::shared_ptr<LeftButton>* slots[4] = {&tab_diskclone_, &tab_bootable_, &tab_createImage_, &tab_disktool_};
    for (int i = 0; i < 4; ++i) {
        auto tab = std::make_shared<LeftButton>(kit::Rect(0, kTabs[i].y, 164, 52));
        tab->setBordered(false);
        tab->setEnabled(true);
        tab->setImageFromFileNormalName(kTabs[i].icon, kTabs[i].icon);
        tab->setTextWithName(kTabs[i].label);
        content->addSubview(tab);
        tab->setTarget(this);
        tab->setAction(kTabs[i].action);
        tab->buttonCell()->setHighlightsBy(kit::NoCellMask);
        *slots[i] = tab;
    }
    tab_diskclone_->setButtonAction(true);
}

void MainWindowController::addBaseView() {
    diskCopyVC_ = std::make_shared<DiskCopyViewController>("DiskCopyViewController");
    diskCopyVC_->setDelegate(this);
    if (diskCopyView_) diskCopyView_->addSubview(diskCopyVC_->viewPtr());
}

void MainWindowController::addDmgView() {
    dmgVC_ = std::make_shared<DmgViewController>("DmgViewController");
    dmgVC_->setDelegate(this);
    if (dmgView_) dmgView_->addSubview(dmgVC_->viewPtr());
}

void MainWindowController::addDiskToolView() {
    repairDiskVC_ = std::make_shared<RepairDiskViewController>("RepairDiskViewController");
    if (diskTool_) diskTool_->addSubview(repairDiskVC_->viewPtr());
}

void MainWindowController::addBootableView() {
    bootableVC_ = std::make_shared<SelectDrivceViewController>("SelectDrivceViewController");
    bootableVC_->setDelegate(this);
    if (bootableView_) bootableView_->addSubview(bootableVC_->viewPtr());
}

void MainWindowController::setTabFrame(kit::Point point) {
    if (!selectBgImage_) return;
    kit::Rect target(point, selectBgImage_->frame().size);
    // Fades in while it glides to the chosen tab; a click during the glide
    // starts again from wherever the highlight has got to.
    selectBgImage_->setAlphaValue(0);
    kit::AnimationContext::runAnimationGroup([&](kit::AnimationContext& ctx) {
        ctx.setDuration(0.2);
        selectBgImage_->animator().setFrame(target);
        selectBgImage_->animator().setAlphaValue(1);
    });
}

void MainWindowController::selectTab(LeftButton* tab, double highlightY, kit::View* host) {
    if (!canChangeTab_) return;
    setTabFrame(kit::Point{0, highlightY});
    for (LeftButton* t : {tab_diskclone_.get(), tab_bootable_.get(), tab_createImage_.get(), tab_disktool_.get()})
        if (t) t->setButtonAction(t == tab);
    for (kit::View* v : {diskCopyView_.get(), bootableView_.get(), dmgView_.get(), diskTool_.get()})
        if (v) v->setHidden(v != host);
}

void MainWindowController::TopCloneButtonAction(kit::Object*) {
    selectTab(tab_diskclone_.get(), kTabs[0].y - kHighlightOffset, diskCopyView_.get());
}
void MainWindowController::BootableButtonAction(kit::Object*) {
    selectTab(tab_bootable_.get(), kTabs[1].y - kHighlightOffset, bootableView_.get());
}
void MainWindowController::TopDmgButtonAction(kit::Object*) {
    selectTab(tab_createImage_.get(), kTabs[2].y - kHighlightOffset, dmgView_.get());
}
void MainWindowController::TopDiskToolButtonAction(kit::Object*) {
    selectTab(tab_disktool_.get(), kTabs[3].y - kHighlightOffset, diskTool_.get());
}

void MainWindowController::closeWindow(kit::Object*) { stopJobsAndQuit(); }

bool MainWindowController::windowShouldClose(kit::Window&) {
    if (!formatRunning()) return true;
    // The window stays on its "Formatting…" panel until the format is over.
    stopJobsAndQuit();
    return false;
}

void MainWindowController::windowWillClose(kit::Window&) { stopJobsAndQuit(); }

bool MainWindowController::formatRunning() const { return repairDiskVC_ && repairDiskVC_->isFormatRunning(); }

void MainWindowController::stopRunningJobs() {
    if (diskCopyVC_ && diskCopyVC_->isRunning()) diskCopyVC_->cancelButtonAction(nullptr);
    if (dmgVC_ && dmgVC_->isRunning()) dmgVC_->cancelButtonAction(nullptr);
    // The stop the clone's confirmation asks for; a Preboot repair is not
    // stopped halfway, only waited for.
    if (bootableVC_ && bootableVC_->isRunning()) bootableVC_->cancelToCopySystem();
}

bool MainWindowController::jobsWorking() const {
    if (diskCopyVC_ && diskCopyVC_->isWorking()) return true;
    if (dmgVC_ && dmgVC_->isWorking()) return true;
    if (OVBootable::OVShareInstance().isRunning() || (bootableVC_ && bootableVC_->isRepairing())) return true;
    return formatRunning();
}

void MainWindowController::endWaitedTools() {
    // An eject has a minute of its own; the image stays when it is cut short.
    if (dmgVC_ && dmgVC_->makeDmg()) dmgVC_->makeDmg()->giveUpWaiting();
}

void MainWindowController::stopJobsAndQuit() {
    if (quitting_) return;
    quitting_ = true;
    stopRunningJobs();
    // The jobs end on their own threads and report on the main queue, so the
    // loop keeps running while the close waits for them.
    using Clock = std::chrono::steady_clock;
    struct Wait {
        Clock::time_point deadline;
        bool toolsEnded = false;
    };
    auto wait = std::make_shared<Wait>();
    wait->deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kit::scaled(kCloseWait)));
    auto check = [this, wait] {
        // A format can't be stopped halfway: it is waited for whole, each of
        // its tool runs ending at its own time-out at the latest.
        if (formatRunning()) return false;
        if (jobsWorking() && Clock::now() < wait->deadline) return false;
        if (jobsWorking() && !wait->toolsEnded) {
            wait->toolsEnded = true;
            // A tool that ignores the request to end is killed after a second.
            wait->deadline = Clock::now() + std::chrono::seconds(2);
            endWaitedTools();
            return false;
        }
        if (jobsWorking()) kit::systemLog("closing with a job still under way after the wait");
        exitProcess(0);
        return true;
    };
    if (check()) return;
    kit::Timer::scheduled(0.05, true, life_, [check](kit::Timer& t) {
        if (check()) t.invalidate();
    });
}
