// Closing the main window while a job runs, on the simulated machine: each
// kind of job (copy, disk image, zip, clone) is stopped as its own Stop does,
// the close waits for its tools and its clean-up, and only then does the
// program end, with status 0. Nothing partial is left under its final name,
// no image stays attached and no tool outlives the program.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCloseEvent>
#include <chrono>
#include <optional>

#include "clonescreen/CloneScreenTestUtil.h"
#include "copyscreen/CopyScreenTestUtil.h"
#include "dmgscreen/DmgScreenTestUtil.h"
#include "kit/ui/QtBridge.h"

namespace {

namespace fs = std::filesystem;

// What the program's end was asked with; the test stands in for the end.
std::optional<int> gExitStatus;
void recordExit(int status) { gExitStatus = status; }

// Replaces the program's end for one test and puts it back afterwards.
class ExitWatch {
public:
    ExitWatch() : saved_(MainWindowController::exitProcess) {
        gExitStatus.reset();
        MainWindowController::exitProcess = recordExit;
    }
    ~ExitWatch() { MainWindowController::exitProcess = saved_; }

private:
    void (*saved_)(int);
};

// A file of `bytes` whose blocks are all allocated (read back as zeros): a
// copy of it writes every byte, which holds the job for a while.
void makeLargeFile(const std::string& path, off_t bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::posix_fallocate(fd, 0, bytes), 0) << path;
    ::close(fd);
}

constexpr off_t kLarge = off_t(2) << 30;   // 2 GB

// The copy of big.bin into folder has begun: a large file is written under a
// hidden ".part" name and takes its own only once complete.
bool bigFileBegun(const std::string& folder) {
    return fs::exists(folder + "/big.bin") || !screentest::filesEndingIn(folder, ".part").empty();
}

// Whether a process still runs: one that has ended but waits to be reaped by
// whoever adopted it (a zombie) runs no more.
bool alive(pid_t pid) {
    if (pid <= 0 || ::kill(pid, 0) != 0) return false;
    const std::string stat = screentest::readFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] != 'Z';
}

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

}  // namespace dmgscreen

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

}  // namespace clonescreen
