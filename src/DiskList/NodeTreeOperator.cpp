#include "DiskList/NodeTreeOperator.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "kit/Dispatch.h"
#include "kit/SysPath.h"

NodeTreeOperator::NodeTreeOperator() { isStopScan_.store(false); }

std::optional<NodeTreeOperator::FileRef> NodeTreeOperator::fsrefWithString(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileRef{path, st.st_dev, st.st_ino};
}

uint64_t NodeTreeOperator::getOneFileSizeWithPath(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return static_cast<uint64_t>(st.st_size);
}

void insertBySize(FileNodeList& arr, const FileNode::Ptr& file) {
    for (auto it = arr.begin(); it != arr.end(); ++it) {
        if ((*it)->size() <= file->size()) {
            arr.insert(it, file);
            return;
        }
    }
    arr.push_back(file);
}

uint64_t NodeTreeOperator::getFileSizeWithPat(const std::string& path, const FileNode::Ptr& withRoot,
                                              uint64_t& withTotailSize) {
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return withTotailSize;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : names) {
        if (isStopScan()) break;
        const std::string child = kit::pathJoin(path, name);
        struct stat st {};
        // Links to folders are not followed here: a loop would never end.
        const bool isFolder = ::lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        FileNode::Ptr node = FileNode::initWithPath(child, name, isFolder, withRoot);
        if (isFolder) {
            uint64_t inner = 0;
            getFileSizeWithPat(child, node, inner);
            node->setSize(inner);
        } else {
            node->setSize(S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0);
        }
        withTotailSize += node->size();
        if (withRoot) kit::dispatch::sync(kit::dispatch::mainQueue(), [&] { insertBySize(withRoot->children(), node); });
    }
    return withTotailSize;
}

void NodeTreeOperator::sortFatherSizeWithRootFileNode(const FileNode::Ptr& node, uint64_t withTotailSize) {
    if (!node) return;
    kit::dispatch::sync(kit::dispatch::mainQueue(), [&] {
        node->setSize(withTotailSize);
        if (FileNode::Ptr father = node->father()) {
            rootArrSortWithRootArr(father->children());
        } else if (NodeTreeOperatorDelegate* d = opDelegate()) {
            d->doRootArrSort();
        }
    });
}

void NodeTreeOperator::rootArrSortWithRootArr(FileNodeList& arr) {
    kit::dispatch::sync(kit::dispatch::mainQueue(), [&] {
        std::stable_sort(arr.begin(), arr.end(), [](const FileNode::Ptr& a, const FileNode::Ptr& b) {
            return a->size() > b->size();
        });
    });
}

void NodeTreeOperator::fileInsertFatherWithRootArr(FileNodeList& arr, const FileNode::Ptr& file) {
    if (!file) return;
    kit::dispatch::sync(kit::dispatch::mainQueue(), [&] { insertBySize(arr, file); });
}
