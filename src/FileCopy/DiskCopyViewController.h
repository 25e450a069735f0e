#pragma once
// The "Disk Copy" screen. First page: a source and a destination drive slot,
// the copy mode ("Copy All Files", or "Copy Some Files" chosen in the
// file-choice window), files dropped onto the source slot, the space checks
// and "Copy Now" with its confirmation. Second page: the run, with its
// progress and stop button, and the success and failure views that lead back
// to an empty first page.
//
// Sizes follow the screens' shared rules (Comm/ScreenSelection.h): the whole
// volume is checked against its used size, dropped items by their counted
// bytes, and nothing checked means nothing chosen. Reports of the engine are
// taken from a start to its end view only (Comm/RunGuard.h).
#include <cstdint>
#include <memory>
#include <string>

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
#include "FileCopy/CopyMakeSureWCDelegate.h"
#include "FileCopy/DiskCopyVCDelegate.h"
#include "FileCopy/DoCopyFiles.h"
#include "FileCopy/DoCopyFilesDelegate.h"
#include "kit/ui/TextField.h"
#include "kit/ui/View.h"
#include "kit/ui/ViewController.h"

class VolumeObj;
class ErrorWindowController;
class CopyMakeSureWC;
class RMAAttachedWindow;

class DiskCopyViewController : public kit::ViewController,
                               public SelectValueViewDelegate,
                               public SelectDiskVCDelegate,
                               public LComboBoxDelegate,
                               public SelectAllFileVCDelegate,
                               public DiskListWCDelegate,
                               public ControllerDelegate,
                               public CopyMakeSureWCDelegate,
                               public DoCopyFilesDelegate {
public:
    explicit DiskCopyViewController(const std::string& layoutName = "DiskCopyViewController");
    ~DiskCopyViewController() override;

    void awakeFromNib() override;

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

    // ---- start ----
    void cloneButtonAction(kit::Object* sender);
    // The whole-volume listing has ended (listing thread).
    void copyFileScanFiles() override;
    void doCopyAction();
    void showErrorWindowWithErrorStr(const std::string& message);

    // ---- the run ----
    void beginToCopyFiles() override;
    void topCopyProgress(float percent) override;
    void topCopyFilePath(const std::string& path) override;
    void copyFileError() override;
    void topCopyFinished(int failedCount) override;
    void cancelButtonAction(kit::Object* sender);
    void cancelCopy();
    void changePathValue(const std::string& path);
    void changeProValue(float percent);
    void showFailView(const std::string& text);
    void showFaile(bool failed);
    void setOpenLabel();
    void openPathButtonAction();
    void failCancelButtonAction(kit::Object* sender);
    void succCancelButtonAction(kit::Object* sender);
    void backHomeView();
    void canChangeTab(bool value);

    // ---- accessors ----
    DiskCopyVCDelegate* delegate() const { return delegate_; }
    void setDelegate(DiskCopyVCDelegate* d) { delegate_ = d; }
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
    const FileNodeArray& copyArr() const { return copyArr_; }
    const std::shared_ptr<VolumeObj>& fromeVolume() const { return fromeVolume_; }
    const std::shared_ptr<VolumeObj>& toVolume() const { return toVolume_; }
    SelectDiskViewController* selectDiskVC() const { return selectDiskVC_.get(); }
    YLPopoverController* popoverController() const { return popoverController_.get(); }
    TextImageButton* cloneButton() const { return cloneButton_.get(); }
    kit::TextField* topLabel() const { return topLabel_.get(); }
    DoCopyFiles* doCopy() const { return doCopy_.get(); }
    DiskListWC* diskListWC() const { return diskListWC_.get(); }
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
    std::shared_ptr<CopyMakeSureWC> makeSureWC() const { return makeSureWC_.lock(); }
    // Whether a run is between its start and its end view.
    bool isRunning() const { return runGuard_.isRunning(); }
    // Whether "Copy Now" is waiting for the whole-volume listing.
    bool isListingVolume() const { return pendingList_ != nullptr; }

private:
    kit::Window* mainWindow();
    void resetSourceSlot();
    void resetDestinationSlot();
    void showVolumeInSlot(SelectValueView* slot, const VolumeObj& volume);
    void showSourceAsWholeVolume();
    void setSlotPicture(SelectValueView* slot, const std::string& imageName);
    void setCloneButtonEnabled(bool enabled);
    // Shows a mode without the box's call-back (the screen checks once itself).
    void resetModeQuietly();
    // Counts the dropped items' bytes off the main thread.
    void startDropCount();
    // Evaluates the space check; `withMessage` says the refusal aloud.
    void applySpaceCheck(bool withMessage);
    void listingEnded();
    void finishRun();

    // Layout outlets.
    std::shared_ptr<kit::View> comboBoxView_, selectFromView_, selectToView_;
    std::shared_ptr<TextImageButton> cloneButton_;
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
    std::unique_ptr<DoCopyFiles> doCopy_;
    // The latest message and confirmation panels, while their windows keep them.
    std::weak_ptr<ErrorWindowController> errorWC_;
    std::weak_ptr<CopyMakeSureWC> makeSureWC_;
    std::shared_ptr<DiskListWC> diskListWC_;
    std::shared_ptr<Controller> controller_;
    int64_t selectFilesSize_ = -1;
    bool isDragValue_ = false;
    FileNodeArray copyArr_;
    std::shared_ptr<SetpViewController> setpVC_, setpVC_2_;
    std::string openUrl_;
    DiskCopyVCDelegate* delegate_ = nullptr;

    // Guards of late work.
    screen::RunGuard runGuard_;
    screen::Ticket dropCount_;      // the count of dropped items
    FileNodeArray pendingList_;     // the whole-volume listing "Copy Now" waits for
    screen::CopyModeMenu modeMenu_;
    bool quietModeReset_ = false;
};
