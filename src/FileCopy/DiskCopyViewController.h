#pragma once
// The "Disk Copy" screen. First page: a source and a destination drive slot,
// the copy mode ("Copy All Files", or "Copy Some Files" chosen in the
// file-choice window), files dropped onto the source slot, the space checks
// and "Copy Now" with its confirmation (Comm/SourceDestViewController.h).
// Second page: the run, with its progress and stop button, and the success
// and failure views that lead back to an empty first page.
#include <cstdint>
#include <memory>
#include <string>

#include "Comm/SourceDestViewController.h"
#include "FileCopy/CopyMakeSureWCDelegate.h"
#include "FileCopy/DiskCopyVCDelegate.h"
#include "FileCopy/DoCopyFiles.h"
#include "FileCopy/DoCopyFilesDelegate.h"

class CopyMakeSureWC;

class DiskCopyViewController : public SourceDestViewController,
                               public CopyMakeSureWCDelegate,
                               public DoCopyFilesDelegate {
public:
    explicit DiskCopyViewController(const std::string& layoutName = "DiskCopyViewController");
    ~DiskCopyViewController() override;

    // ---- start ----
    void doCopyAction();

    // ---- the run ----
    void beginToCopyFiles() override;
    void topCopyProgress(float percent) override;
    void topCopyFilePath(const std::string& path) override;
    void copyFileError() override;
    void topCopyFinished(int failedCount) override;
    void cancelButtonAction(kit::Object* sender);
    void cancelCopy();
    // Whether the engine still works, the removal of a stopped item included.
    bool isWorking() const { return doCopy_ && doCopy_->isRunning(); }
    void changePathValue(const std::string& path);
    void changeProValue(float percent);
    void backHomeView() override;
    void canChangeTab(bool value) override;

    // ---- accessors ----
    DiskCopyVCDelegate* delegate() const { return delegate_; }
    void setDelegate(DiskCopyVCDelegate* d) { delegate_ = d; }
    const FileNodeArray& copyArr() const { return chosen_; }
    DoCopyFiles* doCopy() const { return doCopy_.get(); }
    // The confirmation while it is open.
    std::shared_ptr<CopyMakeSureWC> makeSureWC() const { return makeSureWC_.lock(); }

private:
    void confirmRun() override { doCopyAction(); }
    void confirmChosenItems() override;
    void runEnded() override;
    // The dated folder and the engine, once the drives hold.
    void startCopyRun();

    std::unique_ptr<DoCopyFiles> doCopy_;
    std::weak_ptr<CopyMakeSureWC> makeSureWC_;
    float barPercent_ = 0;  // where the bar was last sent
    DiskCopyVCDelegate* delegate_ = nullptr;
};
