// Making a root: what it installs, and what it must never wipe.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "ToolRun.h"
#include "kit/Shell.h"
#include "sim/Scenario.h"
#include "support/SimRoot.h"

namespace fs = std::filesystem;

namespace {

std::string tempFolder() {
    std::string tmpl = "/tmp/pelorin-root-test-XXXXXX";
    return ::mkdtemp(tmpl.data()) ? tmpl : "";
}

TEST(Root, CreateInstallsToolsDefaultsAndHome) {
    sim::SimRoot sim("clone");
    ASSERT_TRUE(sim.ok()) << sim.error();
    for (const char* tool : {"/usr/sbin/diskutil", "/usr/bin/killall", "/usr/bin/zip", "/usr/bin/unzip",
                             "/usr/bin/du", "/usr/bin/cp", "/usr/bin/chmod", "/bin/cp", "/bin/chmod"})
        EXPECT_TRUE(fs::is_symlink(sim.path(tool))) << tool;
    EXPECT_EQ(fs::read_symlink(sim.path("/usr/sbin/diskutil")), fs::path(sim::SimRoot::toolDir()) / "sim-diskutil");
    auto defaults = kit::readPlistFile(sim.path("/.pelorin/defaults.plist"));
    ASSERT_TRUE(defaults);
    ASSERT_TRUE(defaults->getArray("AppleLanguages"));
    EXPECT_EQ((*defaults->getArray("AppleLanguages"))[0].asString(), "en");
    EXPECT_TRUE(fs::is_directory(sim.path("/Users/alex/Desktop")));
    EXPECT_TRUE(fs::is_directory(sim.path("/tmp")));
    EXPECT_TRUE(fs::exists(sim.path("/System/Volumes/Preboot/Cryptexes")));
    // The tools are found through PATH by a plain shell line.
    auto out = kit::runShellCapture("command -v diskutil");
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, sim.path("/usr/sbin/diskutil") + "\n");
}

TEST(Root, CreateWipesOnlyEmptyFoldersAndEarlierMachines) {
    const std::string dir = tempFolder();
    ASSERT_FALSE(dir.empty());
    std::ofstream(dir + "/precious.txt") << "keep";
    std::string error;
    EXPECT_FALSE(sim::createRoot("demo", dir, sim::SimRoot::toolDir(), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::exists(dir + "/precious.txt"));

    fs::remove(dir + "/precious.txt");
    ASSERT_TRUE(sim::createRoot("demo", dir, sim::SimRoot::toolDir(), &error)) << error;
    std::ofstream(dir + "/Volumes/USB/added.txt") << "later";
    // An earlier machine is replaced whole.
    ASSERT_TRUE(sim::createRoot("legacy", dir, sim::SimRoot::toolDir(), &error)) << error;
    EXPECT_FALSE(fs::exists(dir + "/Volumes/USB"));
    EXPECT_TRUE(fs::exists(dir + "/Volumes/OldUSB/old.txt"));

    EXPECT_FALSE(sim::createRoot("demo", "/", sim::SimRoot::toolDir(), &error));
    EXPECT_FALSE(sim::createRoot("demo", "relative/root", sim::SimRoot::toolDir(), &error));
    EXPECT_FALSE(sim::createRoot("nonesuch", dir, sim::SimRoot::toolDir(), &error));
    EXPECT_TRUE(fs::exists(dir + "/Volumes/OldUSB/old.txt"));  // an unknown scenario wipes nothing
    fs::remove_all(dir);
}

TEST(Root, TheSimCommandCreatesSetsKnobsAndShows) {
    const std::string dir = tempFolder();
    ASSERT_FALSE(dir.empty());
    const std::string simExe = sim::SimRoot::toolDir() + "/sim";
    auto run = [&](const std::vector<std::string>& words) {
        auto out = kit::runShellCapture(simtest::quoted(words) + " 2>&1; echo \"rc=$?\"");
        return out.value_or("");
    };
    EXPECT_NE(run({simExe, "create", "demo", dir}).find("rc=0"), std::string::npos);
    EXPECT_NE(run({simExe, "knob", dir, "diskutil eraseDisk", "hang"}).find("rc=0"), std::string::npos);
    auto m = sim::Machine::load(dir);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->knob({"diskutil", "eraseDisk", "APFS", "X", "disk4"}), "hang");
    const std::string shown = run({simExe, "show", dir});
    EXPECT_NE(shown.find("disk4"), std::string::npos);
    EXPECT_NE(shown.find("diskutil eraseDisk = hang"), std::string::npos);
    EXPECT_NE(run({simExe, "create", "nonesuch", dir}).find("rc=1"), std::string::npos);
    EXPECT_NE(run({simExe}).find("rc=1"), std::string::npos);
    fs::remove_all(dir);
}

TEST(Root, SimRootRestoresTheEnvironment) {
    ::setenv("PELORIN_SYSROOT", "/previous", 1);
    std::string made;
    {
        sim::SimRoot sim("clone");
        made = sim.root();
        EXPECT_EQ(std::string(std::getenv("PELORIN_SYSROOT")), made);
        sim.setSystemVersion("10.15.7");
        EXPECT_EQ(sim.machine().systemVersion, "10.15.7");
    }
    EXPECT_EQ(std::string(std::getenv("PELORIN_SYSROOT")), "/previous");
    EXPECT_FALSE(fs::exists(made));
    ::unsetenv("PELORIN_SYSROOT");
}

}  // namespace
