#pragma once
// The file-choice window: a title-bar window holding the file list. A screen
// makes one per opening, sets itself as delegate, then either hands in its
// earlier choice (the list's setArrForListWithArr) or starts a fresh listing
// (showDetailWithPath), and runs the window modally. "Done" hands the chosen
// nodes and their byte count to the delegate and closes the window; any
// other close leaves the screen's choice as it was. The window can't be
// closed while the choice is being counted.
#include <memory>
#include <string>

#include "DiskList/DiskListWCDelegate.h"
#include "DiskList/ListFileViewController.h"
#include "DiskList/ListFileViewControllerDelagate.h"
#include "kit/ui/TextField.h"
#include "kit/ui/ViewController.h"
#include "kit/ui/Window.h"

class TCImageWindow;

class DiskListWC : public kit::WindowController,
                   public ListFileViewControllerDelagate,
                   public kit::WindowDelegate {
public:
    explicit DiskListWC(const std::string& layoutName = "DiskListWC");
    ~DiskListWC() override;

    void awakeFromNib() override;
    void windowDidLoad() override;

    // The close button: ignored while the choice is counted.
    void closeWindow(kit::Object* sender);
    void closeWindowWithSelect(const FileNodeArray& arr, int64_t withSelectSize) override;
    void getSelectFilesSize(bool counting) override;
    // A fresh listing of the volume at path (a mount point or device node).
    void showDetailWithPath(const std::string& path);

    bool windowShouldClose(kit::Window& w) override;
    void windowWillClose(kit::Window& w) override;

    DiskListWCDelegate* delegate() const { return delegate_; }
    void setDelegate(DiskListWCDelegate* d) { delegate_ = d; }
    ListFileViewController* listFileVC() const { return listFileVC_.get(); }
    void setListFileVC(std::shared_ptr<ListFileViewController> vc) { listFileVC_ = std::move(vc); }
    TCImageWindow* aWindow() const { return aWindow_; }
    kit::View* titleBarView() const { return titleBarView_; }
    kit::TextField* titleLabel() const { return titleLabel_.get(); }
    bool isGetSelectSize() const { return isGetSelectSize_; }

private:
    std::shared_ptr<kit::Window> window_;
    TCImageWindow* aWindow_ = nullptr;
    std::shared_ptr<kit::TextField> titleLabel_;
    kit::View* titleBarView_ = nullptr;
    bool isGetSelectSize_ = false;
    std::shared_ptr<ListFileViewController> listFileVC_;
    DiskListWCDelegate* delegate_ = nullptr;
};
