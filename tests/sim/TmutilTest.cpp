// The stand-in backup tool: its status text over the phases of a backup that
// runs by itself in time, its stop, its knobs and its journal.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ToolRun.h"
#include "support/EnvGuard.h"
#include "support/SimRoot.h"

using simtest::run;

namespace {

class Tmutil : public ::testing::Test {
protected:
    sim::SimRoot sim{"demo"};
    // One second of the backup is 40 ms: a backup runs for 0.44 s.
    EnvGuard fast{"PELORIN_TIME_SCALE", "0.04"};
    // Long enough for a status run to land in each phase on a busy machine
    // (the guard above puts the old value back).
    void slow() { fast.set("0.3"); }
    void SetUp() override { ASSERT_TRUE(sim.ok()) << sim.error(); }

    std::string status() {
        auto r = run({"tmutil", "status"});
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }
    static bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
    static std::string phaseOf(const std::string& text) {
        const std::string key = "BackupPhase = ";
        const size_t at = text.find(key);
        if (at == std::string::npos) return has(text, "Running = 0") ? "idle" : "?";
        return text.substr(at + key.size(), text.find(';', at) - at - key.size());
    }
    // The phases the status passes through, each once, until the backup ends.
    std::vector<std::string> phasesUntilIdle() {
        std::vector<std::string> seen;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < until) {
            const std::string p = phaseOf(status());
            if (seen.empty() || seen.back() != p) seen.push_back(p);
            if (p == "idle") break;
        }
        return seen;
    }
};

TEST_F(Tmutil, IdleStatusSaysNothingRuns) {
    const std::string text = status();
    EXPECT_EQ(text.rfind("Backup session status:\n{\n", 0), 0u);
    EXPECT_TRUE(has(text, "Running = 0;"));
    EXPECT_FALSE(has(text, "BackupPhase"));
}

TEST_F(Tmutil, ABackupWalksThroughItsPhasesAndEnds) {
    slow();
    ASSERT_EQ(run({"tmutil", "setdestination", sim.path("/Volumes/Backup")}).status, 0);
    ASSERT_EQ(run({"tmutil", "startbackup"}).status, 0);
    // Copying shows rising sizes and the raw share under its quoted key.
    std::string copying;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (copying.empty() && std::chrono::steady_clock::now() < until) {
        const std::string text = status();
        if (phaseOf(text) == "Copying") copying = text;
    }
    ASSERT_FALSE(copying.empty());
    EXPECT_TRUE(has(copying, "\"_raw_Percent\" = \"0."));
    EXPECT_TRUE(has(copying, "totalBytes = 12000000000;"));
    EXPECT_TRUE(has(copying, "DestinationMountPoint = \"" + sim.path("/Volumes/Backup") + "\";"));
    EXPECT_TRUE(has(copying, "Running = 1;"));

    const auto rest = phasesUntilIdle();
    ASSERT_FALSE(rest.empty());
    EXPECT_EQ(rest.back(), "idle");
    EXPECT_NE(std::find(rest.begin(), rest.end(), "Finishing"), rest.end());

    // Every run is journaled with its arguments.
    std::vector<std::string> firsts;
    for (const auto& e : sim.journalFor("tmutil")) firsts.push_back(e.args.at(0));
    EXPECT_EQ(firsts.at(0), "setdestination");
    EXPECT_EQ(firsts.at(1), "startbackup");
    EXPECT_EQ(firsts.back(), "status");
}

TEST_F(Tmutil, FinishingIsNeverMissed) {
    ASSERT_EQ(run({"tmutil", "startbackup"}).status, 0);
    // Long past the backup's end, the first look still sees it finishing.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(phaseOf(status()), "Finishing");
    EXPECT_EQ(phaseOf(status()), "idle");
    // An end once shown stays: a new start is taken.
    EXPECT_EQ(run({"tmutil", "startbackup"}).status, 0);
}

TEST_F(Tmutil, ThePhasesComeInOrder) {
    slow();
    ASSERT_EQ(run({"tmutil", "startbackup"}).status, 0);
    const auto phases = phasesUntilIdle();
    const std::vector<std::string> order = {"Starting", "FindingChanges", "Copying", "Finishing", "idle"};
    // Each seen phase comes later in the order than the one before.
    size_t at = 0;
    for (const auto& p : phases) {
        auto it = std::find(order.begin() + static_cast<long>(at), order.end(), p);
        ASSERT_NE(it, order.end()) << p;
        at = static_cast<size_t>(it - order.begin());
    }
    EXPECT_EQ(phases.back(), "idle");
    EXPECT_NE(std::find(phases.begin(), phases.end(), "Finishing"), phases.end());
}

TEST_F(Tmutil, StopBackupEndsIt) {
    ASSERT_EQ(run({"tmutil", "startbackup"}).status, 0);
    EXPECT_TRUE(has(status(), "Running = 1;"));
    ASSERT_EQ(run({"tmutil", "stopbackup"}).status, 0);
    EXPECT_TRUE(has(status(), "Running = 0;"));
}

TEST_F(Tmutil, KnobsForTheBackupItself) {
    // Already running before any start; a start is refused.
    sim.setKnob("tmutil backup", "running");
    EXPECT_EQ(phaseOf(status()), "Copying");
    EXPECT_NE(run({"tmutil", "startbackup"}).status, 0);
    ASSERT_EQ(run({"tmutil", "stopbackup"}).status, 0);
    EXPECT_EQ(phaseOf(status()), "idle");

    // Stuck: copying at 40 % for good.
    sim.setKnob("tmutil backup", "stuck");
    ASSERT_EQ(run({"tmutil", "startbackup"}).status, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));  // past the backup's normal end
    const std::string stuck = status();
    EXPECT_EQ(phaseOf(stuck), "Copying");
    EXPECT_TRUE(has(stuck, "\"_raw_Percent\" = \"0.4000\";"));
    run({"tmutil", "stopbackup"});

    // Stop: ends by itself half-way, never finishing.
    sim.setKnob("tmutil backup", "stop");
    ASSERT_EQ(run({"tmutil", "startbackup"}).status, 0);
    const auto phases = phasesUntilIdle();
    EXPECT_EQ(phases.back(), "idle");
    EXPECT_EQ(std::find(phases.begin(), phases.end(), "Finishing"), phases.end());

    // Start fails: the shared knob.
    sim.clearKnobs();
    sim.setKnob("tmutil startbackup", "fail");
    EXPECT_EQ(run({"tmutil", "startbackup"}).status, 1);
    EXPECT_EQ(phaseOf(status()), "idle");
}

TEST_F(Tmutil, SettingsAndRefusals) {
    EXPECT_EQ(run({"tmutil", "enable"}).status, 0);
    EXPECT_EQ(run({"tmutil", "disable"}).status, 0);
    EXPECT_NE(run({"tmutil", "setdestination", "/etc"}).status, 0);
    EXPECT_NE(run({"tmutil", "setdestination", sim.path("/Volumes/Missing")}).status, 0);
    EXPECT_NE(run({"tmutil", "frobnicate"}).status, 0);
    EXPECT_NE(run({"tmutil"}).status, 0);
}

}  // namespace
