#pragma once
// One drive tile of the picker: icon, name, size text and a usage bar for a
// volume; a click hands the volume to the picker.
#include <memory>

#include "Comm/DiskListView.h"
#include "Comm/DiskSizeProgress.h"
#include "Disk/VolumeObj.h"
#include "kit/ui/DelegateRef.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/TextField.h"
#include "kit/ui/ViewController.h"

class DiskListVCDelegate {
public:
    virtual ~DiskListVCDelegate() = default;
    virtual void doSelectDiskWithVolume(const std::shared_ptr<VolumeObj>& volume) = 0;
};

class DiskListViewController : public kit::ViewController, public DiskListViewDelegate {
public:
    DiskListViewController();
    void awakeFromNib() override;

    kit::TextField* nameLabel() const { return nameLabel_.get(); }
    void setNameLabel(std::shared_ptr<kit::TextField> v) { nameLabel_ = std::move(v); }
    kit::TextField* sizeLabel() const { return sizeLabel_.get(); }
    void setSizeLabel(std::shared_ptr<kit::TextField> v) { sizeLabel_ = std::move(v); }
    kit::TextField* diskInfoLabel() const { return diskInfoLabel_.get(); }
    void setDiskInfoLabel(std::shared_ptr<kit::TextField> v) { diskInfoLabel_ = std::move(v); }
    kit::ImageView* diskIconImageView() const { return diskIconImageView_.get(); }
    void setDiskIconImageView(std::shared_ptr<kit::ImageView> v) { diskIconImageView_ = std::move(v); }
    DiskListView* aView() const { return aView_.get(); }
    void setAView(std::shared_ptr<DiskListView> v) { aView_ = std::move(v); }
    // The shared record of the provider's list.
    std::shared_ptr<VolumeObj> volumeObj() const { return volumeObj_; }
    void setVolumeObj(std::shared_ptr<VolumeObj> v) { volumeObj_ = std::move(v); }
    bool isOnlyShowEx() const { return isOnlyShowEx_; }
    void setIsOnlyShowEx(bool ex) { isOnlyShowEx_ = ex; }
    // Not kept.
    DiskListVCDelegate* diskListVCDelegate() const { return delegate_.get(); }
    void setDiskListVCDelegate(DiskListVCDelegate* d) { delegate_ = d; }
    // The usage bar, once refreshaView made it.
    DiskSizeProgress* sizeProgress() const { return sizeProgress_.get(); }

    // Fills the tile from its volume.
    void refreshaView();
    // Adds (or updates) the usage bar: the used share of the volume; a volume
    // of no size shows a full bar, an external whole disk an empty one.
    void creatDiskSizeProgress();
    // "ic_usb", "ic_os" or "ic_disk" for the volume, with "_sel" while hovered.
    std::string iconName(bool hovered) const;

    void doSelectDisk() override;
    void mouseInView() override;
    void mouseOutView() override;

private:
    std::shared_ptr<kit::TextField> nameLabel_, sizeLabel_, diskInfoLabel_;
    std::shared_ptr<kit::ImageView> diskIconImageView_;
    std::shared_ptr<DiskListView> aView_;
    std::shared_ptr<VolumeObj> volumeObj_;
    bool isOnlyShowEx_ = false;
    kit::DelegateRef<DiskListVCDelegate> delegate_;
    std::shared_ptr<DiskSizeProgress> sizeProgress_;
};
