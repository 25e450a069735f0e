#include "Comm/SelectDiskViewController.h"

#include "Comm/getColor.h"
#include "Disk/OVPublicUtilities.h"
#include "kit/System.h"
#include "kit/Workspace.h"

namespace {
constexpr double kColumnWidth = 392;
constexpr double kTileHeight = 64;
}  // namespace

SelectDiskViewController::SelectDiskViewController() : ViewController("SelectDiskViewController") {
    declareOutlet("listScrollView", listScrollView_);
    declareOutlet("loadP", loadP_);
}

SelectDiskViewController::~SelectDiskViewController() { stopWaiting(); }

GetVolumes& SelectDiskViewController::provider() const { return provider_ ? *provider_ : GetVolumes::Instance(); }

bool SelectDiskViewController::listIsScanning() const {
    return isOnlyShowEx_ ? provider().isScanningExVolumes() : provider().isScanningVolumes();
}

void SelectDiskViewController::awakeFromNib() {
    (void)watchMu_;
    diskListClipView_ = kit::Weak<kit::ClipView>(listScrollView_->contentView());
    diskListScrollView_ = kit::Weak<kit::View>(listScrollView_.get());
    allVolumeArr_ = isOnlyShowEx_ ? provider().getExVolumes() : provider().getVolumes();
    loadP_->setHidden(false);
    loadP_->startAnimation(this);
    // Listen first, so a scan that ends right after the check below is not missed.
    kit::Weak<SelectDiskViewController> self(this);
    scanObserver_ = kit::NotificationCenter::defaultCenter().addObserver(
        GetVolumesScanDidEndNotification, &provider(), [self](const kit::Notification& note) {
            if (SelectDiskViewController* p = self.get()) p->scanEnded(note);
        });
    // A list being refilled is never read half-way: the end of its scan builds the column.
    if (!listIsScanning()) showView();
}

void SelectDiskViewController::scanEnded(const kit::Notification& note) {
    if (built_) return;
    const auto list = note.userInfo.getString(GetVolumesScanListKey);
    if (!list || *list != (isOnlyShowEx_ ? "ExVolumes" : "Volumes")) return;
    if (listIsScanning()) return;   // another scan of it already runs: wait for that one
    showView();
}

void SelectDiskViewController::stopWaiting() {
    if (scanObserver_) kit::NotificationCenter::defaultCenter().removeObserver(scanObserver_);
    scanObserver_ = 0;
}

std::shared_ptr<kit::TextField> SelectDiskViewController::sectionLabel(const std::string& text, double y) const {
    auto label = std::make_shared<kit::TextField>(kit::Rect(15, y, 200, 20));
    label->setStringValue(text);
    label->setFont(kit::Font::boldSystemFont(13));
    label->setBackgroundColor(kit::Color::clear());
    label->setDrawsBackground(false);
    label->setBordered(false);
    label->setEditable(false);
    label->setTextColor(getColor(79, 79, 98, 0.6f));
    return label;
}

void SelectDiskViewController::showView() {
    if (!allVolumeArr_) return;
    // No external disk: the spinner goes on turning over an empty picker (a
    // later scan that finds one still builds the column).
    if (isOnlyShowEx_ && allVolumeArr_->empty()) return;
    built_ = true;
    stopWaiting();
    loadP_->stopAnimation(this);
    loadP_->setHidden(true);

    const std::vector<std::shared_ptr<VolumeObj>> volumes = allVolumeArr_->snapshot();
    std::vector<std::shared_ptr<VolumeObj>> internal, external;
    for (const auto& v : volumes) (v->bCanEject() ? external : internal).push_back(v);
    const double n = double(volumes.size());
    const double H = kTileHeight * n + 50 < 400 ? 400 : kTileHeight * n + 50;

    auto column = std::make_shared<kit::View>(kit::Rect(0, 0, kColumnWidth, H));
    auto addTile = [&](const std::shared_ptr<VolumeObj>& volume, double y, bool external) {
        auto tile = std::make_shared<DiskListViewController>();
        tile->setDiskListVCDelegate(this);
        tile->setVolumeObj(volume);
        if (external) tile->setIsOnlyShowEx(isOnlyShowEx_);
        tile->view()->setFrameOrigin(kit::Point{0, y});
        column->addSubview(tile->viewPtr());
        tile->refreshaView();
        tiles_.push_back(tile);
        diskListVC_ = tile;
    };
    double E = 0;
    if (!isOnlyShowEx_) {
        column->addSubview(sectionLabel("Internal Drives", H - 20));
        for (size_t i = 0; i < internal.size(); ++i) addTile(internal[i], H - kTileHeight * double(i + 1) - 18, false);
        E = kTileHeight * double(internal.size());
    }
    if (!external.empty()) {
        const double d = isOnlyShowEx_ ? 20 : 43, t = isOnlyShowEx_ ? 18 : 43;
        column->addSubview(sectionLabel("External Drives", H - E - d));
        for (size_t j = 0; j < external.size(); ++j) addTile(external[j], H - kTileHeight * double(j + 1) - E - t, true);
    }

    kit::ClipView* clip = diskListClipView_.get();
    if (!clip) return;
    clip->setDocumentView(column);
    clip->scrollToPoint(kit::Point{0, H - listScrollView_->frame().height()});
    listScrollView_->reflectScrolledClipView(clip);
}

void SelectDiskViewController::doSelectDiskWithVolume(const std::shared_ptr<VolumeObj>& volume) {
    checkDiskSpace(volume);
    if (SelectDiskVCDelegate* d = delegate_.get()) d->doSelectDiskWithVolume(volume);
}

void checkDiskSpace(const std::shared_ptr<VolumeObj>& volume) {
    if (!volume) return;
    const std::string path = volume->volumePath();
    // A whole disk is addressed by its identifier ("disk2"), which names no
    // file system; asking with it would ask about a relative path instead.
    if (path.empty() || path[0] != '/') {
        kit::logf("Failed to get disk space information for %@: %@", path, std::string("not a mounted path"));
        return;
    }
    const auto size = kit::Workspace::shared().fileSystemSize(path);
    if (!size) {
        kit::logf("Failed to get disk space information for %@: %@", path,
                  std::string("the file system's attributes could not be read"));
        return;
    }
    volume->setVolumeTotalSize(OVPublicUtilities::longlongConvertVolSpace(size->total));
    volume->setVolumeFreeSize(OVPublicUtilities::longlongConvertVolSpace(size->free));
    volume->setVolumeTotalSizeNum(size->total);
    volume->setVolumeFreeSizeNum(size->free);
}

bool is_m1_chip() {
    static const bool answer = kit::processorBrand().find("Apple") != std::string::npos;
    return answer;
}
