// Images and archives made from the "Disk Image Create" tab on the demo
// machine, end to end: the whole volume as an image, chosen files as a zip,
// a create that fails, stops during the create and inside the start delay,
// a dropped folder, and the system volume as the destination.
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "DmgScreenTestUtil.h"
#include "Disk/OVPublicUtilities.h"
#include "kit/SysPath.h"
#include "kit/Workspace.h"

using namespace dmgscreen;

namespace {

constexpr int64_t kMargin = 50000000;

// The value that follows an option in a tool's arguments.
std::string optionValue(const sim::JournalEntry& e, const std::string& option) {
    for (size_t i = 0; i + 1 < e.args.size(); ++i)
        if (e.args[i] == option) return e.args[i + 1];
    return "";
}

std::string shellOut(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = ::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

FileNode::Ptr child(const FileNodeList& list, const std::string& name) {
    for (const auto& n : list)
        if (n->name() == name) return n;
    return nullptr;
}

}  // namespace

TEST_F(DmgScreenTest, WholeUsbVolumeBecomesAnImageOnBackup) {
    auto usb = volume("USB");
    choose(1, usb);
    choose(2, volume("Backup"));
    const int64_t used = usb->volumeTotalSizeNum() - usb->volumeFreeSizeNum();
    EXPECT_EQ(screen->usedSize(), used);
    ASSERT_TRUE(screen->cloneButton()->isUsable());

    ASSERT_TRUE(startRun());
    // The run page: a single blank until the first report, the tabs locked.
    EXPECT_FALSE(screen->copyProgressView()->isHidden());
    EXPECT_TRUE(screen->selectDiskView()->isHidden());
    EXPECT_FALSE(main->isTabChangeAllowed());
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(successShown()) << screen->errorLable()->stringValue();
    EXPECT_TRUE(main->isTabChangeAllowed());
    EXPECT_EQ(screen->openUrl(), sim.path("/Volumes/Backup"));

    // create with the used size and the margin, then mount, info and eject.
    auto creates = runs("hdiutil", "create");
    ASSERT_EQ(creates.size(), 1u);
    EXPECT_EQ(optionValue(creates[0], "-size"), std::to_string(used + kMargin));
    EXPECT_EQ(runs("hdiutil", "mount").size() + runs("hdiutil", "attach").size(), 1u);
    EXPECT_FALSE(runs("diskutil", "info").empty());
    EXPECT_EQ(runs("diskutil", "eject").size(), 1u);
    std::vector<std::string> images = filesEndingIn(sim.path("/Volumes/Backup"), ".dmg");
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(fs::path(images[0]).filename().string().rfind("Pelorin(", 0), 0u);

    // The trace lines went to the console user's desktop, spelled as always.
    const std::string trace = readFile(sim.path("/Users/alex/Desktop/PelorinDiskList.txt"));
    EXPECT_NE(trace.find("0---0-------------------------------\nUSEDSIZE : " + std::to_string(used) + " \n"),
              std::string::npos);
    EXPECT_NE(trace.find("1---0-------------------------------\nfreeSize : "), std::string::npos);
    EXPECT_NE(trace.find("4---0-------------------------------\nselectFilesSize : 18446744073709551615 \nusedSize : " +
                         std::to_string(used) + " \n"),
              std::string::npos);

    // Done: both slots empty, "Create Now" disabled, the selection page again.
    click(screen->succCancelButton());
    EXPECT_FALSE(screen->selectDiskView()->isHidden());
    EXPECT_TRUE(screen->copyProgressView()->isHidden());
    EXPECT_EQ(screen->fromeVolume(), nullptr);
    EXPECT_EQ(screen->toVolume(), nullptr);
    EXPECT_FALSE(screen->cloneButton()->isUsable());
    // A report of the ended run changes nothing.
    screen->copyFileToDmgWithFileName("late", 100);
    kit::runFor(0.1);
    EXPECT_TRUE(screen->endView()->isHidden());
}

TEST_F(DmgScreenTest, ChosenFilesBecomeAZipArchive) {
    if (!fs::exists(sim.path("/usr/bin/zip"))) {
        fs::create_directories(sim.path("/usr/bin"));
        fs::create_symlink("/usr/bin/zip", sim.path("/usr/bin/zip"));
    }
    writeFile(sim.path("/Volumes/USB/zipme/a.txt"), std::string(3000, 'a'));
    writeFile(sim.path("/Volumes/USB/zipme/deep/b.txt"), "bee");
    writeFile(sim.path("/Volumes/USB/left-out.txt"), "no");
    chooseUsbToBackup();

    // The file-choice window hands back the top level with one folder chosen.
    FileNodeArray top = listUsbTop();
    for (const auto& n : *top) n->setState(0);
    FileNode::Ptr zipme = child(*top, "zipme");
    ASSERT_NE(zipme, nullptr);
    zipme->setState(1);
    screen->closeWindowWithSelect(top, 3003);
    kit::runFor(0.1);
    EXPECT_EQ(screen->selectFromVC()->nameLabel()->stringValue(), "1 files/folders");

    click(screen->makeZipBut());
    ASSERT_TRUE(screen->isMakeZip());
    ASSERT_TRUE(startRun());
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(successShown()) << screen->errorLable()->stringValue();
    EXPECT_TRUE(runs("hdiutil").empty());

    std::vector<std::string> archives = filesEndingIn(sim.path("/Volumes/Backup"), ".zip");
    ASSERT_EQ(archives.size(), 1u);
    const std::string listing = shellOut("unzip -Z1 '" + archives[0] + "'");
    const std::string prefix = sim.path("/Volumes/USB/zipme").substr(1);
    EXPECT_NE(listing.find(prefix + "/a.txt"), std::string::npos) << listing;
    EXPECT_NE(listing.find(prefix + "/deep/b.txt"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("left-out.txt"), std::string::npos) << listing;
}

TEST_F(DmgScreenTest, StatusTextShowsZipsChunkLessItsFirstLine) {
    EXPECT_EQ(DmgViewController::statusTextFor("  adding: a (stored 0%)\n  adding: b (deflated 40%)"),
              "  adding: b (deflated 40%)");
    EXPECT_EQ(DmgViewController::statusTextFor("  adding: a (stored 0%)\n"), "");
    EXPECT_EQ(DmgViewController::statusTextFor("Creating disk image\u2026"), "Creating disk image\u2026");
    EXPECT_EQ(DmgViewController::statusTextFor("enumerating files..."), "enumerating files...");
    // A one-line chunk without a line feed stays whole.
    EXPECT_EQ(DmgViewController::statusTextFor("  adding: a (stored 0%)"), "  adding: a (stored 0%)");
}

TEST_F(DmgScreenTest, CreateThatFailsShowsOperationFailed) {
    sim.setKnob("hdiutil create", "fail");
    chooseUsbToBackup();
    ASSERT_TRUE(startRun());
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(failureShown());
    EXPECT_EQ(screen->errorLable()->stringValue(), "Operation failed.");
    EXPECT_TRUE(filesEndingIn(sim.path("/Volumes/Backup"), ".dmg").empty());
    EXPECT_TRUE(main->isTabChangeAllowed());
    click(screen->failCancelButton());
    EXPECT_FALSE(screen->selectDiskView()->isHidden());
}

TEST_F(DmgScreenTest, StopDuringASlowCreateLeavesTheStopPaneAndNoImage) {
    sim.setKnob("hdiutil create", "slow:6");
    chooseUsbToBackup();
    ASSERT_TRUE(startRun());
    ASSERT_TRUE(kit::runUntil([&] { return !runs("hdiutil", "create").empty(); }, 20));
    kit::runUntil([&] { return !filesEndingIn(sim.path("/Volumes/Backup"), ".dmg").empty(); }, 3);
    click(screen->cancelButton());
    EXPECT_TRUE(stopShown());
    // The tool was ended long before its 6 s, and what it had begun is removed.
    const pid_t tool = runs("hdiutil", "create")[0].pid;
    ASSERT_GT(tool, 0);
    EXPECT_TRUE(kit::runUntil([&] { return ::kill(tool, 0) != 0; }, 3));
    ASSERT_TRUE(kit::runUntil([&] { return filesEndingIn(sim.path("/Volumes/Backup"), ".dmg").empty(); }, 20));
    // Whatever the engine still says, the stop pane stays.
    kit::runUntil([] { return false; }, 1.0);
    EXPECT_TRUE(stopShown());
    EXPECT_TRUE(runs("hdiutil", "mount").empty());
}

TEST_F(DmgScreenTest, StopDuringAHungEjectKeepsTheAttachedImageAndSaysSo) {
    // The disk tool's minute of time-out becomes 6 s.
    sim.setKnob("diskutil eject", "hang");
    chooseUsbToBackup();
    ASSERT_TRUE(startRun());
    ASSERT_TRUE(kit::runUntil([&] { return !runs("diskutil", "eject").empty(); }, 60));
    click(screen->cancelButton());
    EXPECT_TRUE(stopShown());
    const std::string attached = sim.path("/Volumes/PelorinDmg");
    ASSERT_TRUE(kit::runUntil([&] { return screen->errorLable()->stringValue() != "You have stopped the process."; }, 30));
    const std::vector<std::string> images = filesEndingIn(sim.path("/Volumes/Backup"), ".dmg");
    ASSERT_EQ(images.size(), 1u) << "an image whose volume is attached was removed";
    EXPECT_TRUE(fs::is_directory(attached));
    EXPECT_EQ(screen->errorLable()->stringValue(),
              "You have stopped the process. The disk image is still attached and was kept: " +
                  fs::path(images[0]).filename().string());
    EXPECT_TRUE(failureShown());
    EXPECT_TRUE(main->isTabChangeAllowed());
    EXPECT_FALSE(screen->isWorking());

    // Told once the page has moved on, it comes as a message of its own.
    click(screen->failCancelButton());
    screen->stoppedImageKept("kept.dmg");
    EXPECT_EQ(messages(), std::vector<std::string>{"kept.dmg"});
    EXPECT_FALSE(screen->selectDiskView()->isHidden());
}

TEST_F(DmgScreenTest, StopInsideTheStartDelayStartsNothing) {
    EnvGuard realTime("PELORIN_TIME_SCALE", "1");
    chooseUsbToBackup();
    click(screen->cloneButton());
    ASSERT_TRUE(kit::runUntil([&] { return confirmation() != nullptr; }, 20));
    uitest::clickView(*confirmation()->doneButton());
    EXPECT_TRUE(screen->isStartPending());
    kit::runFor(0.1);
    uitest::clickView(*screen->cancelButton());
    EXPECT_TRUE(stopShown());
    EXPECT_FALSE(screen->isStartPending());
    kit::runUntil([] { return false; }, 1.0);
    EXPECT_TRUE(stopShown());
    EXPECT_TRUE(runs("hdiutil").empty());
}

TEST_F(DmgScreenTest, DroppedFolderSizesTheImageByItsBytes) {
    const std::string dir = sim.path("/Users/alex/Desktop/big");
    fs::create_directories(dir + "/inner");
    // Sparse files: the bytes count, the disk stays empty.
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, uintmax_t>>{
             {"/one.bin", 40000000}, {"/inner/two.bin", 20000000}}) {
        std::ofstream(dir + name).close();
        fs::resize_file(dir + name, bytes);
    }
    screen->viewDragAction(screen->selectFromVC()->eumeArr({dir}));
    EXPECT_EQ(screen->selectFromVC()->nameLabel()->stringValue(), "Drag some files");
    ASSERT_TRUE(kit::runUntil([&] { return screen->selectFilesSize() >= 0; }, 20));
    EXPECT_EQ(screen->selectFilesSize(), 60000000);

    // The image needs its margin too: 60 MB + 50 MB does not fit 100 MB.
    auto backup = volume("Backup");
    backup->setVolumeFreeSizeNum(100000000);
    choose(2, backup);
    EXPECT_FALSE(screen->cloneButton()->isUsable());
    closeMessages();
    backup->setVolumeFreeSizeNum(110000000);
    choose(2, backup);
    ASSERT_TRUE(screen->cloneButton()->isUsable());

    ASSERT_TRUE(startRun());
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(successShown()) << screen->errorLable()->stringValue();
    auto creates = runs("hdiutil", "create");
    ASSERT_EQ(creates.size(), 1u);
    EXPECT_EQ(optionValue(creates[0], "-size"), std::to_string(60000000 + kMargin));
}

TEST_F(DmgScreenTest, SystemVolumeDestinationByVersion) {
    // The system volume as the picker lists it where it is mounted at "/"
    // (from its snapshot).
    auto system = std::make_shared<VolumeObj>();
    system->setVolumeName("System HD");
    system->setVolumeMountPoint(kit::sysPath("/"));
    system->setVolRootDir("/dev/disk3s1s1");
    system->setVolumeTotalSizeNum(494384795648);
    system->setVolumeFreeSizeNum(300000000000);
    system->setVolumeFreeSize("300 GB");
    const std::string desktop = sim.path("/Users/alex/Desktop");
    EXPECT_EQ(DmgViewController::destinationFolder(kit::sysPath("/"), 1304), desktop);
    EXPECT_EQ(DmgViewController::destinationFolder(kit::sysPath("/"), 1014), kit::sysPath("/"));
    EXPECT_EQ(DmgViewController::destinationFolder(sim.path("/Volumes/Backup"), 1304), sim.path("/Volumes/Backup"));

    const std::string dir = sim.path("/Volumes/USB/small");
    writeFile(dir + "/a.txt", "small");
    auto run = [&] {
        screen->viewDragAction(screen->selectFromVC()->eumeArr({dir}));
        ASSERT_TRUE(kit::runUntil([&] { return screen->selectFilesSize() >= 0; }, 20));
        choose(2, system);
        ASSERT_TRUE(startRun());
        ASSERT_TRUE(waitForEndView());
        EXPECT_TRUE(successShown()) << screen->errorLable()->stringValue();
    };

    // 13.x: the console user's desktop, which the success link opens.
    run();
    EXPECT_EQ(screen->openUrl(), desktop);
    EXPECT_EQ(filesEndingIn(desktop, ".dmg").size(), 1u);
    click(screen->succCancelButton());

    // 10.14: the image goes to "/Pelorin_dmg", a folder open to every user.
    sim.setSystemVersion("10.14.6");
    run();
    const std::string folder = sim.path("/Pelorin_dmg");
    std::vector<std::string> images = filesEndingIn(folder, ".dmg");
    ASSERT_EQ(images.size(), 1u);
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0777u);
}

TEST_F(DmgScreenTest, StopDuringZipLeavesTheStopPaneAndNoArchive) {
    // A zip that takes its time before it writes anything.
    zipDroppedFolderWith("#!/bin/sh\nsleep 3\nexec /usr/bin/zip \"$@\"\n");
    if (HasFatalFailure()) return;
    ASSERT_TRUE(startRun());
    kit::runUntil([] { return false; }, 0.8);
    ASSERT_TRUE(screen->isRunning());
    click(screen->cancelButton());
    EXPECT_TRUE(stopShown());
    kit::runUntil([] { return false; }, 4.0);
    EXPECT_TRUE(stopShown());
    EXPECT_TRUE(filesEndingIn(sim.path("/Volumes/Backup"), ".zip").empty());
    EXPECT_TRUE(main->isTabChangeAllowed());
}
