// The machine model the stand-in tools share: its state survives a save, its
// changes are serialised, mounts never lose or misplace files, and its deletes
// stay inside the root.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "sim/Machine.h"
#include "sim/Scenario.h"
#include "support/SimRoot.h"

namespace fs = std::filesystem;

namespace {

class MachineTest : public ::testing::Test {
protected:
    sim::SimRoot sim{"demo"};
    void SetUp() override { ASSERT_TRUE(sim.ok()) << sim.error(); }
};

TEST_F(MachineTest, EveryScenarioSurvivesASaveUnchanged) {
    for (const auto& name : sim::scenarioNames()) {
        SCOPED_TRACE(name);
        sim::SimRoot other(name);
        ASSERT_TRUE(other.ok()) << other.error();
        auto m = sim::Machine::load(other.root());
        ASSERT_TRUE(m);
        const kit::Value first = m->toValue();
        auto again = sim::Machine::fromValue(first);
        ASSERT_TRUE(again);
        again->root = m->root;
        EXPECT_EQ(again->toValue(), first);
        // Identifiers are unique and every mounted volume's folder exists.
        std::set<std::string> ids;
        for (const auto& d : m->disks) {
            EXPECT_TRUE(ids.insert(d.identifier).second) << d.identifier;
            for (const auto& v : d.volumes) {
                if (!d.partitionless) EXPECT_TRUE(ids.insert(v.identifier).second) << v.identifier;
                if (v.isMounted()) EXPECT_TRUE(fs::is_directory(v.mountPoint)) << v.mountPoint;
            }
        }
        EXPECT_TRUE(m->rootVolume()) << "no volume at the root";
    }
}

TEST_F(MachineTest, TheSummaryKitReadsListsEveryMountedVolume) {
    auto state = kit::readPlistFile(sim::Machine::statePath(sim.root()));
    ASSERT_TRUE(state);
    EXPECT_EQ(state->getString("SystemVersion"), "13.4.1");
    EXPECT_EQ(state->getString("ConsoleUser"), "alex");
    EXPECT_TRUE(state->getString("ProcessorBrand"));
    std::map<std::string, kit::Value> byMount;
    for (const auto& v : *state->getArray("Volumes")) byMount[v.getString("MountPoint").value_or("")] = v;
    for (const char* where : {"/", "/System/Volumes/Data", "/Volumes/USB", "/Volumes/Photos", "/Volumes/Backup"}) {
        const std::string host = sim.path(where);
        ASSERT_TRUE(byMount.count(host)) << where;
        EXPECT_GT(byMount[host].getInt("TotalSize").value_or(0), byMount[host].getInt("FreeSpace").value_or(-1)) << where;
        EXPECT_GT(byMount[host].getInt("FreeSpace").value_or(0), 0) << where;
    }
    // APFS volumes report their container's sizes.
    EXPECT_EQ(byMount[sim.root()].getInt("FreeSpace"), byMount[sim.path("/System/Volumes/Data")].getInt("FreeSpace"));

    sim.update([](sim::Machine& m) { m.unmount(*m.findByName("USB")); });
    state = kit::readPlistFile(sim::Machine::statePath(sim.root()));
    for (const auto& v : *state->getArray("Volumes")) EXPECT_NE(v.getString("MountPoint"), sim.path("/Volumes/USB"));
}

TEST_F(MachineTest, ConcurrentChangesAreNeverLost) {
    constexpr int kThreads = 8, kEach = 15;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kEach; ++i)
                sim::Machine::update(sim.root(), [](sim::Machine& m, std::string*) {
                    const int n = std::stoi(m.knobs.getString("counter").value_or("0"));
                    m.setKnob("counter", std::to_string(n + 1));
                    return true;
                });
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(sim.machine().knobs.getString("counter"), std::to_string(kThreads * kEach));
}

TEST_F(MachineTest, MountsTakeAFreeNameAndGiveTheFilesBack) {
    // A second volume named "USB", and a plain file that already bears the next name.
    std::ofstream(sim.path("/Volumes/USB 1")) << "not a folder";
    std::string second;
    ASSERT_TRUE(sim.update([&](sim::Machine& m) {
        sim::Disk d;
        d.registryName = "Other";
        d.busProtocol = "USB";
        d.ejectable = true;
        d.size = 1000000000;
        d.content = sim::kGuidScheme;
        sim::Volume v;
        v.content = "Apple_HFS";
        v.name = "USB";
        v.filesystem = "HFS+";
        v.size = v.totalSize = 999000000;
        d.volumes.push_back(v);
        sim::Disk& added = m.addDisk(d);
        EXPECT_EQ(added.identifier, "disk8");
        EXPECT_EQ(added.volumes[0].identifier, "disk8s1");
        EXPECT_FALSE(added.volumes[0].volumeUUID.empty());
        second = m.mount(added.volumes[0]);
    }));
    EXPECT_EQ(second, sim.path("/Volumes/USB 2"));

    const std::string song = sim.path("/Volumes/USB/Music/track01.mp3");
    const auto size = fs::file_size(song);
    ASSERT_TRUE(sim.update([&](sim::Machine& m) { EXPECT_TRUE(m.unmount(*m.findVolume("disk4s2"))); }));
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/USB")));
    ASSERT_TRUE(sim.update([&](sim::Machine& m) {
        EXPECT_EQ(m.mount(*m.findVolume("disk4s2")), sim.path("/Volumes/USB"));
    }));
    EXPECT_EQ(fs::file_size(song), size);

    // Volumes of the running system stay where they are.
    sim.update([&](sim::Machine& m) {
        std::string error;
        EXPECT_FALSE(m.unmount(*m.findByMountPoint(sim.path("/System/Volumes/Data")), &error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(m.inUseBySystem(*m.rootVolume()));
    });
    EXPECT_TRUE(fs::exists(sim.path("/System/Volumes/Data")));
}

TEST_F(MachineTest, ContainersGainVolumesAndDisksLeaveWithThem) {
    sim.update([&](sim::Machine& m) {
        sim::Volume preboot;
        preboot.name = "Preboot";
        preboot.role = "Preboot";
        std::string error;
        sim::Volume* v = m.addVolume("disk7", preboot, &error);
        ASSERT_NE(v, nullptr) << error;
        EXPECT_EQ(v->identifier, "disk7s2");
        EXPECT_EQ(v->filesystem, "APFS");
        EXPECT_EQ(m.mount(*v), sim.path("/Volumes/Preboot"));
        EXPECT_EQ(m.addVolume("disk4", preboot, &error), nullptr);  // not a container
    });
    sim.update([&](sim::Machine& m) { EXPECT_TRUE(m.removeDisk("disk6")); });
    auto m = sim.machine();
    EXPECT_FALSE(m.findDisk("disk6"));
    EXPECT_FALSE(m.findDisk("disk7"));
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/Backup")));
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/Preboot")));
    EXPECT_EQ(m.nextDiskIdentifier(), "disk6");
}

TEST_F(MachineTest, KnobsMatchTheMostSpecificCommand) {
    sim::Machine m = sim.machine();
    m.setKnob("diskutil", "slow");
    m.setKnob("diskutil info", "garbage");
    m.setKnob("diskutil info disk4s2", "fail");
    EXPECT_EQ(m.knob({"diskutil", "info", "disk4s2"}), "fail");
    EXPECT_EQ(m.knob({"diskutil", "info", "disk5s2"}), "garbage");
    EXPECT_EQ(m.knob({"diskutil", "list"}), "slow");
    EXPECT_EQ(m.knob({"hdiutil", "create"}), "");
    m.setKnob("diskutil info", "ok");
    EXPECT_EQ(m.knob({"diskutil", "info", "disk5s2"}), "slow");
    EXPECT_FALSE(sim::applyCommonKnob("", "t"));
    EXPECT_FALSE(sim::applyCommonKnob("unmounted", "t"));
    EXPECT_EQ(sim::applyCommonKnob("fail", "t"), 1);
}

TEST_F(MachineTest, DeletesStayInsideTheRoot) {
    const std::string outside = sim.root() + "-outside";
    fs::create_directories(outside + "/inner");
    std::ofstream(outside + "/inner/keep.txt") << "keep";
    fs::create_directory_symlink(outside, sim.path("/Volumes/link"));

    std::string error;
    EXPECT_FALSE(sim::removeTree(sim.root(), outside, &error));
    EXPECT_FALSE(sim::removeTree(sim.root(), sim.root(), &error));
    EXPECT_FALSE(sim::removeTree(sim.root(), sim.path("/Volumes/.."), &error));
    EXPECT_FALSE(sim::removeTree(sim.root(), sim.path("/Volumes/link/inner"), &error));
    // The link itself goes; what it points at stays.
    EXPECT_TRUE(sim::removeTree(sim.root(), sim.path("/Volumes/link"), &error)) << error;
    EXPECT_FALSE(fs::exists(fs::symlink_status(sim.path("/Volumes/link"))));
    EXPECT_TRUE(fs::exists(outside + "/inner/keep.txt"));
    fs::remove_all(outside);

    EXPECT_EQ(sim::mountFolderName("a/b"), "a:b");
    EXPECT_EQ(sim::mountFolderName(".."), "Untitled");
    EXPECT_EQ(sim::mountFolderName(""), "Untitled");
}

}  // namespace
