#pragma once
// The file list of the file-choice window: a source volume's tree with a
// three-state check box per row, a select-all box in the header, "Done",
// "Refresh" and a cancel button. The tree and the selection rules come from
// its tree controller; "Done" counts the chosen bytes behind a waiting cover
// and hands the top-level nodes and the count to the window.
//
// States: listing (check boxes, "Done" and "Refresh" locked, the list
// redrawn every second) → browsing → counting (cover shown, the window can't
// close) → handed back. A list still growing is never handed back: "Done"
// opens once the listing has ended (every listing ends). Folders open in the
// background; "Done" while one is still being listed counts once it is.
//
// Main thread only.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Comm/NewOutlineView.h"
#include "Comm/TCImageButton.h"
#include "Comm/TextImageButton.h"
#include "DiskList/Controller.h"
#include "DiskList/ControllerDelegate.h"
#include "DiskList/FileNodeArray.h"
#include "DiskList/GetFilesSize.h"
#include "DiskList/GetFilesSizeDelegate.h"
#include "DiskList/ListFileViewControllerDelagate.h"
#include "kit/RunLoop.h"
#include "kit/ui/Color.h"
#include "kit/ui/Control.h"
#include "kit/ui/OutlineView.h"
#include "kit/ui/ProgressIndicator.h"
#include "kit/ui/ViewController.h"

class ListFileViewController : public kit::ViewController,
                               public kit::OutlineViewDataSource,
                               public kit::OutlineViewDelegate,
                               public ControllerDelegate,
                               public GetFilesSizeDelegate {
public:
    explicit ListFileViewController(const std::string& layoutName = "ListFileViewController");
    ~ListFileViewController() override;

    void awakeFromNib() override;
    // A new header holding the select-all box (none checked to begin with).
    std::shared_ptr<kit::View> headerView();

    // A fresh listing of path (a device node lists its volume's mount point).
    void getRootNodeListWithPath(const std::string& path);
    // Shows a screen's earlier choice: its very list, no listing. Closing the
    // window without "Done" puts the states back as they were.
    void setArrForListWithArr(const FileNodeArray& arr, const std::string& withSearchPath);

    void refreshButtonAction(kit::Object* sender);
    void doneButtonAction(kit::Object* sender);
    // Closes the window without a choice.
    void cancelButtonAction(kit::Object* sender);
    void doShowLoadView();
    void doHiddenLoadView();
    // From the count, on its thread; the hand-back follows on the main thread.
    void allCopyFilesSize(int64_t size) override;

    // ControllerDelegate.
    void reloadTreeList() override;
    void changeSelectAllButtonState() override;

    void setAllSelectOrNoSelect(kit::Object* sender);
    void changeSelectAllFiles(bool select);
    void changeNodeState(const FileNode::Ptr& node);
    void showDetailPage();

    // Outline data source and delegate.
    long numberOfChildrenOfItem(kit::OutlineView& ov, const kit::OutlineItem& item) override;
    kit::OutlineItem child(kit::OutlineView& ov, long index, const kit::OutlineItem& item) override;
    bool isItemExpandable(kit::OutlineView& ov, const kit::OutlineItem& item) override;
    kit::Value objectValueForTableColumn(kit::OutlineView& ov, kit::TableColumn* column,
                                         const kit::OutlineItem& item) override;
    void setObjectValue(kit::OutlineView& ov, const kit::Value& value, kit::TableColumn* column,
                        const kit::OutlineItem& item) override;
    void willDisplayCell(kit::OutlineView& ov, kit::Cell& cell, kit::TableColumn* column,
                         const kit::OutlineItem& item) override;
    bool shouldSelectItem(kit::OutlineView& ov, const kit::OutlineItem& item) override;
    void selectionDidChange(kit::OutlineView& ov) override {}
    void itemDidExpand(kit::OutlineView& ov, const kit::OutlineItem& item) override;
    void itemDidCollapse(kit::OutlineView& ov, const kit::OutlineItem& item) override;
    bool shouldEditTableColumn(const kit::OutlineItem& item) const { return false; }

    // The window is closing: listings stop; without a hand-back an earlier
    // choice gets its states back.
    void windowWillClose();

    // Offered: a size's colour (white, then green, orange, red by size).
    static kit::Color getFileColor(const FileNode::Ptr& node);

    ListFileViewControllerDelagate* detagate() const { return detagate_; }
    void setDetagate(ListFileViewControllerDelagate* d) { detagate_ = d; }
    NewOutlineView* outlineView() const { return outlineView_.get(); }
    TextImageButton* doneButton() const { return doneButton_.get(); }
    TextImageButton* refeshButton() const { return refeshButton_.get(); }
    TCImageButton* cancelButton() const { return cancelButton_.get(); }
    kit::Cell* selectButton() const { return selectButton_; }
    kit::View* waitView() const { return waitView_.get(); }
    kit::ProgressIndicator* loadProView() const { return loadProView_.get(); }
    kit::Button* selectAllButton() const { return selectAllButton_.get(); }
    const FileNodeArray& rootNodeArr() const { return rootNodeArr_; }
    void setRootNodeArr(const FileNodeArray& arr) { rootNodeArr_ = arr; }
    const std::string& searchPath() const { return searchPath_; }
    Controller* controller() const { return controller_.get(); }
    int32_t selectAllButSt() const { return selectAllButSt_; }
    bool isScan() const { return isScan_; }
    int64_t selectedRow() const { return selectedRow_; }
    bool isCounting() const { return counting_; }
    bool hasRefreshTimer() const { return sortTimer_ != nullptr; }

private:
    struct Saved {
        FileNode::Ptr node;
        int64_t state;
        bool isExpand;
        FileNodeList children;
    };
    void startCount();
    void stopListing();
    void setSelectAllImage(const char* name);
    static FileNode::Ptr nodeOf(const kit::OutlineItem& item) { return std::static_pointer_cast<FileNode>(item); }

    std::shared_ptr<NewOutlineView> outlineView_;
    std::shared_ptr<TCImageButton> cancelButton_;
    std::shared_ptr<TextImageButton> doneButton_, refeshButton_;
    std::shared_ptr<kit::Button> donotCopyTrashButton_;
    FileNodeArray rootNodeArr_;
    kit::Cell* selectButton_ = nullptr;
    std::shared_ptr<kit::View> waitView_;
    std::shared_ptr<kit::ProgressIndicator> loadProView_;
    std::shared_ptr<kit::Timer> sortTimer_;
    std::shared_ptr<kit::View> listView_, aLoadView_;
    int64_t selectedRow_ = -1;
    std::shared_ptr<kit::Button> selectAllButton_;
    std::string searchPath_;
    std::unique_ptr<Controller> controller_;
    int32_t selectAllButSt_ = 0;
    bool isScan_ = false;
    ListFileViewControllerDelagate* detagate_ = nullptr;

    std::unique_ptr<GetFilesSize> counter_;
    bool counting_ = false;      // from "Done" to the hand-back
    bool countPending_ = false;  // "Done" waits for a folder still being listed
    bool handedBack_ = false;
    std::optional<FileNodeList> savedTop_;  // an earlier choice as it came in
    std::vector<Saved> saved_;
};
