// The stand-in disk-image tool on its own, the engine's capture function and the
// reading of the mount's output.
#include <sys/wait.h>

#include <cstdio>

#include "DmgTestSupport.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"
#include "sim/DiskImage.h"
#include "sim/Journal.h"
#include "sim/Machine.h"
#include "sim/Scenario.h"

using namespace dmgtest;

namespace {

struct ShellRun {
    int status = -1;
    std::string out;
};

// Runs a shell line with the root's tools first on PATH; standard error is dropped.
ShellRun sh(const std::string& line) {
    ShellRun r;
    auto out = kit::runShellCapture(line + " 2>/dev/null; echo \"#$?\"");
    if (!out) return r;
    auto hash = out->rfind('#');
    r.out = out->substr(0, hash);
    r.status = std::stoi(out->substr(hash + 1));
    return r;
}

std::string q(const std::string& s) { return kit::shellQuote(s); }

TEST(AttachOutput, TheMountPointIsTheLastFolderFieldEvenWithBlanksInIt) {
    EXPECT_EQ(mountPointFromAttachOutput("/dev/disk8          \tGUID_partition_scheme          \t\n"
                                         "/dev/disk8s1        \tApple_HFS                      \t/r/Volumes/PelorinDmg 1\n"),
              "/r/Volumes/PelorinDmg 1");
    EXPECT_EQ(mountPointFromAttachOutput("/dev/disk8s1\tApple_HFS\t/Volumes/Trailing  \r\n"), "/Volumes/Trailing");
    EXPECT_EQ(mountPointFromAttachOutput("/dev/disk8\tGUID_partition_scheme\t\n"), "");
    // A system root in a folder in RAM: the mount point lies under /dev.
    EXPECT_EQ(mountPointFromAttachOutput("/dev/disk8s1\tApple_HFS\t/dev/shm/r/Volumes/PelorinDmg\n"),
              "/dev/shm/r/Volumes/PelorinDmg");
    EXPECT_EQ(mountPointFromAttachOutput("hdiutil: attach failed - image not recognized\n"), "");
    EXPECT_EQ(mountPointFromAttachOutput(""), "");
}

class DiskImageTool : public ::testing::Test {
protected:
    void SetUp() override {
        kit::ensureMainThreadApp();
        std::string error;
        ASSERT_TRUE(sim::createRoot("demo", root.path(), PELORIN_SIM_DIR, &error)) << error;
        fs::create_directories(empty);
    }
    std::vector<sim::JournalEntry> runs(const std::string& tool) {
        std::vector<sim::JournalEntry> out;
        for (auto& e : sim::readJournal(root.path()))
            if (e.tool == tool) out.push_back(e);
        return out;
    }
    ShellRun create(const std::string& image, const std::string& size = "1000000", const std::string& srcfolder = "") {
        return sh("hdiutil create " + q(image) + " -volname PelorinDmg -size " + size +
                  " -fs HFS+ -format UDRW -srcfolder " + q(srcfolder.empty() ? empty : srcfolder));
    }

    TempDir root;
    TempDir outside;
    EnvGuard env{"PELORIN_SYSROOT", root.path()};
    std::string empty = outside / "empty";
};

TEST_F(DiskImageTool, CreateRefusesWithoutLeavingAFile) {
    std::string usb = kit::sysPath("/Volumes/USB");
    EXPECT_NE(create(outside / "x.dmg").status, 0) << "an image outside the root";
    EXPECT_FALSE(fs::exists(outside / "x.dmg"));
    EXPECT_NE(create(usb + "/nofolder.dmg", "1000", outside / "missing").status, 0);
    EXPECT_FALSE(fs::exists(usb + "/nofolder.dmg"));
    EXPECT_NE(create(usb + "/huge.dmg", "999999999999999").status, 0) << "larger than the volume's free space";
    EXPECT_FALSE(fs::exists(usb + "/huge.dmg"));
    EXPECT_NE(create(usb + "/missing-folder/x.dmg").status, 0);
    writeFile(usb + "/taken.dmg", "taken");
    EXPECT_NE(create(usb + "/taken.dmg").status, 0);
    EXPECT_EQ(readFile(usb + "/taken.dmg"), "taken");
    EXPECT_NE(sh("hdiutil create " + q(usb + "/bad.dmg") + " -size 12q -srcfolder " + q(empty)).status, 0);
    EXPECT_NE(sh("hdiutil frobnicate").status, 0);

    ASSERT_EQ(create(usb + "/good.dmg", "2m").status, 0);
    auto header = sim::readDiskImage(usb + "/good.dmg");
    ASSERT_TRUE(header);
    EXPECT_EQ(header->volumeName, "PelorinDmg");
    EXPECT_EQ(header->size, 2 << 20);
    EXPECT_EQ(header->fileSystem, "HFS+");
    EXPECT_FALSE(header->volumeUUID.empty());
    // Every run is journaled with its exact arguments.
    auto journal = runs("hdiutil");
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.back().args,
              (std::vector<std::string>{"create", usb + "/good.dmg", "-volname", "PelorinDmg", "-size", "2m", "-fs",
                                        "HFS+", "-format", "UDRW", "-srcfolder", empty}));
}

TEST_F(DiskImageTool, MountRegistersTheVolumeAndEjectStoresItsFilesBackInTheImage) {
    std::string a = kit::sysPath("/Volumes/USB/a.dmg"), b = kit::sysPath("/Volumes/USB/b.dmg");
    writeFile(outside / "seed/seed.txt", "seed");
    ASSERT_EQ(create(a, "1m", outside / "seed").status, 0);
    ASSERT_EQ(create(b).status, 0);

    ShellRun first = sh("hdiutil mount " + q(a));
    ASSERT_EQ(first.status, 0);
    std::string mp = kit::sysPath("/Volumes/PelorinDmg");
    EXPECT_EQ(mountPointFromAttachOutput(first.out), mp);
    EXPECT_EQ(readFile(mp + "/seed.txt"), "seed");
    ShellRun second = sh("hdiutil attach " + q(b));
    ASSERT_EQ(second.status, 0);
    EXPECT_EQ(mountPointFromAttachOutput(second.out), mp + " 1") << "a taken name gets a number";

    // The disk tool knows the image's volume by name, with the image's UUID.
    ShellRun info = sh("diskutil info -plist PelorinDmg");
    auto plist = kit::parsePlist(info.out);
    ASSERT_TRUE(plist);
    EXPECT_EQ(plist->getString("VolumeUUID"), sim::readDiskImage(a)->volumeUUID);
    EXPECT_EQ(plist->getString("MountPoint"), mp);

    writeFile(mp + "/added.txt", "added while mounted");
    ASSERT_EQ(sh("diskutil eject " + q(sim::readDiskImage(a)->volumeUUID)).status, 0);
    EXPECT_FALSE(fs::exists(mp));
    EXPECT_TRUE(fs::is_directory(mp + " 1")) << "the other image stays";
    std::string store = sim::diskImageContents(root.path(), a);
    EXPECT_EQ(treeEntries(store), (std::set<std::string>{"seed.txt", "added.txt"}));

    // Attached again, the files come back.
    ShellRun again = sh("hdiutil mount " + q(a));
    ASSERT_EQ(again.status, 0);
    EXPECT_EQ(readFile(mountPointFromAttachOutput(again.out) + "/added.txt"), "added while mounted");

    EXPECT_NE(sh("hdiutil mount " + q(kit::sysPath("/Volumes/USB/none.dmg"))).status, 0);
    writeFile(kit::sysPath("/Volumes/USB/junk.dmg"), "not an image");
    EXPECT_NE(sh("hdiutil mount " + q(kit::sysPath("/Volumes/USB/junk.dmg"))).status, 0);
}

TEST_F(DiskImageTool, ResizeChangesTheSizeOnlyWhileDetached) {
    std::string a = kit::sysPath("/Volumes/USB/r.dmg");
    ASSERT_EQ(create(a).status, 0);
    auto engine = std::make_shared<MakeDmg>();
    EXPECT_EQ(engine->resizeVolume(a, "3m"), 0);
    EXPECT_EQ(sim::readDiskImage(a)->size, 3 << 20);
    ASSERT_EQ(sh("hdiutil mount " + q(a)).status, 0);
    EXPECT_NE(engine->resizeVolume(a, "4m"), 0);
    EXPECT_EQ(sim::readDiskImage(a)->size, 3 << 20);
    auto journal = runs("hdiutil");
    bool seen = false;
    for (const auto& e : journal) seen |= e.args == std::vector<std::string>{"resize", "-size", "3m", a};
    EXPECT_TRUE(seen);
}

TEST_F(DiskImageTool, CaptureFileAndDiskInfoTakeHostileNamesLiterally) {
    EXPECT_FALSE(ejectExecCommand(nullptr));
    auto path = ejectExecCommand("echo first");
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, kit::temporaryDirectory() + "ejectExecCommandTemp.plist");
    EXPECT_EQ(readFile(*path), "first\n");
    ejectExecCommand("true");
    EXPECT_EQ(readFile(*path), "") << "the earlier capture was not replaced";

    auto engine = std::make_shared<MakeDmg>();
    std::string marker = outside / "pwned";
    std::string hostile = "Pelorin'Dmg $(touch " + marker + ") `touch " + marker + "` \"x\"";
    EXPECT_FALSE(engine->getDisjInfo(hostile.c_str()));
    EXPECT_FALSE(fs::exists(marker));
    auto journal = runs("diskutil");
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.back().args, (std::vector<std::string>{"info", "-plist", hostile}));

    auto info = engine->getDisjInfo("USB");
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->getString("VolumeUUID"));
    EXPECT_FALSE(engine->getDisjInfo(nullptr));
}

}  // namespace
