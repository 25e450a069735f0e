// The pieces the copy and image screens share: what a choice stands for, the
// space check, the same-volume test, the run guard and the dated folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <thread>

#include <gtest/gtest.h>

#include "Comm/CopyFolder.h"
#include "Comm/RunGuard.h"
#include "Comm/ScreenSelection.h"
#include "Disk/VolumeObj.h"
#include "kit/SysPath.h"
#include "support/EnvGuard.h"
#include "support/SimRoot.h"

namespace fs = std::filesystem;
using screen::HandBack;
using screen::Nodes;
using screen::Space;

namespace {

constexpr int64_t GB = 1000000000;

std::shared_ptr<FileNode> node(const std::string& path, int64_t state, bool dir = false, uint64_t size = 0) {
    auto n = FileNode::initWithPath(path, fs::path(path).filename().string(), dir, nullptr);
    n->setState(state);
    n->setSize(size);
    return n;
}

void writeBytes(const std::string& path, size_t n) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << std::string(n, 'x');
}

std::shared_ptr<VolumeObj> volume(const std::string& devNode, int64_t total, int64_t free) {
    auto v = std::make_shared<VolumeObj>();
    v->setVolRootDir(devNode);
    v->setVolumeTotalSizeNum(total);
    v->setVolumeFreeSizeNum(free);
    return v;
}

}  // namespace

TEST(ScreenSelectionChoice, WholeTopLevelIsTheWholeVolumeNeverZero) {
    Nodes all = {node("/v/a", 1), node("/v/b", 1, true)};
    // The count reports 0 for a whole top level; that must not become a size of 0.
    HandBack h = screen::sizeOfHandBack(all, 0, false);
    EXPECT_EQ(h.kind, HandBack::WholeVolume);
    EXPECT_EQ(h.selectFilesSize, screen::kWholeVolume);
    // The same choice of dropped items is the dropped set, to be counted again.
    h = screen::sizeOfHandBack(all, 0, true);
    EXPECT_EQ(h.kind, HandBack::WholeDrop);
    EXPECT_EQ(h.selectFilesSize, screen::kCounting);
}

TEST(ScreenSelectionChoice, NothingCheckedIsNothingChosen) {
    EXPECT_EQ(screen::sizeOfHandBack({}, 0, false).kind, HandBack::Nothing);
    EXPECT_EQ(screen::sizeOfHandBack({node("/v/a", 0), node("/v/b", 0)}, 0, false).kind, HandBack::Nothing);
    // A partly checked folder whose listed children are all off copies nothing either.
    auto mixed = node("/v/d", 2, true);
    mixed->children().push_back(node("/v/d/x", 0));
    EXPECT_FALSE(screen::hasChosenItem({mixed, node("/v/e", 0)}));
    EXPECT_EQ(screen::sizeOfHandBack({mixed}, 0, false).kind, HandBack::Nothing);
    mixed->children().push_back(node("/v/d/y", 1));
    EXPECT_TRUE(screen::hasChosenItem({mixed, node("/v/e", 0)}));
}

TEST(ScreenSelectionChoice, PartialChoiceKeepsItsCountAndSummary) {
    Nodes top = {node("/v/a", 1), node("/v/b", 2, true), node("/v/c", 0)};
    top[1]->children().push_back(node("/v/b/x", 1));
    screen::Choice c = screen::summarizeChoice(top);
    EXPECT_EQ(c.chosen, 2);
    EXPECT_TRUE(c.anyPartly);
    EXPECT_FALSE(c.wholeTopLevel);
    HandBack h = screen::sizeOfHandBack(top, 10 * GB, false);
    EXPECT_EQ(h.kind, HandBack::Files);
    EXPECT_EQ(h.selectFilesSize, 10 * GB);
}

TEST(ScreenSelectionSpace, WholeVolumeIsCheckedAgainstUsedSize) {
    // 80 GB used, 50 GB free on the destination: refused, whatever the count said.
    EXPECT_EQ(screen::checkSpace(screen::kWholeVolume, 80 * GB, 50 * GB, false), Space::TooLarge);
    // The same volumes with 10 GB of chosen files: accepted.
    EXPECT_EQ(screen::checkSpace(10 * GB, 80 * GB, 50 * GB, false), Space::Fits);
    EXPECT_EQ(screen::checkSpace(50 * GB, 80 * GB, 50 * GB, false), Space::Fits);
    EXPECT_EQ(screen::checkSpace(50 * GB + 1, 80 * GB, 50 * GB, false), Space::TooLarge);
}

TEST(ScreenSelectionSpace, UnknownSidesAndCountsDecideNothing) {
    EXPECT_EQ(screen::checkSpace(screen::kWholeVolume, 80 * GB, screen::kNoSize, false), Space::Unknown);
    EXPECT_EQ(screen::checkSpace(screen::kWholeVolume, screen::kNoSize, 50 * GB, false), Space::Unknown);
    EXPECT_EQ(screen::checkSpace(screen::kCounting, screen::kNoSize, 50 * GB, true), Space::Counting);
    EXPECT_FALSE(screen::bytesNeeded(screen::kCounting, 5, true));
}

TEST(ScreenSelectionSpace, DroppedItemsMeetTheCheckWithoutASourceVolume) {
    EXPECT_EQ(screen::checkSpace(60 * GB, screen::kNoSize, 50 * GB, true), Space::TooLarge);
    EXPECT_EQ(screen::checkSpace(3000, screen::kNoSize, 50 * GB, true), Space::Fits);
    // A drop that kept a chosen source volume is still measured by its own bytes.
    EXPECT_EQ(screen::checkSpace(60 * GB, 1000, 50 * GB, true), Space::TooLarge);
}

TEST(ScreenSelectionSpace, MarginCountsAndHugeNeedsDoNotWrap) {
    const int64_t margin = 50000000;
    EXPECT_EQ(screen::checkSpace(GB - margin, 0, GB, true, margin), Space::Fits);
    EXPECT_EQ(screen::checkSpace(GB - margin + 1, 0, GB, true, margin), Space::TooLarge);
    const int64_t huge = std::numeric_limits<int64_t>::max() - 10;
    EXPECT_EQ(screen::checkSpace(huge, 0, std::numeric_limits<int64_t>::max() - 1, true, margin), Space::TooLarge);
}

TEST(ScreenSelectionBytes, ChosenItemsAreCountedFromDisk) {
    char tmpl[] = "/tmp/pelorin-bytes-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string root = tmpl;
    writeBytes(root + "/folder/a.bin", 1000);
    writeBytes(root + "/folder/sub/b.bin", 2345);
    fs::create_symlink("a.bin", root + "/folder/link");  // counted as a link (5 bytes), not followed
    writeBytes(root + "/single.txt", 77);
    writeBytes(root + "/part/keep.bin", 400);
    writeBytes(root + "/part/skip.bin", 9999);

    // Dropped nodes carry size 0 for folders: the count must walk them.
    Nodes dropped = {node(root + "/folder", 1, true), node(root + "/single.txt", 1, false, 77)};
    EXPECT_EQ(screen::countChosenBytes(dropped), 1000 + 2345 + 5 + 77);

    auto part = node(root + "/part", 2, true);
    part->children() = {node(root + "/part/keep.bin", 1), node(root + "/part/skip.bin", 0)};
    EXPECT_EQ(screen::countChosenBytes({part, node(root + "/single.txt", 0)}), 400);

    // An item gone from disk keeps the size it was listed with.
    EXPECT_EQ(screen::countChosenBytes({node(root + "/gone.txt", 1, false, 123)}), 123);
    fs::remove_all(root);
}

TEST(ScreenSelectionVolumes, SameVolumeIsTheDeviceNode) {
    auto a = volume("/dev/disk4s2", 100, 50);
    auto again = volume("/dev/disk4s2", 100, 40);  // the same volume after a rescan: a new record
    auto other = volume("/dev/disk5s2", 100, 50);
    EXPECT_TRUE(screen::sameVolume(a.get(), again.get()));
    EXPECT_FALSE(screen::sameVolume(a.get(), other.get()));
    EXPECT_FALSE(screen::sameVolume(a.get(), nullptr));
    auto bare1 = volume("", 1, 1), bare2 = volume("", 1, 1);
    EXPECT_FALSE(screen::sameVolume(bare1.get(), bare2.get()));
    EXPECT_TRUE(screen::sameVolume(bare1.get(), bare1.get()));
    EXPECT_EQ(screen::usedBytes(*a), 50);
    EXPECT_EQ(screen::usedBytes(*volume("x", 10, 20)), 0);
}

TEST(ScreenSelectionVolumes, SlotPictures) {
    EnvGuard root("PELORIN_SYSROOT", "/tmp/some-root");
    VolumeObj usb, sys, disk;
    usb.setBCanEject(true);
    usb.setVolumeMountPoint("/tmp/some-root/Volumes/USB");
    sys.setVolumeMountPoint("/tmp/some-root/");
    disk.setVolumeMountPoint("/tmp/some-root/Volumes/Backup");
    EXPECT_EQ(screen::slotImageForVolume(usb), "ic_usb_main");
    EXPECT_EQ(screen::slotImageForVolume(sys), "ic_os_main_b");
    EXPECT_EQ(screen::slotImageForVolume(disk), "ic_disk_main");
}

TEST(RunGuardTest, ReportsCountOnlyBetweenStartAndEnd) {
    screen::RunGuard guard;
    EXPECT_FALSE(guard.accepts(guard.current()));
    const auto first = guard.start();
    EXPECT_TRUE(guard.isRunning());
    EXPECT_TRUE(guard.accepts(first));
    guard.end();  // an end view (or a stop): the run's late reports and timers are dropped
    EXPECT_FALSE(guard.accepts(first));
    EXPECT_FALSE(guard.accepts(guard.current()));
    const auto second = guard.start();
    EXPECT_TRUE(guard.accepts(second));
    EXPECT_FALSE(guard.accepts(first));  // the first run's timer fires during the second run
}

TEST(RunGuardTest, TicketsMakeEarlierRequestsStale) {
    screen::Ticket t;
    EXPECT_FALSE(t.isCurrent(0));
    const auto a = t.next();
    const auto b = t.next();
    EXPECT_FALSE(t.isCurrent(a));
    EXPECT_TRUE(t.isCurrent(b));
    t.cancel();
    EXPECT_FALSE(t.isCurrent(b));
    // Threads taking tickets never hand out the same number twice.
    std::vector<screen::Ticket::Number> seen(4000);
    std::vector<std::thread> threads;
    for (int k = 0; k < 4; ++k)
        threads.emplace_back([&, k] { for (int i = 0; i < 1000; ++i) seen[k * 1000 + i] = t.next(); });
    for (auto& th : threads) th.join();
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
}

TEST(CopyFolderTest, StampAndName) {
    EnvGuard tz("TZ", "UTC");
    ::tzset();
    // 2024-03-01 14:05:09 UTC
    EXPECT_EQ(screen::copyStamp(1709301909), "2024-03-01 14:05:09");
    EXPECT_EQ(screen::copyFolderName("2024-03-01 14:05:09"), "Pelorin(2024-03-01 14:05:09)");
}

class CopyFolderOnMachine : public ::testing::Test {
protected:
    sim::SimRoot sim{"demo"};
    const std::string stamp = "2024-03-01 14:05:09";
    std::string desktopCopy() const { return sim.path("/Users/alex/Desktop/Pelorin(2024-03-01 14:05:09)"); }
};

TEST_F(CopyFolderOnMachine, InsideAMountedDestination) {
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string got = screen::makeCopyFolder(sim.path("/Volumes/Backup"), stamp);
    EXPECT_EQ(got, sim.path("/Volumes/Backup/Pelorin(2024-03-01 14:05:09)"));
    EXPECT_TRUE(fs::is_directory(got));
    // A second run in the same second takes the same folder.
    EXPECT_EQ(screen::makeCopyFolder(sim.path("/Volumes/Backup"), stamp), got);
    // The running system's root gets it at its top.
    EXPECT_EQ(screen::makeCopyFolder(kit::sysPath("/"), stamp), sim.path("/Pelorin(2024-03-01 14:05:09)"));
}

TEST_F(CopyFolderOnMachine, AnUnmountedDestinationIsNotRecreated) {
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string gone = sim.path("/Volumes/Gone");
    const std::string got = screen::makeCopyFolder(gone, stamp);
    EXPECT_EQ(got, desktopCopy());
    EXPECT_TRUE(fs::is_directory(got));
    EXPECT_FALSE(fs::exists(gone));
    // No mount point at all never means the host's own root.
    EXPECT_EQ(screen::makeCopyFolder("", stamp), desktopCopy());
}

TEST_F(CopyFolderOnMachine, AFolderThatCannotBeMadeGoesToTheDesktop) {
    ASSERT_TRUE(sim.ok()) << sim.error();
    // A file already holds the folder's name on the destination.
    const std::string blocked = sim.path("/Volumes/Backup/Pelorin(2024-03-01 14:05:09)");
    std::ofstream(blocked) << "not a folder";
    EXPECT_EQ(screen::makeCopyFolder(sim.path("/Volumes/Backup"), stamp), desktopCopy());
    EXPECT_TRUE(fs::is_regular_file(blocked));
}
