#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/EnvGuard.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"

namespace {

// Each word quoted into a line must come back from printf exactly.
std::string echoThroughShell(const std::string& word) {
    auto out = kit::runShellCapture("printf '%s' " + kit::shellQuote(word));
    return out.value_or("<failed>");
}

}  // namespace

TEST(Shell, QuotedWordsReachTheProgramLiterally) {
    const std::string hostile[] = {
        "plain",
        "",
        "two words",
        "it's",
        "'''",
        "\"double\"",
        "$(touch pwned)",
        "`touch pwned`",
        "${HOME}",
        "a;b|c&d>e<f",
        "line1\nline2",
        "-n",
        "--help",
        "back\\slash",
        "*?[a]~",
        "日本語 Volume",
    };
    const std::string dir = kit::temporaryDirectory();
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    for (const std::string& w : hostile) EXPECT_EQ(echoThroughShell(w), w) << w;
    struct stat st {};
    EXPECT_NE(::stat((dir + "pwned").c_str(), &st), 0) << "a quoted word was executed";
}

TEST(Shell, LeadingDashReachesTheProgramAsAnArgument) {
    // The program still sees "-rf" as an option-looking word; quoting only keeps
    // the shell out of it. Here it must be one argv entry, unchanged.
    auto out = kit::runShellCapture("for a in " + kit::shellQuote("-rf x") + "; do printf '[%s]' \"$a\"; done");
    EXPECT_EQ(out, "[-rf x]");
}

TEST(Shell, ExitCodesAndSignalsAreDecoded) {
    EXPECT_EQ(kit::runShell("true"), 0);
    EXPECT_EQ(kit::runShell("exit 3"), 3);
    EXPECT_EQ(kit::runShell("exit 255"), 255);
    EXPECT_EQ(kit::runShell("kill -TERM $$"), 128 + SIGTERM);
    EXPECT_EQ(kit::runShell("kill -KILL $$"), 128 + SIGKILL);
    EXPECT_EQ(kit::runShell("no-such-command-here 2>/dev/null"), 127);
}

TEST(Shell, OverlongOrNulLinesAreRefusedNotCut) {
    const std::string dir = kit::temporaryDirectory();
    const std::string marker = dir + "long-line-ran";
    std::string line = "touch " + kit::shellQuote(marker) + " #";
    line.append(kit::kMaxShellLine, 'x');
    EXPECT_EQ(kit::runShell(line), -1);
    EXPECT_FALSE(kit::runShellCapture(line));
    EXPECT_NE(::access(marker.c_str(), F_OK), 0);

    EXPECT_EQ(kit::runShell(std::string("touch ") + kit::shellQuote(marker) + std::string("\0; true", 7)), -1);
    EXPECT_NE(::access(marker.c_str(), F_OK), 0);

    // Just under the limit still runs.
    std::string fits = "true #";
    fits.append(kit::kMaxShellLine - fits.size(), 'x');
    EXPECT_EQ(kit::runShell(fits), 0);
}

TEST(Shell, ChildrenFindTheRootsToolsFirstAndGetDefaultSignals) {
    const std::string root = kit::temporaryDirectory() + "shellroot";
    std::filesystem::create_directories(root + "/usr/sbin");
    {
        std::ofstream tool(root + "/usr/sbin/diskutil");
        tool << "#!/bin/sh\necho stand-in \"$@\"\n";
    }
    ::chmod((root + "/usr/sbin/diskutil").c_str(), 0755);
    EnvGuard env("PELORIN_SYSROOT", root.c_str());
    EXPECT_EQ(kit::runShellCapture("diskutil list -plist"), "stand-in list -plist\n");

    // We ignore SIGPIPE ourselves; a pipeline child must still die of it. The
    // two writers share one pipe, so only the lines are certain, not their order.
    ::signal(SIGPIPE, SIG_IGN);
    auto out = kit::runShellCapture("exec 3>&1; { yes; echo $? >&3; } | head -n 1");
    ASSERT_TRUE(out);
    EXPECT_TRUE(*out == "y\n141\n" || *out == "141\ny\n") << *out;
}

TEST(Shell, CaptureKeepsOutputOfAFailingLine) {
    EXPECT_EQ(kit::runShellCapture("echo partial; exit 1"), "partial\n");
}
