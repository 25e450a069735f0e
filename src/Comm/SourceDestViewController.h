#pragma once
// What the "Disk Copy" and "Disk Image Create" screens have in common.
//
// First page: a source and a destination drive slot, the copy mode box with
// its menu ("Copy All Files", or "Copy Some Files" chosen in the file-choice
// window), items dropped onto the source slot, and the space check that
// enables the start button. Second page: the end views (success, failure or
// stop) that lead back to an empty first page.
//
// Sizes follow the screens' shared rules (Comm/ScreenSelection.h): the whole
// volume is checked against its used size, dropped items by their counted
// bytes, and nothing checked means nothing chosen. Reports of a run are taken
// from its start to its end view only (Comm/RunGuard.h).
//
// A screen derives from this, names its layout, its texts and its picker's
// look, and supplies its confirmation, its run and its way back home.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Comm/CancelTextImageButton.h"
#include "Comm/CopyModeMenu.h"
#include "Comm/DriveSlot.h"
#include "Comm/ITProgressBar.h"
#include "Comm/LComboBox.h"
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
#include "kit/ui/TextField.h"
#include "kit/ui/View.h"
#include "kit/ui/ViewController.h"

class VolumeObj;
class ErrorWindowController;
class RMAAttachedWindow;

class SourceDestViewController : public kit::ViewController,
                                 public SelectValueViewDelegate,
                                 public SelectDiskVCDelegate,
                                 public LComboBoxDelegate,
                                 public SelectAllFileVCDelegate,
                                 public DiskListWCDelegate,
                                 public ControllerDelegate {
public:
    // What tells one screen from the other on the shared parts: texts, the
    // picker's look, the listing.
    struct Settings {
        std::string startTitle;   // the start button
        std::string dropName;     // the source slot's name for dropped items
        std::string choiceSizeFormat = "%@ selected";  // the source slot's size text for chosen files
        std::string openPhrase;   // the phrase of the success text that opens the product
        std::string openLogFormat;  // logged (with the product's path for %@) when it is opened
        screen::DrivePicker::Look picker;
        bool listForCopy = true;  // how the whole-volume listing reports its end
    };

    ~SourceDestViewController() override;

    void awakeFromNib() override;

    // ---- slots and the drive picker ----
    void selectDiskButton(int slotId, kit::View* withID) override;
    void doSelectDiskWithVolume(const std::shared_ptr<VolumeObj>& volume) override;
    void closeDiskValue(int slotId) override;
    void viewDragAction(const std::vector<FileNode::Ptr>& nodes) override;
    void selectFileButtonAction(kit::Object*) override {}

    // ---- copy mode ----
    // The space check (with its message); the mode box sends it when it
    // shows "Copy All Files".
    void changeSelectCopyType() override;
    // The same verdict without a message, against the free bytes the
    // destination's record holds now.
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
    // The start button: the chosen items go to the confirmation; the whole
    // volume is listed at its mount point first.
    void cloneButtonAction(kit::Object* sender);
    // The whole-volume listing has ended (listing thread).
    void copyFileScanFiles() override;
    void endScanFiles() override;
    void showErrorWindowWithErrorStr(const std::string& message);

    // ---- end views ----
    void showFailView(const std::string& text);
    void showFaile(bool failed);
    void setOpenLabel();
    void openPathButtonAction();
    void failCancelButtonAction(kit::Object* sender);
    void succCancelButtonAction(kit::Object* sender);
    virtual void backHomeView() = 0;
    virtual void canChangeTab(bool value) = 0;

    // ---- accessors ----
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
    const std::shared_ptr<VolumeObj>& fromeVolume() const { return fromeVolume_; }
    const std::shared_ptr<VolumeObj>& toVolume() const { return toVolume_; }
    SelectDiskViewController* selectDiskVC() const { return picker_.controller(); }
    YLPopoverController* popoverController() const { return picker_.popover(); }
    TextImageButton* cloneButton() const { return cloneButton_.get(); }
    kit::TextField* topLabel() const { return topLabel_.get(); }
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
    // The message panel shown last, while it is open.
    std::shared_ptr<ErrorWindowController> errorWC() const { return errorWC_.lock(); }
    // Whether a run is between its start and its end view.
    bool isRunning() const { return runGuard_.isRunning(); }
    // Whether the start button is waiting for the whole-volume listing.
    bool isListingVolume() const { return pendingList_ != nullptr; }
    // Whether a run that has begun is still reading its volumes again.
    bool isCheckingVolumes() const { return checkingRun_ != 0 && runGuard_.accepts(checkingRun_); }

protected:
    SourceDestViewController(const std::string& layoutName, Settings settings);

    // The points where the image screen writes its size trace.
    enum class SizeNote { SourceChosen, DestinationChosen, ChoiceApplied, SpaceCheck };
    virtual void noteSizes(SizeNote) {}
    // Bytes the product needs on top of the chosen items.
    virtual int64_t spaceMargin() const { return 0; }
    // The confirmation of a run over chosen_ (after the listing of a whole volume).
    virtual void confirmRun() = 0;
    // The start button with items already chosen.
    virtual void confirmChosenItems() { confirmRun(); }
    // What a screen lets go of when its run ends (success, failure or stop).
    virtual void runEnded() {}
    // Right before a run of `token` writes anything, the chosen volumes are
    // read again from the disk tool, off the main thread and bounded: the
    // source volume (unless the items were dropped) and the destination must
    // still be the ones chosen, and the destination's free bytes, read again,
    // must still hold what the run needs. Then `start` runs on the main queue
    // while that run is on. Otherwise the run ends with nothing written: the
    // first page shows again and says why, a drive that has gone or changed
    // taken out of its slot.
    void startWhenVolumesHold(screen::RunGuard::Token token, std::function<void()> start);

    kit::Window* mainWindow();
    void setCloneButtonEnabled(bool enabled);
    // Back to the first page with both slots empty.
    void showFirstPage();

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
    std::shared_ptr<SetpViewController> setpVC_, setpVC_2_;
    std::shared_ptr<DiskListWC> diskListWC_;
    std::shared_ptr<Controller> controller_;
    uint64_t openPopType_ = 0;
    int64_t usedSize_ = -1;
    int64_t freeSize_ = -1;
    int64_t selectFilesSize_ = -1;
    bool isDragValue_ = false;
    // The chosen items: the dropped ones, the file choice's list, or the
    // whole volume's top level once listed.
    FileNodeArray chosen_;
    std::shared_ptr<VolumeObj> fromeVolume_, toVolume_;
    std::string openUrl_;
    std::weak_ptr<ErrorWindowController> errorWC_;

    // Guards of late work.
    screen::RunGuard runGuard_;

private:
    void resetSourceSlot();
    void resetDestinationSlot();
    void showSourceAsWholeVolume();
    void showDropInSlot(size_t count);
    // Shows a mode without the box's call-back (the screen checks once itself).
    void resetModeQuietly();
    // Counts the dropped items' bytes off the main thread.
    void startDropCount();
    // Evaluates the space check; `withMessage` says the refusal aloud.
    void applySpaceCheck(bool withMessage);
    void listingEnded();
    // What the disk tool said of the chosen volumes at a run's start.
    struct VolumesNow {
        bool sourceHolds = true;
        bool destinationHolds = false;
        int64_t destinationFree = -1;
    };
    void volumesRead(const VolumesNow& now, const std::function<void()>& start);
    // A run refused at its start: back to the first page, tabs free.
    void backToChoice();

    const Settings settings_;
    screen::DrivePicker picker_;
    screen::Ticket dropCount_;   // the count of dropped items
    FileNodeArray pendingList_;  // the whole-volume listing the start button waits for
    screen::CopyModeMenu modeMenu_;
    bool quietModeReset_ = false;
    screen::RunGuard::Token checkingRun_ = 0;   // the run whose volumes are being read again
};
