// The Preboot repair after a clone, on the simulated machine: the clone is made
// with the stand-in disk and restore tools, then the repair finds the clone's
// Preboot volume, mounts it and copies the system's cryptexes into it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Bootable/CloneCommands.h"
#include "Bootable/PrebootRepair.h"
#include "kit/Dispatch.h"
#include "kit/RunLoop.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"
#include "support/SimRoot.h"

namespace fs = std::filesystem;
using Result = PrebootRepairOutcome::Result;

namespace {

// The repair has no waits of its own; its tools' time-outs stay at their
// length, so a busy machine never ends a slow answer. The tests of a hung tool
// shorten them.
const bool kRealTime = [] { return ::unsetenv("PELORIN_TIME_SCALE") == 0; }();

int runWords(const std::vector<std::string>& words) {
    std::string line;
    for (const auto& w : words) line += (line.empty() ? "" : " ") + kit::shellQuote(w);
    return kit::runShell(line + " >/dev/null 2>&1");
}

std::vector<std::string> fileNames(const fs::path& top) {
    std::vector<std::string> out;
    if (!fs::exists(top)) return out;
    for (const auto& e : fs::recursive_directory_iterator(top))
        if (e.is_regular_file()) out.push_back(e.path().lexically_relative(top).string());
    std::sort(out.begin(), out.end());
    return out;
}

class PrebootRepairTest : public ::testing::Test {
protected:
    sim::SimRoot sim{"clone"};

    void SetUp() override {
        ASSERT_TRUE(kRealTime);
        ASSERT_TRUE(sim.ok()) << sim.error();
    }

    // What a clone leaves: disk2 erased with the version's file system, the
    // system restored onto "PelorinSystem".
    void clone(const std::string& fileSystem = "APFS", const std::string& asrKnob = "noprompt") {
        sim.setKnob("asr restore", asrKnob);
        ASSERT_EQ(runWords({"diskutil", "eraseDisk", fileSystem, "PelorinSystem", "disk2"}), 0);
        ASSERT_EQ(runWords({"asr", "restore", "--source", sim.path("/"), "--target", sim.path("/Volumes/PelorinSystem"),
                            "--erase"}),
                  0);
        sim.clearKnobs();
        sim.clearJournal();
    }

    std::string cloneContainer() const {
        sim::Machine m = sim.machine();
        return m.diskOf(m.findByName("PelorinSystem")->identifier)->identifier;
    }

    // The disk tool's runs as "command operand".
    std::vector<std::string> diskutilRuns() const {
        std::vector<std::string> out;
        for (const auto& e : sim.journalFor("diskutil")) {
            std::string line = e.args.at(0);
            if (e.args.size() > 1) line += " " + e.args.back();
            out.push_back(line);
        }
        return out;
    }

    const std::vector<std::string> cryptexes = fileNames(sim.path("/System/Volumes/Preboot/Cryptexes"));
};

TEST_F(PrebootRepairTest, CopiesTheCryptexesIntoTheClonesOwnPreboot) {
    clone();
    const std::string c = cloneContainer();
    const PrebootRepairOutcome out = PrebootRepair::run("disk2");

    EXPECT_EQ(out.result, Result::Copied) << out.reason;
    EXPECT_TRUE(out.succeeded());
    EXPECT_EQ(out.prebootIdentifier, c + "s2");
    EXPECT_EQ(out.mountPoint, sim.path("/Volumes/Preboot"));
    ASSERT_EQ(cryptexes.size(), 3u);
    EXPECT_EQ(fileNames(out.mountPoint + "/Cryptexes"), cryptexes);

    // The walk: the target's slices until one holds a container, the container's
    // volumes, the mount, and the mounted volume's own record.
    EXPECT_EQ(diskutilRuns(), (std::vector<std::string>{
                                  "list /dev/disk2", "info /dev/disk2", "info /dev/disk2s1", "info /dev/disk2s2",
                                  "list /dev/" + c, "mountDisk /dev/" + c + "s2", "info /dev/" + c + "s2"}));
}

TEST_F(PrebootRepairTest, AnotherDisksPrebootAtTheUsualPlaceIsLeftAlone) {
    // A second machine's disk whose Preboot is mounted at "/Volumes/Preboot".
    sim.update([](sim::Machine& m) {
        sim::Disk d;
        d.identifier = "disk9";
        d.registryName = "Other Media";
        d.busProtocol = "USB";
        d.ejectable = true;
        d.content = sim::kGuidScheme;
        d.size = 64000000000;
        sim::Volume part;
        part.content = "Apple_APFS";
        part.size = d.size;
        part.apfsContainer = "disk10";
        d.volumes.push_back(part);
        m.addDisk(d);
        sim::Disk c;
        c.identifier = "disk10";
        c.apfsContainer = true;
        c.isVirtual = true;
        c.content = sim::kApfsContainerContent;
        c.physicalStore = "disk9s1";
        c.size = d.size;
        c.containerFree = d.size / 2;
        sim::Volume preboot;
        preboot.content = sim::kApfsVolumeContent;
        preboot.name = "Preboot";
        preboot.filesystem = "APFS";
        preboot.role = "Preboot";
        preboot.mountPoint = m.hostPath("/Volumes/Preboot");
        c.volumes.push_back(preboot);
        m.addDisk(c);
    });
    std::ofstream(sim.path("/Volumes/Preboot/theirs.txt")) << "not the clone's";
    clone();

    const PrebootRepairOutcome out = PrebootRepair::run("disk2");
    EXPECT_EQ(out.result, Result::Copied) << out.reason;
    EXPECT_EQ(out.mountPoint, sim.path("/Volumes/Preboot 1"));
    EXPECT_EQ(fileNames(out.mountPoint + "/Cryptexes"), cryptexes);
    EXPECT_EQ(fileNames(sim.path("/Volumes/Preboot")), std::vector<std::string>{"theirs.txt"});
}

TEST_F(PrebootRepairTest, NothingToRepairWithoutAContainerOrWhereTheSystemHasNoPreboot) {
    // No target at all: no tool runs.
    EXPECT_EQ(PrebootRepair::run("").result, Result::NothingToRepair);
    EXPECT_TRUE(sim.journalFor("diskutil").empty());

    // A clone on a partition (the file system below version 13): no container.
    clone("JHFS+");
    PrebootRepairOutcome out = PrebootRepair::run("disk2");
    EXPECT_EQ(out.result, Result::NothingToRepair);
    EXPECT_EQ(diskutilRuns().size(), 4u);  // list and the three slices' info

    // A restore that made no Preboot volume, on a system whose own container
    // has none either (an older layout).
    sim.update([](sim::Machine& m) {
        for (auto& v : m.findDisk("disk1")->volumes)
            if (v.role == "Preboot") {
                v.name = "Spare";
                v.role.clear();
            }
    });
    clone("APFS", "noprompt,nopreboot");
    out = PrebootRepair::run("disk2");
    EXPECT_EQ(out.result, Result::NothingToRepair) << out.reason;
    EXPECT_TRUE(out.succeeded());
    for (const auto& run : diskutilRuns()) EXPECT_NE(run.rfind("mountDisk", 0), 0u) << run;
}

// Where the running system's container has a Preboot volume, a clone whose
// container has none would not start: a failure, also when the system's own
// record can't be read.
TEST_F(PrebootRepairTest, AClonesContainerWithoutThePrebootTheSystemHasIsAFailure) {
    clone("APFS", "noprompt,nopreboot");
    PrebootRepairOutcome out = PrebootRepair::run("disk2");
    EXPECT_EQ(out.result, Result::Failed);
    EXPECT_TRUE(out.prebootIdentifier.empty());
    for (const auto& run : diskutilRuns()) EXPECT_NE(run.rfind("mountDisk", 0), 0u) << run;

    sim.setKnob("diskutil info " + kit::sysPath("/"), "garbage");
    out = PrebootRepair::run("disk2");
    EXPECT_EQ(out.result, Result::Failed);
    EXPECT_NE(out.reason.find("can't be read"), std::string::npos) << out.reason;
}

// An answer of the disk tool that can't be read says nothing about the disk,
// and neither does a whole record from a run that then failed: the repair
// fails, mounts and copies nothing.
TEST_F(PrebootRepairTest, AnAnswerThatCantBeReadIsAFailure) {
    clone();
    const std::string c = cloneContainer();
    for (const std::string& knob : std::vector<std::string>{"diskutil list /dev/disk2", "diskutil info /dev/disk2s1",
                                                            "diskutil list /dev/" + c, "diskutil info /dev/" + c + "s2"}) {
        std::vector<std::string> values = {"garbage", "answer-then-fail"};
        // A list that lacks the keys that describe the disk.
        if (knob.rfind("diskutil list", 0) == 0) values.push_back("noAllDisks");
        for (const auto& value : values) {
            sim.clearKnobs();
            sim.setKnob(knob, value);
            const PrebootRepairOutcome out = PrebootRepair::run("disk2");
            EXPECT_EQ(out.result, Result::Failed) << knob << " " << value;
            EXPECT_FALSE(out.reason.empty()) << knob << " " << value;
            EXPECT_FALSE(fs::exists(sim.path("/Volumes/Preboot/Cryptexes"))) << knob << " " << value;
        }
    }
    // A tool that fails says nothing either.
    sim.clearKnobs();
    sim.setKnob("diskutil list /dev/disk2", "fail");
    EXPECT_EQ(PrebootRepair::run("disk2").result, Result::Failed);
}

// A disk tool that hangs is ended at its time-out, which fails the repair.
TEST_F(PrebootRepairTest, AHungDiskToolEndsTheRepairAtItsTimeOut) {
    clone();
    EnvGuard shortTimeOuts("PELORIN_TIME_SCALE", "0.05");
    // Also when it had printed its whole record before it hung.
    for (const char* value : {"hang", "answer-then-hang"}) {
        sim.setKnob("diskutil list /dev/disk2", value);
        const auto before = std::chrono::steady_clock::now();
        const PrebootRepairOutcome out = PrebootRepair::run("disk2");
        EXPECT_EQ(out.result, Result::Failed) << value;
        EXPECT_NE(out.reason.find("timed out"), std::string::npos) << out.reason;
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count(), 30);
    }
}

// A container holding two volumes named "Preboot": the last one listed is mounted and filled.
TEST_F(PrebootRepairTest, TheLastPrebootOfTheContainerIsTheOneRepaired) {
    clone();
    const std::string c = cloneContainer();
    std::string second;
    sim.update([&](sim::Machine& m) {
        sim::Volume v;
        v.content = sim::kApfsVolumeContent;
        v.name = "Preboot";
        v.filesystem = "APFS";
        v.role = "Preboot";
        second = m.addVolume(c, v)->identifier;
    });
    ASSERT_NE(second, c + "s2");
    const PrebootRepairOutcome out = PrebootRepair::run("disk2");
    EXPECT_EQ(out.result, Result::Copied) << out.reason;
    EXPECT_EQ(out.prebootIdentifier, second);
    EXPECT_EQ(sim.machine().findVolume(second)->mountPoint, out.mountPoint);
    const std::string firstMount = sim.machine().findVolume(c + "s2")->mountPoint;
    if (!firstMount.empty()) EXPECT_FALSE(fs::exists(firstMount + "/Cryptexes"));
    EXPECT_EQ(fileNames(out.mountPoint + "/Cryptexes"), cryptexes);
    const auto runs = diskutilRuns();
    EXPECT_NE(std::find(runs.begin(), runs.end(), "mountDisk /dev/" + second), runs.end());
    EXPECT_EQ(std::find(runs.begin(), runs.end(), "mountDisk /dev/" + c + "s2"), runs.end());
}

TEST_F(PrebootRepairTest, AMountThatFailsIsAFailureAndCopiesNothing) {
    clone();
    const std::string preboot = cloneContainer() + "s2";

    // The tool says no.
    sim.setKnob("diskutil mountDisk", "fail");
    PrebootRepairOutcome out = PrebootRepair::run("disk2");
    EXPECT_EQ(out.result, Result::Failed);
    EXPECT_FALSE(out.succeeded());
    EXPECT_EQ(out.prebootIdentifier, preboot);
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/Preboot")));

    // The tool says something that isn't a property list and mounts nothing:
    // its output can't stand for a mount.
    sim.setKnob("diskutil mountDisk", "garbage");
    out = PrebootRepair::run("disk2");
    EXPECT_EQ(out.result, Result::Failed);
    EXPECT_TRUE(out.mountPoint.empty());
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/Preboot")));
    EXPECT_FALSE(fs::exists(sim.path("/Cryptexes")));
}

TEST_F(PrebootRepairTest, ACopyThatFailsIsAFailure) {
    clone();
    fs::remove_all(sim.path("/System/Volumes/Preboot/Cryptexes"));
    const PrebootRepairOutcome out = PrebootRepair::run("disk2");
    EXPECT_EQ(out.result, Result::Failed);
    EXPECT_EQ(out.mountPoint, sim.path("/Volumes/Preboot"));
}

TEST_F(PrebootRepairTest, StartReportsOnTheMainQueueWithoutHoldingIt) {
    kit::ensureMainThreadApp();
    clone();
    bool done = false, onMain = false;
    PrebootRepairOutcome got;
    PrebootRepair::start("disk2", [&](const PrebootRepairOutcome& out) {
        done = true;
        onMain = kit::dispatch::isMainThread();
        got = out;
    });
    EXPECT_FALSE(done);  // returned before the work
    ASSERT_TRUE(kit::runUntil([&] { return done; }, 60));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(got.result, Result::Copied);
}

// ---- the machine facts that decide whether a clone is repaired ----------------

TEST_F(PrebootRepairTest, RepairOnTheNewerProcessorsOrFromVersion13) {
    sim.setProcessorBrand("Intel(R) Core(TM) i7-8700B CPU @ 3.20GHz");
    EXPECT_FALSE(has_m1_chip());
    EXPECT_TRUE(cloneNeedsPrebootRepair());  // 13.4.1
    sim.setSystemVersion("13.0");
    EXPECT_TRUE(cloneNeedsPrebootRepair());
    sim.setSystemVersion("12.7.6");
    EXPECT_FALSE(cloneNeedsPrebootRepair());
    sim.setSystemVersion("10.15.7");
    EXPECT_FALSE(cloneNeedsPrebootRepair());
    sim.setProcessorBrand("Apple M2");
    EXPECT_TRUE(has_m1_chip());
    EXPECT_TRUE(cloneNeedsPrebootRepair());
    sim.setSystemVersion("11.7.10");
    EXPECT_TRUE(cloneNeedsPrebootRepair());
}

TEST_F(PrebootRepairTest, CaptureQuotesItsFileAndGivesTheExitStatus) {
    const std::string dir = kit::temporaryDirectory() + "a dir; with $(odd) 'name'";
    fs::create_directories(dir);
    const std::string out = dir + "/out.plist";
    std::ofstream(out) << "stale";
    EXPECT_EQ(ZZDoCommand("diskutil info -plist " + kit::shellQuote("/dev/disk2"), out), 0);
    auto v = kit::readPlistFile(out);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->getString("DeviceIdentifier"), "disk2");

    EXPECT_NE(ZZDoCommand("diskutil info -plist " + kit::shellQuote("/dev/disk77"), out), 0);
    EXPECT_FALSE(kit::readPlistFile(out));  // the old output is gone
    EXPECT_EQ(ZZDoCommand("", out), -1);
    EXPECT_EQ(ZZDoCommand("true", ""), -1);

    int status = 99;
    auto captured = ZZCaptureValue("diskutil list -plist " + kit::shellQuote("/dev/disk2"), "FerlDataTemp.plist", &status);
    EXPECT_EQ(status, 0);
    ASSERT_TRUE(captured);
    EXPECT_TRUE(captured->getArray("AllDisks"));
    fs::remove_all(dir);
}

}  // namespace
