#include "Disk/FileNode.h"

#include <algorithm>

#include "Disk/SystemFolder.h"
#include "kit/SysPath.h"

FileNode::Ptr FileNode::initWithPath(const std::string& path, const std::string& withName, bool isDirectory,
                                     const Ptr& withFather) {
    Ptr node(new FileNode());
    node->path_ = path;
    node->name_ = withName;
    node->isDirectory_ = isDirectory;
    node->state_ = FileNodeSelectStateOn;
    if (withFather) node->father_ = withFather;
    node->isButtonState_ = 0;
    node->size_ = 0;
    node->isExpand_ = false;
    return node;
}

std::string FileNode::displayName() const { return kit::lastPathComponent(path_); }

std::string FileNode::icon() const { return isDirectory_ ? "ic_folder" : "ic_file"; }

bool FileNode::isSystemFile() const { return SystemFolder::isSystemFileWithFilePath(path_); }

int FileNode::compareSize(const FileNode& other) const {
    if (size_ > other.size_) return -1;
    if (size_ < other.size_) return 1;
    return 0;
}

void FileNode::decendingSort() {
    std::stable_sort(children_.begin(), children_.end(),
                     [](const Ptr& a, const Ptr& b) { return a->compareSize(*b) < 0; });
    for (const Ptr& child : children_) child->decendingSort();
}
