// The backup-tool clone route against the stand-in backup tool: its status
// parser, the phases of a backup as percentages, a start that fails, a backup
// already running, one that stops by itself, and a cancel.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "Bootable/SystemClonebyTimeMacine.h"
#include "kit/Dispatch.h"
#include "kit/RunLoop.h"
#include "support/EnvGuard.h"
#include "support/SimRoot.h"

namespace {

// One second of the backup (and of the poll) is 50 ms.
const bool kTimeScaled = [] { return ::setenv("PELORIN_TIME_SCALE", "0.05", 1) == 0; }();

const char* kCopyingText =
    "Backup session status:\n"
    "{\n"
    "    BackupPhase = Copying;\n"
    "    Destination = \"Backup\";\n"
    "    DestinationMountPoint = \"/Volumes/Backup Disk\";\n"
    "    Percent = \"0.4123\";\n"
    "    Progress =     {\n"
    "        TimeRemaining = 96;\n"
    "        \"_raw_Percent\" = \"0.41234\";\n"
    "        bytes = 4944000000;\n"
    "        files = 103085;\n"
    "        totalBytes = 12000000000;\n"
    "        totalFiles = 250000;\n"
    "    };\n"
    "    Running = 1;\n"
    "}\n";

TEST(BackupStatusParser, ReadsTheKeysTheRouteUses) {
    auto s = SystemClonebyTimeMacine::parseBackupStatus(kCopyingText);
    EXPECT_EQ(s["BackupPhase"], "Copying");
    EXPECT_EQ(s["Destination"], "Backup");  // quotes trimmed from values
    EXPECT_EQ(s["DestinationMountPoint"], "/Volumes/Backup Disk");
    EXPECT_EQ(s["\"_raw_Percent\""], "0.41234");  // the key keeps its quotes
    EXPECT_EQ(s["totalBytes"], "12000000000");
    EXPECT_EQ(s["files"], "103085");
    EXPECT_EQ(s["Running"], "1");
    // "Progress = { TimeRemaining = 96" holds two "=": not a pair.
    EXPECT_EQ(s.count("Progress"), 0u);
    EXPECT_EQ(s.count("TimeRemaining"), 0u);
    EXPECT_FLOAT_EQ(SystemClonebyTimeMacine::percentOf(s), 41.234f);

    EXPECT_TRUE(SystemClonebyTimeMacine::parseBackupStatus("").empty());
    EXPECT_TRUE(SystemClonebyTimeMacine::parseBackupStatus("no braces = here;").empty());
    EXPECT_TRUE(SystemClonebyTimeMacine::parseBackupStatus("} Running = 1; {").empty());
    EXPECT_FLOAT_EQ(SystemClonebyTimeMacine::percentOf({}), 0.0f);
}

TEST(BackupStatusParser, WhatTheScreenShows) {
    auto finding = SystemClonebyTimeMacine::displayForPercent(0.05f);
    EXPECT_EQ(finding.label, "Finding Changes...");
    EXPECT_EQ(finding.step, 0);
    EXPECT_EQ(finding.picture, "");
    auto copying = SystemClonebyTimeMacine::displayForPercent(41.234f);
    EXPECT_EQ(copying.label, "Cloning Files 41.23%");
    EXPECT_EQ(copying.step, 3);
    EXPECT_EQ(copying.picture, "copy");
    EXPECT_FLOAT_EQ(copying.value, 41.234f);
}

// Keeps the main loop running for real seconds (not scaled): time for polls
// that must not come.
void settle(double seconds) {
    kit::runUntil([] { return false; }, seconds);
}

struct Recorder : SystemClonebyTimeMacineDelegate {
    std::vector<float> percents;
    std::vector<int> failures;
    bool offMain = false;
    void returnProForClone(float p) override {
        offMain = offMain || !kit::dispatch::isMainThread();
        percents.push_back(p);
    }
    void backupDidFail(int status) override {
        offMain = offMain || !kit::dispatch::isMainThread();
        failures.push_back(status);
    }
    size_t hundreds() const { return static_cast<size_t>(std::count(percents.begin(), percents.end(), 100.0f)); }
};

class BackupRoute : public ::testing::Test {
protected:
    sim::SimRoot sim{"demo"};
    std::shared_ptr<SystemClonebyTimeMacine> route = SystemClonebyTimeMacine::create();
    Recorder rec;

    static void SetUpTestSuite() { kit::ensureMainThreadApp(); }
    void SetUp() override {
        ASSERT_TRUE(kTimeScaled);
        ASSERT_TRUE(sim.ok()) << sim.error();
        route->setDelegate(&rec);
    }
    void TearDown() override {
        if (route->isRunning()) {
            route->cancelBackup();
            kit::runUntil([&] { return !route->isRunning() && ran("stopbackup"); }, 10);
        }
        route->setDelegate(nullptr);
    }
    bool ran(const std::string& command) const {
        for (const auto& e : sim.journalFor("tmutil"))
            if (e.args.at(0) == command) return true;
        return false;
    }
    std::vector<std::string> commands() const {
        std::vector<std::string> out;
        for (const auto& e : sim.journalFor("tmutil")) out.push_back(e.args.at(0));
        return out;
    }
};

TEST_F(BackupRoute, ABackupReportsItsProgressAnd100Once) {
    // A copy phase of a second: several polls land in it on a busy machine.
    EnvGuard slower("PELORIN_TIME_SCALE", "0.2");
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(route->startBackup());
    // The start and the poll run elsewhere: the caller is back long before
    // the copy phase could have ended.
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count(), 0.8);
    EXPECT_FALSE(route->startBackup());  // one run at a time

    ASSERT_TRUE(kit::runUntil([&] { return rec.hundreds() > 0; }, 30));
    kit::runUntil([&] { return !route->isRunning(); }, 10);
    settle(1.0);  // several more polls' time: nothing else may come

    EXPECT_TRUE(rec.failures.empty());
    EXPECT_FALSE(rec.offMain);
    ASSERT_GE(rec.percents.size(), 2u);
    EXPECT_EQ(rec.hundreds(), 1u);
    EXPECT_EQ(rec.percents.back(), 100.0f);
    EXPECT_TRUE(std::is_sorted(rec.percents.begin(), rec.percents.end()));
    EXPECT_TRUE(std::any_of(rec.percents.begin(), rec.percents.end(), [](float p) { return p > 0 && p < 100; }));

    // Asked whether one runs, started, then polled; never stopped.
    const auto runs = commands();
    ASSERT_GE(runs.size(), 3u);
    EXPECT_EQ(runs[0], "status");
    EXPECT_EQ(runs[1], "startbackup");
    EXPECT_EQ(runs[2], "status");
    EXPECT_FALSE(ran("stopbackup"));
}

TEST_F(BackupRoute, AStartTheToolRefusesIsAFailureNever100) {
    sim.setKnob("tmutil startbackup", "fail");
    ASSERT_TRUE(route->startBackup());
    ASSERT_TRUE(kit::runUntil([&] { return !rec.failures.empty(); }, 30));
    kit::runUntil([&] { return !route->isRunning(); }, 10);
    settle(0.5);
    EXPECT_EQ(rec.failures, std::vector<int>{1});
    EXPECT_TRUE(rec.percents.empty());
    EXPECT_EQ(commands(), (std::vector<std::string>{"status", "startbackup"}));  // no poll
}

TEST_F(BackupRoute, ABackupAlreadyRunningIsNotStartedAgain) {
    sim.setKnob("tmutil backup", "running");
    EXPECT_FALSE(isTimeMachineBackupRunning());  // reads the other way round
    ASSERT_TRUE(route->startBackup());
    ASSERT_TRUE(kit::runUntil([&] { return !rec.failures.empty(); }, 30));
    EXPECT_EQ(rec.failures, std::vector<int>{-1});
    EXPECT_TRUE(rec.percents.empty());
    EXPECT_FALSE(ran("startbackup"));

    sim.clearKnobs();
    EXPECT_TRUE(isTimeMachineBackupRunning());
}

TEST_F(BackupRoute, ABackupThatStopsByItselfIsAFailure) {
    sim.setKnob("tmutil backup", "stop");
    ASSERT_TRUE(route->startBackup());
    ASSERT_TRUE(kit::runUntil([&] { return !rec.failures.empty(); }, 30));
    kit::runUntil([&] { return !route->isRunning(); }, 10);
    EXPECT_EQ(rec.failures, std::vector<int>{0});
    EXPECT_EQ(rec.hundreds(), 0u);
}

TEST_F(BackupRoute, NothingArrivesAfterACancel) {
    sim.setKnob("tmutil backup", "stuck");
    ASSERT_TRUE(route->startBackup());
    ASSERT_TRUE(kit::runUntil([&] { return !rec.percents.empty() && rec.percents.back() >= 40.0f; }, 30));
    route->cancelBackup();
    const size_t seen = rec.percents.size();
    ASSERT_TRUE(kit::runUntil([&] { return !route->isRunning(); }, 10));
    ASSERT_TRUE(kit::runUntil([&] { return ran("stopbackup"); }, 10));
    settle(1.0);
    EXPECT_EQ(rec.percents.size(), seen);
    EXPECT_TRUE(rec.failures.empty());
    EXPECT_EQ(rec.hundreds(), 0u);

    // The tool's backup is over (once the stop has run), and the route may start again.
    EXPECT_TRUE(kit::runUntil([] { return isTimeMachineBackupRunning(); }, 10));
    sim.clearKnobs();
    EXPECT_TRUE(route->startBackup());
}

TEST_F(BackupRoute, ARouteThatGoesAwayEndsItsPoll) {
    sim.setKnob("tmutil backup", "stuck");
    auto other = SystemClonebyTimeMacine::create();
    Recorder mine;
    other->setDelegate(&mine);
    ASSERT_TRUE(other->startBackup());
    ASSERT_TRUE(kit::runUntil([&] { return !mine.percents.empty(); }, 30));
    other.reset();
    const size_t seen = mine.percents.size();
    auto polls = [&] { return sim.journalFor("tmutil").size(); };
    settle(1.0);
    const size_t after = polls();
    settle(1.5);  // time for several polls
    EXPECT_EQ(polls(), after);
    EXPECT_EQ(mine.percents.size(), seen);
}

TEST_F(BackupRoute, SettingsRunTheToolAndGiveItsStatus) {
    EXPECT_EQ(route->zhidongButAction(), 0);
    EXPECT_EQ(route->stopzhidongButAction(), 0);
    EXPECT_EQ(route->setBackupDestination(sim.path("/Volumes/Backup")), 0);
    EXPECT_NE(route->setBackupDestination("/elsewhere"), 0);
    const auto runs = sim.journalFor("tmutil");
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[2].args, (std::vector<std::string>{"setdestination", sim.path("/Volumes/Backup")}));
}

}  // namespace
