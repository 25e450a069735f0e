// The first page of the "Disk Copy" tab on the demo machine: the same drive on
// both sides, a source too large for the destination, dropped files, the
// order in which a source's sizes and the mode box's check meet, and the menu.
#include <unistd.h>

#include "CopyScreenTestUtil.h"
#include "Comm/PopWindow/RMAAttachedWindow.h"
#include "DiskList/GetFilesSize.h"
#include "support/EnvGuard.h"
#include "Comm/ScreenSelection.h"
#include "DiskList/ListFileViewController.h"
#include "kit/Dispatch.h"
#include "kit/Format.h"

using namespace copyscreen;

namespace {

constexpr const char* kSameDrive =
    "You can\u2019t select the source drive as the destination drive, just select another drive.";

}  // namespace

TEST_F(CopyScreenTest, TheSameDriveOnBothSidesIsRefusedInEitherOrder) {
    choose(1, volume("USB"));
    // The destination list was scanned again meanwhile: another record of the same volume.
    provider->getDiskAndVolumes();
    kit::runUntil([&] { return !provider->isScanningVolumes(); }, 20);
    auto again = volume("USB");
    choose(2, again);
    EXPECT_EQ(messages(), std::vector<std::string>{kSameDrive});
    EXPECT_EQ(screen->toVolume(), nullptr);
    EXPECT_EQ(screen->freeSize(), -1);
    EXPECT_EQ(screen->selectToVC()->nodeSelectLabel()->stringValue(), "Click here to select a destination drive.");
    EXPECT_FALSE(screen->cloneButton()->isUsable());
    EXPECT_NE(screen->fromeVolume(), nullptr);
    closeMessages();

    screen->closeDiskValue(1);
    choose(2, volume("Backup"));
    choose(1, volume("Backup"));
    EXPECT_EQ(messages(), std::vector<std::string>{kSameDrive});
    EXPECT_EQ(screen->fromeVolume(), nullptr);
    EXPECT_EQ(screen->usedSize(), -1);
    EXPECT_TRUE(screen->comboBoxView()->isHidden());
    EXPECT_FALSE(screen->cloneButton()->isUsable());
    EXPECT_NE(screen->toVolume(), nullptr);
}

TEST_F(CopyScreenTest, ASourceTooLargeIsRefusedThenTenGigabytesOfFilesPass) {
    auto usb = volume("USB");
    auto backup = volume("Backup");
    // 80 GB used on the source, 50 GB free on the destination.
    backup->setVolumeTotalSizeNum(200000000000);
    backup->setVolumeFreeSizeNum(120000000000);
    usb->setVolumeFreeSizeNum(50000000000);
    choose(1, backup);
    choose(2, usb);
    EXPECT_EQ(messages(), std::vector<std::string>{kNoSpace});
    EXPECT_EQ(screen->lComboBox()->strLabel()->stringValue(), "Copy Some Files");
    EXPECT_FALSE(screen->lComboBox()->isCanOpen());
    EXPECT_FALSE(screen->cloneButton()->isUsable());
    EXPECT_FALSE(screen->lComboBox()->searchButton()->isHidden());  // the file choice stays open to the user
    closeMessages();

    // 10 GB of chosen files fit.
    writeFile(sim.path("/Volumes/Backup/notes.txt"), "notes");
    Controller c;
    FileNodeArray top = makeFileNodeArray();
    c.eumeAllRootFileNodeWithRootArr(top, sim.path("/Volumes/Backup"), false, false);
    ASSERT_TRUE(kit::runUntil([&] { return !c.isListing(); }, 20));
    ASSERT_FALSE(top->empty());
    (*top)[0]->setState(0);
    screen->closeWindowWithSelect(top, 10000000000);
    kit::runFor(0.1);
    EXPECT_TRUE(screen->cloneButton()->isUsable());
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(screen->selectFilesSize(), 10000000000);
    EXPECT_EQ(screen->selectFromVC()->sizeLabel()->stringValue(), "10.00 GB selected");
}

TEST_F(CopyScreenTest, ANewSourceIsCheckedWithItsOwnSizesOnly) {
    auto usb = volume("USB");      // about 50 GB free
    auto backup = volume("Backup");
    backup->setVolumeTotalSizeNum(200000000000);
    backup->setVolumeFreeSizeNum(100000000000);  // 100 GB used
    choose(2, usb);
    choose(1, backup);
    EXPECT_EQ(messages().size(), 1u);
    closeMessages();
    // A small source now: the mode box's reset must not check with the old source's size.
    choose(1, volume("Photos"));
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(screen->cloneButton()->isUsable());
}

TEST_F(CopyScreenTest, ThreeDroppedFilesAreCountedAndChecked) {
    const std::string dir = sim.path("/Users/alex/Desktop/drop");
    writeFile(dir + "/a.txt", std::string(1000, 'a'));
    writeFile(dir + "/b.txt", std::string(2000, 'b'));
    writeFile(dir + "/sub/c.txt", std::string(3000, 'c'));
    std::vector<FileNode::Ptr> nodes =
        screen->selectFromVC()->eumeArr({dir + "/a.txt", dir + "/b.txt", dir + "/sub"});
    ASSERT_EQ(nodes.size(), 3u);
    screen->viewDragAction(nodes);
    EXPECT_EQ(screen->selectFromVC()->nameLabel()->stringValue(), "add some files");
    EXPECT_EQ(screen->selectFromVC()->sizeLabel()->stringValue(), "3 files selected");
    ASSERT_TRUE(kit::runUntil([&] { return screen->selectFilesSize() >= 0; }, 10));
    EXPECT_EQ(screen->selectFilesSize(), 6000);  // the dropped folder counts by its contents

    auto backup = volume("Backup");
    backup->setVolumeFreeSizeNum(5999);
    choose(2, backup);
    EXPECT_FALSE(screen->cloneButton()->isUsable());
    EXPECT_EQ(messages(), std::vector<std::string>{kNoSpace});
    closeMessages();
    backup->setVolumeFreeSizeNum(6000);
    choose(2, backup);
    EXPECT_TRUE(screen->cloneButton()->isUsable());

    ASSERT_TRUE(startCopy());
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(successShown());
    std::map<std::string, std::string> want = {
        {"a.txt", "file:" + std::string(1000, 'a')},
        {"b.txt", "file:" + std::string(2000, 'b')},
        {"sub", "dir"},
        {"sub/c.txt", "file:" + std::string(3000, 'c')},
    };
    EXPECT_EQ(treeOf(screen->openUrl()), want);
}

TEST_F(CopyScreenTest, TheMenuClosesThreeSecondsAfterItsOwnOpeningOnly) {
    EnvGuard scale("PELORIN_TIME_SCALE", "0.1");
    choose(1, volume("USB"));
    screen->showSelectAllVC();
    ASSERT_TRUE(screen->isPopSortWin());
    SelectAllFilePopVC* first = screen->selectAllFileVC();
    screen->showSelectAllVC();  // a second opening while the first is open does nothing
    EXPECT_EQ(screen->selectAllFileVC(), first);
    // A choice closes it at once; a new menu opens 0.2 s (scaled: 2 s) later.
    screen->mouseEixtView(false);
    screen->selectFormatbyType(CopyModeSomeFiles);
    kit::runFor(0.02);
    EXPECT_FALSE(screen->isPopSortWin());
    kit::runFor(2.0);
    screen->showSelectAllVC();
    ASSERT_TRUE(screen->isPopSortWin());
    // The first opening's 3 s pass: the second menu stays.
    kit::runFor(1.2);
    EXPECT_TRUE(screen->isPopSortWin());
    // Its own 3 s close it, as the pointer never entered it.
    ASSERT_TRUE(kit::runUntil([&] { return !screen->isPopSortWin(); }, 3.0));
    kit::runFor(0.05);
    for (const auto& w : main->window()->childWindows()) EXPECT_EQ(dynamic_cast<RMAAttachedWindow*>(w.get()), nullptr);
}

TEST_F(CopyScreenTest, TheFileChoiceWindowHandsItsChoiceBack) {
    chooseUsbToBackup();
    screen->selectFormatbyType(CopyModeSomeFiles);
    EXPECT_FALSE(screen->lComboBox()->searchButton()->isHidden());
    // While the window runs modally: wait for its listing, uncheck Music, "Done".
    bool handled = false;
    std::function<void()> step;
    step = [&] {
        DiskListWC* wc = screen->diskListWC();
        ListFileViewController* list = wc ? wc->listFileVC() : nullptr;
        if (!list || list->isScan() || !list->rootNodeArr() || list->rootNodeArr()->empty()) {
            kit::dispatch::after(0.1, kit::dispatch::mainQueue(), step);
            return;
        }
        for (const auto& n : *list->rootNodeArr())
            if (n->name() == "Music") n->setState(0);
        list->doneButtonAction(nullptr);
        handled = true;
    };
    kit::dispatch::after(0.2, kit::dispatch::mainQueue(), step);
    screen->doShowSearchView();   // returns when the window closes
    ASSERT_TRUE(handled);
    ASSERT_TRUE(kit::runUntil([&] { return screen->copyArr() != nullptr && screen->selectFilesSize() > 0; }, 20));
    EXPECT_NE(screen->selectFilesSize(), -1);
    const auto choice = screen::summarizeChoice(*screen->copyArr());
    EXPECT_EQ(screen->selectFromVC()->nameLabel()->stringValue(), kit::format("%d files/folders", choice.chosen));
    EXPECT_TRUE(screen->cloneButton()->isUsable());

    ASSERT_TRUE(startCopy());
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(successShown());
    const auto copied = treeOf(screen->openUrl());
    EXPECT_EQ(copied.count("Music"), 0u);
    EXPECT_EQ(copied.count("readme.txt"), 1u);
}
