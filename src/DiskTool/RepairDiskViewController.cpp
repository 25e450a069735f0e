#include "DiskTool/RepairDiskViewController.h"

#include "Comm/ErrorWindowController.h"
#include "Comm/OVProgressView.h"
#include "Comm/PopWindow/StatusPanel.h"
#include "Comm/TextImageButton.h"
#include "Disk/GetVolumes.h"
#include "Disk/OVPublicUtilities.h"
#include "DiskTool/DiskToolCommands.h"
#include "DiskTool/FormatEndViewController.h"
#include "DiskTool/FormatingViewController.h"
#include "DiskTool/MakeSureFormatViewController.h"
#include "DiskTool/RepairDiskTableCellView.h"
#include "OVLinkUrl.h"
#include "kit/Dispatch.h"
#include "kit/Format.h"
#include "kit/SysPath.h"
#include "kit/System.h"
#include "kit/app/Launch.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/ProgressIndicator.h"
#include "kit/ui/ScrollView.h"
#include "kit/ui/Window.h"

namespace {

constexpr const char* kNameColumn = "Name";
// The page's delays: the busy panel after Continue, the end panel after the
// format, the reload after the end panel.
constexpr double kBusyPanelDelay = 0.1;
constexpr double kEndPanelDelay = 1.0;
constexpr double kReloadDelay = 0.5;

bool isRootVolume(const VolumeObj& v) { return v.volumeMountPoint() == kit::sysPath("/"); }

// The running system's volumes: the one at the root, and its Data volume,
// which the provider lists. Neither may be erased.
bool isSystemVolume(const VolumeObj& v) {
    return isRootVolume(v) || v.volumeMountPoint() == kit::sysPath("/System/Volumes/Data");
}

std::string iconName(const VolumeObj& v, bool selected) {
    std::string name = v.bCanEject() ? "ic_usb" : isRootVolume(v) ? "ic_os" : "ic_disk";
    return selected ? name + "_sel" : name;
}

kit::View* enclosingScrollView(kit::View& v) {
    for (kit::View* p = v.superview(); p; p = p->superview())
        if (dynamic_cast<kit::ScrollView*>(p)) return p;
    return nullptr;
}

// The same volume in two scans: the same disk UUID; a record without one
// (the tool gave none) by its device node.
bool sameVolume(const VolumeObj& a, const VolumeObj& b) {
    const std::string uuid = a.diskUUID();
    if (!uuid.empty()) return b.diskUUID() == uuid;
    const std::string node = a.volRootDir();
    return !node.empty() && b.diskUUID().empty() && b.volRootDir() == node;
}

template <class F>
void forEachSubview(kit::View& root, const F& fn) {
    for (const auto& s : root.subviews()) fn(*s);
}

}  // namespace

RepairDiskViewController::RepairDiskViewController(const std::string& layoutName) : kit::ViewController(layoutName) {
    declareOutlet("parTableView", parTableView_);
    declareOutlet("loadProView", loadProView_);
    registerAction("helpButtonAction:", [this](kit::Object* s) { helpButtonAction(s); });
    registerAction("saveButtonAction", [this](kit::Object* s) { saveButtonAction(s); });
    registerAction("renameButtonAction", [this](kit::Object* s) { renameButtonAction(s); });
    registerAction("formatButtonAction", [this](kit::Object* s) { formatButtonAction(s); });
    registerAction("ejectButtonAction", [this](kit::Object* s) { ejectButtonAction(s); });
}

RepairDiskViewController::~RepairDiskViewController() {
    if (scanObserver_) kit::NotificationCenter::defaultCenter().removeObserver(scanObserver_);
    if (parTableView_) {
        parTableView_->setDataSource(nullptr);
        parTableView_->setDelegate(nullptr);
    }
}

kit::Window* RepairDiskViewController::mainWindow() { return view() ? view()->window() : nullptr; }

// ---------------------------------------------------------------------------
// Set-up

void RepairDiskViewController::awakeFromNib() {
    formatend_ = true;
    isRenameEdit_ = false;
    isScanV_ = false;
    selectIndex_ = 0;
    parTableView_->setDataSource(this);
    parTableView_->setDelegate(this);

    GetVolumes& provider = GetVolumes::Instance();
    // Listen first, so a scan that ends right after the request is not missed.
    kit::Weak<RepairDiskViewController> self(this);
    scanObserver_ = kit::NotificationCenter::defaultCenter().addObserver(
        GetVolumesScanDidEndNotification, &provider, [self](const kit::Notification& note) {
            if (RepairDiskViewController* p = self.get()) p->scanEnded(note);
        });
    // The shared list; asking for it starts a scan when it is empty.
    allVolumeArr_ = provider.getVolumes();
    if (loadProView_) {
        loadProView_->setHidden(false);
        forEachSubview(*loadProView_, [this](kit::View& v) {
            if (auto* spinner = dynamic_cast<kit::ProgressIndicator*>(&v)) spinner->startAnimation(this);
        });
    }
    // A list being refilled is never shown half-way: the end of its scan shows it.
    if (!provider.isScanningVolumes()) {
        kit::dispatch::async(kit::dispatch::mainQueue(), [self] {
            RepairDiskViewController* p = self.get();
            if (p && !p->shown_ && !GetVolumes::Instance().isScanningVolumes()) p->showView();
        });
    }
}

void RepairDiskViewController::scanEnded(const kit::Notification& note) {
    const auto list = note.userInfo.getString(GetVolumesScanListKey);
    if (!list || *list != "Volumes") return;
    GetVolumes& provider = GetVolumes::Instance();
    if (rescanPending_) {
        // A change made here ended while that scan ran: one more, from now.
        rescanPending_ = false;
        provider.getDiskAndVolumes();
    }
    if (provider.isScanningVolumes()) return;   // the next end shows the list whole
    if (!shown_) showView();
    else loadTableView();
}

void RepairDiskViewController::showView() {
    shown_ = true;
    if (loadProView_) {
        loadProView_->setHidden(true);
        forEachSubview(*loadProView_, [this](kit::View& v) {
            if (auto* spinner = dynamic_cast<kit::ProgressIndicator*>(&v)) spinner->stopAnimation(this);
        });
    }
    selectIndex_ = 0;
    followUUID_.clear();
    isRenameEdit_ = false;
    isScanV_ = false;
    editStr_.clear();
    editTyped_ = false;
    if (allVolumeArr_ && !GetVolumes::Instance().isScanningVolumes()) rows_ = allVolumeArr_->snapshot();
    parTableView_->setSelectNum(0);
    selectVolume_ = rows_.empty() ? nullptr : rows_.front();
    reloadTable();
}

void RepairDiskViewController::helpButtonAction(kit::Object*) {
    if (auto url = OVLinkUrl::GetUrl("SupportTeam")) kit::openURL(*url);
}

// ---------------------------------------------------------------------------
// The list

void RepairDiskViewController::takeListSnapshot() {
    if (!allVolumeArr_ || GetVolumes::Instance().isScanningVolumes()) return;
    rows_ = allVolumeArr_->snapshot();
    // The selection follows its volume: a formatted one by the disk UUID it
    // was given, any other by its own.
    auto rowWhere = [&](const auto& same) {
        for (size_t i = 0; i < rows_.size(); ++i)
            if (rows_[i] && same(*rows_[i])) return long(i);
        return -1L;
    };
    long found = -1;
    if (!followUUID_.empty()) {
        found = rowWhere([&](const VolumeObj& v) { return v.diskUUID() == followUUID_; });
        if (found >= 0) followUUID_.clear();
    }
    if (found < 0 && selectVolume_) found = rowWhere([&](const VolumeObj& v) { return sameVolume(*selectVolume_, v); });
    if (found >= 0) {
        selectIndex_ = int32_t(found);
        selectVolume_ = rows_[size_t(found)];
    } else {
        // The selected volume has gone: no row is selected (another volume
        // never takes its place unasked), and a rename of it ends.
        if (selectVolume_) {
            isRenameEdit_ = false;
            editStr_.clear();
            editTyped_ = false;
        }
        selectIndex_ = -1;
        selectVolume_.reset();
    }
    parTableView_->setSelectNum(selectIndex_);
}

void RepairDiskViewController::reloadTable() {
    if (!parTableView_) return;
    parTableView_->reloadData();
    // The table's own selection follows the page's, so a click on any row
    // other than the page's selected one selects it.
    parTableView_->selectRow(selectIndex_);
}

void RepairDiskViewController::loadTableView() {
    takeListSnapshot();
    kit::logf("=======%d", int(rows_.size()));
    reloadTable();
}

std::shared_ptr<VolumeObj> RepairDiskViewController::currentRecordOf(const std::shared_ptr<VolumeObj>& row) const {
    if (!row || !allVolumeArr_) return nullptr;
    // While the list is being refilled, the latest complete scan is what is known.
    const std::vector<std::shared_ptr<VolumeObj>> current =
        GetVolumes::Instance().isScanningVolumes() ? rows_ : allVolumeArr_->snapshot();
    for (const auto& v : current)
        if (v && sameVolume(*row, *v)) return v;
    return nullptr;
}

std::shared_ptr<VolumeObj> RepairDiskViewController::selectedVolumeForAction() {
    if (!selectVolume_) return nullptr;   // an empty table: no row, no action
    std::shared_ptr<VolumeObj> current = currentRecordOf(selectVolume_);
    if (!current) {
        showMessage(kVolumeGoneText);
        loadTableView();
    }
    return current;
}

void RepairDiskViewController::requestRescan() {
    GetVolumes& provider = GetVolumes::Instance();
    if (provider.isScanningVolumes()) rescanPending_ = true;
    else provider.getDiskAndVolumes();
}

void RepairDiskViewController::showMessage(const std::string& text) {
    kit::Window* main = mainWindow();
    if (!main) return;
    auto panel = std::make_shared<ErrorWindowController>("ErrorWindowController");
    if (!showStatusPanel(panel, *main)) return;
    panel->changeErrorLabelStr(text);
    errorWC_ = panel;
}

// ---------------------------------------------------------------------------
// The table

long RepairDiskViewController::numberOfRowsInTableView(kit::TableView&) { return long(rows_.size()); }

RepairDiskTableCellView* RepairDiskViewController::cellAtRow(long row) const {
    if (!parTableView_) return nullptr;
    const long col = parTableView_->columnWithIdentifier(kNameColumn);
    return col < 0 ? nullptr : dynamic_cast<RepairDiskTableCellView*>(parTableView_->viewAtColumn(col, row));
}

std::shared_ptr<kit::View> RepairDiskViewController::viewForTableColumn(kit::TableView& table, kit::TableColumn* column,
                                                                        long row) {
    if (!column || column->identifier() != kNameColumn || row < 0 || size_t(row) >= rows_.size() || !rows_[size_t(row)])
        return nullptr;
    std::shared_ptr<kit::View> view = table.makeViewWithIdentifier(column->identifier());
    auto* cell = dynamic_cast<RepairDiskTableCellView*>(view.get());
    if (!cell) return view;
    if (kit::View* enclosing = enclosingScrollView(table)) {
        kit::Rect f = cell->frame();
        f.size.width = enclosing->frame().width() - 10;
        cell->setFrame(f);
    }
    configureCell(*cell, *rows_[size_t(row)], row == selectIndex_);
    return view;
}

void RepairDiskViewController::configureCell(RepairDiskTableCellView& cell, const VolumeObj& volume, bool selected) {
    cell.setIsSelect(selected);
    cell.setNeedsDisplay();
    const bool renaming = selected && isRenameEdit_;
    forEachSubview(cell, [&](kit::View& v) {
        const std::string& id = v.identifier();
        if (auto* image = dynamic_cast<kit::ImageView*>(&v)) {
            image->setImageNamed(iconName(volume, selected));
        } else if (auto* button = dynamic_cast<TextImageButton*>(&v)) {
            button->setHidden(!selected);
            button->setEnabled(true);
            button->setButtonEnabled(true);
            button->setImageFromFileNormalName("btn_tool", "btn_tool_press", "btn_tool_hover", "btn_tool");
            button->setTarget(this);
            if (id == "save") {
                button->setHidden(!renaming);
                button->setTextWithName("Save");
                button->setAction("saveButtonAction");
            } else if (id == "rename") {
                if (isRenameEdit_) button->setHidden(true);
                button->setTextWithName("Rename");
                button->setAction("renameButtonAction");
            } else if (id == "format") {
                if (isRenameEdit_ || isSystemVolume(volume)) button->setHidden(true);
                button->setTextWithName("Format");
                button->setAction("formatButtonAction");
            } else if (id == "eject") {
                if (isRenameEdit_ || !volume.bCanEject()) button->setHidden(true);
                button->setTextWithName("Eject");
                button->setAction("ejectButtonAction");
            }
        } else if (auto* field = dynamic_cast<kit::TextField*>(&v)) {
            field->setHidden(false);
            if (id == "name") {
                if (renaming) field->setHidden(true);
                field->setStringValue(volume.volumeName());
                field->setToolTip(volume.volumeName());
            } else if (id == "type") {
                field->setStringValue(volume.diskType());
                field->setToolTip(volume.diskType());
            } else if (id == "size") {
                const int64_t used = volume.volumeTotalSizeNum() - volume.volumeFreeSizeNum();
                const std::string text = kit::format("%@/%@", OVPublicUtilities::longlongConvertVolSpace(used),
                                                     volume.volumeTotalSize());
                field->setStringValue(text);
                field->setToolTip(text);
            }
        } else if (id == "editname") {
            forEachSubview(v, [&](kit::View& sub) {
                auto* field = dynamic_cast<kit::TextField*>(&sub);
                if (!field) return;
                field->setDelegate(this);
                // What the user has typed stays through a reload (a scan that ends meanwhile).
                field->setStringValue(renaming && editTyped_ ? editStr_ : volume.volumeName());
            });
            v.setHidden(!renaming);
        } else if (auto* bar = dynamic_cast<OVProgressView*>(&v)) {
            if (bar->bgProgress()) bar->bgProgress()->setFrameSize(bar->frame().size);
            bar->changeProgressValue(
                float(usedPercent(volume.volumeTotalSizeNum(), volume.volumeFreeSizeNum())));
        }
    });
}

bool RepairDiskViewController::shouldSelectRow(kit::TableView&, long row) {
    selectIndex_ = int32_t(row);
    followUUID_.clear();
    isRenameEdit_ = false;
    editStr_.clear();
    editTyped_ = false;
    parTableView_->setSelectNum(int(row));
    if (row >= 0 && size_t(row) < rows_.size()) selectVolume_ = rows_[size_t(row)];
    reloadTable();
    return true;
}

// ---------------------------------------------------------------------------
// Rename

void RepairDiskViewController::controlTextDidChange(kit::TextField& field) {
    editStr_ = field.text();
    editTyped_ = true;
}

void RepairDiskViewController::renameButtonAction(kit::Object*) {
    if (!selectVolume_) return;
    editStr_.clear();
    editTyped_ = false;
    isRenameEdit_ = true;
    reloadTable();
    // The name field takes the typing.
    if (RepairDiskTableCellView* cell = cellAtRow(selectIndex_)) {
        forEachSubview(*cell, [&](kit::View& v) {
            if (v.identifier() != "editname") return;
            forEachSubview(v, [&](kit::View& sub) {
                if (auto* field = dynamic_cast<kit::TextField*>(&sub); field && field->window())
                    field->window()->makeFirstResponder(field);
            });
        });
    }
}

void RepairDiskViewController::saveButtonAction(kit::Object*) {
    if (!isRenameEdit_) return;
    const std::string typed = editStr_;
    isRenameEdit_ = false;
    editStr_.clear();
    editTyped_ = false;
    reloadTable();
    // An empty or blank name, or the current one, sends nothing.
    if (typed.empty() || typed == " ") return;
    std::shared_ptr<VolumeObj> volume = selectedVolumeForAction();
    if (!volume) return;
    const auto name = renameNameFor(typed, volume->diskType(), volume->volumeName());
    if (!name) return;
    if (looksLikeAnOption(*name)) {
        showMessage(kNameOptionText);
        return;
    }
    kit::Weak<RepairDiskViewController> self(this);
    DiskToolActions::renameVolumeAsync(volume, typed, [self](const RenameResult& r) {
        RepairDiskViewController* p = self.get();
        if (!p) return;
        if (r.refused) p->showMessage(kVolumeGoneText);
        else if (r.badName) p->showMessage(kNameOptionText);
        else if (!r.ok && !r.skipped) p->showMessage(kRenameFailedText);
        // The list follows the tool: the renamed volume's folder has moved, or
        // the volume is not what the list says.
        if (r.ok || r.refused || r.readBack) p->requestRescan();
        p->loadTableView();
    });
}

// ---------------------------------------------------------------------------
// Format

void RepairDiskViewController::formatButtonAction(kit::Object*) {
    // One confirmation at a time, and none while a format runs.
    if (!formatend_ || formatRunning_ || DiskToolActions::isFormatting()) return;
    kit::Window* main = mainWindow();
    if (!main) return;
    std::shared_ptr<VolumeObj> volume = selectedVolumeForAction();
    if (!volume) return;
    formatend_ = false;
    auto panel = std::make_shared<MakeSureFormatViewController>("MakeSureFormatViewController");
    panel->setDelegate(this);
    if (!showStatusPanel(panel, *main)) {
        formatend_ = true;
        return;
    }
    formatVolume_ = volume;
    panel->setName(volume->volumeName(), volume->diskType());
    makeSureFormatVC_ = panel;
}

void RepairDiskViewController::cancelFormatVoluem() {
    formatend_ = true;
    formatVolume_.reset();
}

void RepairDiskViewController::makeSureToFormatSelectVolumeWithName(const std::string& name,
                                                                    const std::string& withType) {
    formatend_ = true;
    std::shared_ptr<VolumeObj> asked = std::move(formatVolume_);
    formatVolume_.reset();
    if (formatRunning_) return;
    // The volume as the current list holds it: one that has gone is not formatted.
    std::shared_ptr<VolumeObj> volume = currentRecordOf(asked);
    if (!volume) {
        showMessage(kVolumeGoneText);
        loadTableView();
        return;
    }
    const uint64_t run = ++formatRun_;
    kit::Weak<RepairDiskViewController> self(this);
    const bool started =
        DiskToolActions::formatVolumeAsync(volume, name, withType, [self, run, volume](const FormatResult& r) {
            if (RepairDiskViewController* p = self.get()) p->formatEnded(run, *volume, r);
        });
    if (!started) return;   // another format has not ended yet
    formatRunning_ = true;
    // The busy panel, unless the format has ended by then.
    performAfterDelay(kBusyPanelDelay, [self, run] {
        RepairDiskViewController* p = self.get();
        if (p && p->formatRunning_ && p->formatRun_ == run) p->showFormatingView();
    });
}

void RepairDiskViewController::formatEnded(uint64_t run, const VolumeObj& formatted, const FormatResult& result) {
    if (run != formatRun_) return;
    formatRunning_ = false;
    lastFormat_ = result;
    if (auto busy = formatingVC_.lock()) busy->closeWindow();
    formatingVC_.reset();
    isScanV_ = false;
    if (result.badName || result.refused) {
        // Nothing was done: no end panel, the reason instead; a volume that
        // has changed is shown as it is now.
        showMessage(result.refused ? kVolumeGoneText : kNameOptionText);
        if (result.refused) requestRescan();
        return;
    }
    // The tool's change is in the list only after a scan that started after it.
    requestRescan();
    // The formatted volume stays selected, under the disk UUID it has now.
    if (result.ok && !result.diskUUID.empty() && selectVolume_ && sameVolume(*selectVolume_, formatted))
        followUUID_ = result.diskUUID;
    kit::Weak<RepairDiskViewController> self(this);
    performAfterDelay(kEndPanelDelay, [self] {
        if (RepairDiskViewController* p = self.get()) p->showFormatEndWindow();
    });
}

void RepairDiskViewController::showFormatingView() {
    kit::Window* main = mainWindow();
    if (!main) return;
    if (auto old = formatingVC_.lock()) old->closeWindow();
    auto panel = std::make_shared<FormatingViewController>("FormatingViewController");
    if (showStatusPanel(panel, *main)) formatingVC_ = panel;
}

void RepairDiskViewController::showFormatEndWindow() {
    kit::Window* main = mainWindow();
    if (main) {
        auto panel = std::make_shared<FormatEndViewController>("FormatEndViewController");
        if (showStatusPanel(panel, *main)) {
            panel->setFormatResult(lastFormat_);
            formatEndVC_ = panel;
        }
    }
    kit::Weak<RepairDiskViewController> self(this);
    performAfterDelay(kReloadDelay, [self] {
        if (RepairDiskViewController* p = self.get()) p->loadTableView();
    });
}

// ---------------------------------------------------------------------------
// Eject

void RepairDiskViewController::ejectButtonAction(kit::Object*) {
    // The disk is ejected by its disk UUID: without one, nothing.
    if (!selectVolume_ || selectVolume_->diskUUID().empty()) return;
    std::shared_ptr<VolumeObj> volume = selectedVolumeForAction();
    if (!volume) return;
    kit::Weak<RepairDiskViewController> self(this);
    DiskToolActions::ejectVolumeAsync(volume, [self](const EjectResult& r) {
        RepairDiskViewController* p = self.get();
        if (!p) return;
        if (!r.ok) p->showMessage(r.refused ? kVolumeGoneText : kEjectFailedText);
        p->requestRescan();
        p->loadTableView();
    });
}
