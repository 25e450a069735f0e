// The workspace's file-manager calls under a system root.
#include <gtest/gtest.h>

#include "DiskListTestSupport.h"
#include "kit/Workspace.h"

using namespace disklisttest;

TEST(WorkspaceFileManager, RevealOpenAndTrashAreRecordedInTheRoot) {
    TempDir root;
    EnvGuard env("PELORIN_SYSROOT", root.path().c_str());
    auto& ws = kit::Workspace::shared();
    EXPECT_TRUE(ws.selectFile(root / "Volumes/USB/a b.txt", ""));
    EXPECT_TRUE(ws.openFile(root / "Volumes/USB"));
    EXPECT_FALSE(ws.selectFile("", ""));
    EXPECT_FALSE(ws.openFile(""));
    EXPECT_FALSE(ws.selectFile(root / "two\nlines", ""));  // one record a line
    EXPECT_EQ(readLines(kit::revealedItemsPath()), std::vector<std::string>{root / "Volumes/USB/a b.txt"});
    EXPECT_EQ(readLines(kit::openedFilesPath()), std::vector<std::string>{root / "Volumes/USB"});
    EXPECT_EQ(kit::revealedItemsPath(), root / ".pelorin/revealed-items.txt");

    // No console user recorded: the root's own trash.
    root.file("Volumes/USB/folder/inside.txt", 3);
    std::string error;
    ASSERT_TRUE(ws.moveItemToTrash(root / "Volumes/USB/folder", &error)) << error;
    EXPECT_TRUE(fs::exists(root / ".Trash/folder/inside.txt"));
    EXPECT_FALSE(ws.moveItemToTrash(root / "Volumes/USB/folder", &error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_FALSE(ws.moveItemToTrash("", &error));
    EXPECT_EQ(readLines(kit::trashedItemsPath()), std::vector<std::string>{root / "Volumes/USB/folder"});
}
