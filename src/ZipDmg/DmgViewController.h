#pragma once
// The "Disk Image Create" screen. First page: a source and a destination drive
// slot, the copy mode ("Copy All Files", or "Copy Some Files" chosen in the
// file-choice window), items dropped onto the source slot, the output choice
// (disk image or zip archive), the space check and "Create Now" with its
// confirmation (Comm/SourceDestViewController.h). Second page: the run, with
// its progress and stop button, and the success, failure and stop panes that
// lead back to an empty first page.
//
// On the image route the image's margin is part of the space the items need.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Comm/SourceDestViewController.h"
#include "DiskList/GetFilesSizeDelegate.h"
#include "ZipDmg/DMGMakeSureWCDelegate.h"
#include "ZipDmg/DmgVCDelegate.h"
#include "ZipDmg/MakeDmg.h"
#include "kit/RunLoop.h"
#include "kit/ui/Control.h"

class DMGMakeSureWC;
class GetFilesSize;

class DmgViewController : public SourceDestViewController,
                          public GetFilesSizeDelegate,
                          public DMGMakeSureWCDelegate,
                          public MakeDmgDelegate {
public:
    explicit DmgViewController(const std::string& layoutName = "DmgViewController");
    ~DmgViewController() override;

    void awakeFromNib() override;
    void setButtonTitleColor();

    // ---- output choice ----
    void makeDmgButAction(kit::Object* sender);
    void makeZipButAction(kit::Object* sender);

    // ---- confirmation ----
    void doMakeZip();
    static void getZipFilePathArr(const std::vector<FileNode::Ptr>& nodes, std::vector<std::string>& withZipArr);
    void canChangeTab(bool value) override;

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
    void stoppedImageKept(const std::string& text) override;
    void changePathValue(const std::string& text, float withProValue);
    void changePathValue(const std::string& text);
    void zipWritProgress(float progress, const std::string& withPath);
    void cancelButtonAction(kit::Object* sender);
    void cancelMakeZip();
    // Whether the engine still has work under way, a stopped job's clean-up
    // included.
    bool isWorking() const;
    void backHomeView() override;

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
    bool isMakeZip() const { return isMakeZip_; }
    const FileNodeArray& filesArr() const { return chosen_; }
    const std::vector<std::string>& zipFilesArr() const { return zipFilesArr_; }
    kit::Button* makeZipBut() const { return makeZipBut_.get(); }
    kit::Button* makeDmgBut() const { return makeDmgBut_.get(); }
    MakeDmg* makeDmg() const { return makeDmg_.get(); }
    // The confirmation while it is open.
    std::shared_ptr<DMGMakeSureWC> makeSureWC() const { return makeSureWC_.lock(); }
    // Whether the start is still pending: the drives being read again, or the 0.3 s delay.
    bool isStartPending() const { return aTimer_ != nullptr || isCheckingVolumes(); }

private:
    void noteSizes(SizeNote note) override;
    int64_t spaceMargin() const override;
    void confirmRun() override { doMakeZip(); }
    void runEnded() override;
    void startImage(int64_t size);
    // The 0.3 s delay before the engine starts, once the drives hold.
    void armStart(screen::RunGuard::Token token);
    std::string destinationMountPoint() const;

    std::shared_ptr<kit::Button> makeZipBut_, makeDmgBut_;
    std::shared_ptr<MakeDmg> makeDmg_;
    std::vector<std::string> zipFilesArr_;
    bool isMakeZip_ = false;
    std::shared_ptr<kit::Timer> aTimer_;
    std::weak_ptr<DMGMakeSureWC> makeSureWC_;
    DmgVCDelegate* delegate_ = nullptr;
    std::shared_ptr<GetFilesSize> sizeCounter_;  // the image size count of a run
    // Lives as long as the screen: timers and late blocks hold it weakly.
    std::shared_ptr<int> life_ = std::make_shared<int>(0);
};
