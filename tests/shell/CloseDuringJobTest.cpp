// Closing the main window while a job runs, on the simulated machine: each
// kind of job (copy, disk image, zip, clone) is stopped as its own Stop does,
// the close waits for its tools and its clean-up, and only then does the
// program end, with status 0. Nothing partial is left under its final name,
// no image stays attached and no tool outlives the program.
#include <QApplication>
#include <QCloseEvent>
#include <chrono>

#include "clonescreen/CloneScreenTestUtil.h"
#include "copyscreen/CopyScreenTestUtil.h"
#include "dmgscreen/DmgScreenTestUtil.h"
#include "DiskTool/DiskToolActions.h"
#include "DiskTool/FormatingViewController.h"
#include "DiskTool/MakeSureFormatViewController.h"
#include "DiskTool/RepairDiskViewController.h"
#include "kit/ui/QtBridge.h"
#include "shell/CloseTestUtil.h"

namespace {

namespace fs = std::filesystem;
using namespace closetest;

// The ways the user closes the main window.
enum class Close { Button, WindowManager };

// The close as the user makes it, with the wait at its real length (10 s): a
// loaded machine may take a while to end the tools.
void closeAndWaitForTheEnd(MainWindowController& main, Close how = Close::Button) {
    EnvGuard realTime("PELORIN_TIME_SCALE", "1");
    kit::Window& window = *main.window();
    if (how == Close::Button) {
        window.standardWindowButton(kit::WindowButtonKind::Close)->performClick();
    } else {
        // Alt+F4, or a taskbar's close.
        QCloseEvent close;
        QApplication::sendEvent(kit::widgetOf(window), &close);
    }
    ASSERT_TRUE(kit::runUntil([] { return gExitStatus.has_value(); }, 60));
    EXPECT_EQ(gExitStatus, std::optional<int>(0));
    // It ended because the work was over, not because the wait ran out.
    EXPECT_FALSE(main.jobsWorking());
}

}  // namespace

namespace copyscreen {

class CloseDuringCopyTest : public CopyScreenTest {};

TEST_F(CloseDuringCopyTest, ALargeFileRemovesItsPartAndEnds) {
    makeLargeFile(sim.path("/Volumes/USB/big.bin"), kLarge);
    chooseUsbToBackup();
    ExitWatch exitWatch;
    ASSERT_TRUE(startCopy());
    const std::string target = screen->openUrl() + "/big.bin";
    ASSERT_TRUE(kit::runUntil([&] { return bigFileBegun(screen->openUrl()); }, 60));
    closeAndWaitForTheEnd(*main);
    EXPECT_FALSE(fs::exists(target)) << "a partial copy stays under the file's name";
    EXPECT_TRUE(screentest::filesEndingIn(screen->openUrl(), ".part").empty()) << "the part file stays";
    EXPECT_FALSE(screen->doCopy()->isRunning());
    EXPECT_EQ(screen->errorLable()->stringValue(), "You have stopped the copying process.");
}

TEST_F(CloseDuringCopyTest, NothingRunningEndsAtOnce) {
    ExitWatch exitWatch;
    main->closeWindow(nullptr);
    EXPECT_EQ(gExitStatus, std::optional<int>(0));
}

}  // namespace copyscreen

namespace dmgscreen {

class CloseDuringImageTest : public DmgScreenTest {};

TEST_F(CloseDuringImageTest, TheCopyIntoTheImageEjectsAndRemovesIt) {
    makeLargeFile(sim.path("/Volumes/USB/big.bin"), kLarge);
    chooseUsbToBackup();
    ExitWatch exitWatch;
    ASSERT_TRUE(startRun());
    const std::string volume = sim.path("/Volumes/PelorinDmg");
    ASSERT_TRUE(kit::runUntil([&] { return bigFileBegun(volume); }, 60));
    closeAndWaitForTheEnd(*main, Close::WindowManager);
    EXPECT_FALSE(fs::exists(volume)) << "the image is still attached";
    EXPECT_TRUE(filesEndingIn(sim.path("/Volumes/Backup"), ".dmg").empty()) << "a partial image stays";
    EXPECT_EQ(runs("diskutil", "eject").size(), 1u);
    // The job's tools (the volume list's own scans, which the eject set off,
    // are not the job's).
    for (const auto& run : sim.journal()) {
        if (run.tool == "hdiutil" || (run.tool == "diskutil" && !run.args.empty() && run.args[0] == "eject")) {
            EXPECT_FALSE(alive(run.pid)) << run.tool << " still runs";
        }
    }
}

TEST_F(CloseDuringImageTest, AHungEjectIsEndedAtTheEndOfTheWaitAndItsImageKept) {
    // A wait of 5 s; the disk tool's minute of time-out becomes 30 s.
    EnvGuard scale("PELORIN_TIME_SCALE", "0.5");
    sim.setKnob("diskutil eject", "hang");
    chooseUsbToBackup();
    ExitWatch exitWatch;
    ASSERT_TRUE(startRun());
    ASSERT_TRUE(kit::runUntil([&] { return !runs("diskutil", "eject").empty(); }, 60));
    const auto closed = std::chrono::steady_clock::now();
    main->closeWindow(nullptr);
    ASSERT_TRUE(kit::runUntil([] { return gExitStatus.has_value(); }, 60));
    EXPECT_LT(std::chrono::steady_clock::now() - closed, std::chrono::seconds(20));
    EXPECT_EQ(gExitStatus, std::optional<int>(0));
    EXPECT_FALSE(main->jobsWorking());
    EXPECT_FALSE(alive(runs("diskutil", "eject")[0].pid)) << "the hung eject outlives the program";
    // Still attached: the image is not removed.
    EXPECT_TRUE(fs::is_directory(sim.path("/Volumes/PelorinDmg")));
    EXPECT_EQ(filesEndingIn(sim.path("/Volumes/Backup"), ".dmg").size(), 1u);
}

TEST_F(CloseDuringImageTest, ASlowCreateEndsTheToolAndLeavesNoImage) {
    sim.setKnob("hdiutil create", "slow:30");
    chooseUsbToBackup();
    ExitWatch exitWatch;
    ASSERT_TRUE(startRun());
    ASSERT_TRUE(kit::runUntil([&] { return !runs("hdiutil", "create").empty(); }, 20));
    closeAndWaitForTheEnd(*main);
    EXPECT_FALSE(alive(runs("hdiutil", "create")[0].pid));
    EXPECT_TRUE(filesEndingIn(sim.path("/Volumes/Backup"), ".dmg").empty());
    EXPECT_TRUE(runs("hdiutil", "mount").empty());
}

TEST_F(CloseDuringImageTest, ZipEndsItAndRemovesThePartialArchive) {
    // A zip that has begun its archive and then takes its time: it names its
    // process (the same once it has exec'd) so the test can look for it.
    const std::string pidFile = sim.path("/zip.pid");
    zipDroppedFolderWith("#!/bin/sh\necho $$ > '" + pidFile + "'\nprintf partial > \"$3\"\nexec sleep 600\n");
    if (HasFatalFailure()) return;
    ExitWatch exitWatch;
    ASSERT_TRUE(startRun());
    ASSERT_TRUE(kit::runUntil([&] { return !filesEndingIn(sim.path("/Volumes/Backup"), ".zip").empty(); }, 30));
    ASSERT_TRUE(kit::runUntil([&] { return !readFile(pidFile).empty(); }, 10));
    const pid_t zip = std::stoi(readFile(pidFile));
    closeAndWaitForTheEnd(*main);
    EXPECT_FALSE(alive(zip));
    EXPECT_TRUE(filesEndingIn(sim.path("/Volumes/Backup"), ".zip").empty()) << "a partial archive stays";
}

TEST_F(CloseDuringImageTest, TheCloseWaitsForAToolThatTakesASecondToEnd) {
    // A zip that has begun its archive and, asked to end, takes a second to
    // tidy up before it does.
    const std::string pidFile = sim.path("/zip.pid");
    zipDroppedFolderWith("#!/bin/sh\necho $$ > '" + pidFile + "'\nprintf partial > \"$3\"\n"
                         "trap 'sleep 1; exit 143' TERM\nwhile :; do sleep 0.05; done\n");
    if (HasFatalFailure()) return;
    pid_t zip = 0;
    bool zipAliveAtExit = true, archiveAtExit = true;
    ExitWatch exitWatch([&] {
        zipAliveAtExit = alive(zip);
        archiveAtExit = !filesEndingIn(sim.path("/Volumes/Backup"), ".zip").empty();
    });
    ASSERT_TRUE(startRun());
    ASSERT_TRUE(kit::runUntil([&] { return !filesEndingIn(sim.path("/Volumes/Backup"), ".zip").empty(); }, 30));
    ASSERT_TRUE(kit::runUntil([&] { return !readFile(pidFile).empty(); }, 10));
    zip = std::stoi(readFile(pidFile));
    closeAndWaitForTheEnd(*main);
    EXPECT_FALSE(zipAliveAtExit) << "the program ended before the zip tool";
    EXPECT_FALSE(archiveAtExit) << "the program ended with the partial archive still there";
}

}  // namespace dmgscreen

namespace diskmanager {

// The "Disk Manager" tab of the main window on the demo machine.
class CloseDuringFormatTest : public ::testing::Test {
protected:
    void SetUp() override {
        kit::ensureUiApp();
        ASSERT_TRUE(sim.ok()) << sim.error();
        ASSERT_TRUE(screentest::rescanSharedVolumes());
        main = std::make_shared<MainWindowController>();
        ASSERT_NE(main->window(), nullptr);
        main->window()->makeKeyAndOrderFront();
        main->TopDiskToolButtonAction(nullptr);
        page = main->repairDiskVC();
        ASSERT_NE(page, nullptr);
        ASSERT_TRUE(kit::runUntil([&] { return page->isShown() && rowOf("USB") >= 0; }, 30));
    }
    void TearDown() override {
        // Nothing of the test runs on once its machine has gone.
        kit::runUntil([] { return !DiskToolActions::isFormatting(); }, 60);
        kit::runFor(0.1);
        kit::runUntil([] { return !GetVolumes::Instance().isScanningVolumes(); }, 60);
        screentest::orderOutAllWindows();
    }

    long rowOf(const std::string& name) {
        for (size_t i = 0; i < page->rows().size(); ++i)
            if (page->rows()[i]->volumeName() == name) return long(i);
        return -1;
    }

    // Format on the volume's row, then Continue on the confirmation.
    void startFormat(const std::string& name) {
        page->shouldSelectRow(*page->parTableView(), rowOf(name));
        page->formatButtonAction(nullptr);
        std::shared_ptr<MakeSureFormatViewController> confirmation = page->makeSureFormatVC();
        ASSERT_NE(confirmation, nullptr);
        screentest::click(confirmation->okButton());
    }

    sim::SimRoot sim{"demo"};
    std::shared_ptr<MainWindowController> main;
    RepairDiskViewController* page = nullptr;
};

TEST_F(CloseDuringFormatTest, TheCloseWaitsForTheFormatOnItsPanelAndTheVolumeIsFormatted) {
    EnvGuard realTime("PELORIN_TIME_SCALE", "1");
    sim.setKnob("diskutil eraseVolume", "slow:3");
    bool formattingAtExit = true, windowShownAtExit = false;
    // The format's erases (the volume list's scans that its end sets off are
    // not the format's).
    const auto erases = [&] {
        std::vector<sim::JournalEntry> out;
        for (const auto& run : sim.journalFor("diskutil"))
            if (!run.args.empty() && run.args[0] == "eraseVolume") out.push_back(run);
        return out;
    };
    std::vector<sim::JournalEntry> erasesAtExit;
    ExitWatch exitWatch([&] {
        formattingAtExit = page->isFormatRunning() || DiskToolActions::isFormatting();
        windowShownAtExit = main->window()->isVisible();
        erasesAtExit = erases();
    });
    startFormat("USB");
    if (HasFatalFailure()) return;
    ASSERT_TRUE(kit::runUntil([&] { return screentest::onScreen(page->formatingVC()) && erases().size() == 1; }, 10));
    // Alt+F4: the close cannot stop the format, so it waits with the window
    // on its panel.
    QCloseEvent close;
    QApplication::sendEvent(kit::widgetOf(*main->window()), &close);
    kit::runFor(0.3);
    EXPECT_FALSE(gExitStatus.has_value()) << "the program ended in the middle of the format";
    EXPECT_TRUE(main->window()->isVisible());
    EXPECT_TRUE(screentest::onScreen(page->formatingVC()));

    ASSERT_TRUE(kit::runUntil([] { return gExitStatus.has_value(); }, 60));
    EXPECT_EQ(gExitStatus, std::optional<int>(0));
    EXPECT_FALSE(formattingAtExit);
    EXPECT_TRUE(windowShownAtExit);
    EXPECT_TRUE(page->lastFormat().ok);
    EXPECT_TRUE(fs::is_directory(sim.path("/Volumes/USB")));
    EXPECT_FALSE(fs::exists(sim.path("/Volumes/USB/readme.txt"))) << "the volume was not erased";
    ASSERT_EQ(erasesAtExit.size(), 1u);
    EXPECT_FALSE(alive(erasesAtExit[0].pid)) << "the erase outlives the program";
}

}  // namespace diskmanager

namespace clonescreen {

class CloseDuringCloneTest : public CloneScreenTest {
    // The clone's tests shorten the time for the whole program; the others
    // of this one keep theirs.
    EnvGuard keepTimeScale_{"PELORIN_TIME_SCALE", std::getenv("PELORIN_TIME_SCALE")};
};

TEST_F(CloseDuringCloneTest, TheRestoreEndsTheRestoreTool) {
    sim.setKnob("asr restore", "hang");
    chooseTarget(externalDisk());
    ExitWatch exitWatch;
    ASSERT_TRUE(startClone());
    ASSERT_TRUE(kit::runUntil([&] { return !sim.journalFor("asr").empty(); }, 60));
    closeAndWaitForTheEnd(*main, Close::WindowManager);
    const auto restores = sim.journalFor("asr");
    ASSERT_EQ(restores.size(), 1u);
    EXPECT_FALSE(alive(restores[0].pid)) << "the restore tool outlives the program";
    EXPECT_FALSE(OVBootable::OVShareInstance().isRunning());
    EXPECT_EQ(failureText(), "You have stopped the clone process.");
}

// The repair at the clone's end (mount the clone's Preboot, copy the
// cryptexes) is not stopped halfway: a close waits for it, and the program
// ends only after it, on the success view, with the clone complete.
SelectDrivceViewController* gRepairedScreen = nullptr;
bool gRepairingAtExit = true;
bool gSuccessShownAtExit = false;
void recordExitAfterRepair(int status) {
    gRepairingAtExit = gRepairedScreen->isRepairing();
    gSuccessShownAtExit = !gRepairedScreen->endView()->isHidden() && !gRepairedScreen->sussView()->isHidden();
    recordExit(status);
}

TEST_F(CloseDuringCloneTest, ThePrebootRepairIsWaitedFor) {
    sim.setKnob("diskutil mountDisk", "slow:2");
    chooseTarget(externalDisk());
    ExitWatch exitWatch;
    gRepairedScreen = screen;
    MainWindowController::exitProcess = recordExitAfterRepair;
    ASSERT_TRUE(startClone());
    ASSERT_TRUE(kit::runUntil([&] { return screen->isRepairing(); }, 60));
    closeAndWaitForTheEnd(*main);
    EXPECT_FALSE(gRepairingAtExit) << "the program ended during the repair";
    EXPECT_TRUE(gSuccessShownAtExit);

    // What the clone left: the system on its volume, the cryptexes on its
    // Preboot volume, and the repair's mount not still running (the volume
    // list's own scans, which the mount set off, are not the repair's).
    EXPECT_TRUE(fs::exists(sim.path("/Volumes/PelorinSystem/Users/alex/Documents/notes.txt")));
    const sim::Machine m = sim.machine();
    const sim::Volume* preboot = nullptr;
    for (const auto& d : m.disks)
        for (const auto& v : d.volumes)
            if (v.role == "Preboot" && v.mountPoint.rfind(sim.path("/Volumes/"), 0) == 0) preboot = &v;
    ASSERT_NE(preboot, nullptr) << "the clone's Preboot volume is not mounted";
    EXPECT_TRUE(fs::exists(preboot->mountPoint + "/Cryptexes/OS/os.clone.dmg"));
    for (const auto& run : sim.journalFor("diskutil"))
        if (run.args.at(0) == "mountDisk") EXPECT_FALSE(alive(run.pid));
}

}  // namespace clonescreen
