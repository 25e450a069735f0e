#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "kit/Process.h"
#include "kit/RunLoop.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"
#include "support/EnvGuard.h"

namespace {

std::shared_ptr<kit::Process> shell(const std::string& script) {
    auto p = kit::Process::create();
    p->setLaunchPath("/bin/sh");
    p->setArguments({"-c", script});
    return p;
}

}  // namespace

TEST(Process, OutputArrivesInOrderThenEndThenTermination) {
    kit::ensureMainThreadApp();
    auto p = shell("i=0; while [ $i -lt 3 ]; do echo line$i; sleep 0.05; i=$((i+1)); done; seq 1 50000");
    std::string all;
    int endMarks = 0;
    bool terminatedAfterEnd = false;
    bool terminated = false;
    p->setOutputHandler([&](const std::string& chunk) {
        EXPECT_EQ(endMarks, 0) << "data after the end marker";
        if (chunk.empty()) ++endMarks;
        all += chunk;
    });
    p->setTerminationHandler([&](kit::Process& proc) {
        terminatedAfterEnd = (endMarks == 1);
        EXPECT_FALSE(proc.isRunning());
        terminated = true;
    });
    ASSERT_TRUE(p->launch());
    ASSERT_TRUE(kit::runUntil([&] { return terminated; }, 20));
    std::string expected = "line0\nline1\nline2\n";
    for (int i = 1; i <= 50000; ++i) expected += std::to_string(i) + "\n";
    EXPECT_EQ(all, expected);
    EXPECT_EQ(endMarks, 1);
    EXPECT_TRUE(terminatedAfterEnd);
    EXPECT_TRUE(p->exitedCleanly());
}

TEST(Process, StandardInputIsWrittenThenClosed) {
    auto p = kit::Process::create();
    p->setLaunchPath("/bin/cat");
    p->setPipeStandardInput(true);
    p->setPipeStandardOutput(true);
    ASSERT_TRUE(p->launch());
    EXPECT_TRUE(p->writeInput("y\n"));
    EXPECT_TRUE(p->writeInput("second line\n"));
    p->closeInput();
    EXPECT_FALSE(p->writeInput("too late"));
    EXPECT_EQ(p->readAllOutput(), "y\nsecond line\n");
    EXPECT_EQ(p->waitUntilExit(), 0);
}

TEST(Process, TerminateStopsAndReapsTheChild) {
    auto p = kit::Process::create();
    p->setLaunchPath("/bin/sleep");
    p->setArguments({"30"});
    ASSERT_TRUE(p->launch());
    const pid_t pid = p->processIdentifier();
    EXPECT_TRUE(p->isRunning());
    p->terminate();
    p->waitUntilExit();
    EXPECT_FALSE(p->isRunning());
    EXPECT_TRUE(p->terminatedBySignal());
    EXPECT_EQ(p->terminationStatus(), SIGTERM);
    EXPECT_FALSE(p->exitedCleanly());
    // Reaped: no zombie is left for the pid.
    EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), -1);
    p->terminate();  // after the end: no effect, no stray signal
}

TEST(Process, ExitCodesWorkingFolderAndNullStreams) {
    auto p = shell("exit 7");
    ASSERT_TRUE(p->launch());
    EXPECT_EQ(p->waitUntilExit(), 7);
    EXPECT_FALSE(p->terminatedBySignal());

    const std::string dir = kit::temporaryDirectory();
    auto q = shell("pwd; echo hidden >&2");
    q->setCurrentDirectory(dir);
    q->setPipeStandardOutput(true);
    q->setStandardErrorToNull(true);
    ASSERT_TRUE(q->launch());
    EXPECT_EQ(q->readAllOutput(), dir.substr(0, dir.size() - 1) + "\n");
    q->waitUntilExit();
}

TEST(Process, AMissingProgramIsALaunchFailureNotACrash) {
    kit::ensureMainThreadApp();
    auto p = kit::Process::create();
    p->setLaunchPath("/no/such/tool");
    bool called = false;
    p->setTerminationHandler([&](kit::Process&) { called = true; });
    std::string error;
    EXPECT_FALSE(p->launch(&error));
    EXPECT_NE(error.find("/no/such/tool"), std::string::npos);
    EXPECT_FALSE(p->isRunning());
    kit::runUntil(nullptr, 0.05);
    EXPECT_FALSE(called);

    auto q = kit::Process::create();
    q->setLaunchPath(kit::temporaryDirectory());  // a folder
    EXPECT_FALSE(q->launch());
}

TEST(Process, WritingToAChildThatExitedFailsQuietly) {
    auto p = shell("exit 0");
    p->setPipeStandardInput(true);
    ASSERT_TRUE(p->launch());
    p->waitUntilExit();
    const std::string big(1 << 20, 'x');
    EXPECT_FALSE(p->writeInput(big));  // EPIPE, and we are still here
    EXPECT_FALSE(p->writeInput("again"));
}

TEST(Process, LivesOnWhenTheCallerLetsGo) {
    kit::ensureMainThreadApp();
    std::weak_ptr<kit::Process> weak;
    std::string out;
    bool terminated = false;
    {
        auto p = shell("sleep 0.1; echo late");
        p->setOutputHandler([&](const std::string& chunk) { out += chunk; });
        p->setTerminationHandler([&](kit::Process&) { terminated = true; });
        ASSERT_TRUE(p->launch());
        weak = p;
    }
    EXPECT_FALSE(weak.expired());
    ASSERT_TRUE(kit::runUntil([&] { return terminated; }, 10));
    EXPECT_EQ(out, "late\n");
    // Once everything was delivered, nothing holds it any more.
    EXPECT_TRUE(kit::runUntil([&] { return weak.expired(); }, 5));
}

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool alive(pid_t pid) { return ::kill(pid, 0) == 0; }

pid_t readPid(const std::string& path) {
    std::ifstream in(path);
    pid_t pid = 0;
    in >> pid;
    return pid;
}

// Whether a process still runs: one that has ended and waits to be reaped by
// whoever adopted it (a zombie) runs no more.
bool running(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z' && stat[close + 2] != 'X';
}

// The temporary files zip works in ("zi" and six characters) in a folder.
std::vector<std::string> zipWorkFiles(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (name.size() == 8 && name.rfind("zi", 0) == 0) out.push_back(name);
    }
    return out;
}

// Starts a child as the program does, from a thread that ends at once.
std::shared_ptr<kit::Process> launchFromAShortLivedThread(const std::string& path, const std::vector<std::string>& args,
                                                          bool endsWithParent) {
    std::shared_ptr<kit::Process> p = kit::Process::create();
    p->setLaunchPath(path);
    p->setArguments(args);
    p->setStandardOutputToNull(true);
    p->setStandardErrorToNull(true);
    if (!endsWithParent) p->setEndsWithParent(false);
    std::thread([&] { p->launch(); }).join();
    return p;
}

}  // namespace

// A program killed while its tools run: the zip it started ends too, taking
// its temporary file along, though the thread that started it ended long
// before; a child told not to end with it (an erase) works on.
TEST(Process, ToolsEndWithTheProgramThatStartedThemUnlessToldNotTo) {
    if (const char* dir = std::getenv("PELORIN_TEST_PROGRAM_DIR")) {
        const std::string d = dir;
        // zip waits on the named pipe with its archive begun.
        auto zip = launchFromAShortLivedThread("/usr/bin/zip", {"-FI", d + "/out.zip", d + "/fifo"}, true);
        auto erase = launchFromAShortLivedThread("/bin/sleep", {"600"}, false);
        std::ofstream(d + "/pids.tmp") << zip->processIdentifier() << " " << erase->processIdentifier() << "\n";
        std::filesystem::rename(d + "/pids.tmp", d + "/pids");
        for (;;) ::pause();
    }
    char dir[] = "/tmp/pelorin-parent-death-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string d = dir;
    ASSERT_EQ(::mkfifo((d + "/fifo").c_str(), 0600), 0);
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = 0;
    const std::string filter = "--gtest_filter=Process.ToolsEndWithTheProgramThatStartedThemUnlessToldNotTo";
    const pid_t program = ::fork();
    if (program == 0) {
        ::setenv("PELORIN_TEST_PROGRAM_DIR", dir, 1);
        ::execl(self, self, filter.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(program, 0);
    struct Reap {
        pid_t pid;
        ~Reap() {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    } reapProgram{program};
    ASSERT_TRUE(kit::runUntil([&] { return std::filesystem::exists(d + "/pids"); }, 30));
    pid_t zip = 0, erase = 0;
    std::ifstream(d + "/pids") >> zip >> erase;
    ASSERT_GT(zip, 0);
    ASSERT_GT(erase, 0);
    struct End {
        pid_t pid;
        ~End() { ::kill(pid, SIGKILL); }
    } endErase{erase}, endZip{zip};
    ASSERT_TRUE(kit::runUntil([&] { return !zipWorkFiles(d).empty(); }, 30));
    // The end of the thread that started them ended neither.
    kit::runFor(0.2);
    EXPECT_TRUE(running(zip));
    EXPECT_TRUE(running(erase));

    ::kill(program, SIGKILL);
    ::waitpid(program, nullptr, 0);
    EXPECT_TRUE(kit::runUntil([&] { return !running(zip); }, 10)) << "zip works on after the program died";
    EXPECT_EQ(zipWorkFiles(d), std::vector<std::string>{}) << "zip's temporary file stays";
    EXPECT_FALSE(std::filesystem::exists(d + "/out.zip"));
    kit::runFor(0.2);
    EXPECT_TRUE(running(erase)) << "the erase was cut short";
    std::filesystem::remove_all(d);
}

TEST(LimitedShell, RunsToItsEndWithStatusAndOutput) {
    kit::ShellRunLimits limits;
    limits.timeoutSeconds = 30;
    limits.captureOutput = true;
    auto r = kit::runShellLimited("echo one; echo two >&1; exit 4", limits);
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.finished());
    EXPECT_FALSE(r.succeeded());
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.output, "one\ntwo\n");

    // Large output is read while the line runs, so the writer never stalls.
    r = kit::runShellLimited("seq 1 200000", limits);
    EXPECT_TRUE(r.succeeded());
    EXPECT_EQ(r.output.size(), 1288895u);

    kit::ShellRunLimits plain;
    EXPECT_TRUE(kit::runShellLimited("true", plain).succeeded());
    EXPECT_EQ(kit::runShellLimited("kill -TERM $$", plain).status, 128 + SIGTERM);
    EXPECT_FALSE(kit::runShellLimited(std::string("true\0", 5), plain).started);
}

TEST(LimitedShell, AHungLineEndsAtItsTimeOutWithItsWholeFamily) {
    const std::string pidFile = kit::temporaryDirectory() + "limited-shell-child.pid";
    std::filesystem::remove(pidFile);
    kit::ShellRunLimits limits;
    limits.timeoutSeconds = 0.5;
    limits.captureOutput = true;
    const auto start = std::chrono::steady_clock::now();
    // A child that doesn't share the shell's pid, that holds the output pipe and
    // that ignores the polite signal.
    auto r = kit::runShellLimited("echo before; (trap '' TERM; sleep 60) & echo $! > '" + pidFile + "'; wait", limits);
    EXPECT_LT(secondsSince(start), 5.0);
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.timedOut);
    EXPECT_FALSE(r.finished());
    EXPECT_EQ(r.output, "before\n");
    const pid_t child = readPid(pidFile);
    ASSERT_GT(child, 0);
    EXPECT_TRUE(kit::runUntil([&] { return !alive(child); }, 5)) << "the hung child outlived the time-out";
}

TEST(LimitedShell, AStopEndsTheLineAtOnceAndTheTimeScaleShortensTheTimeOutToNoLessThanFiveSeconds) {
    std::atomic<bool> stop{false};
    kit::ShellRunLimits limits;
    limits.timeoutSeconds = 60;
    limits.stop = [&] { return stop.load(); };
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    auto start = std::chrono::steady_clock::now();
    auto r = kit::runShellLimited("sleep 60", limits);
    stopper.join();
    EXPECT_LT(secondsSince(start), 3.0);
    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(r.timedOut);

    EnvGuard scale("PELORIN_TIME_SCALE", "0.01");
    kit::ShellRunLimits scaled;
    scaled.timeoutSeconds = 60;  // 0.6 s at this scale, but never under 5 s
    start = std::chrono::steady_clock::now();
    EXPECT_TRUE(kit::runShellLimited("sleep 60", scaled).timedOut);
    EXPECT_GE(secondsSince(start), 4.9);
    EXPECT_LT(secondsSince(start), 15.0);
}

TEST(LimitedShell, CapturedOutputIsReadToItsEndThoughTheShellHasExited) {
    // A writer left in the background holds the output open after the shell ends.
    const std::string line = "(sleep 0.2; echo late) & echo early";
    kit::ShellRunLimits limits;
    limits.timeoutSeconds = 30;
    limits.captureOutput = true;
    auto r = kit::runShellLimited(line, limits);
    EXPECT_TRUE(r.succeeded());
    EXPECT_EQ(r.output, "early\nlate\n");
    EXPECT_EQ(kit::runShellCapture(line), std::optional<std::string>("early\nlate\n"));
}

TEST(LimitedShell, NoTimeOutLetsALineRunLongerThanAnyBoundWould) {
    // At this scale every bound the kit uses (a minute, ten minutes) comes to
    // the five seconds below which none is taken.
    EnvGuard scale("PELORIN_TIME_SCALE", "0.001");
    kit::ShellRunLimits limits;
    limits.timeoutSeconds = 0;
    limits.captureOutput = true;
    auto r = kit::runShellLimited("sleep 5.5; echo done", limits);
    EXPECT_FALSE(r.timedOut);
    EXPECT_TRUE(r.succeeded());
    EXPECT_EQ(r.output, "done\n");
}
