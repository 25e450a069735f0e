#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "support/EnvGuard.h"
#include "kit/RunLoop.h"
#include "kit/SysPath.h"
#include "kit/System.h"
#include "kit/Workspace.h"

namespace fs = std::filesystem;

namespace {

struct Seen {
    std::vector<std::string> mounted, unmounted;
};

}  // namespace

TEST(Workspace, MountAndUnmountFollowFoldersUnderTheRoot) {
    kit::ensureMainThreadApp();
    const std::string root = kit::temporaryDirectory() + "ws-root";
    fs::create_directories(root);
    EnvGuard env("PELORIN_SYSROOT", root.c_str());
    auto& center = kit::Workspace::shared().notificationCenter();
    EXPECT_TRUE(fs::is_directory(root + "/Volumes"));  // made when missing

    Seen seen;
    auto t1 = center.addObserver(kit::WorkspaceDidMountNotification, nullptr, [&](const kit::Notification& n) {
        seen.mounted.push_back(n.userInfo.getString("DevicePath").value_or("?"));
    });
    auto t2 = center.addObserver(kit::WorkspaceDidUnmountNotification, nullptr, [&](const kit::Notification& n) {
        seen.unmounted.push_back(n.userInfo.getString("DevicePath").value_or("?"));
    });

    fs::create_directories(root + "/Volumes/USB");
    fs::create_directories(root + "/Volumes/My Disk");
    std::ofstream(root + "/Volumes/not-a-volume.txt") << "x";  // files are no mounts
    ASSERT_TRUE(kit::runUntil([&] { return seen.mounted.size() == 2; }, 5));
    EXPECT_EQ(seen.mounted, (std::vector<std::string>{root + "/Volumes/My Disk", root + "/Volumes/USB"}));

    fs::remove_all(root + "/Volumes/USB");
    ASSERT_TRUE(kit::runUntil([&] { return seen.unmounted.size() == 1; }, 5));
    EXPECT_EQ(seen.unmounted[0], root + "/Volumes/USB");

    // A rename is an unmount of the old name and a mount of the new one.
    fs::rename(root + "/Volumes/My Disk", root + "/Volumes/Renamed");
    ASSERT_TRUE(kit::runUntil([&] { return seen.unmounted.size() == 2 && seen.mounted.size() == 3; }, 5));
    EXPECT_EQ(seen.unmounted[1], root + "/Volumes/My Disk");
    EXPECT_EQ(seen.mounted[2], root + "/Volumes/Renamed");
    kit::runUntil(nullptr, 0.1);
    EXPECT_EQ(seen.mounted.size(), 3u);  // nothing twice

    // Another root: the watch follows it.
    const std::string root2 = kit::temporaryDirectory() + "ws-root2";
    fs::create_directories(root2 + "/Volumes");
    env.set(root2.c_str());
    kit::Workspace::shared().notificationCenter();
    fs::create_directories(root2 + "/Volumes/Second");
    ASSERT_TRUE(kit::runUntil([&] { return seen.mounted.size() == 4; }, 5));
    EXPECT_EQ(seen.mounted[3], root2 + "/Volumes/Second");

    center.removeObserver(t1);
    center.removeObserver(t2);
}

TEST(Workspace, SizesComeFromTheMachineWithTheLongestMountPoint) {
    const std::string root = kit::temporaryDirectory() + "size-root";
    fs::create_directories(root + "/.pelorin");
    fs::create_directories(root + "/Volumes/USB/folder");
    EnvGuard env("PELORIN_SYSROOT", root.c_str());

    kit::Value state = kit::Value::dict();
    kit::Value vols = kit::Value::array();
    auto vol = [](const std::string& mp, int64_t total, int64_t free) {
        kit::Value v = kit::Value::dict();
        v["MountPoint"] = mp;
        v["TotalSize"] = total;
        v["FreeSpace"] = free;
        return v;
    };
    vols.push(vol(root, 500000000000, 200000000000));
    vols.push(vol(root + "/Volumes/USB", 32000000000, 1000));
    vols.push(vol("", 7, 7));  // not mounted
    state["Volumes"] = vols;
    state["ConsoleUser"] = "alice";
    ASSERT_TRUE(kit::writePlistFile(kit::machineStatePath(), state));

    auto usb = kit::Workspace::shared().fileSystemSize(root + "/Volumes/USB/folder");
    ASSERT_TRUE(usb);
    EXPECT_EQ(usb->total, 32000000000);
    EXPECT_EQ(usb->free, 1000);
    auto sys = kit::Workspace::shared().fileSystemSize(root + "/Volumes/USB2");  // a prefix, not inside
    ASSERT_TRUE(sys);
    EXPECT_EQ(sys->total, 500000000000);
    // A device path is no file system: the caller keeps its scanned sizes.
    EXPECT_FALSE(kit::Workspace::shared().fileSystemSize("/dev/disk2"));
    // Outside every simulated volume: the host's answer.
    auto host = kit::Workspace::shared().fileSystemSize("/");
    ASSERT_TRUE(host);
    EXPECT_GT(host->total, 0);

    EXPECT_EQ(kit::consoleUser(), "alice");
    EXPECT_EQ(kit::homeFolderForUser("alice"), root + "/Users/alice");
    EXPECT_EQ(kit::homeFolderForUser(""), "");
}
