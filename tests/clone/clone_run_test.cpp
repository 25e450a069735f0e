// Whole clones on a simulated machine: the engine erases the machine's USB stick
// with the stand-in disk tool, replicates the simulated system onto it with the
// stand-in restore tool and reports to a recording delegate. Waits are scaled
// down so each run takes a second or two.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Bootable/boot/OVBootable.h"
#include "Disk/GetVolumes.h"
#include "Disk/OVTask.h"
#include "kit/RunLoop.h"
#include "kit/SysPath.h"
#include "sim/Journal.h"
#include "sim/Machine.h"
#include "sim/Scenario.h"
#include "support/SimRoot.h"

namespace fs = std::filesystem;

namespace {

// 4 s of waits become 0.8 s; the disk tool's minute of time-out becomes 12 s,
// which a busy machine's slow answer stays well within.
const bool kTimeScaled = [] { return ::setenv("PELORIN_TIME_SCALE", "0.2", 1) == 0; }();

constexpr double kRunTimeout = 60;  // real seconds

std::string note(int error, int step, int percent) {
    return "notify " + std::to_string(error) + " " + std::to_string(step) + " " + std::to_string(percent);
}

// Everything the engine tells its screen, in the order it arrives.
struct Recorder : OVBootableDelegate {
    std::vector<std::string> log;
    std::vector<OVCloneProgress> notes;
    std::vector<std::pair<int, int>> tags;

    void OVUINotify(const OVCloneProgress* p) override {
        notes.push_back(*p);
        log.push_back(note(p->errorCode, p->stepCode, p->percent));
    }
    void changeProLabelValue(const std::string& text) override { log.push_back("label " + text); }
    void changeProTimeWithTag(int tag, int phase) override {
        tags.emplace_back(tag, phase);
        log.push_back("tag " + std::to_string(tag) + " " + std::to_string(phase));
    }

    bool ended() const {
        return std::any_of(notes.begin(), notes.end(),
                           [](const OVCloneProgress& p) { return p.stepCode == 8 || p.errorCode < 0; });
    }
    bool sawStep(int step) const {
        return std::any_of(notes.begin(), notes.end(), [&](const OVCloneProgress& p) { return p.stepCode == step; });
    }
    std::string last() const { return notes.empty() ? "none" : note(notes.back().errorCode, notes.back().stepCode, notes.back().percent); }
};

// One folder tree as relative path -> kind and content, for comparing a clone with its source.
std::map<std::string, std::string> treeOf(const fs::path& top, const std::vector<std::string>& leaveOut) {
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(top); it != fs::recursive_directory_iterator(); ++it) {
        const std::string rel = it->path().lexically_relative(top).string();
        if (std::find(leaveOut.begin(), leaveOut.end(), rel) != leaveOut.end()) {
            it.disable_recursion_pending();
            continue;
        }
        const auto st = it->symlink_status();
        if (fs::is_symlink(st)) {
            out[rel] = "link " + fs::read_symlink(it->path()).string();
        } else if (fs::is_directory(st)) {
            out[rel] = "dir";
        } else {
            std::ifstream in(it->path(), std::ios::binary);
            std::stringstream ss;
            ss << in.rdbuf();
            out[rel] = "file " + ss.str();
        }
    }
    return out;
}

const std::vector<std::string> kNotCloned = {"Volumes", ".pelorin", "dev", "proc", "sys", "tmp",
                                             "System/Volumes", "private/tmp", "private/var/vm"};

class CloneRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(kTimeScaled);
        kit::ensureMainThreadApp();
        // One root for the whole suite, rebuilt for each test, so the provider's
        // mount watching always looks at the machine in use.
        sim_ = std::make_unique<sim::SimRoot>("clone");
        ASSERT_TRUE(sim_->ok()) << sim_->error();
        root_ = sim_->root();
        // The provider is made on the main thread, as the application does; the
        // engine's remount fallback reaches it from a worker.
        GetVolumes::Instance();
        OVBootable::OVShareInstance().OVInit();
    }
    static void TearDownTestSuite() {
        kit::runUntil([] { return !GetVolumes::Instance().isScanningVolumes(); }, 10);
        sim_.reset();
    }

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(sim::createRoot("clone", root_, sim::SimRoot::toolDir(), &error)) << error;
        engine().OVSetDelegate(&rec_);
        target_ = std::make_shared<VolumeObj>();
        // The stick as the external scan records it.
        target_->setVolumeName("Flashline Ultra Media");
        target_->setVolumePath("disk2");
        target_->setVolumeType(" ");
        target_->setVolumeTotalSizeNum(61530439680);
    }
    void TearDown() override {
        // No clone may leak into the next test.
        EXPECT_TRUE(kit::runUntil([] { return !OVBootable::OVShareInstance().isRunning(); }, kRunTimeout));
        engine().OVSetDelegate(nullptr);
        kit::runUntil([] { return !GetVolumes::Instance().isScanningVolumes(); }, 10);
    }

    static OVBootable& engine() { return OVBootable::OVShareInstance(); }

    void knob(const std::string& key, const std::string& value) {
        std::string error;
        ASSERT_TRUE(sim::Machine::update(root_, [&](sim::Machine& m, std::string*) {
            m.setKnob(key, value);
            return true;
        }, &error)) << error;
    }

    // Starts a clone and waits for its last report.
    void cloneToEnd() {
        ASSERT_EQ(engine().OVStart(target_), 0);
        ASSERT_TRUE(kit::runUntil([&] { return rec_.ended(); }, kRunTimeout)) << rec_.last();
        ASSERT_TRUE(kit::runUntil([] { return !OVBootable::OVShareInstance().isRunning(); }, kRunTimeout));
    }

    std::vector<sim::JournalEntry> runs(const std::string& tool, const std::string& first = "") const {
        std::vector<sim::JournalEntry> out;
        for (auto& e : sim::readJournal(root_))
            if (e.tool == tool && (first.empty() || (!e.args.empty() && e.args[0] == first))) out.push_back(e);
        return out;
    }
    bool journaled(const std::string& tool, const std::string& first = "") const { return !runs(tool, first).empty(); }

    std::string volumes(const std::string& name) const { return root_ + "/Volumes/" + name; }

    static std::unique_ptr<sim::SimRoot> sim_;
    static std::string root_;
    Recorder rec_;
    std::shared_ptr<VolumeObj> target_;
};

std::unique_ptr<sim::SimRoot> CloneRun::sim_;
std::string CloneRun::root_;

// ---- success ------------------------------------------------------------------

TEST_F(CloneRun, ReportsInOrderAndTheCloneHoldsTheSystem) {
    cloneToEnd();

    std::vector<std::string> expected = {
        note(0, 0, 0), note(0, 1, 12), note(0, 2, 25), note(0, 3, 37), "label ",
        note(0, 3, 37), "label Validating target...", "label Validating target...",
        note(0, 4, 50), "label Validating source...", "label Validating target...",
        "label Repartitioning target device...", "label Cloning...", note(0, 5, 62)};
    for (int t = 1; t <= 10; ++t) expected.push_back("tag " + std::to_string(t) + " 1");
    expected.push_back("label Cloning...");
    for (int t = 1; t <= 10; ++t) expected.push_back("tag " + std::to_string(t) + " 2");
    expected.insert(expected.end(), {"label 100", "label \nRestore completed successfully.\n", note(0, 8, 100)});
    EXPECT_EQ(rec_.log, expected);

    // The erase: whole disk, file system of 13.x, the fresh name, a 600 s time-out.
    auto erase = runs("diskutil", "eraseDisk");
    ASSERT_EQ(erase.size(), 1u);
    EXPECT_EQ(erase[0].args, (std::vector<std::string>{"eraseDisk", "APFS", "PelorinSystem", "disk2"}));
    EXPECT_EQ(OVTask::OVShareInstance().timeoutCount(), 600);
    EXPECT_TRUE(journaled("killall", "mds_stores"));

    // The restore: from the running system onto the new volume, answered with one "y".
    auto restore = runs("asr");
    ASSERT_EQ(restore.size(), 1u);
    EXPECT_EQ(restore[0].args, (std::vector<std::string>{"restore", "--source", kit::sysPath("/"), "--target",
                                                         volumes("PelorinSystem"), "--erase"}));
    EXPECT_EQ(restore[0].stdinData, "y");

    // The clone holds the system tree and nothing of the stick's old files.
    EXPECT_FALSE(fs::exists(volumes("PelorinSystem") + "/old-data.txt"));
    const auto source = treeOf(root_, kNotCloned);
    EXPECT_GT(source.size(), 10u);
    EXPECT_TRUE(source.count("Users/alex/Documents/notes.txt"));
    EXPECT_EQ(treeOf(volumes("PelorinSystem"), {}), source);
}

TEST_F(CloneRun, EraseTakesTheNextFreeNameAndTheVersionsFileSystem) {
    fs::create_directories(volumes("PelorinSystem"));
    ASSERT_TRUE(sim::Machine::update(root_, [](sim::Machine& m, std::string*) {
        m.systemVersion = "10.15.7";
        return true;
    }));
    cloneToEnd();

    EXPECT_EQ(rec_.last(), note(0, 8, 100));
    auto erase = runs("diskutil", "eraseDisk");
    ASSERT_EQ(erase.size(), 1u);
    EXPECT_EQ(erase[0].args, (std::vector<std::string>{"eraseDisk", "JHFS+", "PelorinSystem1", "disk2"}));
    ASSERT_EQ(runs("asr").size(), 1u);
    EXPECT_EQ(runs("asr")[0].args[4], volumes("PelorinSystem1"));
    EXPECT_TRUE(fs::exists(volumes("PelorinSystem1") + "/Users/alex/Documents/notes.txt"));
}

TEST_F(CloneRun, RemountFallbackFindsAVolumeLeftUnmounted) {
    knob("diskutil eraseDisk", "unmounted");
    cloneToEnd();

    EXPECT_EQ(rec_.last(), note(0, 8, 100));
    EXPECT_EQ(runs("diskutil", "unmountDisk").at(0).args, (std::vector<std::string>{"unmountDisk", "/dev/disk2"}));
    EXPECT_EQ(runs("diskutil", "mountDisk").at(0).args, (std::vector<std::string>{"mountDisk", "/dev/disk2"}));
    EXPECT_NE(engine().allVoumesArr(), nullptr);
    EXPECT_TRUE(fs::exists(volumes("PelorinSystem") + "/Users/alex/Documents/notes.txt"));
}

// ---- failures -----------------------------------------------------------------

TEST_F(CloneRun, FailedEraseEndsWithMinusFourAndNoRestore) {
    knob("diskutil eraseDisk", "fail");
    cloneToEnd();

    EXPECT_EQ(rec_.last(), note(-4, 3, 37));
    EXPECT_TRUE(journaled("diskutil", "unmountDisk"));  // the fallback was tried
    EXPECT_FALSE(journaled("asr"));
    EXPECT_FALSE(rec_.sawStep(8));
}

class RestoreFailure : public CloneRun, public ::testing::WithParamInterface<const char*> {};

TEST_P(RestoreFailure, EndsWithMinusSeven) {
    knob("asr restore", GetParam());
    cloneToEnd();
    EXPECT_EQ(rec_.last(), note(-7, 8, 100));
    EXPECT_TRUE(journaled("asr"));
}

// Before the prompt; never answered; one phase only; a failure after the first
// "100"; a failing exit after both "100"s; output that means nothing.
INSTANTIATE_TEST_SUITE_P(Knobs, RestoreFailure,
                         ::testing::Values("fail", "abort-at-prompt", "onephase", "fail-after-100", "exit-fail",
                                           "garbage"),
                         [](const auto& info) {
                             std::string n = info.param;
                             n.erase(std::remove(n.begin(), n.end(), '-'), n.end());
                             return n;
                         });

TEST_F(CloneRun, ARunWithoutPromptCountsOnlyItsOwnPhases) {
    cloneToEnd();
    ASSERT_EQ(rec_.last(), note(0, 8, 100));

    // The earlier run's two finished phases must not complete this one.
    rec_ = Recorder();
    knob("asr restore", "noprompt,onephase");
    cloneToEnd();
    EXPECT_EQ(rec_.last(), note(-7, 8, 100));
    EXPECT_EQ(runs("asr").back().stdinData, "");

    // A tool that needs no answer and does all its work succeeds.
    rec_ = Recorder();
    knob("asr restore", "noprompt");
    cloneToEnd();
    EXPECT_EQ(rec_.last(), note(0, 8, 100));
}

TEST_F(CloneRun, RestoreToolThatCannotStartIsMinusSeven) {
    fs::remove(root_ + "/usr/sbin/asr");
    cloneToEnd();
    EXPECT_EQ(rec_.last(), note(-7, 8, 100));
    EXPECT_FALSE(journaled("asr"));
}

// ---- the disk under the chosen identifier ------------------------------------

// The erase names the disk by its identifier, which the machine hands to the
// next disk that appears: a disk gone or replaced is refused before the
// erase, with the "unplugged" code, and keeps its files.
TEST_F(CloneRun, ADiskGoneOrReplacedUnderItsIdentifierIsNotErased) {
    auto replaceStick = [&](const std::string& name, int64_t size, const std::string& uuid) {
        ASSERT_TRUE(sim::Machine::update(root_, [&](sim::Machine& m, std::string* error) {
            if (m.findDisk("disk2") && !m.removeDisk("disk2", error)) return false;
            sim::Disk d;
            d.identifier = "disk2";
            d.registryName = name;
            d.busProtocol = "USB";
            d.ejectable = true;
            d.content = sim::kGuidScheme;
            d.size = size;
            if (!uuid.empty()) {
                d.extra = kit::Value::dict();
                d.extra.set("DiskUUID", kit::Value(uuid));
            }
            sim::Volume family;
            family.content = "Apple_HFS";
            family.name = "Family";
            family.filesystem = "Journaled HFS+";
            family.size = family.totalSize = size;
            family.freeSpace = size / 2;
            family.mountPoint = m.hostPath("/Volumes/Family");
            d.volumes.push_back(family);
            m.addDisk(d);
            return true;
        }));
        std::ofstream(volumes("Family") + "/photos.txt") << "keep";
    };
    auto expectRefused = [&] {
        rec_ = Recorder();
        cloneToEnd();
        EXPECT_EQ(rec_.last(), note(-3, 2, 25));
        EXPECT_FALSE(rec_.sawStep(3));
        EXPECT_FALSE(journaled("diskutil", "eraseDisk"));
        EXPECT_FALSE(journaled("asr"));
    };

    // Another disk, of another name and size.
    replaceStick("Disk Image", 2000000000, "");
    expectRefused();
    EXPECT_TRUE(fs::exists(volumes("Family") + "/photos.txt"));
    // A stick of the same make and size, told apart by its UUID.
    target_->setDiskUUID("5C1D3A52-0000-4000-8000-00000000AA01");
    replaceStick("Flashline Ultra Media", 61530439680, "5C1D3A52-0000-4000-8000-00000000BB02");
    expectRefused();
    EXPECT_TRUE(fs::exists(volumes("Family") + "/photos.txt"));
    // No disk at all under the identifier.
    ASSERT_TRUE(sim::Machine::update(root_, [](sim::Machine& m, std::string* error) { return m.removeDisk("disk2", error); }));
    expectRefused();

    // The same disk again (UUIDs in any case) is the chosen one.
    replaceStick("Flashline Ultra Media", 61530439680, "5c1d3a52-0000-4000-8000-00000000aa01");
    rec_ = Recorder();
    cloneToEnd();
    EXPECT_EQ(rec_.last(), note(0, 8, 100));
    EXPECT_TRUE(journaled("diskutil", "eraseDisk"));
}

// A user with two sticks of one model: the stick chosen (as the scan recorded
// it) is ejected and the other put in, under the same identifier, with the
// same registry name and size but partitions of its own. It is another disk:
// refused, and its files kept. The chosen stick put back is cloned.
TEST_F(CloneRun, ATwinStickOfTheSameModelIsNotErased) {
    {
        auto provider = GetVolumes::create();
        auto list = provider->getExVolumes();
        ASSERT_TRUE(kit::runUntil([&] { return !list->empty() && !provider->isScanningExVolumes(); }, kRunTimeout));
        ASSERT_EQ(list->snapshot().size(), 1u);
        target_ = list->snapshot()[0];
    }
    ASSERT_EQ(target_->volumePath(), "disk2");
    ASSERT_TRUE(target_->diskSlices());

    sim::Disk chosen;
    ASSERT_TRUE(sim::Machine::update(root_, [&](sim::Machine& m, std::string*) {
        chosen = *m.findDisk("disk2");
        return sim::putTwinInPlace(m, "disk2", "Family");
    }));
    std::ofstream(volumes("Family") + "/photos.txt") << "keep";

    cloneToEnd();
    EXPECT_EQ(rec_.last(), note(-3, 2, 25));
    EXPECT_FALSE(journaled("diskutil", "eraseDisk"));
    EXPECT_FALSE(journaled("asr"));
    EXPECT_TRUE(fs::exists(volumes("Family") + "/photos.txt"));

    ASSERT_TRUE(sim::Machine::update(root_, [&](sim::Machine& m, std::string* error) {
        if (!m.removeDisk("disk2", error)) return false;
        for (auto& v : chosen.volumes) v.mountPoint.clear();
        m.addDisk(chosen);
        return true;
    }));
    rec_ = Recorder();
    cloneToEnd();
    EXPECT_EQ(rec_.last(), note(0, 8, 100));
    EXPECT_TRUE(journaled("diskutil", "eraseDisk"));
}

// A check whose disk tool printed the chosen disk's very record but then failed,
// or never ended, has read nothing: the disk is not erased.
TEST_F(CloneRun, ATargetCheckThatFailsAfterAnsweringErasesNothing) {
    for (const char* value : {"answer-then-fail", "answer-then-hang"}) {
        knob("diskutil info /dev/disk2", value);
        rec_ = Recorder();
        cloneToEnd();
        EXPECT_EQ(rec_.last(), note(-3, 2, 25)) << value;
        EXPECT_FALSE(journaled("diskutil", "eraseDisk")) << value;
        EXPECT_TRUE(fs::exists(volumes("CLONEME") + "/old-data.txt")) << value;
    }
}

// A disk tool that hangs on the check is ended by a stop; nothing is erased.
TEST_F(CloneRun, AStopDuringTheTargetCheckErasesNothing) {
    knob("diskutil info /dev/disk2", "hang");
    ASSERT_EQ(engine().OVStart(target_), 0);
    ASSERT_TRUE(kit::runUntil([&] { return journaled("diskutil", "info"); }, kRunTimeout));
    engine().OVStop();
    ASSERT_TRUE(kit::runUntil([&] { return rec_.ended(); }, kRunTimeout));
    EXPECT_EQ(rec_.last(), note(-8, 2, 25));
    EXPECT_FALSE(journaled("diskutil", "eraseDisk"));
    EXPECT_TRUE(fs::exists(volumes("CLONEME") + "/old-data.txt"));
}

// ---- stops ----------------------------------------------------------------------

TEST_F(CloneRun, StopBeforeTheEraseLeavesTheDiskAlone) {
    // Hold the clone in its "killall mds_stores", just ahead of the erase.
    const std::string started = root_ + "/.killall-started";
    const std::string hold = root_ + "/usr/sbin/killall";
    {
        std::ofstream script(hold);
        script << "#!/bin/sh\ntouch '" << started << "'\nsleep 1\n";
    }
    ::chmod(hold.c_str(), 0755);
    // The runner is killed within moments of a stop, often before the disk tool
    // has said anything; only its untouched settings show it was never set up.
    OVTask::OVShareInstance().OVSetArguments(std::vector<std::string>{"untouched"});

    ASSERT_EQ(engine().OVStart(target_), 0);
    ASSERT_TRUE(kit::runUntil([&] { return fs::exists(started); }, kRunTimeout));
    engine().OVStop();
    ASSERT_TRUE(kit::runUntil([&] { return rec_.ended(); }, kRunTimeout));

    EXPECT_EQ(rec_.last(), note(-8, 2, 25));
    EXPECT_EQ(OVTask::OVShareInstance().arguments(), std::vector<std::string>{"untouched"});
    EXPECT_FALSE(journaled("diskutil", "eraseDisk"));
    EXPECT_TRUE(fs::exists(volumes("CLONEME") + "/old-data.txt"));
}

TEST_F(CloneRun, StopDuringTheEraseEndsItAndStartsNothingMore) {
    knob("diskutil eraseDisk", "hang");
    ASSERT_EQ(engine().OVStart(target_), 0);
    ASSERT_TRUE(kit::runUntil([&] { return journaled("diskutil", "eraseDisk"); }, kRunTimeout));
    engine().OVStop();
    ASSERT_TRUE(kit::runUntil([&] { return rec_.ended(); }, kRunTimeout));

    EXPECT_EQ(rec_.last(), note(-8, 2, 25));
    EXPECT_FALSE(journaled("diskutil", "unmountDisk"));
    EXPECT_FALSE(journaled("asr"));
}

TEST_F(CloneRun, StopBetweenEraseAndRestoreLaunchesNothing) {
    ASSERT_EQ(engine().OVStart(target_), 0);
    ASSERT_TRUE(kit::runUntil([&] { return rec_.sawStep(3); }, kRunTimeout));
    engine().OVStop();
    ASSERT_TRUE(kit::runUntil([] { return !OVBootable::OVShareInstance().isRunning(); }, kRunTimeout));
    kit::runFor(2.0);

    EXPECT_FALSE(journaled("asr"));
    // The stop has been shown by the screen; nothing follows the erase's report.
    EXPECT_EQ(rec_.log.back(), note(0, 3, 37));
}

TEST_F(CloneRun, StopDuringTheRestoreTerminatesIt) {
    knob("asr restore", "hang");
    ASSERT_EQ(engine().OVStart(target_), 0);
    ASSERT_TRUE(kit::runUntil([&] { return !rec_.tags.empty(); }, kRunTimeout));
    engine().OVStop();
    ASSERT_TRUE(kit::runUntil([&] { return rec_.ended(); }, kRunTimeout));

    EXPECT_EQ(rec_.last(), note(-8, 8, 100));
    auto restore = runs("asr");
    ASSERT_EQ(restore.size(), 1u);
    EXPECT_EQ(restore[0].events, (std::vector<std::string>{"SIGTERM"}));
}

TEST_F(CloneRun, SecondStartIsRefusedAndKeepsTheStop) {
    EXPECT_EQ(engine().OVStart(nullptr), -2);

    knob("diskutil eraseDisk", "hang");
    ASSERT_EQ(engine().OVStart(target_), 0);
    EXPECT_EQ(engine().OVStart(target_), -1);
    ASSERT_TRUE(kit::runUntil([&] { return journaled("diskutil", "eraseDisk"); }, kRunTimeout));
    engine().OVStop();
    EXPECT_EQ(engine().OVStart(target_), -1);
    EXPECT_TRUE(engine().OVUserIsCancel());
    ASSERT_TRUE(kit::runUntil([&] { return rec_.ended(); }, kRunTimeout));
    EXPECT_EQ(rec_.last(), note(-8, 2, 25));
    EXPECT_EQ(runs("diskutil", "eraseDisk").size(), 1u);
}

// ---- hung helper tools ------------------------------------------------------------

TEST_F(CloneRun, AHungKillallEndsAtAStopAndTheNextStartRuns) {
    knob("killall", "hang");
    ASSERT_EQ(engine().OVStart(target_), 0);
    ASSERT_TRUE(kit::runUntil([&] { return journaled("killall", "mds_stores"); }, kRunTimeout));
    const auto stopped = std::chrono::steady_clock::now();
    engine().OVStop();
    ASSERT_TRUE(kit::runUntil([&] { return rec_.ended(); }, kRunTimeout));
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(5));
    EXPECT_EQ(rec_.last(), note(-8, 2, 25));
    EXPECT_FALSE(journaled("diskutil", "eraseDisk"));
    ASSERT_TRUE(kit::runUntil([] { return !OVBootable::OVShareInstance().isRunning(); }, kRunTimeout));

    // The engine is free again at once, not when the hung tool dies.
    knob("killall", "ok");
    rec_ = Recorder();
    cloneToEnd();
    EXPECT_EQ(rec_.last(), note(0, 8, 100));
}

TEST_F(CloneRun, AHungKillallIsEndedAtItsTimeOutAndTheCloneGoesOn) {
    knob("killall", "hang");
    cloneToEnd();
    EXPECT_EQ(rec_.last(), note(0, 8, 100));
    EXPECT_TRUE(journaled("diskutil", "eraseDisk"));
}

TEST_F(CloneRun, AHungRemountEndsAtAStop) {
    knob("diskutil eraseDisk", "unmounted");
    knob("diskutil unmountDisk", "hang");
    ASSERT_EQ(engine().OVStart(target_), 0);
    ASSERT_TRUE(kit::runUntil([&] { return journaled("diskutil", "unmountDisk"); }, kRunTimeout));
    const auto stopped = std::chrono::steady_clock::now();
    engine().OVStop();
    ASSERT_TRUE(kit::runUntil([&] { return rec_.ended(); }, kRunTimeout));
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(5));
    EXPECT_EQ(rec_.last(), note(-8, 2, 25));
    EXPECT_FALSE(journaled("diskutil", "mountDisk"));
    EXPECT_FALSE(journaled("asr"));
}

TEST_F(CloneRun, AHungRemountIsEndedAtItsTimeOut) {
    knob("diskutil eraseDisk", "unmounted");
    knob("diskutil mountDisk", "hang");
    cloneToEnd();
    // The volume never came back: the clone ends with the erase error, promptly.
    EXPECT_EQ(rec_.last(), note(-4, 3, 37));
    EXPECT_FALSE(journaled("asr"));
}

}  // namespace
