#pragma once
// The drive picker: the content of the drive popover. It shows one of the
// volume provider's shared lists as a column of drive tiles under "Internal
// Drives" and "External Drives" and hands the clicked volume back to its
// screen after refreshing the volume's sizes.
//
//   auto picker = std::make_shared<SelectDiskViewController>();
//   picker->setSelectDiskVCDelegate(this);
//   picker->setIsOnlyShowEx(true);          // before the view loads
//   popover->setContentViewController(picker);
//
// The list is read once, as one snapshot: at load when it holds volumes and
// no scan is refilling it, otherwise when the provider announces the end of
// the scan (an empty list then shows the empty column). The picker keeps its
// tiles for as long as it lives.
#include <memory>
#include <vector>

#include "Comm/DiskListScrollView.h"
#include "Comm/DiskListViewController.h"
#include "Disk/GetVolumes.h"
#include "Disk/VolumeList.h"
#include "Disk/VolumeObj.h"
#include "Disk/WatchMountUnmount.h"
#include "kit/Notification.h"
#include "kit/ui/DelegateRef.h"
#include "kit/ui/ProgressIndicator.h"
#include "kit/ui/ScrollView.h"
#include "kit/ui/TextField.h"
#include "kit/ui/ViewController.h"

class SelectDiskVCDelegate {
public:
    virtual ~SelectDiskVCDelegate() = default;
    // The chosen volume, its sizes just refreshed: the provider's own record.
    virtual void doSelectDiskWithVolume(const std::shared_ptr<VolumeObj>& volume) = 0;
};

class SelectDiskViewController : public kit::ViewController, public DiskListVCDelegate {
public:
    SelectDiskViewController();
    ~SelectDiskViewController() override;
    void awakeFromNib() override;

    // Not kept.
    SelectDiskVCDelegate* selectDiskVCDelegate() const { return delegate_.get(); }
    void setSelectDiskVCDelegate(SelectDiskVCDelegate* d) { delegate_ = d; }
    bool isOnlyShowEx() const { return isOnlyShowEx_; }
    void setIsOnlyShowEx(bool ex) { isOnlyShowEx_ = ex; }
    // The provider whose lists are shown: the process's own unless set (before
    // the view loads).
    void setVolumeProvider(std::shared_ptr<GetVolumes> provider) { provider_ = std::move(provider); }

    // Builds the column from one snapshot of the list.
    void showView();
    void doSelectDiskWithVolume(const std::shared_ptr<VolumeObj>& volume) override;

    kit::ScrollView* listScrollView() const { return listScrollView_.get(); }
    void setListScrollView(std::shared_ptr<kit::ScrollView> v) { listScrollView_ = std::move(v); }
    kit::ClipView* diskListClipView() const { return diskListClipView_.get(); }
    void setDiskListClipView(kit::ClipView* v) { diskListClipView_ = kit::Weak<kit::ClipView>(v); }
    kit::View* DiskListScrollView() const { return diskListScrollView_.get(); }
    void setDiskListScrollView(kit::View* v) { diskListScrollView_ = kit::Weak<kit::View>(v); }
    kit::ProgressIndicator* loadP() const { return loadP_.get(); }
    void setLoadP(std::shared_ptr<kit::ProgressIndicator> v) { loadP_ = std::move(v); }
    const std::shared_ptr<VolumeList>& allVolumeArr() const { return allVolumeArr_; }
    // The tile made last, and all tiles in column order.
    DiskListViewController* diskListVC() const { return diskListVC_.get(); }
    const std::vector<std::shared_ptr<DiskListViewController>>& tiles() const { return tiles_; }

private:
    GetVolumes& provider() const;
    bool listIsScanning() const;
    void scanEnded(const kit::Notification& note);
    void stopWaiting();
    std::shared_ptr<kit::TextField> sectionLabel(const std::string& text, double y) const;

    WatchMountUnmount* watchMu_ = nullptr;   // never set or read
    std::shared_ptr<DiskListViewController> diskListVC_;
    kit::Weak<kit::View> diskListScrollView_;
    kit::Weak<kit::ClipView> diskListClipView_;
    std::shared_ptr<kit::ScrollView> listScrollView_;
    std::shared_ptr<kit::ProgressIndicator> loadP_;
    std::shared_ptr<VolumeList> allVolumeArr_;
    bool isOnlyShowEx_ = false;
    kit::DelegateRef<SelectDiskVCDelegate> delegate_;

    std::shared_ptr<GetVolumes> provider_;
    std::vector<std::shared_ptr<DiskListViewController>> tiles_;
    kit::NotificationCenter::Token scanObserver_ = 0;
    bool built_ = false;
};

// Refreshes the volume's total and free sizes from the file system that holds
// its path; a path that is not a mounted one (a whole disk's identifier) or a
// file system that cannot be asked leaves the record as it is (logged).
void checkDiskSpace(const std::shared_ptr<VolumeObj>& volume);
// Whether the processor is the platform maker's own (its brand says "Apple");
// asked once per process.
bool is_m1_chip();
