#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <atomic>
#include <string>

#include "kit/Process.h"
#include "kit/RunLoop.h"
#include "kit/SysPath.h"

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
