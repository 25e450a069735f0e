#pragma once
// The mutable top-level list of a file tree. Its owner (a screen or the file
// list) and the tree controller share the very same list object, so a change
// made by one is seen by the others. It is read and changed on the main thread
// only; listers hand their results over there.
#include <memory>
#include <vector>

#include "Disk/FileNode.h"

using FileNodeList = std::vector<FileNode::Ptr>;
using FileNodeArray = std::shared_ptr<FileNodeList>;

inline FileNodeArray makeFileNodeArray() { return std::make_shared<FileNodeList>(); }
