#pragma once
// The size reader of the file tree: the logical data size of one file, and a
// recursive walk that sizes whole folders (offered; the regular listing never
// sizes folders).
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "DiskList/FileNodeArray.h"
#include "DiskList/NodeTreeOperatorDelegate.h"

class NodeTreeOperator {
public:
    // What a path names on the file system (links followed).
    struct FileRef {
        std::string path;
        dev_t device = 0;
        ino_t inode = 0;
    };

    NodeTreeOperator();

    // nullopt when nothing is at path.
    static std::optional<FileRef> fsrefWithString(const std::string& path);
    // The byte size of the file's data (links followed); 0 for a folder, for
    // anything that is not a regular file, and when the path can't be read.
    static uint64_t getOneFileSizeWithPath(const std::string& path);

    void stopScan() { isStopScan_.store(true); }
    bool isStopScan() const { return isStopScan_.load(); }

    // Not owned; told on the main thread.
    NodeTreeOperatorDelegate* opDelegate() const { return opDelegate_.load(); }
    void setOpDelegate(NodeTreeOperatorDelegate* d) { opDelegate_.store(d); }

    // The recursive walk, off the main thread: a node for every entry under
    // path, each added to its father's children largest first on the main
    // queue; folders get the summed size of their contents. Adds what it found
    // to withTotailSize and returns the new total. Ends early once stopped.
    uint64_t getFileSizeWithPat(const std::string& path, const FileNode::Ptr& withRoot, uint64_t& withTotailSize);
    // Sets the node's size, then re-sorts its father's children, or has the
    // delegate re-sort the top level when it has no father (on the main queue).
    void sortFatherSizeWithRootFileNode(const FileNode::Ptr& node, uint64_t withTotailSize);
    // Largest first, on the main queue; of equal sizes the earlier stays first.
    void rootArrSortWithRootArr(FileNodeList& arr);
    // Inserted before the first element no larger than the file, on the main queue.
    void fileInsertFatherWithRootArr(FileNodeList& arr, const FileNode::Ptr& file);

private:
    std::atomic<bool> isStopScan_{false};
    std::atomic<NodeTreeOperatorDelegate*> opDelegate_{nullptr};
};

// Inserts file before the first element of arr whose size is less than or
// equal to its own; appends when there is none.
void insertBySize(FileNodeList& arr, const FileNode::Ptr& file);
