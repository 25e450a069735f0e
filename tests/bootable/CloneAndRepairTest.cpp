// A whole clone of the simulated system by the clone engine, followed by the
// Preboot repair, as the clone screen chains them: the tools run in the order
// the screen expects and the clone's own Preboot receives the cryptexes.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Bootable/CloneCommands.h"
#include "Bootable/PrebootRepair.h"
#include "Bootable/boot/OVBootable.h"
#include "kit/RunLoop.h"
#include "support/SimRoot.h"

namespace fs = std::filesystem;

namespace {

const bool kTimeScaled = [] { return ::setenv("PELORIN_TIME_SCALE", "0.05", 1) == 0; }();

struct EndWatcher : OVBootableDelegate {
    bool ended = false;
    int error = 0;
    void OVUINotify(const OVCloneProgress* p) override {
        if (p->stepCode == 8 || p->errorCode < 0) {
            ended = true;
            error = p->errorCode;
        }
    }
};

TEST(CloneAndRepair, ToolsRunInOrderAndTheClonesPrebootGetsTheCryptexes) {
    ASSERT_TRUE(kTimeScaled);
    kit::ensureMainThreadApp();
    sim::SimRoot sim("clone");
    ASSERT_TRUE(sim.ok()) << sim.error();
    ASSERT_TRUE(cloneNeedsPrebootRepair());  // 13.4.1

    OVBootable& engine = OVBootable::OVShareInstance();
    engine.OVInit();
    EndWatcher watch;
    engine.OVSetDelegate(&watch);
    auto target = std::make_shared<VolumeObj>();
    target->setVolumePath("disk2");
    target->setVolumeName("Flashline Ultra Media");
    target->setVolumeTotalSizeNum(61530439680);
    ASSERT_EQ(engine.OVStart(target), 0);
    ASSERT_TRUE(kit::runUntil([&] { return watch.ended; }, 120));
    ASSERT_TRUE(kit::runUntil([&] { return !engine.isRunning(); }, 60));
    engine.OVSetDelegate(nullptr);
    ASSERT_EQ(watch.error, 0);

    std::optional<PrebootRepairOutcome> repaired;
    PrebootRepair::start(target->volumePath(), [&](const PrebootRepairOutcome& o) { repaired = o; });
    ASSERT_TRUE(kit::runUntil([&] { return repaired.has_value(); }, 120));
    EXPECT_EQ(repaired->result, PrebootRepairOutcome::Result::Copied) << repaired->reason;

    // killall, the check of the target's record, the erase, the restore, then
    // the repair's list / info… / list, the mount and the mounted Preboot's record.
    std::vector<std::string> order;
    for (const auto& e : sim.journal()) {
        std::string line = e.tool + " " + e.args.at(0);
        if (e.tool == "diskutil" && e.args.size() > 1) line += " " + e.args.back();
        order.push_back(line);
    }
    const std::string c = repaired->prebootIdentifier.substr(0, repaired->prebootIdentifier.find('s', 4));
    EXPECT_EQ(order, (std::vector<std::string>{"killall mds_stores", "diskutil info /dev/disk2",
                                               "diskutil eraseDisk disk2", "asr restore",
                                               "diskutil list /dev/disk2", "diskutil info /dev/disk2",
                                               "diskutil info /dev/disk2s1", "diskutil info /dev/disk2s2",
                                               "diskutil list /dev/" + c, "diskutil mountDisk /dev/" + c + "s2",
                                               "diskutil info /dev/" + c + "s2"}));
    EXPECT_TRUE(fs::exists(sim.path("/Volumes/Preboot/Cryptexes/OS/os.clone.dmg")));
    EXPECT_TRUE(fs::exists(sim.path("/Volumes/PelorinSystem/Users/alex/Documents/notes.txt")));
}

}  // namespace
