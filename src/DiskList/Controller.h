#pragma once
// The coordinator of one file tree: starts the listing of a volume's top
// level, lists a folder when the user opens it, keeps the three selection
// states consistent when a check box changes, and reveals items in the file
// manager. Everything but the end of a listing runs on the main thread.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DiskList/ControllerDelegate.h"
#include "DiskList/EumeRoot.h"
#include "DiskList/EumeRootDelegate.h"
#include "DiskList/FileNodeArray.h"

class Controller : public EumeRootDelegate {
public:
    Controller();
    // Stops its listings and delete walk; nothing is reported afterwards.
    ~Controller() override;
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // Records the flags, makes a new lister and starts listing withRootPath's
    // top level into arr (see listPathForPath for a device node). Returns at once.
    void eumeAllRootFileNodeWithRootArr(const FileNodeArray& arr, const std::string& withRootPath, bool withCopyAll,
                                        bool withCopyFiles);
    // From the lister: a whole-volume listing's end goes to copyFileScanFiles
    // (copy) or endScanFiles (image); a file-list listing's end goes nowhere.
    void endScan() override;
    // Starts listing the node's children (the current lister, or a new one).
    void getNodeListWithFaterNode(const FileNode::Ptr& node);
    void endEumeNode() override;

    // Downward step, then the select-all box, then a redraw.
    void changeSelectWithNode(const FileNode::Ptr& node, int64_t withSelectState);
    // The node takes the state; its listed children take it too, and deeper
    // levels follow through this node's open state.
    void changeChildrenFilNodeStateWithFileNode(const FileNode::Ptr& node, int8_t withSelectState);
    // The node's father (and its father…) recomputed from their children;
    // the owner is told at every level. The state passed is not used.
    void changeFatherNodeSelectStateWithFileNode(const FileNode::Ptr& node, int64_t withSelectState);
    void changeSelectAllButtonState();
    void reloadTree();
    // Shows the node's item selected in the file manager.
    void openFileWithFileNode(const FileNode::Ptr& node);
    double getProgress() const;

    ControllerDelegate* aDelegate() const { return aDelegate_.load(); }
    void setADelegate(ControllerDelegate* d) { aDelegate_.store(d); }

    // Offered operations.
    void stopScan();
    void selectAllFileNode(int64_t state);
    // Opens the node's item with the file manager.
    void pereviewFileWithFileNode(const FileNode::Ptr& node);
    void moveFileToTarsh();
    // Moves the item at path to the trash; false (logged) when it could not.
    bool moveFileToTrash(const std::string& path);
    // Removes the selected items of arr (state 1, and inside partly selected
    // folders) from the disk on a background thread; each removed node leaves
    // its list on the main queue, where progress is reported.
    void deleteFilesWithDic(const FileNodeList& arr);
    // The removal itself, on the calling thread, of the gathered items; a
    // stop already asked for ends it before the first.
    void deleteFilesWithDic(const FileNodeList& arr, const FileNodeList& withDeleteArr);
    // The nodes a delete would remove: state 1, descending into state 2.
    FileNodeList removeSelectFilesWithDic(const FileNodeList& arr);
    // Ends a delete walk: every top-level node deselected, progress 100.
    void stopRemove();

    // Whether the lister is still filling the top level / some folder.
    bool isListing() const;
    bool isListingChildren() const;

    // The folder to list for a volume: a device node ("/dev/disk4s1", or a
    // block or character device) becomes the volume's mount point; anything
    // else, a folder under /dev included, is returned as it is. An unknown
    // device node is returned unchanged (and lists nothing).
    static std::string listPathForPath(const std::string& path);

    const FileNodeArray& aRootArr() const { return aRootArr_; }
    bool isCopyAllFiles() const { return isCopyAllFiles_.load(); }
    bool isCopyFiles() const { return isCopyFiles_.load(); }
    bool isStopRemove() const { return isStopRemove_->load(); }
    const std::shared_ptr<EumeRoot>& eumeRoot() const { return eumeRoot_; }

private:
    static void deleteWalk(const std::weak_ptr<Controller*>& alive, const std::shared_ptr<std::atomic<bool>>& stop,
                           const FileNodeList& top, const FileNodeList& items);

    FileNodeArray aRootArr_;
    FileNodeList selectNodeArr_;  // never filled: the selection lives in the node states
    std::shared_ptr<std::atomic<bool>> isStopRemove_;
    std::atomic<bool> isCopyAllFiles_{false};
    std::atomic<bool> isCopyFiles_{false};
    std::shared_ptr<EumeRoot> eumeRoot_;
    std::atomic<ControllerDelegate*> aDelegate_{nullptr};
    // Lets a delete walk's main-queue steps see whether we still exist.
    std::shared_ptr<Controller*> alive_;
};
