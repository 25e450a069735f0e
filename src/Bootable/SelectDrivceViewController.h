#pragma once
// The "OS Clone" screen. First page: the running system as the fixed source
// card with its used size, the target card whose picker lists the external
// disks, the space check, the Full Disk Access note with its "Check", and
// "Clone Now" with its confirmation. Second page: the run, with its step bar,
// picture, progress bar, text and stop button (behind a confirmation), the
// Preboot repair where the clone needs it, and the success and failure views
// that lead back to an empty target.
//
// Reports of the clone engine are taken from a start to its end view only
// (Comm/RunGuard.h): after the success, failure or stop view they are ignored
// until the next start, so a stop is never followed by a later success.
#include <cstdint>
#include <memory>
#include <string>

#include "Bootable/MakeSureCancelCloneSystemVCDelegate.h"
#include "Bootable/MakeSureToCloneSystemVCDelegate.h"
#include "Bootable/PrebootRepair.h"
#include "Bootable/SelectDrivceViewControllerDelegate.h"
#include "Bootable/SetpFViewController.h"
#include "Bootable/SystemClonebyTimeMacineDelegate.h"
#include "Bootable/boot/OVBootableDelegate.h"
#include "Comm/CancelTextImageButton.h"
#include "Comm/DriveSlot.h"
#include "Comm/ITProgressBar.h"
#include "Comm/Lib/YLPopoverController.h"
#include "Comm/RunGuard.h"
#include "Comm/SelectDiskViewController.h"
#include "Comm/SelectValueView.h"
#include "Comm/TextImageButton.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/TextField.h"
#include "kit/ui/View.h"
#include "kit/ui/ViewController.h"

class VolumeObj;
class ErrorWindowController;
class MakeSureToCloneSystemVC;
class MakeSureCancelCloneSystemVC;
class FullDiskAccessViewController;

class SelectDrivceViewController : public kit::ViewController,
                                   public SelectValueViewDelegate,
                                   public SelectDiskVCDelegate,
                                   public MakeSureToCloneSystemVCDelegate,
                                   public MakeSureCancelCloneSystemVCDelegate,
                                   public OVBootableDelegate,
                                   public SystemClonebyTimeMacineDelegate {
public:
    explicit SelectDrivceViewController(const std::string& layoutName = "SelectDrivceViewController");
    ~SelectDrivceViewController() override;

    void awakeFromNib() override;

    // ---- target choice ----
    void selectDiskButton(int slotId, kit::View* withID) override;
    void doSelectDiskWithVolume(const std::shared_ptr<VolumeObj>& volume) override;
    void closeDiskValue(int slotId) override;
    // The space check, with its message.
    void changeSelectCopyType();
    // The same verdict without a message; nothing while a size is unknown.
    void changeCloneButtonActon();
    // Bytes in use on the system volume: total less free ("FreeSpace" before
    // 10.15, "APFSContainerFree" from then on); 0 when unreadable. Blocks while
    // the disk tool runs: the screen itself measures off the main thread.
    uint64_t ZZCheckVolumeIsBootDriveImp();
    // Whether the used size is being measured (usedSize() is -1 meanwhile).
    bool isMeasuringUsedSize() const { return usedSize_ == -1; }
    // Whether the chosen target's partitions are being listed ("Clone Now" waits).
    bool isListingTarget() const { return listingTarget_; }

    // ---- confirmations and messages ----
    void cloneButtonAction(kit::Object* sender);
    void doCopyAction();
    void cancelButtonAction(kit::Object* sender);
    void showErrorWindowWithErrorStr(const std::string& message);
    // "Check": the Full Disk Access window, run modally until it closes.
    void toCheckFullDiskAccess();

    // ---- the run ----
    void beginToCopySystem() override;
    void cancelToCopySystem() override;
    void OVUINotify(const OVCloneProgress* progress) override;
    void changeProTimeWithTag(int tag, int withStep) override;
    void changeProLabelValue(const std::string& text) override;
    void changeProValue(float value);
    void returnProForClone(float percent) override;
    // The backup route ended without a result: the failure view.
    void backupDidFail(int status) override;
    void repairPrebootFile();
    void showEndView();
    void showFailView(const std::string& text);
    void showFaile(bool failed);
    void failCancelButtonAction(kit::Object* sender);
    void succCancelButtonAction(kit::Object* sender);
    void backHomeView();
    void canChangeTab(bool value);
    // The text without blanks and tabs at both ends.
    static std::string trim(const std::string& text);
    // The failure text for an engine error code; "" for -8 and below.
    static std::string messageForErrorCode(int errorCode);
    // The screen's own progress value for a step without error.
    static float progressForStep(int stepCode);

    // ---- accessors ----
    SelectDrivceViewControllerDelegate* delegate() const { return delegate_; }
    void setDelegate(SelectDrivceViewControllerDelegate* d) { delegate_ = d; }
    kit::View* selectFromView() const { return selectFromView_.get(); }
    kit::View* selectToView() const { return selectToView_.get(); }
    SelectValueView* selectFromVC() const { return selectFromVC_.get(); }
    SelectValueView* selectToVC() const { return selectToVC_.get(); }
    int64_t usedSize() const { return usedSize_; }
    int64_t freeSize() const { return freeSize_; }
    const std::shared_ptr<VolumeObj>& toVolume() const { return toVolume_; }
    uint64_t openPopType() const { return openPopType_; }
    SelectDiskViewController* selectDiskVC() const { return picker_.controller(); }
    YLPopoverController* popoverController() const { return picker_.popover(); }
    TextImageButton* cloneButton() const { return cloneButton_.get(); }
    kit::View* stepView() const { return stepView_.get(); }
    kit::View* setp_2() const { return setp_2_.get(); }
    SetpFViewController* setupStepVC() const { return setupStepVC_.get(); }
    SetpFViewController* stepFVC() const { return stepFVC_.get(); }
    CancelTextImageButton* cancelButton() const { return cancelButton_.get(); }
    TextImageButton* failCancelButton() const { return failCancelButton_.get(); }
    TextImageButton* succCancelButton() const { return succCancelButton_.get(); }
    TextImageButton* checkFullButton() const { return checkFullButton_.get(); }
    ITProgressBar* iProgreeBar() const { return iProgreeBar_.get(); }
    kit::View* selectDiskView() const { return selectDiskView_.get(); }
    kit::View* copyProgressView() const { return copyProgressView_.get(); }
    kit::View* progressView() const { return progressView_.get(); }
    kit::View* endView() const { return endView_.get(); }
    kit::View* sussView() const { return sussView_.get(); }
    kit::View* failView() const { return failView_.get(); }
    kit::TextField* pathLabel() const { return pathLabel_.get(); }
    kit::TextField* errorLable() const { return errorLable_.get(); }
    kit::ImageView* animImageView() const { return animImageView_.get(); }
    // The latest panels while their windows keep them.
    std::shared_ptr<ErrorWindowController> errorWC() const { return errorWC_.lock(); }
    std::shared_ptr<MakeSureToCloneSystemVC> makeSureWC() const { return makeSureWC_.lock(); }
    std::shared_ptr<MakeSureCancelCloneSystemVC> makeSureCancelWC() const { return makeSureCancelWC_.lock(); }
    // The Full Disk Access window while it is open.
    FullDiskAccessViewController* fullDiskAccessWC() const { return fullDiskAccessWC_.get(); }
    // The picture name shown last on the run page.
    const std::string& animImageName() const { return animImageName_; }
    // Whether a run is between its start and its end view.
    bool isRunning() const { return runGuard_.isRunning(); }
    // Whether the Preboot repair of the current run is under way.
    bool isRepairing() const { return repairing_; }

private:
    kit::Window* mainWindow();
    void setCloneButtonEnabled(bool enabled);
    void setTargetPicture(const std::string& imageName);
    void setAnimImage(const std::string& name);
    void showUsedSize();
    // Measures the used size on a global queue; the card and the space check
    // follow the answer on the main queue.
    void measureUsedSize();
    void usedSizeMeasured(uint64_t used);
    // Lists the chosen disk's partitions off the main thread into its record.
    void listTarget(const std::shared_ptr<VolumeObj>& volume);
    // The space verdict; `withMessage` says a refusal aloud.
    void applySpaceCheck(bool withMessage);

    // Layout outlets.
    std::shared_ptr<kit::View> selectFromView_, selectToView_, stepView_, setp_2_;
    std::shared_ptr<TextImageButton> cloneButton_;
    std::shared_ptr<CancelTextImageButton> cancelButton_;
    std::shared_ptr<TextImageButton> failCancelButton_, succCancelButton_, checkFullButton_;
    std::shared_ptr<ITProgressBar> iProgreeBar_;
    std::shared_ptr<kit::View> selectDiskView_, copyProgressView_, progressView_, endView_, sussView_, failView_;
    std::shared_ptr<kit::TextField> pathLabel_, errorLable_;
    std::shared_ptr<kit::ImageView> animImageView_;

    // Made in code.
    std::shared_ptr<SelectValueView> selectFromVC_, selectToVC_;
    std::shared_ptr<SetpFViewController> setupStepVC_, stepFVC_;
    int64_t usedSize_ = -1;
    bool usedSizeUnreadable_ = false;
    unsigned usedSizeGeneration_ = 0;   // only the latest measurement is taken
    int64_t freeSize_ = -1;
    bool listingTarget_ = false;
    unsigned listingGeneration_ = 0;   // only the latest listing is taken
    // Held: a rescan of the external disks refills the provider's list, and
    // the chosen record must outlive that.
    std::shared_ptr<VolumeObj> toVolume_;
    uint64_t openPopType_ = 0;
    screen::DrivePicker picker_;
    std::weak_ptr<ErrorWindowController> errorWC_;
    std::weak_ptr<MakeSureToCloneSystemVC> makeSureWC_;
    std::weak_ptr<MakeSureCancelCloneSystemVC> makeSureCancelWC_;
    std::shared_ptr<FullDiskAccessViewController> fullDiskAccessWC_;
    std::string animImageName_;
    SelectDrivceViewControllerDelegate* delegate_ = nullptr;

    // The run.
    screen::RunGuard runGuard_;
    std::string runTarget_;   // the device identifier the running clone erases
    bool repairing_ = false;
    bool finishing_ = false;  // the run reached 100: no second repair or end view
};
