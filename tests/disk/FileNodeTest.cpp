// File-tree nodes and the system-file list.
#include <gtest/gtest.h>

#include "Disk/FileNode.h"
#include "Disk/SystemFolder.h"
#include "DiskTestRoot.h"
#include "kit/SysPath.h"

TEST(FileNode, NewNodeIsOnEmptyAndKeepsItsFatherWeakly) {
    auto parent = FileNode::initWithPath("/Volumes/USB/docs", "docs", true, nullptr);
    auto child = FileNode::initWithPath("/Volumes/USB/docs/report.txt", "listed name", false, parent);
    EXPECT_EQ(parent->state(), FileNodeSelectStateOn);
    EXPECT_TRUE(parent->children().empty());
    EXPECT_EQ(parent->size(), 0u);
    EXPECT_FALSE(parent->isExpand());
    EXPECT_EQ(parent->isButtonState(), 0);
    EXPECT_EQ(parent->father(), nullptr);
    EXPECT_EQ(child->father(), parent);
    EXPECT_TRUE(parent->isDirectory());
    EXPECT_FALSE(child->isDirectory());

    // The display name follows the path, whatever name or display name was set.
    EXPECT_EQ(child->name(), "listed name");
    child->setDisplayName("something else");
    EXPECT_EQ(child->displayName(), "report.txt");

    // A child doesn't keep its parent alive: no cycle through children/father.
    std::weak_ptr<FileNode> weakParent = parent;
    parent->children().push_back(child);
    parent.reset();
    EXPECT_TRUE(weakParent.expired());
    EXPECT_EQ(child->father(), nullptr);
}

TEST(FileNode, DescendingSortOrdersEveryLevelLargestFirst) {
    auto root = FileNode::initWithPath("/r", "r", true, nullptr);
    auto sub = FileNode::initWithPath("/r/sub", "sub", true, root);
    std::vector<FileNode::Ptr> top;
    for (uint64_t size : {10, 30, 20}) {
        auto n = FileNode::initWithPath("/r/" + std::to_string(size), std::to_string(size), false, root);
        n->setSize(size);
        top.push_back(n);
    }
    sub->setSize(25);
    top.push_back(sub);
    for (uint64_t size : {1, 3, 2}) {
        auto n = FileNode::initWithPath("/r/sub/" + std::to_string(size), "", false, sub);
        n->setSize(size);
        sub->children().push_back(n);
    }
    root->setChildren(top);
    root->decendingSort();
    std::vector<uint64_t> sizes;
    for (auto& n : root->children()) sizes.push_back(n->size());
    EXPECT_EQ(sizes, (std::vector<uint64_t>{30, 25, 20, 10}));
    sizes.clear();
    for (auto& n : sub->children()) sizes.push_back(n->size());
    EXPECT_EQ(sizes, (std::vector<uint64_t>{3, 2, 1}));
    EXPECT_EQ(top[0]->compareSize(*top[1]), 1);
    EXPECT_EQ(top[1]->compareSize(*top[0]), -1);
}

TEST(SystemFile, ExactPathsOfTheBundleListOnly) {
    EXPECT_TRUE(SystemFolder::isSystemFileWithFilePath(kit::sysPath("/System")));
    EXPECT_FALSE(SystemFolder::isSystemFileWithFilePath(kit::sysPath("/System") + "/"));
    EXPECT_FALSE(SystemFolder::isSystemFileWithFilePath(kit::sysPath("/System/Library")));
    EXPECT_FALSE(SystemFolder::isSystemFileWithFilePath(kit::sysPath("/Users")));
    auto node = FileNode::initWithPath(kit::sysPath("/private"), "private", true, nullptr);
    EXPECT_TRUE(node->isSystemFile());
    node->setIsSystemFile(false);  // stored only; the answer is asked afresh
    EXPECT_TRUE(node->isSystemFile());
}

TEST(SystemFile, ListedPathsLieAtTheSystemRoot) {
    disktest::ScopedRoot root;
    EXPECT_TRUE(SystemFolder::isSystemFileWithFilePath(root.path() + "/System"));
    EXPECT_FALSE(SystemFolder::isSystemFileWithFilePath("/System"));
}

TEST(SystemFile, WalkStopsAtTheEntryCount) {
    kit::Value list = kit::Value::dict();
    list.set("0", "/a");
    list.set("2", "/c");  // never reached: two entries, so keys "0" and "1" are asked
    EXPECT_TRUE(SystemFolder::isSystemFileWithFilePath("/a", list));
    EXPECT_FALSE(SystemFolder::isSystemFileWithFilePath("/c", list));
    EXPECT_FALSE(SystemFolder::isSystemFileWithFilePath("/a", kit::Value::dict()));
    EXPECT_FALSE(SystemFolder::isSystemFileWithFilePath("/a", kit::Value("not a dictionary")));
}
