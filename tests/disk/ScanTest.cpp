// The volume provider against the simulated machine: both list filters, broken
// tool output, rescans on mount and unmount, overlapping scans, refusal traces
// and names that must reach the disk tool literally.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "Disk/GetVolumes.h"
#include "Disk/OVPublicUtilities.h"
#include "Disk/OVUSBControl.h"
#include "DiskTestRoot.h"
#include "kit/Dispatch.h"
#include "kit/RunLoop.h"
#include "kit/Shell.h"
#include "support/EnvGuard.h"
#include "support/SimRoot.h"

namespace {

class ScanTest : public ::testing::Test {
protected:
    void SetUp() override { kit::ensureMainThreadApp(); }

    static void waitIdle(GetVolumes& gv) {
        ASSERT_TRUE(kit::runUntil([&] { return !gv.isScanningVolumes() && !gv.isScanningExVolumes(); }, 300));
    }
    static std::vector<std::string> names(const VolumeList& list) {
        std::vector<std::string> out;
        for (const auto& v : list.snapshot()) out.push_back(v->volumeName());
        return out;
    }
    static std::vector<std::string> paths(const VolumeList& list) {
        std::vector<std::string> out;
        for (const auto& v : list.snapshot()) out.push_back(v->volumePath());
        return out;
    }
    static std::shared_ptr<VolumeObj> named(const VolumeList& list, const std::string& name) {
        for (const auto& v : list.snapshot())
            if (v->volumeName() == name) return v;
        return nullptr;
    }
    // Runs of "diskutil <args…>" whose arguments begin with these words.
    static size_t runsOf(const sim::SimRoot& root, const std::vector<std::string>& words) {
        size_t n = 0;
        for (const auto& e : root.journalFor("diskutil"))
            if (e.args.size() >= words.size() && std::equal(words.begin(), words.end(), e.args.begin())) ++n;
        return n;
    }
};

const std::vector<std::string> kFiltersMounted = {"System HD - Data", "USB", "NoName", "Archive",
                                                  "Thunder", "Scratch", "ImageVol"};
const std::vector<std::string> kFiltersExternal = {"disk4", "disk5", "disk6", "disk7", "disk10", "disk11", "disk13"};
// disk8 (a container: virtual), disk9 (internal PCI-Express), disk12 (RAID set),
// disk14 (HFSX), disk15 (encrypted), disk16 (logical volume), disk17 (image).
const char* const kFiltersTraces =
    "Virtual\n Begin 7 \n"
    "PCI-Express\nNO\n Begin 3 \n"
    "YES\n Begin 4 \n"
    "Apple_HFSX\n Begin 6 \n"
    "YES\n Begin 5 \n"
    "Virtual\n Begin 7 \n"
    "Virtual\n Begin 7 \n";

}  // namespace

TEST_F(ScanTest, MountedVolumeFilterOnEveryCase) {
    sim::SimRoot root("filters");
    ASSERT_TRUE(root.ok()) << root.error();
    auto gv = GetVolumes::create();
    auto list = gv->getVolumes();
    EXPECT_EQ(gv->getVolumes(), list);  // the same object, whether filled or not
    waitIdle(*gv);
    // Left out: the sealed system (snapshot at the root), ISC and recovery
    // containers, OS-internal volumes other than Data, the container's own
    // Preboot and Recovery, VM, a nameless empty volume, EFI, Apple_Boot, RAID
    // members and partitionless HFS/HFSX disks.
    EXPECT_EQ(names(*list), kFiltersMounted);
    EXPECT_EQ(gv->getVolumes(), list);

    auto data = named(*list, "System HD - Data");
    ASSERT_TRUE(data);
    EXPECT_EQ(data->volumePath(), root.path("/System/Volumes/Data"));

    auto usb = named(*list, "USB");
    ASSERT_TRUE(usb);
    EXPECT_EQ(usb->volumePath(), root.path("/Volumes/USB"));
    EXPECT_EQ(usb->volumeMountPoint(), root.path("/Volumes/USB"));
    EXPECT_EQ(usb->volumeType(), "ExFAT");
    EXPECT_EQ(usb->diskType(), "ExFAT");
    EXPECT_EQ(usb->diskId(), "disk4s2");
    EXPECT_EQ(usb->volRootDir(), "/dev/disk4s2");
    EXPECT_FALSE(usb->diskUUID().empty());
    EXPECT_TRUE(usb->bCanEject());
    EXPECT_EQ(usb->volumeTotalSizeNum(), 61320658944);
    EXPECT_EQ(usb->volumeFreeSizeNum(), 50123456512);
    EXPECT_EQ(usb->volumeTotalSize(), "61.32 GB");
    EXPECT_EQ(usb->volumeFreeSize(), "50.12 GB");

    // An APFS volume reports its container's free bytes.
    auto thunder = named(*list, "Thunder");
    ASSERT_TRUE(thunder);
    EXPECT_EQ(thunder->volumeFreeSizeNum(), 700000000000);
    EXPECT_EQ(thunder->volumeFreeSize(), "700.00 GB");
    EXPECT_FALSE(named(*list, "Archive")->bCanEject());
}

TEST_F(ScanTest, LegacyRootVolumeAndVmAreLeftOut) {
    sim::SimRoot root("legacy");
    ASSERT_TRUE(root.ok()) << root.error();
    auto gv = GetVolumes::create();
    auto list = gv->getVolumes();
    waitIdle(*gv);
    // "System HD" is mounted at the root itself, VM at /private/var/vm, and
    // Preboot and Recovery are not mounted.
    EXPECT_EQ(names(*list), std::vector<std::string>{"OldUSB"});
}

TEST_F(ScanTest, ExternalDiskFilterAndItsRefusalTraces) {
    sim::SimRoot root("filters");
    ASSERT_TRUE(root.ok()) << root.error();
    auto gv = GetVolumes::create();
    auto list = gv->getExVolumes();
    waitIdle(*gv);
    EXPECT_EQ(paths(*list), kFiltersExternal);
    for (const auto& v : list->snapshot()) {
        EXPECT_TRUE(v->bCanEject());
        EXPECT_EQ(v->volumeType(), " ");
    }
    auto noName = list->objectAtIndex(1);
    ASSERT_TRUE(noName);
    EXPECT_EQ(noName->volumeName(), "Unknown");
    EXPECT_EQ(list->objectAtIndex(0)->volumeName(), "Flashline Ultra Media");
    EXPECT_EQ(list->objectAtIndex(0)->volumeTotalSize(), "61.53 GB");
    EXPECT_EQ(list->objectAtIndex(0)->volumeTotalSizeNum(), 61530439680);
    EXPECT_EQ(disktest::readFile(OVPublicUtilities::diskListFilePath()), kFiltersTraces);

    // A list that isn't empty is handed back as it is, without a rescan.
    const size_t listRuns = runsOf(root, {"list", "-plist"});
    EXPECT_EQ(gv->getExVolumes(), list);
    waitIdle(*gv);
    EXPECT_EQ(runsOf(root, {"list", "-plist"}), listRuns);
}

TEST_F(ScanTest, OverlappingExternalScansLeaveNoDuplicates) {
    sim::SimRoot root("filters");
    ASSERT_TRUE(root.ok()) << root.error();
    auto gv = GetVolumes::create();
    auto list = gv->getExVolumes();
    gv->OVGetUSBThreadImp();  // a second request that found the list empty
    gv->OVGetUSBThreadImp();
    waitIdle(*gv);
    EXPECT_EQ(paths(*list), kFiltersExternal);
}

TEST_F(ScanTest, RequestsDuringAScanStartNoSecondScan) {
    sim::SimRoot root("filters");
    ASSERT_TRUE(root.ok()) << root.error();
    root.clearJournal();
    auto gv = GetVolumes::create();
    auto list = gv->getVolumes();
    gv->getDiskAndVolumes();
    gv->getVolumes();
    waitIdle(*gv);
    EXPECT_EQ(runsOf(root, {"appleRAID", "list", "-plist"}), 1u);
    EXPECT_EQ(names(*list), kFiltersMounted);

    gv->getDiskAndVolumes();  // idle again: a requested rescan runs and refills the same list
    waitIdle(*gv);
    EXPECT_EQ(runsOf(root, {"appleRAID", "list", "-plist"}), 2u);
    EXPECT_EQ(names(*list), kFiltersMounted);
}

TEST_F(ScanTest, BrokenOrMissingToolOutputLeavesListsEmptyUntilARescan) {
    sim::SimRoot root("filters");
    ASSERT_TRUE(root.ok()) << root.error();
    auto gv = GetVolumes::create();
    for (const char* knob : {"garbage", "fail"}) {
        root.setKnob("diskutil list", knob);
        auto list = gv->getVolumes();
        auto ex = gv->getExVolumes();
        waitIdle(*gv);
        EXPECT_TRUE(list->empty()) << knob;
        EXPECT_TRUE(ex->empty()) << knob;
    }
    // Neither disk list: the scan ends (the whole-disk list still serves the
    // external scan).
    root.setKnob("diskutil list", "noAllDisks");
    EXPECT_TRUE(gv->getVolumes()->empty());
    waitIdle(*gv);
    EXPECT_TRUE(gv->getVolumes()->empty());
    waitIdle(*gv);
    root.setKnob("diskutil list", "ok");
    root.setKnob("diskutil info", "garbage");
    auto list = gv->getVolumes();
    waitIdle(*gv);
    EXPECT_TRUE(list->empty());

    root.clearKnobs();
    auto again = gv->getVolumes();  // empty: a new scan
    EXPECT_EQ(again, list);
    waitIdle(*gv);
    EXPECT_EQ(names(*list), kFiltersMounted);
}

TEST_F(ScanTest, FlatDiskListGivesTheSameVolumes) {
    sim::SimRoot root("filters");
    ASSERT_TRUE(root.ok()) << root.error();
    root.setKnob("diskutil list", "noAllDisksAndPartitions");
    auto gv = GetVolumes::create();
    auto list = gv->getVolumes();
    waitIdle(*gv);
    // Without the per-item facts every mounted slice is asked about; the root
    // volume is still left out and every listed volume is a real one.
    auto found = names(*list);
    for (const char* name : {"USB", "NoName", "Archive", "Thunder", "Scratch", "ImageVol"})
        EXPECT_NE(std::find(found.begin(), found.end(), name), found.end()) << name;
    for (const auto& v : list->snapshot()) {
        EXPECT_NE(v->volumePath(), root.path("/"));
        EXPECT_FALSE(v->volumePath().empty());
    }
}

// Each whole disk of the flat list takes the identifiers named after it plus
// "s<n>"; disk10 and its slices are a disk of their own, not disk1's.
TEST(FlatDiskList, GroupsEachDisksOwnSlicesOnly) {
    kit::Value::Array flat;
    for (const char* id : {"disk1", "disk1s1", "disk1s10", "disk10", "disk10s1", "disk11", "disk2", "disk2s1s1"})
        flat.push_back(kit::Value(std::string(id)));
    flat.push_back(kit::Value(int64_t(7)));   // not an identifier: skipped
    std::vector<std::pair<std::string, std::vector<std::string>>> got;
    for (const kit::Value& disk : disksFromFlatList(flat)) {
        std::vector<std::string> parts;
        for (const kit::Value& p : *disk.getArray("Partitions")) parts.push_back(*p.getString("DeviceIdentifier"));
        got.emplace_back(*disk.getString("DeviceIdentifier"), parts);
    }
    const std::vector<std::pair<std::string, std::vector<std::string>>> want{
        {"disk1", {"disk1s1", "disk1s10"}}, {"disk10", {"disk10s1"}}, {"disk11", {}}, {"disk2", {"disk2s1s1"}}};
    EXPECT_EQ(got, want);
    EXPECT_TRUE(disksFromFlatList({}).empty());
}

TEST_F(ScanTest, MountAndUnmountRescanTheSharedList) {
    sim::SimRoot root("filters");
    ASSERT_TRUE(root.ok()) << root.error();
    auto gv = GetVolumes::create();
    gv->getDiskCallBack();
    auto list = gv->getVolumes();
    auto ex = gv->getExVolumes();
    waitIdle(*gv);
    ASSERT_TRUE(named(*list, "USB"));
    const auto exBefore = paths(*ex);

    kit::runShell("diskutil unmountDisk /dev/disk4 > /dev/null");
    EXPECT_TRUE(kit::runUntil([&] { return !gv->isScanningVolumes() && list->count() == kFiltersMounted.size() - 1; }, 300));
    waitIdle(*gv);
    EXPECT_FALSE(named(*list, "USB"));
    EXPECT_EQ(gv->getVolumes(), list);

    kit::runShell("diskutil mountDisk /dev/disk4 > /dev/null");
    EXPECT_TRUE(kit::runUntil([&] { return !gv->isScanningVolumes() && named(*list, "USB") != nullptr; }, 300));
    waitIdle(*gv);
    EXPECT_EQ(names(*list).size(), kFiltersMounted.size());
    // Mounts don't rescan the external list.
    EXPECT_EQ(paths(*ex), exBefore);
}

// A drive plugged in while a scan runs may come after the scan asked about
// it: it must still show once that scan ends, not wait for the next mount
// somewhere.
TEST_F(ScanTest, AMountDuringAScanShowsWhenTheScanEnds) {
    sim::SimRoot root("filters");
    ASSERT_TRUE(root.ok()) << root.error();
    kit::runShell("diskutil unmountDisk /dev/disk4 > /dev/null");
    auto gv = GetVolumes::create();
    gv->getDiskCallBack();
    root.clearJournal();
    auto list = gv->getVolumes();
    waitIdle(*gv);
    ASSERT_FALSE(named(*list, "USB"));

    // A run's words as a knob names them.
    auto knobKey = [](const std::vector<std::string>& args) {
        std::string key = "diskutil";
        for (const auto& a : args)
            if (a != "-plist") key += " " + a;
        return key;
    };
    // The scan's last question to the disk tool, long past the stick's partitions.
    std::string lastKey;
    for (const auto& run : root.journalFor("diskutil"))
        if (!run.args.empty() && run.args[0] == "info") lastKey = knobKey(run.args);
    ASSERT_FALSE(lastKey.empty());

    // The drive mounts while the next scan waits for that answer.
    root.setKnob(lastKey, "slow:2");
    root.clearJournal();
    gv->getDiskAndVolumes();
    auto askedLast = [&] {
        for (const auto& run : root.journalFor("diskutil"))
            if (knobKey(run.args) == lastKey) return true;
        return false;
    };
    ASSERT_TRUE(kit::runUntil([&] { return askedLast(); }, 60));
    root.setKnob(lastKey, "ok");
    kit::runShell("diskutil mountDisk /dev/disk4 > /dev/null");
    EXPECT_TRUE(kit::runUntil([&] { return !gv->isScanningVolumes() && named(*list, "USB") != nullptr; }, 60))
        << "a drive mounted during a scan never shows";
    waitIdle(*gv);
}

TEST_F(ScanTest, NamesReachTheDiskToolLiterally) {
    sim::SimRoot root("filters");
    ASSERT_TRUE(root.ok()) << root.error();
    const std::string marker = root.path("/tmp/injected");
    const std::string nasty = "it's \"q\" $(touch " + marker + ") `touch " + marker + "` ; touch " + marker;
    auto gv = GetVolumes::create();

    root.clearJournal();
    EXPECT_FALSE(gv->getDisjInfo(nasty.c_str()).has_value());
    EXPECT_FALSE(gv->OVGetDiskInfo(nasty.c_str()).has_value());
    EXPECT_FALSE(OVPublicUtilities::OVGetDiskInfo(nasty.c_str()).has_value());
    EXPECT_FALSE(OVUSBControl::OVShareInstance().OVGetDiskInfo(nasty.c_str()).has_value());
    gv->GetAllVolumesFromDisk(nasty);
    EXPECT_FALSE(std::filesystem::exists(marker));
    const auto runs = root.journalFor("diskutil");
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs[0].args, (std::vector<std::string>{"info", "-plist", nasty}));
    EXPECT_EQ(runs[1].args, (std::vector<std::string>{"info", "-plist", "/dev/" + nasty}));
    EXPECT_EQ(runs[2].args, (std::vector<std::string>{"info", "-plist", nasty}));
    EXPECT_EQ(runs[3].args, (std::vector<std::string>{"info", "-plist", "/dev/" + nasty}));
    EXPECT_EQ(runs[4].args, (std::vector<std::string>{"list", "-plist", nasty}));

    // A volume that bears such a name is listed under it, and asked about by it.
    ASSERT_TRUE(root.update([&](sim::Machine& m) {
        sim::Volume* v = m.findVolume("disk4s2");
        m.unmount(*v);
        v->name = nasty;
        m.mount(*v);
    }));
    auto list = gv->getVolumes();
    waitIdle(*gv);
    auto vol = named(*list, nasty);
    ASSERT_TRUE(vol);
    auto info = gv->getDisjInfo(vol->volumePath().c_str());
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->getString("VolumeName"), std::optional<std::string>(nasty));
    EXPECT_FALSE(std::filesystem::exists(marker));
}

// The file system holding "/dev/<id>", as the workspace tells of it, answers
// YES when it can't be asked, is empty or is NTFS.
TEST_F(ScanTest, HtfsVolumesAreTheUnknownEmptyOrNtfsOnes) {
    {
        EnvGuard noRoot("PELORIN_SYSROOT", nullptr);
        EXPECT_TRUE(GetVolumes::create()->isHTFSVolumes("no-such-disk"));
    }
    sim::SimRoot root("filters");
    ASSERT_TRUE(root.ok()) << root.error();
    auto gv = GetVolumes::create();
    // Here /dev lies on the running system's volume.
    EXPECT_FALSE(gv->isHTFSVolumes("disk4s2"));
    // A volume mounted over /dev, of each kind in turn.
    auto devVolume = [&](const std::string& filesystem, int64_t size) {
        return root.update([&](sim::Machine& m) {
            if (sim::Volume* v = m.findByMountPoint(m.hostPath("/dev"))) {
                v->filesystem = filesystem;
                v->totalSize = size;
                return;
            }
            sim::Disk disk;
            disk.busProtocol = "USB";
            disk.size = 8000000000;
            disk.content = sim::kGuidScheme;
            sim::Volume v;
            v.content = "Microsoft Basic Data";
            v.name = "Shared";
            v.filesystem = filesystem;
            v.size = v.totalSize = size;
            v.mountPoint = m.hostPath("/dev");
            disk.volumes.push_back(v);
            m.addDisk(disk);
        });
    };
    ASSERT_TRUE(devVolume("NTFS", 8000000000));
    EXPECT_TRUE(gv->isHTFSVolumes("disk4s2"));
    ASSERT_TRUE(devVolume("ExFAT", 0));
    EXPECT_TRUE(gv->isHTFSVolumes("disk4s2"));
    ASSERT_TRUE(devVolume("ExFAT", 8000000000));
    EXPECT_FALSE(gv->isHTFSVolumes("disk4s2"));
}

namespace {

// Records the provider's scan-end notices: "<list> ok" or "<list> failed".
struct ScanEnds {
    explicit ScanEnds(const GetVolumes* sender) {
        token = kit::NotificationCenter::defaultCenter().addObserver(
            GetVolumesScanDidEndNotification, sender, [this](const kit::Notification& note) {
                EXPECT_TRUE(kit::dispatch::isMainThread());
                const std::string list = note.userInfo.getString(GetVolumesScanListKey).value_or("?");
                const bool failed = note.userInfo.getBool(GetVolumesScanFailedKey).value_or(false);
                seen.push_back(list + (failed ? " failed" : " ok"));
            });
    }
    ~ScanEnds() { kit::NotificationCenter::defaultCenter().removeObserver(token); }
    bool waitFor(size_t count) {
        return kit::runUntil([&] { return seen.size() >= count; }, 60);
    }
    kit::NotificationCenter::Token token;
    std::vector<std::string> seen;
};

}  // namespace

TEST_F(ScanTest, EveryScanEndIsAnnouncedOnTheMainQueueForBothLists) {
    sim::SimRoot root("filters");
    ASSERT_TRUE(root.ok()) << root.error();
    auto gv = GetVolumes::create();
    ScanEnds ends(gv.get());

    auto list = gv->getVolumes();
    ASSERT_TRUE(ends.waitFor(1));
    EXPECT_EQ(ends.seen, std::vector<std::string>{"Volumes ok"});
    // The list is complete and the provider idle when the notice arrives.
    EXPECT_FALSE(gv->isScanningVolumes());
    EXPECT_EQ(names(*list), kFiltersMounted);

    auto ex = gv->getExVolumes();
    ASSERT_TRUE(ends.waitFor(2));
    EXPECT_EQ(ends.seen.back(), "ExVolumes ok");
    EXPECT_FALSE(gv->isScanningExVolumes());
    EXPECT_EQ(paths(*ex), kFiltersExternal);

    // Failed scans are announced too, so a screen waiting on an empty list learns it stays empty.
    root.setKnob("diskutil list", "fail");
    gv->getDiskAndVolumes();
    gv->OVGetUSBThreadImp();
    ASSERT_TRUE(ends.waitFor(4));
    std::vector<std::string> failed(ends.seen.begin() + 2, ends.seen.end());
    std::sort(failed.begin(), failed.end());
    EXPECT_EQ(failed, (std::vector<std::string>{"ExVolumes failed", "Volumes failed"}));

    // An observer may rescan from the notice itself: the busy flag is already down.
    root.clearKnobs();
    bool rescanned = false;
    auto token = kit::NotificationCenter::defaultCenter().addObserver(
        GetVolumesScanDidEndNotification, gv.get(), [&](const kit::Notification&) {
            if (!rescanned) {
                rescanned = true;
                // A slow disk tool: the rescan is still running when asked.
                root.setKnob("diskutil list", "slow");
                gv->getDiskAndVolumes();
                EXPECT_TRUE(gv->isScanningVolumes());
            }
        });
    gv->getDiskAndVolumes();
    ASSERT_TRUE(ends.waitFor(6));
    kit::NotificationCenter::defaultCenter().removeObserver(token);
    waitIdle(*gv);
    EXPECT_EQ(names(*list), kFiltersMounted);
}

TEST_F(ScanTest, AHungDiskToolEndsTheScanAsFailedAndTheNextRequestScansAgain) {
    sim::SimRoot root("filters");
    ASSERT_TRUE(root.ok()) << root.error();
    EnvGuard scale("PELORIN_TIME_SCALE", "0.02");  // a tool run's minute becomes its floor of 5 s
    auto gv = GetVolumes::create();
    ScanEnds ends(gv.get());
    struct Case {
        const char* knob;
        const char* volumes;
        const char* exVolumes;
    };
    // The RAID list only serves the mounted-volume scan.
    const Case cases[] = {{"diskutil appleRAID", "Volumes failed", "ExVolumes ok"},
                          {"diskutil list", "Volumes failed", "ExVolumes failed"},
                          {"diskutil info", "Volumes failed", "ExVolumes failed"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.knob);
        root.setKnob(c.knob, "hang");
        const size_t before = ends.seen.size();
        const auto started = std::chrono::steady_clock::now();
        gv->getDiskAndVolumes();
        gv->OVGetUSBThreadImp();
        ASSERT_TRUE(ends.waitFor(before + 2));
        // One time-out ends a scan: it doesn't wait one per volume (7 here).
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(25));
        std::vector<std::string> got(ends.seen.begin() + before, ends.seen.end());
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, (std::vector<std::string>{c.exVolumes, c.volumes}));
        EXPECT_FALSE(gv->isScanningVolumes());
        EXPECT_FALSE(gv->isScanningExVolumes());

        // The provider is free again: the next request scans and fills the lists.
        root.clearKnobs();
        gv->getDiskAndVolumes();
        gv->OVGetUSBThreadImp();
        ASSERT_TRUE(ends.waitFor(before + 4));
        waitIdle(*gv);
        EXPECT_EQ(names(*gv->getVolumes()), kFiltersMounted);
        EXPECT_EQ(paths(*gv->getExVolumes()), kFiltersExternal);
    }
}
