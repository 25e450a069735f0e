#pragma once
// The lister of a file tree. It reads a folder's top level (in practice a
// volume's root) into a shared list, and a folder node's children when the
// user opens that folder, one directory level at a time: folders are never
// sized here.
//
// Both listings read the disk off the main thread and hand their nodes over on
// the main queue in batches, so neither a vast top level nor a folder of a
// hundred thousand entries freezes the window, and the lists are only ever
// changed on the main thread. After every batch the top level is in its final
// order for the entries listed so far: files first, largest first (of equal
// sizes the one listed later first), then folders in directory order.
//
// Call it on the main thread.
#include <cstdint>
#include <memory>
#include <string>

#include "DiskList/EumeRootDelegate.h"
#include "DiskList/FileNodeArray.h"
#include "DiskList/NodeTreeOperator.h"

class EumeRoot : public NodeTreeOperatorDelegate {
public:
    EumeRoot();
    // Stops its listings and forgets the delegate; an endScan being delivered
    // on another thread is waited for.
    ~EumeRoot() override;
    EumeRoot(const EumeRoot&) = delete;
    EumeRoot& operator=(const EumeRoot&) = delete;

    // Records the list, makes a fresh size reader, clears the flags and
    // counters and starts the top-level listing of withRootPath. Returns at once.
    void eumeAllRootFileNodeWithRootArr(const FileNodeArray& arr, const std::string& withRootPath);
    // Starts the top-level listing of path into the recorded list (a listing
    // still running is stopped first). Every listing ends with endScan unless
    // it was stopped: a missing root lists nothing, a root that is a file lists
    // that one file, an empty folder lists nothing; each then has progress 100.
    void eumeRootListNode(const std::string& path);
    // Starts listing the node's folder into its children, in directory order,
    // with no skip list; each child starts in the node's state (0 or 1; 1 when
    // the node is partly selected). endEumeNode follows once all are there.
    // A node whose listing is running is not listed twice.
    void getNodeListWithFaterNode(const FileNode::Ptr& node);
    // Inserts the file before the first top-level entry no larger than it.
    void insertFileInRootArrWithFile(const FileNode::Ptr& file);
    // Percent of the top-level entries in the list; 100 once the listing has
    // ended, 0 before it knows how many entries there are.
    float getProgress() const;

    EumeRootDelegate* eumeDelegate() const;
    void setEumeDelegate(EumeRootDelegate* d);

    // Stops every listing of this lister: nothing more reaches a list after
    // the call returns (on the main thread), and no end is reported.
    void stopScan();
    // Toggles the pause flag (nothing reads it).
    void pauseScan();
    // Re-sorts the top-level list by size, largest first.
    void doRootArrSort() override;
    // A top-level listing of path that also sizes every top-level folder with
    // the size reader's recursive walk (its contents become its children).
    void getRootNodeListWithPath(const std::string& path);

    const FileNodeArray& rootNodeArr() const;
    std::shared_ptr<NodeTreeOperator> treeOperator() const;
    int32_t allFileCount() const;
    int32_t eumeFileCount() const;
    bool isStopScan() const;
    bool isPauseScan() const;
    // Whether a top-level listing is running / some folder is being listed.
    bool isListing() const;
    bool isListingChildren() const;

    struct Core;

private:
    std::shared_ptr<Core> core_;
};
