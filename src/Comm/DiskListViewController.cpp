#include "Comm/DiskListViewController.h"

#include <algorithm>

#include "Disk/OVPublicUtilities.h"
#include "kit/Format.h"
#include "kit/SysPath.h"
#include "kit/ui/Font.h"

DiskListViewController::DiskListViewController() : ViewController("DiskListViewController") {
    declareOutlet("nameLabel", nameLabel_);
    declareOutlet("sizeLabel", sizeLabel_);
    declareOutlet("diskInfoLabel", diskInfoLabel_);
    declareOutlet("diskIconImageView", diskIconImageView_);
    declareOutlet("aView", aView_);
}

void DiskListViewController::awakeFromNib() {
    aView_->setDiskViewDelegate(this);
    // A long name keeps its start and its end around an ellipsis (the tool
    // tip has it whole).
    nameLabel_->setLineBreakMode(kit::LineBreakMode::TruncatingMiddle);
}

std::string DiskListViewController::iconName(bool hovered) const {
    std::string base = "ic_disk";
    if (volumeObj_) {
        if (volumeObj_->bCanEject()) base = "ic_usb";
        else if (kit::unSysPath(volumeObj_->volumeMountPoint()) == "/") base = "ic_os";
    }
    return hovered ? base + "_sel" : base;
}

void DiskListViewController::refreshaView() {
    view();
    if (!volumeObj_) return;
    diskIconImageView_->setImageNamed(iconName(false));
    const std::string name = volumeObj_->volumeName();
    nameLabel_->setStringValue(name);
    if (isOnlyShowEx_) {
        nameLabel_->setFont(kit::Font::fontWithName("Menu", 12));
        nameLabel_->setFrameSize(kit::Size{180, 14});
    }
    nameLabel_->setToolTip(name);
    if (isOnlyShowEx_) {
        sizeLabel_->setStringValue(kit::format("%@", volumeObj_->volumeTotalSize()));
    } else {
        // Free bytes above the total (a record caught between two writes)
        // never make a negative used size.
        const int64_t used = std::max<int64_t>(0, volumeObj_->volumeTotalSizeNum() - volumeObj_->volumeFreeSizeNum());
        sizeLabel_->setStringValue(
            kit::format("%@/%@", OVPublicUtilities::longlongDiskSize(used), volumeObj_->volumeTotalSize()));
    }
    creatDiskSizeProgress();
}

void DiskListViewController::creatDiskSizeProgress() {
    if (!volumeObj_) return;
    const int64_t total = volumeObj_->volumeTotalSizeNum(), free = volumeObj_->volumeFreeSizeNum();
    float value = 100;
    // A volume of no size has no share to show: a full bar, never a division by zero.
    if (total > 0) {
        const int64_t p = int64_t(static_cast<__int128>(free) * 100 / total);
        if (p >= 0 && p <= 100) value = float(100 - p);
    }
    if (!sizeProgress_) {
        sizeProgress_ = std::make_shared<DiskSizeProgress>(kit::Rect(76, 21, 240, 4));
        aView_->addSubview(sizeProgress_);
    }
    sizeProgress_->changeProgressValue(value);
    if (isOnlyShowEx_) sizeProgress_->changeProgressValue(0.1f);
}

void DiskListViewController::doSelectDisk() {
    if (DiskListVCDelegate* d = delegate_.get()) d->doSelectDiskWithVolume(volumeObj_);
}

void DiskListViewController::mouseInView() { diskIconImageView_->setImageNamed(iconName(true)); }
void DiskListViewController::mouseOutView() { diskIconImageView_->setImageNamed(iconName(false)); }
