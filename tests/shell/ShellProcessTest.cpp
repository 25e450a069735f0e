// The program as a process on a simulated machine: the launcher check, and
// one running copy per bundle identifier.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "ShellTestUtil.h"
#include "kit/Plist.h"
#include "support/SimRoot.h"

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

const std::string kBundle = PELORIN_BUNDLE_DIR;

// A copy of the bundle inside a launcher application, three levels down:
// <dir>/Launcher.app/Contents/Library/Pelorin.app. The launcher's executable
// records its arguments.
struct NestedBundle {
    std::string launcher, bundle, marker;
    explicit NestedBundle(const std::string& dir) {
        launcher = dir + "/Launcher.app";
        bundle = launcher + "/Contents/Library/Pelorin.app";
        marker = dir + "/launcher-ran.txt";
        fs::create_directories(bundle + "/Contents/MacOS");
        fs::copy_file(kBundle + "/Contents/Info.plist", bundle + "/Contents/Info.plist");
        fs::create_symlink(kBundle + "/Contents/MacOS/Pelorin", bundle + "/Contents/MacOS/Pelorin");
        fs::create_directory_symlink(kBundle + "/Contents/Resources", bundle + "/Contents/Resources");
        fs::create_directories(launcher + "/Contents/MacOS");
        kit::Value info = kit::Value::dict();
        info.set("CFBundleExecutable", "Launcher");
        info.set("CFBundleIdentifier", "org.pelorin.test.Launcher");
        kit::writePlistFile(launcher + "/Contents/Info.plist", info);
        writeFile(launcher + "/Contents/MacOS/Launcher", "#!/bin/sh\necho \"$@\" > '" + marker + "'\n");
        fs::permissions(launcher + "/Contents/MacOS/Launcher", fs::perms::owner_all);
    }
    std::string executable() const { return bundle + "/Contents/MacOS/Pelorin"; }
};

std::map<std::string, std::string> appEnv(const sim::SimRoot& root, const std::string& bundle) {
    // No session bus: the display-sleep assertion must not reach the tester's desktop.
    // Leak reports of the toolkit's process-long objects would turn a clean exit into a failure.
    // The copies' log lines are read from their output, whatever was inherited.
    return {{"PELORIN_SYSROOT", root.root()},
            {"PELORIN_BUNDLE", bundle},
            {"PELORIN_LOG", "stderr"},
            {"DBUS_SESSION_BUS_ADDRESS", ""},
            {"ASAN_OPTIONS", "detect_leaks=0"}};
}

std::string registryInfo(const sim::SimRoot& root) { return root.path("/.pelorin/apps/org.pelorin.Pelorin.plist"); }

// The copy that holds the place has published itself and made its window.
// A copy that never started or has ended will not get there: no use waiting on.
testing::AssertionResult runningCopyReady(const sim::SimRoot& root, Child& app, const std::string& log) {
    const auto gone = [&] { return !app.started() || app.waitExit(0).has_value(); };
    const bool ready = waitFor([&] {
        auto info = kit::readPlistFile(registryInfo(root));
        return (info && info->getInt("ProcessIdentifier") == app.pid() &&
                readFile(log).find("Add (") != std::string::npos) ||
               gone();
    }, 60.0) && !gone();
    if (ready) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "the copy is not ready: " << app.describe() << "; disk tool runs: "
                                       << root.journalFor("diskutil").size() << "; its log:\n" << readFile(log);
}

}  // namespace

TEST(ShellProcess, LauncherIsTakenRefusedOrSkipped) {
    sim::SimRoot root("demo");
    ASSERT_TRUE(root.ok()) << root.error();
    TempDir dir;
    NestedBundle nested(dir.path());

    // No argument, launcher there: it is started and this copy ends at once.
    {
        Child app(nested.executable(), {}, appEnv(root, nested.bundle), dir / "taken.log");
        ASSERT_EQ(app.waitExit(30.0), std::optional<int>(0)) << readFile(dir / "taken.log");
        EXPECT_TRUE(waitFor([&] { return fs::exists(nested.marker); }, 10.0));
        EXPECT_EQ(readFile(nested.marker), "-launched\n");
        EXPECT_FALSE(fs::exists(registryInfo(root)));
        EXPECT_EQ(readFile(dir / "taken.log").find("Add ("), std::string::npos);
    }
    fs::remove(nested.marker);

    // With an argument the launcher is never tried.
    {
        Child app(nested.executable(), {"-demo"}, appEnv(root, nested.bundle), dir / "skipped.log");
        EXPECT_TRUE(runningCopyReady(root, app, dir / "skipped.log"));
        EXPECT_FALSE(app.waitExit(0.5).has_value());
        EXPECT_FALSE(fs::exists(nested.marker));
    }

    // The launcher refuses (no executable): the program runs as if started with arguments.
    fs::remove(nested.launcher + "/Contents/MacOS/Launcher");
    {
        Child app(nested.executable(), {}, appEnv(root, nested.bundle), dir / "refused.log");
        EXPECT_TRUE(runningCopyReady(root, app, dir / "refused.log"));
        EXPECT_FALSE(app.waitExit(0.5).has_value());
    }
}

TEST(ShellProcess, ASecondCopyBringsTheFirstForwardAndLeaves) {
    sim::SimRoot root("demo");
    ASSERT_TRUE(root.ok()) << root.error();
    TempDir dir;
    Child first(kBundle + "/Contents/MacOS/Pelorin", {"-demo"}, appEnv(root, kBundle), dir / "first.log");
    ASSERT_TRUE(runningCopyReady(root, first, dir / "first.log"));
    // The first copy's launch scans have ended once its disk tool calls stop.
    size_t journalBefore = root.journalFor("diskutil").size();
    for (int quiet = 0; quiet < 6;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        size_t now = root.journalFor("diskutil").size();
        quiet = now == journalBefore ? quiet + 1 : 0;
        journalBefore = now;
    }

    Child second(kBundle + "/Contents/MacOS/Pelorin", {"-demo"}, appEnv(root, kBundle), dir / "second.log");
    EXPECT_EQ(second.waitExit(30.0), std::optional<int>(0)) << readFile(dir / "second.log");
    EXPECT_TRUE(waitFor([&] {
        return readFile(dir / "first.log").find("brought to the front by another copy") != std::string::npos;
    }, 10.0));
    // The second copy scanned nothing and the first keeps running.
    EXPECT_EQ(root.journalFor("diskutil").size(), journalBefore);
    EXPECT_EQ(readFile(dir / "second.log").find("Add ("), std::string::npos);
    EXPECT_FALSE(first.waitExit(0.5).has_value());
}

TEST(ShellProcess, CopiesStartedTogetherLeaveExactlyOneRunning) {
    sim::SimRoot root("demo");
    ASSERT_TRUE(root.ok()) << root.error();
    TempDir dir;
    Child a(kBundle + "/Contents/MacOS/Pelorin", {"-demo"}, appEnv(root, kBundle), dir / "a.log");
    Child b(kBundle + "/Contents/MacOS/Pelorin", {"-demo"}, appEnv(root, kBundle), dir / "b.log");
    ASSERT_TRUE(waitFor([&] { return a.waitExit(0).has_value() || b.waitExit(0).has_value(); }, 60.0));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    auto ea = a.waitExit(0), eb = b.waitExit(0);
    EXPECT_NE(ea.has_value(), eb.has_value()) << readFile(dir / "a.log") << readFile(dir / "b.log");
    EXPECT_EQ(ea.value_or(0), 0);
    EXPECT_EQ(eb.value_or(0), 0);
}

TEST(ShellProcess, TheRunCommandBuildsOnlyTheProgramAndTheSimulatedMachine) {
    // Stand-ins on the PATH record what the run command asks of them: the
    // build tool, and the package query (every package installed). The build
    // folder holds a stand-in machine maker and a stand-in program.
    TempDir dir;
    const std::string bin = dir / "bin", build = dir / "build", calls = dir / "calls.txt";
    const auto script = [&](const std::string& path, const std::string& body) {
        writeFile(path, "#!/bin/sh\n" + body);
        fs::permissions(path, fs::perms::owner_all);
    };
    script(bin + "/cmake", "echo \"cmake $*\" >> '" + calls + "'\n");
    script(bin + "/dpkg-query", "echo 'install ok installed'\n");
    script(build + "/sim", "echo \"sim $*\" >> '" + calls + "'\n");
    script(build + "/Pelorin.app/Contents/MacOS/Pelorin",
           "echo \"Pelorin $* root=$PELORIN_SYSROOT\" >> '" + calls + "'\n");
    Child run("/bin/bash", {PELORIN_SOURCE_DIR "/scripts/run-demo.sh"},
              {{"PATH", bin + ":" + std::getenv("PATH")}, {"PELORIN_BUILD", build}, {"DISPLAY", ":99"}},
              dir / "output.txt");
    ASSERT_EQ(run.waitExit(60), std::optional<int>(0)) << readFile(dir / "output.txt");
    const std::string expected = "cmake -S . -B " + build + " -DCMAKE_BUILD_TYPE=RelWithDebInfo\n" +
                                 "cmake --build " + build + " -jN --target Pelorin sim\n" + "sim create demo " + build +
                                 "/demo-root\n" +
                                 "Pelorin -demo root=" + build + "/demo-root\n";
    EXPECT_EQ(std::regex_replace(readFile(calls), std::regex(" -j[0-9]+ "), " -jN "), expected);
}

namespace {

// The private temporary folders of runs ("Pelorin-XXXXXX") inside a folder.
std::vector<std::string> runFolders(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind("Pelorin-", 0) == 0) out.push_back(e.path().string());
    return out;
}

}  // namespace

TEST(ShellProcess, StartUpRemovesEndedRunsFoldersAndAQuitEndsWithStatusZeroTakingItsOwn) {
    sim::SimRoot root("demo");
    ASSERT_TRUE(root.ok()) << root.error();
    TempDir dir;
    const std::string tmp = dir / "tmp";
    fs::create_directories(tmp);
    // What earlier runs left: one that was killed, one that still runs (this test).
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_GT(ended, 0);
    ::waitpid(ended, nullptr, 0);
    const std::string endedRun = tmp + "/Pelorin-" + std::to_string(ended) + "-Ab12Cd";
    const std::string liveRun = tmp + "/Pelorin-" + std::to_string(::getpid()) + "-Ab12Cd";
    writeFile(endedRun + "/OVTemp.plist", "x");
    writeFile(liveRun + "/OVTemp.plist", "x");
    auto env = appEnv(root, kBundle);
    env["TMPDIR"] = tmp;
    Child app(kBundle + "/Contents/MacOS/Pelorin", {"-demo"}, env, dir / "app.log");
    ASSERT_TRUE(runningCopyReady(root, app, dir / "app.log"));
    EXPECT_FALSE(fs::exists(endedRun)) << "an ended run's temporary folder stays at start-up";
    EXPECT_TRUE(fs::exists(liveRun + "/OVTemp.plist")) << "a live run's temporary folder was removed";
    fs::remove_all(liveRun);
    // The launch scans capture the disk tool's answers in the run's folder.
    ASSERT_TRUE(waitFor([&] { return !runFolders(tmp).empty(); }, 30));

    // The session's request to end (as at logout) is a quit, not a kill.
    app.terminate();
    EXPECT_EQ(app.waitExit(30.0), std::optional<int>(0)) << app.describe() << "; its log:\n" << readFile(dir / "app.log");
    std::string left;
    for (const auto& folder : runFolders(tmp))
        for (const auto& e : fs::recursive_directory_iterator(folder)) left += " " + e.path().string();
    EXPECT_TRUE(runFolders(tmp).empty()) << "the run's temporary folder stays behind:" << left;
}
