// The tool runner, the shell captures, the clone log, the folder test and the
// clone volume naming.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "Disk/GetVolumes.h"
#include "Disk/OVPublicUtilities.h"
#include "Disk/OVTask.h"
#include "Disk/OVUSBControl.h"
#include "DiskTestRoot.h"
#include "kit/RunLoop.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"
#include "support/EnvGuard.h"
#include "support/RerunTest.h"

namespace {

// Every kit wait of this program runs at 1/50 of its length: the runner's
// 60 s floor lasts 1.2 s, its 1 s poll 20 ms.
const int kScaleSet = [] { return ::setenv("PELORIN_TIME_SCALE", "0.02", 1); }();

double runTask(OVTask& task, bool keepMainLoopRunning) {
    kit::ensureMainThreadApp();
    std::atomic<bool> done{false};
    const auto start = std::chrono::steady_clock::now();
    std::thread worker([&] {
        task.OVStartTask();
        done = true;
    });
    if (keepMainLoopRunning) kit::runUntil([&] { return done.load(); }, 30);
    worker.join();  // otherwise the main thread is busy here and its loop never runs
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(ToolRunner, TimeOutIsNeverBelowAMinute) {
    OVTask task;
    task.OVSetLaunchPath(std::string("/bin/sleep"));
    task.OVSetArguments(std::vector<std::string>{"30"});
    task.OVSetTimeoutCount(0);
    const double took = runTask(task, true);
    EXPECT_EQ(task.timeoutCount(), 60.0);
    EXPECT_TRUE(task.timedOutOrStopped());
    EXPECT_GE(took, kit::scaled(60) * 0.95);
    EXPECT_LT(took, kit::scaled(60) + 2.0);

    task.OVSetTimeoutCount(120);
    const double longer = runTask(task, true);
    EXPECT_GE(longer, kit::scaled(120) * 0.95);
    EXPECT_LT(longer, kit::scaled(120) + 2.0);
}

TEST(ToolRunner, TimeOutHoldsWhileTheMainLoopIsBusy) {
    OVTask task;
    task.OVSetLaunchPath(std::string("/bin/sleep"));
    task.OVSetArguments(std::vector<std::string>{"30"});
    task.OVSetTimeoutCount(60);
    const double took = runTask(task, false);
    EXPECT_TRUE(task.timedOutOrStopped());
    EXPECT_LT(took, kit::scaled(60) + 2.0);
}

TEST(ToolRunner, QuickExitReturnsAfterOnePoll) {
    OVTask task;
    task.OVSetLaunchPath(std::string("/bin/true"));
    task.OVSetArguments(std::vector<std::string>{});
    const double took = runTask(task, true);
    EXPECT_FALSE(task.timedOutOrStopped());
    EXPECT_LT(took, 1.0);
}

TEST(ToolRunner, TheChildIsLookedAtOnceASecondOfTheTimeScale) {
    EnvGuard scale("PELORIN_TIME_SCALE", "0.2");  // a look every 0.2 s
    OVTask task;
    task.OVSetLaunchPath(std::string("/bin/sleep"));
    task.OVSetArguments(std::vector<std::string>{"0.3"});
    const double took = runTask(task, true);
    EXPECT_FALSE(task.timedOutOrStopped());
    EXPECT_GE(took, 0.3);
    // Noticed at the look after its end; a look every 5 s (1.0 s here) would be later.
    EXPECT_LT(took, 0.3 + 2 * kit::scaled(1.0));
}

TEST(ToolRunner, StopTerminatesTheChildAndIdleStopIsClearedByTheNextRun) {
    OVTask task;
    const std::string marker = kit::temporaryDirectory() + "runner-stop-marker";
    std::filesystem::remove(marker);
    task.OVSetLaunchPath(std::string("/bin/sh"));
    // The marker appears only if the child outlives the stop.
    task.OVSetArguments(std::vector<std::string>{"-c", "sleep 3; touch '" + marker + "'"});
    task.OVSetTimeoutCount(600);
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        task.OVStopTask();
    });
    const double took = runTask(task, true);
    stopper.join();
    EXPECT_LT(took, 1.5);
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    EXPECT_FALSE(std::filesystem::exists(marker));

    task.OVStopTask();  // idle: only the flag
    task.OVSetLaunchPath(std::string("/bin/true"));
    task.OVSetArguments(std::vector<std::string>{});
    runTask(task, true);
    EXPECT_FALSE(task.timedOutOrStopped());
}

TEST(ToolRunner, UnstartableProgramReturnsAndSettingsPersist) {
    OVTask task;
    task.OVSetLaunchPath(std::string("/nonexistent/tool"));
    task.OVSetArguments(std::vector<std::string>{"a", "b"});
    const double took = runTask(task, true);
    EXPECT_LT(took, 1.0);

    task.OVSetLaunchPath(std::nullopt);
    task.OVSetArguments(std::nullopt);
    EXPECT_EQ(task.launchPath(), "/nonexistent/tool");
    EXPECT_EQ(task.arguments(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(&OVTask::OVShareInstance(), &OVTask::OVShareInstance());
}

TEST(Capture, OutputLandsInTheNamedFileOfThePrivateTemporaryFolder) {
    EXPECT_FALSE(OVExecCommand(nullptr).has_value());
    EXPECT_FALSE(execGetzieCommand(nullptr).has_value());
    EXPECT_FALSE(GetExecCommand(nullptr).has_value());

    auto path = OVExecCommand("printf '<plist><dict><key>A</key><string>1</string></dict></plist>'");
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, kit::temporaryDirectory() + "OVTemp.plist");
    auto value = kit::readPlistFile(*path);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->getString("A"), std::optional<std::string>("1"));

    EXPECT_EQ(execGetzieCommand("true"), std::optional<std::string>(kit::temporaryDirectory() + "PelorinTemp.plist"));
    EXPECT_EQ(GetExecCommand("true"), std::optional<std::string>(kit::temporaryDirectory() + "SVDTray.plist"));

    // A failing command still gives the path; the old file is gone, the new one empty.
    path = OVExecCommand("exit 3");
    ASSERT_TRUE(path.has_value());
    EXPECT_FALSE(kit::readPlistFile(*path).has_value());
}

// The capture file's path reaches the shell quoted, whatever the temporary
// folder is called. That folder is fixed once per process, so the capture runs
// in a fresh run of this program with TMPDIR set.
TEST(Capture, ATemporaryFolderNamedWithABlankAndShellCharactersStillGetsTheOutput) {
    if (const char* odd = std::getenv("PELORIN_TEST_ODD_TMPDIR")) {
        ASSERT_EQ(kit::temporaryDirectory().rfind(std::string(odd) + "/Pelorin-", 0), 0u) << kit::temporaryDirectory();
        auto path = OVExecCommand("printf '<plist><string>x</string></plist>'");
        ASSERT_TRUE(path.has_value());
        EXPECT_EQ(*path, kit::temporaryDirectory() + "OVTemp.plist");
        auto value = kit::readPlistFile(*path);
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(value->asString(), std::optional<std::string>("x"));
        return;
    }
    const std::string odd = kit::temporaryDirectory() + "odd tmp;$(touch pwned)&'q'";
    std::filesystem::create_directories(odd);
    EXPECT_TRUE(rerunThisTest([&] {
        // Anything of the path that ran as a command would act here.
        if (::chdir(odd.c_str()) != 0) ::_exit(126);
        ::setenv("TMPDIR", odd.c_str(), 1);
        ::setenv("PELORIN_TEST_ODD_TMPDIR", odd.c_str(), 1);
    }));
    EXPECT_FALSE(std::filesystem::exists(odd + "/pwned"));
    std::filesystem::remove_all(odd);
}

TEST(Capture, OverlongLineIsRefusedNotCut) {
    const std::string marker = kit::temporaryDirectory() + "capture-overlong-marker";
    std::filesystem::remove(marker);
    // Cut at the limit, this line would run "touch <marker>" alone.
    const std::string line = "touch '" + marker + "' " + std::string(2100, 'x');
    EXPECT_FALSE(OVExecCommand(line.c_str()).has_value());
    EXPECT_FALSE(std::filesystem::exists(marker));

    // Up to the limit it runs whole.
    const std::string path = kit::temporaryDirectory() + "OVTemp.plist";
    const std::string suffix = " > " + kit::shellQuote(path);
    std::string fits = "touch '" + marker + "' #";
    fits += std::string(2047 - fits.size() - suffix.size(), 'y');
    EXPECT_TRUE(OVExecCommand(fits.c_str()).has_value());
    EXPECT_TRUE(std::filesystem::exists(marker));
}

TEST(Capture, ConcurrentCapturesOfOneFileNeverReadEachOther) {
    std::atomic<int> mixed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &mixed] {
            const std::string mine = "T" + std::to_string(t);
            for (int i = 0; i < 15; ++i) {
                auto v = OVCaptureValue("sleep 0.01; printf '<plist><string>" + mine + "</string></plist>'",
                                        "PelorinTemp.plist");
                if (!v || v->asString() != std::optional<std::string>(mine)) ++mixed;
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(mixed.load(), 0);
}

TEST(Capture, DoCommandParsesPipedOutputOrGivesNothing) {
    auto v = DoCommand("printf '<plist><array><string>x</string></array></plist>'");
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->size(), 1u);
    EXPECT_FALSE(DoCommand("echo this is no property list").has_value());
    EXPECT_FALSE(DoCommand("exit 1").has_value());
}

TEST(FolderTest, OnlyExistingDirectories) {
    const std::string dir = kit::temporaryDirectory() + "folder-test";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/file") << "x";
    EXPECT_TRUE(OVCheckFolderExist(dir));
    EXPECT_FALSE(OVCheckFolderExist(dir + "/file"));
    EXPECT_FALSE(OVCheckFolderExist(dir + "/missing"));
    EXPECT_FALSE(OVCheckFolderExist(std::nullopt));
}

TEST(CloneLog, EntriesAreTimeStampedLinesAppendedWhole) {
    disktest::ScopedRoot root;
    OVUninitLog();
    EXPECT_EQ(OVInitLog(), 0);
    EXPECT_EQ(OVLogPath(), root.path() + "/tmp/OrvaneBootableDataRecovery.txt");
    EXPECT_EQ(OVLog("task terminated"), 0);
    EXPECT_EQ(OVLog("erase %@ with %d", std::string("disk4"), 600), 0);
    EXPECT_EQ(OVLog(nullptr), -1);

    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 100; ++i) OVLog("thread %d entry %d %@", t, i, std::string(200, 'z'));
        });
    for (auto& th : threads) th.join();
    OVUninitLog();

    std::ifstream in(root.path() + "/tmp/OrvaneBootableDataRecovery.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 402u);
    const std::regex stamp(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}  (.*)$)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, stamp));
    EXPECT_EQ(m[1], "task terminated");
    ASSERT_TRUE(std::regex_match(lines[1], m, stamp));
    EXPECT_EQ(m[1], "erase disk4 with 600");
    const std::regex threaded(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}  thread \d entry \d+ z{200}$)");
    for (size_t i = 2; i < lines.size(); ++i) EXPECT_TRUE(std::regex_match(lines[i], threaded)) << lines[i];

    // Closed, the log opens again on demand and appends.
    EXPECT_EQ(OVLog("again"), 0);
    OVUninitLog();
    EXPECT_EQ(disktest::readFile(root.path() + "/tmp/OrvaneBootableDataRecovery.txt").substr(0, lines[0].size()), lines[0]);
}

TEST(CloneLog, UnopenableLogIsReported) {
    disktest::ScopedRoot root;
    OVUninitLog();
    std::filesystem::remove_all(root.path() + "/tmp");
    EXPECT_EQ(OVInitLog(), -1);
    EXPECT_EQ(OVLog("nowhere"), -1);
    OVUninitLog();
}

TEST(CloneNaming, FirstFreeFolderUnderVolumes) {
    disktest::ScopedRoot root;
    OVUSBControl& usb = OVUSBControl::OVShareInstance();
    usb.HlbCreateVolumeName();
    EXPECT_EQ(usb.OVGetOrvaneVolumeName(), "PelorinSystem");

    std::filesystem::create_directories(root.path() + "/Volumes/PelorinSystem");
    std::filesystem::create_directories(root.path() + "/Volumes/PelorinSystem1");
    usb.HlbCreateVolumeName();
    EXPECT_EQ(usb.OVGetOrvaneVolumeName(), "PelorinSystem2");

    std::filesystem::remove(root.path() + "/Volumes/PelorinSystem1");
    usb.HlbCreateVolumeName();
    EXPECT_EQ(usb.OVGetOrvaneVolumeName(), "PelorinSystem1");
    EXPECT_EQ(usb.OVGetOrvaneVolumePath(), root.path() + "/Volumes/PelorinSystem1");
}

TEST(CloneNaming, ARegularFileDoesNotTakeTheName) {
    disktest::ScopedRoot root;
    std::ofstream(root.path() + "/Volumes/PelorinSystem") << "not a volume";
    OVUSBControl::OVShareInstance().HlbCreateVolumeName();
    EXPECT_EQ(OVUSBControl::OVShareInstance().OVGetOrvaneVolumeName(), "PelorinSystem");
}

TEST(Capture, AHungToolIsEndedAtTheTimeOutOrAtAStop) {
    const auto started = std::chrono::steady_clock::now();
    OVCapture hung = OVCaptureLimited("{ echo partial; sleep 60; }", "OVTemp.plist", 2);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8));
    EXPECT_TRUE(hung.ran);
    EXPECT_TRUE(hung.timedOut);
    EXPECT_FALSE(hung.ok());
    EXPECT_EQ(hung.path, kit::temporaryDirectory() + "OVTemp.plist");
    EXPECT_EQ(hung.output, "partial\n");

    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop = true;
    });
    OVCapture stopped = OVCaptureLimited("sleep 60", "OVTemp.plist", 60, [&] { return stop.load(); });
    stopper.join();
    EXPECT_TRUE(stopped.stopped);
    EXPECT_FALSE(stopped.ok());

    OVCapture fine = OVCaptureLimited("{ printf '<plist><string>x</string></plist>'; exit 2; }", "OVTemp.plist", 30);
    EXPECT_TRUE(fine.ran);
    EXPECT_EQ(fine.status, 2);
    EXPECT_FALSE(fine.ok());
    ASSERT_TRUE(fine.value().has_value());
    EXPECT_EQ(fine.value()->asString(), std::optional<std::string>("x"));
    // No private file is left beside the capture file.
    for (const auto& e : std::filesystem::directory_iterator(kit::temporaryDirectory()))
        EXPECT_EQ(e.path().filename().string().rfind("OVTemp.plist.", 0), std::string::npos) << e.path();
}
