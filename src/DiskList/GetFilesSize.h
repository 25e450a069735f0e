#pragma once
// Counts the bytes a selection of a file tree holds, off the main thread, and
// reports the total once. Files take the size their node holds; a folder
// selected whole is measured with the disk-usage tool, a few folders at a
// time. When every top-level item is selected nothing is measured and the
// total is 0: the whole volume.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "DiskList/Controller.h"
#include "DiskList/FileNodeArray.h"
#include "DiskList/GetFilesSizeDelegate.h"
#include "DiskList/NodeTreeOperator.h"

class GetFilesSize {
public:
    GetFilesSize();
    GetFilesSize(const GetFilesSize&) = delete;
    GetFilesSize& operator=(const GetFilesSize&) = delete;

    // Counts a snapshot of arr on the global queue and returns at once; the
    // report comes from that queue. The count keeps what it needs alive, so
    // this object may go before it ends. Don't change the nodes' states or
    // children meanwhile.
    void getAllFilesSizeWithArr(const FileNodeList& arr);

    // Not owned; cleared on the main thread, it is told nothing more.
    GetFilesSizeDelegate* delegate() const;
    void setDelegate(GetFilesSizeDelegate* d);
    // A stop flag nothing sets; the count doesn't read it.
    bool isCancel() const { return isCancel_.load(); }
    void setIsCancel(bool v) { isCancel_.store(v); }
    int64_t allFileSize() const;
    int32_t iBegin() const { return iBegin_; }
    const std::shared_ptr<Controller>& controller() const { return controller_; }

    // Offered: the same size reading as the tree's size reader, a recursive
    // sum of the data sizes under path (links not followed), and storing a
    // size in a node.
    static std::optional<NodeTreeOperator::FileRef> fsrefWithString(const std::string& path);
    static uint64_t getOneFileSizeWithPath(const std::string& path);
    static uint64_t getFileSizeWithPat(const std::string& path, uint64_t& withTotailSize);
    static void sortFatherSizeWithRootFileNode(const FileNode::Ptr& node, uint64_t withTotailSize);

    struct Core;

private:
    std::shared_ptr<Core> core_;
    std::atomic<bool> isCancel_{false};
    int32_t iBegin_ = 0;
    std::shared_ptr<Controller> controller_;
};

// The disk-usage tool's measure of the folder at path: "/usr/bin/du -sh path",
// its size text scaled by 1000 per unit (K, M, G, T). Blocks until the tool
// ends. A folder the tool could not measure (no tool, no output, no number)
// gives 0 and is logged; *measured (when given) tells which it was.
uint64_t getFolderSizeUsingCommand(const std::string& path, bool* measured = nullptr);
// The size text's value: its leading number (a decimal point or comma) scaled
// by its last letter. nullopt when the text holds no number.
std::optional<uint64_t> duSizeTextValue(const std::string& sizeText);
