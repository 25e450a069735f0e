// The journal must give back exactly what each run was given, whatever bytes
// its arguments hold, and keep concurrent runs apart.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ToolRun.h"
#include "sim/Journal.h"
#include "support/SimRoot.h"

namespace {

TEST(Journal, EncodingRoundTripsAnyBytes) {
    std::string everyByte;
    for (int c = 0; c < 256; ++c) everyByte += static_cast<char>(c);
    for (const std::string& s : {std::string(""), std::string("plain"), std::string("a\tb\nc\r%41%"), everyByte,
                                 std::string("%"), std::string("%4"), std::string("100%")}) {
        const std::string enc = sim::journalEncode(s);
        EXPECT_EQ(enc.find('\t'), std::string::npos);
        EXPECT_EQ(enc.find('\n'), std::string::npos);
        EXPECT_EQ(sim::journalDecode(enc), s);
    }
}

TEST(Journal, RunsKeepTheirArgumentsStdinAndEvents) {
    sim::SimRoot sim("clone");
    ASSERT_TRUE(sim.ok()) << sim.error();
    sim.clearJournal();
    const std::vector<std::string> args{"", "two words", "quote\"s and 'apostrophes'", "$(x) `y`", "line\nbreak",
                                        "tab\there", "%20", ""};
    sim::journalRun("asr", args);
    sim::journalStdin("asr", "y");
    sim::journalEvent("asr", "SIGTERM");
    sim::journalStdin("asr", "\n");
    sim::journalRun("asr", {});  // a later run of the same process starts a new entry
    sim::journalStdin("asr", "n");

    const auto runs = sim.journal();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].tool, "asr");
    EXPECT_EQ(runs[0].args, args);
    EXPECT_EQ(runs[0].stdinData, "y\n");
    EXPECT_EQ(runs[0].events, std::vector<std::string>{"SIGTERM"});
    EXPECT_TRUE(runs[1].args.empty());
    EXPECT_EQ(runs[1].stdinData, "n");
}

TEST(Journal, ParallelRunsNeverInterleave) {
    sim::SimRoot sim("clone");
    ASSERT_TRUE(sim.ok()) << sim.error();
    sim.clearJournal();
    const std::string big(6000, 'x');  // records larger than a pipe buffer
    constexpr int kChildren = 8, kRecords = 40;
    std::vector<pid_t> children;
    for (int c = 0; c < kChildren; ++c) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            for (int i = 0; i < kRecords; ++i) sim::journalRun("tool" + std::to_string(c), {std::to_string(i), big});
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) ::waitpid(pid, nullptr, 0);
    const auto runs = sim.journal();
    ASSERT_EQ(runs.size(), static_cast<size_t>(kChildren * kRecords));
    std::vector<int> next(kChildren, 0);
    for (const auto& r : runs) {
        ASSERT_EQ(r.args.size(), 2u);
        EXPECT_EQ(r.args[1], big);
        const int c = std::stoi(r.tool.substr(4));
        EXPECT_EQ(std::stoi(r.args[0]), next[c]++);  // each process's records in its order
    }
}

TEST(Journal, ToolsRecordTheirRunsAsGiven) {
    sim::SimRoot sim("clone");
    ASSERT_TRUE(sim.ok()) << sim.error();
    sim.clearJournal();
    simtest::run({"diskutil", "info", "-plist", "a b\"c"});
    simtest::run({"diskutil", "unmountDisk", "/dev/disk2"});
    const auto runs = sim.journalFor("diskutil");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].args, (std::vector<std::string>{"info", "-plist", "a b\"c"}));
    EXPECT_EQ(runs[1].args, (std::vector<std::string>{"unmountDisk", "/dev/disk2"}));
}

}  // namespace
