#pragma once
// The "Disk Manager" page: a table of the mounted volumes (the shared list of
// GetVolumes) in which the selected row offers Rename (then Save), Format and
// Eject. The disk tool makes every change, off the main thread; the page does
// not lock the tabs and has no repair or verify function.
//
// The page shows the list as its latest complete scan left it: it is built
// when a scan ends (an empty list gives an empty table) and reloaded after
// every scan, the selection staying on the same volume (same disk UUID; a
// formatted volume under the UUID it was given). A selected volume that has
// gone leaves no row selected. Every action works on the volume of the selected
// row as the current list holds it, and the disk tool's record is compared with
// it right before the change: a volume that has gone or changed is refused with
// a message. A rename, a format and an eject are judged by the tool's exit
// status and by reading the volume back, and a failure is shown as one.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Comm/CustomTableView.h"
#include "Disk/VolumeList.h"
#include "Disk/VolumeObj.h"
#include "Disk/WatchMountUnmount.h"
#include "DiskTool/DiskToolActions.h"
#include "DiskTool/MakeSureFormatVCDelegate.h"
#include "kit/Notification.h"
#include "kit/ui/TableView.h"
#include "kit/ui/TextField.h"
#include "kit/ui/View.h"
#include "kit/ui/ViewController.h"

class MakeSureFormatViewController;
class FormatEndViewController;
class FormatingViewController;
class ErrorWindowController;
class RepairDiskTableCellView;

class RepairDiskViewController : public kit::ViewController,
                                 public kit::TableViewDataSource,
                                 public kit::TableViewDelegate,
                                 public kit::TextFieldDelegate,
                                 public MakeSureFormatVCDelegate {
public:
    // Texts of the page's own messages.
    static constexpr const char* kVolumeGoneText =
        "This volume is no longer available or has changed, so nothing was done. Please select it again.";
    static constexpr const char* kNameOptionText = "A volume name can't begin with \"-\". Please type another name.";
    static constexpr const char* kRenameFailedText = "The volume could not be renamed.";
    static constexpr const char* kEjectFailedText = "The disk could not be ejected.";

    explicit RepairDiskViewController(const std::string& layoutName = "RepairDiskViewController");
    ~RepairDiskViewController() override;

    // Set-up: the table's source, the shared list, and the wait for its scan
    // (the main thread never waits).
    void awakeFromNib() override;
    // The table as the latest scan left it, first row selected (main queue).
    void showView();
    void helpButtonAction(kit::Object* sender);

    // ---- the table ----
    long numberOfRowsInTableView(kit::TableView& table) override;
    std::shared_ptr<kit::View> viewForTableColumn(kit::TableView& table, kit::TableColumn* column, long row) override;
    kit::Value objectValueForTableColumn(kit::TableView&, kit::TableColumn*, long) override { return kit::Value(); }
    bool shouldSelectRow(kit::TableView& table, long row) override;
    bool shouldEditTableColumn(kit::TableColumn*, long) const { return false; }
    bool shouldSelectTableColumn(kit::TableColumn*) const { return false; }

    // ---- rename ----
    void controlTextDidChange(kit::TextField& field) override;
    void renameButtonAction(kit::Object* sender);
    void saveButtonAction(kit::Object* sender);

    // ---- format ----
    void formatButtonAction(kit::Object* sender);
    void cancelFormatVoluem() override;
    void makeSureToFormatSelectVolumeWithName(const std::string& name, const std::string& withType) override;
    void showFormatingView();
    void showFormatEndWindow();

    // ---- eject ----
    void ejectButtonAction(kit::Object* sender);

    // Logs the count and reloads the table from the latest complete scan.
    void loadTableView();

    // ---- state, for the main window and tests ----
    int32_t selectIndex() const { return selectIndex_; }
    const std::shared_ptr<VolumeList>& allVolumeArr() const { return allVolumeArr_; }
    // The rows as the table shows them.
    const std::vector<std::shared_ptr<VolumeObj>>& rows() const { return rows_; }
    CustomTableView* parTableView() const { return parTableView_.get(); }
    kit::View* loadProView() const { return loadProView_.get(); }
    const std::shared_ptr<VolumeObj>& selectVolume() const { return selectVolume_; }
    bool isRenameEdit() const { return isRenameEdit_; }
    bool isScanV() const { return isScanV_; }
    bool formatend() const { return formatend_; }
    const std::string& editStr() const { return editStr_; }
    // Whether the page has shown its table (a scan has ended since set-up).
    bool isShown() const { return shown_; }
    // From Continue until the format's outcome is in.
    bool isFormatRunning() const { return formatRunning_; }
    // The panels, while their windows keep them.
    std::shared_ptr<MakeSureFormatViewController> makeSureFormatVC() const { return makeSureFormatVC_.lock(); }
    std::shared_ptr<FormatingViewController> formatingVC() const { return formatingVC_.lock(); }
    std::shared_ptr<FormatEndViewController> formatEndVC() const { return formatEndVC_.lock(); }
    std::shared_ptr<ErrorWindowController> errorWC() const { return errorWC_.lock(); }
    // The outcome of the latest format (for its end panel).
    const FormatResult& lastFormat() const { return lastFormat_; }
    // The row's cell, when the row is in sight.
    RepairDiskTableCellView* cellAtRow(long row) const;
    kit::Object* superDelegate() const { return superDelegate_; }
    void setSuperDelegate(kit::Object* d) { superDelegate_ = d; }

private:
    kit::Window* mainWindow();
    void scanEnded(const kit::Notification& note);
    // Takes the list's content when no scan is refilling it, and keeps the
    // selection on the same volume.
    void takeListSnapshot();
    void reloadTable();
    // The current record of the same volume as `row` (same disk UUID; the same
    // device node for a record without one), from the list, or from the
    // table's rows while a scan refills the list.
    std::shared_ptr<VolumeObj> currentRecordOf(const std::shared_ptr<VolumeObj>& row) const;
    // The selected volume as it is now; shows the message and reloads when it has gone.
    std::shared_ptr<VolumeObj> selectedVolumeForAction();
    // A scan that starts after now (after the one running, if any).
    void requestRescan();
    void formatEnded(uint64_t run, const VolumeObj& formatted, const FormatResult& result);
    void showMessage(const std::string& text);
    void configureCell(RepairDiskTableCellView& cell, const VolumeObj& volume, bool selected);

    // Layout outlets.
    std::shared_ptr<CustomTableView> parTableView_;
    std::shared_ptr<kit::View> loadProView_;

    int32_t selectIndex_ = 0;
    std::shared_ptr<VolumeList> allVolumeArr_;
    std::vector<std::shared_ptr<VolumeObj>> rows_;
    std::shared_ptr<VolumeObj> selectVolume_;
    bool isRenameEdit_ = false;
    bool isScanV_ = false;
    bool formatend_ = true;
    std::string editStr_;
    bool editTyped_ = false;   // editStr_ holds what the user typed in this rename
    std::unique_ptr<WatchMountUnmount> watchMu_;   // declared, not used: the provider watches
    std::weak_ptr<MakeSureFormatViewController> makeSureFormatVC_;
    std::weak_ptr<FormatEndViewController> formatEndVC_;
    std::weak_ptr<FormatingViewController> formatingVC_;
    std::weak_ptr<ErrorWindowController> errorWC_;
    kit::Object* superDelegate_ = nullptr;   // not used

    bool shown_ = false;
    kit::NotificationCenter::Token scanObserver_ = 0;
    bool rescanPending_ = false;
    // The volume the open confirmation is about.
    std::shared_ptr<VolumeObj> formatVolume_;
    bool formatRunning_ = false;
    // Set when a format of the selected volume ends: the disk UUID its row will
    // carry after the rescan.
    std::string followUUID_;
    uint64_t formatRun_ = 0;
    FormatResult lastFormat_;
};
