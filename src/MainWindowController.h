#pragma once
// The main window: the custom title bar, the four feature tabs on the left,
// one host view per feature screen, and the tab lock by which a running
// operation keeps the user on its tab.
#include <memory>
#include <string>

#include "kit/ui/ImageView.h"
#include "kit/ui/View.h"
#include "kit/ui/ViewController.h"
#include "kit/ui/Window.h"
#include "FileCopy/DiskCopyVCDelegate.h"
#include "Bootable/SelectDrivceViewControllerDelegate.h"
#include "ZipDmg/DmgVCDelegate.h"

class TCImageWindow;
class LeftButton;
class DiskCopyViewController;
class DmgViewController;
class RepairDiskViewController;
class SelectDrivceViewController;

class MainWindowController : public kit::WindowController, public kit::WindowDelegate, public DiskCopyVCDelegate,
                             public DmgVCDelegate, public SelectDrivceViewControllerDelegate {
public:
    explicit MainWindowController(const std::string& layoutName = "MainWindowController");
    ~MainWindowController() override;

    void awakeFromNib() override;
    void windowDidLoad() override;

    // The tab lock: NO while an operation runs (the feature screens move it).
    void canChangeTab(bool value) { canChangeTab_ = value; }
    bool isTabChangeAllowed() const { return canChangeTab_; }
    // The "Disk Copy" screen, once its host view holds it.
    DiskCopyViewController* diskCopyVC() const { return diskCopyVC_.get(); }
    // The "OS Clone" screen, once its host view holds it.
    SelectDrivceViewController* bootableVC() const { return bootableVC_.get(); }
    // The "Disk Image Create" screen, once its host view holds it.
    DmgViewController* dmgVC() const { return dmgVC_.get(); }
    // The "Disk Manager" page, once its host view holds it.
    RepairDiskViewController* repairDiskVC() const { return repairDiskVC_.get(); }

    void TopCloneButtonAction(kit::Object* sender);
    void BootableButtonAction(kit::Object* sender);
    void TopDmgButtonAction(kit::Object* sender);
    void TopDiskToolButtonAction(kit::Object* sender);
    // However the window closes (its close button, the window manager's
    // close request), the program ends, but never in the middle of a job:
    // each running job is stopped as its own Stop does (its tools ended, what
    // it made partly removed, an image ejected first), and the program ends
    // with status 0 once that work is over, or after kCloseWait seconds
    // (scaled); tools still running then are ended, and the program waits
    // two seconds more at most. A format, which can't be stopped halfway, is
    // waited for to its end, the window kept open on its panel meanwhile.
    void closeWindow(kit::Object* sender);
    bool windowShouldClose(kit::Window& w) override;
    void windowWillClose(kit::Window& w) override;
    static constexpr double kCloseWait = 10.0;
    // The steps of that close: stop every running job as its Stop does,
    // whether any job's work (a tool, a clean-up) is still under way, and
    // end the tools that work still waits for.
    void stopRunningJobs();
    bool jobsWorking() const;
    void endWaitedTools();

    TCImageWindow* aWindow() const { return aWindow_; }
    kit::View* titleBarView() const { return titleBarView_; }
    kit::View* diskCopyView() const { return diskCopyView_.get(); }
    void setDiskCopyView(std::shared_ptr<kit::View> v) { diskCopyView_ = std::move(v); }
    kit::View* dmgView() const { return dmgView_.get(); }
    void setDmgView(std::shared_ptr<kit::View> v) { dmgView_ = std::move(v); }
    kit::View* diskTool() const { return diskTool_.get(); }
    void setDiskTool(std::shared_ptr<kit::View> v) { diskTool_ = std::move(v); }
    kit::View* bootableView() const { return bootableView_.get(); }
    void setBootableView(std::shared_ptr<kit::View> v) { bootableView_ = std::move(v); }
    kit::ImageView* selectBgImage() const { return selectBgImage_.get(); }
    LeftButton* tab_diskclone() const { return tab_diskclone_.get(); }
    LeftButton* tab_bootable() const { return tab_bootable_.get(); }
    LeftButton* tab_createImage() const { return tab_createImage_.get(); }
    LeftButton* tab_disktool() const { return tab_disktool_.get(); }

    // The program's end when the window closes: the application loop stops,
    // so the entry function releases the display-sleep assertion and leaves
    // with the status (replaceable by tests).
    static void (*exitProcess)(int status);

private:
    void addWindowTitle();
    void addBaseView();
    void addDmgView();
    void addDiskToolView();
    void addBootableView();
    void setTabFrame(kit::Point point);
    void selectTab(LeftButton* tab, double highlightY, kit::View* host);
    void stopJobsAndQuit();
    bool formatRunning() const;

    TCImageWindow* aWindow_ = nullptr;
    kit::View* titleBarView_ = nullptr;
    std::shared_ptr<DiskCopyViewController> diskCopyVC_;
    std::shared_ptr<DmgViewController> dmgVC_;
    std::shared_ptr<RepairDiskViewController> repairDiskVC_;
    std::shared_ptr<SelectDrivceViewController> bootableVC_;
    std::shared_ptr<kit::Window> window_;
    std::shared_ptr<kit::View> diskCopyView_, dmgView_, diskTool_, bootableView_;
    std::shared_ptr<kit::ImageView> selectBgImage_;
    std::shared_ptr<LeftButton> tab_diskclone_, tab_bootable_, tab_createImage_, tab_disktool_;
    bool canChangeTab_ = true;
    bool quitting_ = false;
    // Lives as long as the controller: the close's timer holds it weakly.
    std::shared_ptr<int> life_ = std::make_shared<int>(0);
};
