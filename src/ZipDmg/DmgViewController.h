#pragma once
// The "Disk Image Create" screen. First page: a source and a destination drive
// slot, the copy mode ("Copy All Files", or "Copy Some Files" chosen in the
// file-choice window), items dropped onto the source slot, the output choice
// (disk image or zip archive), the space check and "Create Now" with its
// confirmation. Second page: the run, with its progress and stop button, and
// the success, failure and stop panes that lead back to an empty first page.
//
// Sizes follow the screens' shared rules (Comm/ScreenSelection.h): the whole
// volume is checked against its used size, dropped items by their counted
// bytes, and on the image route the image's margin is part of the need.
// Reports of the engine are taken from a start to its end pane only
// (Comm/RunGuard.h).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Comm/CancelTextImageButton.h"
#include "Comm/CopyModeMenu.h"
#include "Comm/ITProgressBar.h"
#include "Comm/LComboBox.h"
#include "Comm/Lib/YLPopoverController.h"
#include "Comm/OVHandButton.h"
#include "Comm/RunGuard.h"
#include "Comm/SelectAllFilePopVC.h"
#include "Comm/SelectDiskViewController.h"
#include "Comm/SelectValueView.h"
#include "Comm/SetpViewController.h"
#include "Comm/TextImageButton.h"
#include "DiskList/Controller.h"
#include "DiskList/ControllerDelegate.h"
#include "DiskList/DiskListWC.h"
#include "DiskList/DiskListWCDelegate.h"
#include "DiskList/FileNodeArray.h"
#include "DiskList/GetFilesSizeDelegate.h"
#include "ZipDmg/DMGMakeSureWCDelegate.h"
#include "ZipDmg/DmgVCDelegate.h"
#include "ZipDmg/MakeDmg.h"
#include "kit/RunLoop.h"
#include "kit/ui/Control.h"
#include "kit/ui/TextField.h"
#include "kit/ui/View.h"
#include "kit/ui/ViewController.h"

class VolumeObj;
class ErrorWindowController;
class DMGMakeSureWC;
class RMAAttachedWindow;
class GetFilesSize;

class DmgViewController : public kit::ViewController,
                          public SelectValueViewDelegate,
                          public SelectDiskVCDelegate,
                          public LComboBoxDelegate,
                          public SelectAllFileVCDelegate,
                          public DiskListWCDelegate,
                          public ControllerDelegate,
                          public GetFilesSizeDelegate,
                          public DMGMakeSureWCDelegate,
                          public MakeDmgDelegate {
public:
    explicit DmgViewController(const std::string& layoutName = "DmgViewController");
    ~DmgViewController() override;

    void awakeFromNib() override;
    void setButtonTitleColor();

    // ---- slots and the drive picker ----
    void selectDiskButton(int slotId, kit::View* withID) override;
    void doSelectDiskWithVolume(const std::shared_ptr<VolumeObj>& volume) override;
    void closeDiskValue(int slotId) override;
    void viewDragAction(const std::vector<FileNode::Ptr>& nodes) override;
    void selectFileButtonAction(kit::Object* sender) override {}

    // ---- copy mode ----
    // The space check (with its message); the mode box sends it when it
    // shows "Copy All Files".
    void changeSelectCopyType() override;
    // The same verdict without a message.
    void changeCloneButtonActon();
    void showSelectAllVC() override;
    void selectFormatbyType(int32_t type) override;
    void mouseEixtView(bool left) override;
    // Closes the mode menu now.
    void closeMattachedWindow();
    void doShowSearchView() override;

    // ---- the file choice ----
    // From the counting thread; applied on the main queue.
    void closeWindowWithSelect(const FileNodeArray& arr, int64_t withSelectSize) override;

    // ---- output choice ----
    void makeDmgButAction(kit::Object* sender);
    void makeZipButAction(kit::Object* sender);

    // ---- confirmation ----
    void cloneButtonAction(kit::Object* sender);
    // The whole-volume listing has ended (listing thread).
    void endScanFiles() override;
    void doMakeZip();
    static void getZipFilePathArr(const std::vector<FileNode::Ptr>& nodes, std::vector<std::string>& withZipArr);
    void showErrorWindowWithErrorStr(const std::string& message);
    void canChangeTab(bool value);

    // ---- the run ----
    void beginToMakeDMGorZIP() override;
    void doMakeDMGWithFileArr();
    // The image's byte count (the size count's thread, or the main thread).
    void allCopyFilesSize(int64_t size) override;
    std::string getCreateName();
    void doMakeZipWithFileArr();
    void beginToCopyDmg() override;
    void copyFileToDmgWithFileName(const std::string& fileName, float Withprogress) override;
    void makeDmgFailWithError(const std::optional<std::string>& error) override;
    void changePathValue(const std::string& text, float withProValue);
    void changePathValue(const std::string& text);
    void zipWritProgress(float progress, const std::string& withPath);
    void cancelButtonAction(kit::Object* sender);
    void cancelMakeZip();
    void showFailView(const std::string& text);
    void showFaile(bool failed);
    void setOpenLabel();
    void openPathButtonAction();
    void failCancelButtonAction(kit::Object* sender);
    void succCancelButtonAction(kit::Object* sender);
    void backHomeView();

    // The status text shown for an engine report: zip's output chunk less its
    // first line; any other text whole.
    static std::string statusTextFor(const std::string& text);
    // Where the product goes for a destination mounted at mountPoint: the
    // mount point, or the console user's desktop for the system volume on
    // systems after 10.14.
    static std::string destinationFolder(const std::string& mountPoint, int systemVersion);

    // ---- accessors ----
    DmgVCDelegate* delegate() const { return delegate_; }
    void setDelegate(DmgVCDelegate* d) { delegate_ = d; }
    LComboBox* lComboBox() const { return lComboBox_.get(); }
    kit::View* comboBoxView() const { return comboBoxView_.get(); }
    kit::View* selectFromView() const { return selectFromView_.get(); }
    kit::View* selectToView() const { return selectToView_.get(); }
    SelectValueView* selectFromVC() const { return selectFromVC_.get(); }
    SelectValueView* selectToVC() const { return selectToVC_.get(); }
    uint64_t openPopType() const { return openPopType_; }
    int64_t usedSize() const { return usedSize_; }
    int64_t freeSize() const { return freeSize_; }
    int64_t selectFilesSize() const { return selectFilesSize_; }
    bool isDragValue() const { return isDragValue_; }
    bool isMakeZip() const { return isMakeZip_; }
    const FileNodeArray& filesArr() const { return filesArr_; }
    const std::vector<std::string>& zipFilesArr() const { return zipFilesArr_; }
    const std::shared_ptr<VolumeObj>& fromeVolume() const { return fromeVolume_; }
    const std::shared_ptr<VolumeObj>& toVolume() const { return toVolume_; }
    SelectDiskViewController* selectDiskVC() const { return selectDiskVC_.get(); }
    YLPopoverController* popoverController() const { return popoverController_.get(); }
    TextImageButton* cloneButton() const { return cloneButton_.get(); }
    kit::Button* makeZipBut() const { return makeZipBut_.get(); }
    kit::Button* makeDmgBut() const { return makeDmgBut_.get(); }
    kit::TextField* topLabel() const { return topLabel_.get(); }
    DiskListWC* diskListWC() const { return diskListWC_.get(); }
    MakeDmg* makeDmg() const { return makeDmg_.get(); }
    Controller* controller() const { return controller_.get(); }
    bool isPopSortWin() const { return modeMenu_.isOpen(); }
    SelectAllFilePopVC* selectAllFileVC() const { return modeMenu_.menu(); }
    RMAAttachedWindow* sortAttachedWindow() const { return modeMenu_.window(); }
    kit::View* setpView() const { return setpView_.get(); }
    SetpViewController* setpVC() const { return setpVC_.get(); }
    ITProgressBar* rogressView() const { return rogressView_.get(); }
    kit::TextField* pathLabel() const { return pathLabel_.get(); }
    CancelTextImageButton* cancelButton() const { return cancelButton_.get(); }
    const std::string& openUrl() const { return openUrl_; }
    kit::View* setp_2() const { return setp_2_.get(); }
    kit::View* selectDiskView() const { return selectDiskView_.get(); }
    kit::View* copyProgressView() const { return copyProgressView_.get(); }
    kit::View* progressView() const { return progressView_.get(); }
    kit::View* endView() const { return endView_.get(); }
    kit::View* sussView() const { return sussView_.get(); }
    kit::View* failView() const { return failView_.get(); }
    TextImageButton* failCancelButton() const { return failCancelButton_.get(); }
    TextImageButton* succCancelButton() const { return succCancelButton_.get(); }
    kit::TextField* openLabel() const { return openLabel_.get(); }
    OVHandButton* openButton() const { return openButton_.get(); }
    kit::TextField* errorLable() const { return errorLable_.get(); }
    SetpViewController* setpVC_2() const { return setpVC_2_.get(); }
    // The message panel shown last, and the confirmation, while they are open.
    std::shared_ptr<ErrorWindowController> errorWC() const { return errorWC_.lock(); }
    std::shared_ptr<DMGMakeSureWC> makeSureWC() const { return makeSureWC_.lock(); }
    // Whether a run is between its start and its end pane.
    bool isRunning() const { return runGuard_.isRunning(); }
    // Whether "Create Now" is waiting for the whole-volume listing.
    bool isListingVolume() const { return pendingList_ != nullptr; }
    // Whether the 0.3 s start delay is still pending.
    bool isStartPending() const { return aTimer_ != nullptr; }

private:
    kit::Window* mainWindow();
    void resetSourceSlot();
    void resetDestinationSlot();
    void showVolumeInSlot(SelectValueView* slot, const VolumeObj& volume);
    void showSourceAsWholeVolume();
    void setSlotPicture(SelectValueView* slot, const std::string& imageName);
    void setCloneButtonEnabled(bool enabled);
    void resetModeQuietly();
    void startDropCount();
    void applySpaceCheck(bool withMessage);
    void listingEnded();
    void startImage(int64_t size);
    void finishRun();
    std::string destinationMountPoint() const;
    int64_t imageMargin() const;

    // Layout outlets.
    std::shared_ptr<kit::View> comboBoxView_, selectFromView_, selectToView_;
    std::shared_ptr<TextImageButton> cloneButton_;
    std::shared_ptr<kit::Button> makeZipBut_, makeDmgBut_;
    std::shared_ptr<kit::TextField> topLabel_;
    std::shared_ptr<kit::View> setpView_;
    std::shared_ptr<ITProgressBar> rogressView_;
    std::shared_ptr<kit::TextField> pathLabel_;
    std::shared_ptr<CancelTextImageButton> cancelButton_;
    std::shared_ptr<kit::View> setp_2_, selectDiskView_, copyProgressView_, progressView_, endView_, sussView_,
        failView_;
    std::shared_ptr<TextImageButton> failCancelButton_, succCancelButton_;
    std::shared_ptr<kit::TextField> openLabel_;
    std::shared_ptr<OVHandButton> openButton_;
    std::shared_ptr<kit::TextField> errorLable_;

    // Made in code.
    std::shared_ptr<LComboBox> lComboBox_;
    std::shared_ptr<SelectValueView> selectFromVC_, selectToVC_;
    uint64_t openPopType_ = 0;
    int64_t usedSize_ = -1;
    int64_t freeSize_ = -1;
    std::shared_ptr<VolumeObj> fromeVolume_, toVolume_;
    std::shared_ptr<SelectDiskViewController> selectDiskVC_;
    std::shared_ptr<YLPopoverController> popoverController_;
    std::shared_ptr<DiskListWC> diskListWC_;
    std::shared_ptr<MakeDmg> makeDmg_;
    std::shared_ptr<Controller> controller_;
    FileNodeArray filesArr_;
    std::vector<std::string> zipFilesArr_;
    bool isMakeZip_ = false;
    std::shared_ptr<kit::Timer> aTimer_;
    int64_t selectFilesSize_ = -1;
    bool isDragValue_ = false;
    std::weak_ptr<ErrorWindowController> errorWC_;
    std::weak_ptr<DMGMakeSureWC> makeSureWC_;
    std::shared_ptr<SetpViewController> setpVC_, setpVC_2_;
    std::string openUrl_;
    DmgVCDelegate* delegate_ = nullptr;

    // Guards of late work.
    screen::RunGuard runGuard_;
    screen::Ticket dropCount_;  // the count of dropped items
    std::shared_ptr<GetFilesSize> sizeCounter_;  // the image size count of a run
    FileNodeArray pendingList_;  // the whole-volume listing "Create Now" waits for
    screen::CopyModeMenu modeMenu_;
    bool quietModeReset_ = false;
    // Lives as long as the screen: timers and late blocks hold it weakly.
    std::shared_ptr<int> life_ = std::make_shared<int>(0);
};
