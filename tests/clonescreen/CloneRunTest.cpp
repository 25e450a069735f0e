// Clones of the simulated system from the "OS Clone" tab, end to end with the
// real controllers, the clone engine and the stand-in tools.
#include <cmath>
#include <fstream>

#include "Bootable/SystemClonebyTimeMacine.h"
#include "kit/Shell.h"
#include "CloneScreenTestUtil.h"

using namespace clonescreen;

namespace {

const char* kCloneFailed = "Failed to create bootable disk, please try again.";
const char* kStopped = "You have stopped the clone process.";

}  // namespace

// 13.4.1: erase, restore, then the repair fills the clone's own Preboot; a
// folder already at "/Volumes/Preboot" is left alone.
TEST_F(CloneScreenTest, AFullCloneRepairsThePrebootAndDoneEmptiesTheTarget) {
    fs::create_directories(sim.path("/Volumes/Preboot/keep"));
    chooseTarget(externalDisk());
    sim.clearJournal();
    ASSERT_TRUE(screen->cloneButton()->isUsable());
    ASSERT_TRUE(startClone());
    EXPECT_FALSE(main->isTabChangeAllowed());
    EXPECT_TRUE(screen->selectDiskView()->isHidden());
    // A tab click while the clone runs changes nothing.
    main->TopCloneButtonAction(nullptr);
    EXPECT_FALSE(main->bootableView()->isHidden());

    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(successShown()) << failureText();
    EXPECT_TRUE(main->isTabChangeAllowed());
    EXPECT_EQ(screen->stepFVC()->currentStep(), 4);
    EXPECT_TRUE(kit::runUntil([&] { return screen->iProgreeBar()->floatValue() == 1.0; }, 5));

    // The clone's tools, then the repair's: the target's slices, its container,
    // the mount of the container's Preboot and its record.
    std::string got;
    EXPECT_TRUE(journalInOrder({"killall mds_stores", "diskutil eraseDisk disk2", "asr restore",
                                "diskutil list /dev/disk2", "diskutil info /dev/disk2", "diskutil list /dev/disk",
                                "diskutil mountDisk /dev/disk", "diskutil info /dev/disk"},
                               &got))
        << got;

    // The cryptexes went to the clone's Preboot, wherever it mounted, and not
    // into the folder that held "/Volumes/Preboot" already.
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/Preboot/Cryptexes")));
    EXPECT_TRUE(fs::exists(sim.path("/Volumes/Preboot/keep")));
    bool found = false;
    for (const auto& e : fs::directory_iterator(sim.path("/Volumes")))
        if (e.path().filename().string().rfind("Preboot", 0) == 0 &&
            fs::exists(e.path() / "Cryptexes" / "OS" / "os.clone.dmg"))
            found = true;
    EXPECT_TRUE(found);
    EXPECT_TRUE(fs::exists(sim.path("/Volumes/PelorinSystem/Users/alex/Documents/notes.txt")));

    click(screen->succCancelButton());
    EXPECT_FALSE(screen->selectDiskView()->isHidden());
    EXPECT_TRUE(screen->copyProgressView()->isHidden());
    EXPECT_EQ(screen->toVolume(), nullptr);
    EXPECT_EQ(screen->freeSize(), -1);
    EXPECT_FALSE(screen->cloneButton()->isUsable());
    EXPECT_EQ(screen->selectToVC()->nodeSelectLabel()->stringValue(), "Click here to select a destination drive.");
}

// 10.15 on Intel: no repair; the clone ends with the restore.
TEST_F(CloneScreenTest, OnTenFifteenTheCloneEndsWithTheRestore) {
    sim.setSystemVersion("10.15.7");
    chooseTarget(externalDisk());
    sim.clearJournal();
    ASSERT_TRUE(startClone());
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(successShown()) << failureText();
    EXPECT_TRUE(main->isTabChangeAllowed());
    std::string got;
    EXPECT_TRUE(journalInOrder({"killall mds_stores", "diskutil eraseDisk disk2", "asr restore"}, &got)) << got;
    // No repair: the disk tool is not asked about the clone after the restore.
    EXPECT_FALSE(journalInOrder({"asr restore", "diskutil list /dev/disk2"})) << got;
    EXPECT_FALSE(journalHasLine("diskutil mountDisk")) << got;
}

// A failed erase and a restore that exits with an error each end on the
// failure view with their own text, never on success.
TEST_F(CloneScreenTest, ToolFailuresShowTheirTexts) {
    auto disk = externalDisk();
    ASSERT_TRUE(cloneWithKnob(disk, "diskutil eraseDisk", "fail"));
    expectFailureEnd(
        "An error occurred when erasing data. Please make sure that the device is not being used or you have enough "
        "permissions.");
    EXPECT_FALSE(journalHas("asr"));
    ASSERT_TRUE(engineIdle());
    click(screen->failCancelButton());

    ASSERT_TRUE(cloneWithKnob(disk, "asr restore", "exit-fail"));
    expectFailureEnd(kCloneFailed);
    ASSERT_TRUE(engineIdle());
    kit::runFor(0.3);
    EXPECT_TRUE(failureShown());
}

// "Continue" leaves the restore running; "Cancel" stops it: the stop text
// only, the tool terminated, and nothing the engine reports afterwards
// turns it into a success.
TEST_F(CloneScreenTest, AStopDuringTheRestoreEndsItForGood) {
    sim.setKnob("asr restore", "hang");
    chooseTarget(externalDisk());
    ASSERT_TRUE(startClone());
    ASSERT_TRUE(kit::runUntil([&] { return screen->iProgreeBar()->floatValue() >= 0.38 - 1e-6; }, 60));
    EXPECT_EQ(screen->stepFVC()->currentStep(), 3);
    EXPECT_EQ(screen->animImageName(), "copy");

    click(screen->cancelButton());
    ASSERT_TRUE(kit::runUntil([&] { return stopConfirmation() != nullptr; }, 5));
    click(stopConfirmation()->doneButton());   // "Continue"
    EXPECT_TRUE(screen->isRunning());
    EXPECT_TRUE(screen->endView()->isHidden());

    click(screen->cancelButton());
    ASSERT_TRUE(kit::runUntil([&] { return stopConfirmation() != nullptr; }, 5));
    click(stopConfirmation()->cancelButton());   // stop
    EXPECT_TRUE(failureShown());
    EXPECT_EQ(failureText(), kStopped);
    EXPECT_TRUE(main->isTabChangeAllowed());

    ASSERT_TRUE(engineIdle());
    kit::runFor(0.3);
    EXPECT_TRUE(failureShown());
    EXPECT_EQ(failureText(), kStopped);
    const auto runs = sim.journalFor("asr");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].events, (std::vector<std::string>{"SIGTERM"}));
}

// A stop in the wait between the erase and the restore: the restore never starts.
TEST_F(CloneScreenTest, AStopBetweenTheEraseAndTheRestoreLaunchesNothing) {
    shortenTime("0.5");   // a 2 s gap to stop in
    chooseTarget(externalDisk());
    sim.clearJournal();
    ASSERT_TRUE(startClone());
    // Step 3 (15 %) is the erase's end; the restore follows 2 s + 2 s later, scaled.
    ASSERT_TRUE(kit::runUntil([&] { return screen->iProgreeBar()->floatValue() >= 0.15 - 1e-6; }, 60));
    ASSERT_FALSE(journalHas("asr"));
    screen->cancelToCopySystem();
    EXPECT_TRUE(failureShown());
    EXPECT_EQ(failureText(), kStopped);
    ASSERT_TRUE(engineIdle());
    kit::runFor(0.5);
    EXPECT_FALSE(journalHas("asr"));
    EXPECT_EQ(failureText(), kStopped);
}

// Starts the engine refuses: the failure view, the tabs open again, and the
// run that holds the engine is not shown on this page.
TEST_F(CloneScreenTest, ARefusedStartShowsTheFailureView) {
    auto disk = externalDisk();
    // Another clone holds the engine.
    sim.setKnob("asr restore", "hang");
    ASSERT_EQ(OVBootable::OVShareInstance().OVStart(disk), 0);
    chooseTarget(disk);
    screen->beginToCopySystem();
    EXPECT_TRUE(failureShown());
    EXPECT_EQ(failureText(), kCloneFailed);
    EXPECT_EQ(message(), "An error occurred when creating the target disk.");
    EXPECT_TRUE(main->isTabChangeAllowed());
    // That clone's reports reach the screen but change nothing.
    ASSERT_TRUE(kit::runUntil([&] { return journalHas("asr"); }, 60));
    kit::runFor(0.3);
    EXPECT_TRUE(failureShown());
    EXPECT_LT(screen->iProgreeBar()->floatValue(), 0.01);
    OVBootable::OVShareInstance().OVStop();
    ASSERT_TRUE(engineIdle());
    closeMessages();

    // No target at all (-2).
    click(screen->failCancelButton());
    screen->beginToCopySystem();
    EXPECT_TRUE(failureShown());
    EXPECT_EQ(failureText(), kCloneFailed);
    EXPECT_TRUE(main->isTabChangeAllowed());
}

// The repair after the restore: no "Cancel" while it runs, and a Preboot
// volume that was found but could not be mounted makes the clone a failure;
// so does a clone whose container has no Preboot volume while the system's
// own container has one. Where the system has none, the clone succeeds.
TEST_F(CloneScreenTest, ThePrebootRepairDecidesTheEnd) {
    auto disk = externalDisk();
    sim.setKnob("diskutil mountDisk", "slow:2");
    chooseTarget(disk);
    ASSERT_TRUE(startClone());
    ASSERT_TRUE(kit::runUntil([&] { return screen->isRepairing(); }, 60));
    EXPECT_TRUE(screen->cancelButton()->isHidden());
    EXPECT_EQ(screen->pathLabel()->stringValue(), "Cloning...");
    screen->cancelButtonAction(nullptr);
    EXPECT_EQ(stopConfirmation(), nullptr);
    screen->cancelToCopySystem();
    EXPECT_TRUE(screen->endView()->isHidden());
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(successShown()) << failureText();
    EXPECT_EQ(screen->pathLabel()->stringValue(), "Finishing...");
    click(screen->succCancelButton());
    EXPECT_FALSE(screen->cancelButton()->isHidden());

    ASSERT_TRUE(cloneWithKnob(disk, "diskutil mountDisk", "fail"));
    expectFailureEnd(kCloneFailed);
    ASSERT_TRUE(engineIdle());
    click(screen->failCancelButton());

    sim.clearJournal();
    ASSERT_TRUE(cloneWithKnob(disk, "asr restore", "nopreboot"));
    expectFailureEnd(kCloneFailed);
    EXPECT_FALSE(journalHasLine("diskutil mountDisk"));
    ASSERT_TRUE(engineIdle());
    click(screen->failCancelButton());

    sim.update([](sim::Machine& m) {
        for (auto& v : m.findDisk("disk1")->volumes)
            if (v.role == "Preboot") {
                v.name = "Spare";
                v.role.clear();
            }
    });
    ASSERT_TRUE(cloneWithKnob(disk, "asr restore", "nopreboot"));
    EXPECT_TRUE(successShown()) << failureText();
}

// The stick chosen as the target is ejected outside the program and a disk
// image is attached in its place, under the same identifier; the card still
// shows the stick. "Clone Now" must not erase the image's volume.
TEST_F(CloneScreenTest, ADiskSwappedUnderTheChosenIdentifierIsNotErased) {
    chooseTarget(externalDisk());
    ASSERT_EQ(kit::runShell("diskutil eject disk2 >/dev/null 2>&1"), 0);
    const std::string family = sim.path("/Users/alex/family");
    fs::create_directories(family);
    std::ofstream(family + "/photos.txt") << "birthdays";
    const std::string image = sim.path("/Users/alex/Family.dmg");
    ASSERT_EQ(kit::runShell("hdiutil create " + kit::shellQuote(image) + " -volname Family -fs HFS+ -format UDRW -srcfolder " +
                            kit::shellQuote(family) + " >/dev/null 2>&1 && hdiutil attach " + kit::shellQuote(image) +
                            " >/dev/null 2>&1"),
              0);
    // The image took the stick's identifier.
    ASSERT_NE(sim.machine().findDisk("disk2"), nullptr);
    ASSERT_FALSE(sim.machine().findDisk("disk2")->imagePath.empty());
    EXPECT_EQ(screen->selectToVC()->nameLabel()->stringValue(), "Flashline Ultra Media");
    sim.clearJournal();

    ASSERT_TRUE(startClone());
    ASSERT_TRUE(waitForEndView());
    expectFailureEnd("USB device unplugged, Please reconnect the device and try again.");
    ASSERT_TRUE(engineIdle());
    EXPECT_FALSE(journalHasLine("diskutil eraseDisk"));
    EXPECT_FALSE(journalHas("asr"));
    EXPECT_TRUE(fs::exists(sim.path("/Volumes/Family/photos.txt")));
}

// Two sticks of one model: the chosen one is swapped for the other after the
// choice. "Clone Now" refuses it as unplugged, erases nothing, and the step bar
// shows neither the erase nor the clone as done.
TEST_F(CloneScreenTest, ATwinStickPutInAfterTheChoiceIsNotErased) {
    auto disk = externalDisk();
    chooseTarget(disk);
    putTwinStickInPlace();
    EXPECT_EQ(screen->selectToVC()->nameLabel()->stringValue(), "Flashline Ultra Media");
    sim.clearJournal();

    ASSERT_TRUE(startClone());
    ASSERT_TRUE(waitForEndView());
    expectFailureEnd("USB device unplugged, Please reconnect the device and try again.");
    EXPECT_EQ(screen->stepFVC()->currentStep(), 2);
    ASSERT_TRUE(engineIdle());
    EXPECT_FALSE(journalHasLine("diskutil eraseDisk"));
    EXPECT_FALSE(journalHas("asr"));
    EXPECT_TRUE(fs::exists(sim.path("/Volumes/Family/photos.txt")));

    // Chosen anew (the tile still from the scan before the swap), the stick
    // now in the slot is the one that is cloned.
    click(screen->failCancelButton());
    chooseTarget(disk);
    ASSERT_TRUE(startClone());
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(successShown()) << failureText();
    EXPECT_EQ(screen->stepFVC()->currentStep(), 4);
}

// The repair's disk tool runs are bounded: one that hangs ends the clone on
// the failure view at its time-out, with the tabs free and "Cancel" back.
TEST_F(CloneScreenTest, AHungPrebootRepairEndsAtItsTimeOut) {
    auto disk = externalDisk();
    // disk3: the container the erase makes on the stick.
    for (const char* knob : {"diskutil mountDisk", "diskutil list /dev/disk3"}) {
        ASSERT_TRUE(cloneWithKnob(disk, knob, "hang")) << knob;
        expectFailureEnd(kCloneFailed);
        EXPECT_FALSE(screen->cancelButton()->isHidden());
        EXPECT_FALSE(screen->isRepairing());
        ASSERT_TRUE(engineIdle());
        click(screen->failCancelButton());
    }
}

// A repair that can't read the disk tool's answers, or gets a list that
// names none of the disk's slices, is no success.
TEST_F(CloneScreenTest, AnUnreadableAnswerFailsThePrebootRepair) {
    auto disk = externalDisk();
    // disk3: the container the erase makes on the stick.
    const std::pair<const char*, const char*> knobs[] = {{"diskutil info /dev/disk2s1", "garbage"},
                                                         {"diskutil list /dev/disk3", "garbage"},
                                                         {"diskutil list /dev/disk3", "noAllDisks"}};
    for (const auto& [knob, value] : knobs) {
        ASSERT_TRUE(cloneWithKnob(disk, knob, value)) << knob;
        expectFailureEnd(kCloneFailed);
        EXPECT_FALSE(journalHasLine("diskutil mountDisk")) << knob;
        ASSERT_TRUE(engineIdle());
        click(screen->failCancelButton());
        sim.clearJournal();
    }
}

// The bar in the copy phases: 35 + 3 × tag while the system files are copied,
// 65 + 3 × tag while they are verified. The restore stands at one mark of a
// phase and the bar settles on that mark's value.
TEST_F(CloneScreenTest, TheBarFollowsTheMarksOfEachCopyPhase) {
    auto disk = externalDisk();
    const struct {
        const char* knob;
        double value;
    } marks[] = {{"hang-at:1:50", 0.50}, {"hang-at:1:90", 0.62}, {"hang-at:2:30", 0.74}, {"hang-at:2:90", 0.92}};
    for (const auto& m : marks) {
        sim.clearKnobs();
        sim.setKnob("asr restore", m.knob);
        chooseTarget(disk);
        ASSERT_TRUE(startClone()) << m.knob;
        EXPECT_TRUE(kit::runUntil([&] { return std::abs(screen->iProgreeBar()->floatValue() - m.value) < 1e-6; }, 30))
            << m.knob << ": " << screen->iProgreeBar()->floatValue();
        kit::runFor(0.2);
        EXPECT_NEAR(screen->iProgreeBar()->floatValue(), m.value, 1e-6) << m.knob;
        EXPECT_EQ(screen->stepFVC()->currentStep(), 3);
        EXPECT_EQ(screen->animImageName(), "copy");
        screen->cancelToCopySystem();
        ASSERT_TRUE(engineIdle());
        click(screen->failCancelButton());
    }
}

// Each run starts with an empty text under the bar, not the last run's "Finishing...".
TEST_F(CloneScreenTest, ASecondRunStartsWithoutTheLastRunsText) {
    auto disk = externalDisk();
    chooseTarget(disk);
    ASSERT_TRUE(startClone());
    ASSERT_TRUE(waitForEndView());
    ASSERT_TRUE(successShown()) << failureText();
    ASSERT_EQ(screen->pathLabel()->stringValue(), "Finishing...");
    click(screen->succCancelButton());

    // Held in its erase, before the engine sends any text.
    sim.setKnob("diskutil eraseDisk", "hang");
    chooseTarget(disk);
    ASSERT_TRUE(startClone());
    EXPECT_FALSE(screen->copyProgressView()->isHidden());
    EXPECT_EQ(screen->pathLabel()->stringValue(), "");
    screen->cancelToCopySystem();
}

// The backup route's failed start ends the run on the failure view with the tabs free.
TEST_F(CloneScreenTest, AFailedBackupStartShowsTheFailureView) {
    sim.setKnob("diskutil eraseDisk", "hang");   // the run stands while the route reports
    chooseTarget(externalDisk());
    ASSERT_TRUE(startClone());
    ASSERT_FALSE(main->isTabChangeAllowed());

    sim.setKnob("tmutil startbackup", "fail");
    auto route = SystemClonebyTimeMacine::create();
    route->setDelegate(screen);
    route->startBackup();
    EXPECT_TRUE(kit::runUntil([&] { return failureShown(); }, 30));
    expectFailureEnd(kCloneFailed);
    route->setDelegate(nullptr);
}
