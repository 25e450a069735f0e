// The stand-in tools' parts that the clone's Preboot repair and the Disk
// Manager's formats stand on: the restore leaves a Preboot volume in the clone's
// container, eraseVolume converts a partition to APFS, reformat takes its time,
// and the machine keeps its privacy settings.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ToolRun.h"
#include "kit/SysPath.h"
#include "support/EnvGuard.h"
#include "support/SimRoot.h"

namespace fs = std::filesystem;
using simtest::run;

namespace {

kit::Value infoOf(const std::string& operand) {
    auto r = run({"diskutil", "info", "-plist", operand});
    EXPECT_EQ(r.status, 0) << operand << ": " << r.err;
    auto v = r.plist();
    return v ? *v : kit::Value();
}

// The clone machine after the erase of a clone: disk2 holds an APFS container
// with the mounted volume "PelorinSystem"; the restore then fills it.
class RestorePreboot : public ::testing::Test {
protected:
    sim::SimRoot sim{"clone"};
    EnvGuard fast{"PELORIN_TIME_SCALE", "0.05"};

    void SetUp() override {
        ASSERT_TRUE(sim.ok()) << sim.error();
        sim.setKnob("asr restore", "noprompt");
    }
    void erase(const std::string& format) {
        auto r = run({"diskutil", "eraseDisk", format, "PelorinSystem", "disk2"});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    simtest::Run restore() {
        return run({"asr", "restore", "--source", sim.path("/"), "--target", sim.path("/Volumes/PelorinSystem"),
                    "--erase"});
    }
    // The volumes of the container the clone volume lives in.
    std::vector<sim::Volume> cloneContainer() {
        sim::Machine m = sim.machine();
        sim::Disk* c = m.diskOf(m.findByName("PelorinSystem")->identifier);
        return c->volumes;
    }
};

TEST_F(RestorePreboot, LeavesAnUnmountedPrebootInTheClonesContainer) {
    erase("APFS");
    ASSERT_EQ(restore().status, 0);
    auto volumes = cloneContainer();
    ASSERT_EQ(volumes.size(), 2u);
    const sim::Volume& preboot = volumes[1];
    EXPECT_EQ(preboot.name, "Preboot");
    EXPECT_EQ(preboot.role, "Preboot");
    EXPECT_FALSE(preboot.isMounted());

    // The disk tool lists it in the container and mounts it at a free
    // "/Volumes/Preboot…" name: here another disk's Preboot holds the first.
    fs::create_directories(sim.path("/Volumes/Preboot"));
    std::ofstream(sim.path("/Volumes/Preboot/other.txt")) << "another disk";
    auto r = run({"diskutil", "mountDisk", "/dev/" + preboot.identifier});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(infoOf(preboot.identifier).getString("MountPoint"), sim.path("/Volumes/Preboot 1"));
    EXPECT_TRUE(fs::exists(sim.path("/Volumes/Preboot/other.txt")));

    // A second restore onto the same container adds no second Preboot.
    ASSERT_EQ(restore().status, 0);
    EXPECT_EQ(cloneContainer().size(), 2u);
}

TEST_F(RestorePreboot, KnobAndNonApfsTargetsLeaveItOut) {
    sim.setKnob("asr restore", "noprompt,nopreboot");
    erase("APFS");
    ASSERT_EQ(restore().status, 0);
    EXPECT_EQ(cloneContainer().size(), 1u);

    // A restore that failed before its end leaves none either.
    sim.setKnob("asr restore", "noprompt,fail-after-100");
    EXPECT_NE(restore().status, 0);
    EXPECT_EQ(cloneContainer().size(), 1u);

    // A volume of a partition, not a container: nothing to add.
    sim.setKnob("asr restore", "noprompt");
    erase("JHFS+");
    ASSERT_EQ(restore().status, 0);
    sim::Machine m = sim.machine();
    for (const auto& v : m.findDisk("disk2")->volumes) EXPECT_NE(v.role, "Preboot");
}

// The clone engine judges the restore's output chunk by chunk ("100" alone ends
// a phase): a reader that comes late still gets each chunk in a read of its own.
TEST_F(RestorePreboot, EachChunkReachesALateReaderOnItsOwn) {
    erase("APFS");
    const std::string line = simtest::quoted({sim.path("/usr/sbin/asr"), "restore", "--source", sim.path("/"), "--target",
                                              sim.path("/Volumes/PelorinSystem"), "--erase"}) +
                             " 2>/dev/null";
    FILE* pipe = ::popen(line.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> reads;
    char buf[4096];
    for (;;) {
        // Busier than the tool: it has written its next chunks by now, if it writes on.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const ssize_t n = ::read(::fileno(pipe), buf, sizeof buf);
        if (n <= 0) break;
        reads.emplace_back(buf, size_t(n));
    }
    EXPECT_EQ(::pclose(pipe), 0);
    EXPECT_EQ(std::count(reads.begin(), reads.end(), "100"), 2) << ::testing::PrintToString(reads);
    EXPECT_EQ(std::count(reads.begin(), reads.end(), "50"), 2) << ::testing::PrintToString(reads);
}

// A disk tool that prints a whole record and still fails.
TEST_F(RestorePreboot, AnAnswerFollowedByAFailure) {
    sim.setKnob("diskutil info /dev/disk2", "answer-then-fail");
    auto info = run({"diskutil", "info", "-plist", "/dev/disk2"});
    EXPECT_EQ(info.status, 1);
    ASSERT_TRUE(info.plist());
    EXPECT_EQ(info.plist()->getString("DeviceIdentifier"), "disk2");
    sim.setKnob("diskutil list", "answer-then-fail");
    auto list = run({"diskutil", "list", "-plist", "/dev/disk2"});
    EXPECT_EQ(list.status, 1);
    ASSERT_TRUE(list.plist());
    EXPECT_TRUE(list.plist()->getArray("AllDisks"));
}

class FormatTools : public ::testing::Test {
protected:
    sim::SimRoot sim{"demo"};
    void SetUp() override { ASSERT_TRUE(sim.ok()) << sim.error(); }
};

TEST_F(FormatTools, EraseVolumeAsApfsConvertsThePartition) {
    // disk4s2: the ExFAT "USB" stick's data partition.
    auto r = run({"diskutil", "eraseVolume", "APFS", "Fresh", "/dev/disk4s2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/USB")));
    ASSERT_TRUE(fs::is_directory(sim.path("/Volumes/Fresh")));
    EXPECT_TRUE(fs::is_empty(sim.path("/Volumes/Fresh")));

    const kit::Value fresh = infoOf("Fresh");
    EXPECT_EQ(fresh.getString("FilesystemName"), "APFS");
    const std::string container = fresh.getString("APFSContainerReference").value_or("");
    ASSERT_FALSE(container.empty());
    // The partition is now the container's physical store; the disk keeps its EFI.
    EXPECT_EQ(infoOf("disk4s2").getString("APFSContainerReference"), container);
    EXPECT_EQ(infoOf("disk4s2").getString("Content"), "Apple_APFS");
    EXPECT_EQ(infoOf("disk4s1").getString("Content"), "EFI");
    // It ejects with its disk, container included.
    ASSERT_EQ(run({"diskutil", "eject", fresh.getString("DiskUUID").value_or("")}).status, 0);
    EXPECT_FALSE(sim.machine().findDisk(container));
    EXPECT_FALSE(sim.machine().findDisk("disk4"));
}

TEST_F(FormatTools, EraseVolumeAsApfsRefusesWhatItCantConvert) {
    EXPECT_NE(run({"diskutil", "eraseVolume", "APFS", "X", "/dev/disk4s1"}).status, 0);  // the EFI partition
    EXPECT_NE(run({"diskutil", "eraseVolume", "APFS", "X", "/"}).status, 0);
    EXPECT_TRUE(fs::exists(sim.path("/Volumes/USB/readme.txt")));
}

TEST_F(FormatTools, ReformatTakesItsTimeScaled) {
    std::ofstream(sim.path("/Volumes/Backup/data.bin")) << "payload";
    auto timed = [&](const char* scale) {
        EnvGuard guard("PELORIN_TIME_SCALE", scale);
        const auto start = std::chrono::steady_clock::now();
        auto r = run({"diskutil", "reformat", "/dev/disk7s1"});
        EXPECT_EQ(r.status, 0) << r.err;
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    const double slow = timed("0.25");  // 0.5 s
    EXPECT_GE(slow, 0.45);
    EXPECT_LT(timed("0.01"), slow);
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/Backup/data.bin")));
    EXPECT_EQ(infoOf("disk7s1").getString("FilesystemName"), "APFS");
}

TEST(MachinePrivacy, SettingsSurviveSaveAndLoad) {
    sim::SimRoot sim{"legacy"};
    ASSERT_TRUE(sim.ok()) << sim.error();
    sim::Machine m = sim.machine();
    EXPECT_TRUE(m.fullDiskAccess);
    EXPECT_EQ(m.protectedPaths, (std::vector<std::string>{"/Users/alex/Library/Safari", "/Users/alex/Library/Mail",
                                                          "/Users/alex/.Trash"}));
    EXPECT_TRUE(fs::exists(sim.path("/Users/alex/Library/Safari/History.db")));
    sim.update([](sim::Machine& x) {
        x.fullDiskAccess = false;
        x.protectedPaths.push_back("/Library/Private");
    });
    m = sim.machine();
    EXPECT_FALSE(m.fullDiskAccess);
    EXPECT_EQ(m.protectedPaths.size(), 4u);
}

}  // namespace
