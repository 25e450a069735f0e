// The "Disk Manager" page on the demo machine: its rows and buttons, the
// selection, the wait for the first scan without a frozen window, the reloads
// after scans, an eject, actions on a volume that has gone, and the help link.
#include <fstream>

#include "DiskManagerTestUtil.h"
#include "OVLinkUrl.h"
#include "kit/SysPath.h"
#include "kit/app/Launch.h"

using namespace diskmanager;

TEST_F(DiskManagerTest, RowsAndButtonsOfTheDemoMachine) {
    // The SATA disk is fixed in this machine: its volume can't be ejected.
    ASSERT_TRUE(sim().update([](sim::Machine& m) {
        for (auto& d : m.disks)
            if (d.identifier == "disk6" || d.identifier == "disk7") d.ejectable = d.removable = false;
    }));
    openTabOnTheDemoMachine();
    ASSERT_EQ(rowNames(), (std::vector<std::string>{"System HD - Data", "USB", "Photos", "Backup"}));
    EXPECT_TRUE(page->loadProView()->isHidden());
    const long data = 0, usb = 1, photos = 2, backup = 3;

    // The first row is selected; the others show no buttons. The running
    // system's Data volume can be renamed, not erased, and is fixed.
    EXPECT_EQ(page->selectIndex(), 0);
    EXPECT_EQ(page->selectVolume(), page->rows()[0]);
    EXPECT_TRUE(cell(data)->isSelect());
    EXPECT_EQ(shownButtons(data), std::vector<std::string>{"rename"});
    EXPECT_EQ(firstOfClass<kit::ImageView>(*cell(data))->image()->name(), "ic_os_sel");
    for (long row : {usb, photos, backup}) EXPECT_TRUE(shownButtons(row).empty()) << row;

    EXPECT_EQ(text(usb, "name"), "USB");
    EXPECT_EQ(text(usb, "type"), "ExFAT");
    const VolumeObj& stick = *page->rows()[size_t(usb)];
    EXPECT_EQ(text(usb, "size"), OVPublicUtilities::longlongConvertVolSpace(stick.volumeTotalSizeNum() -
                                                                               stick.volumeFreeSizeNum()) +
                                     "/" + stick.volumeTotalSize());
    EXPECT_EQ(subview<kit::TextField>(*cell(usb), "size")->toolTip(), text(usb, "size"));
    EXPECT_EQ(text(backup, "type"), "APFS");
    EXPECT_EQ(firstOfClass<kit::ImageView>(*cell(usb))->image()->name(), "ic_usb");
    EXPECT_EQ(firstOfClass<kit::ImageView>(*cell(backup))->image()->name(), "ic_disk");

    // A click on the USB row: all three.
    clickRow(usb);
    EXPECT_EQ(shownButtons(usb), (std::vector<std::string>{"rename", "format", "eject"}));
    EXPECT_EQ(firstOfClass<kit::ImageView>(*cell(usb))->image()->name(), "ic_usb_sel");
    EXPECT_TRUE(shownButtons(data).empty());

    // The fixed disk's row: Rename and Format, no Eject.
    clickRow(backup);
    EXPECT_EQ(page->selectIndex(), backup);
    EXPECT_EQ(page->selectVolume()->volumeName(), "Backup");
    EXPECT_EQ(shownButtons(backup), (std::vector<std::string>{"rename", "format"}));
    EXPECT_TRUE(shownButtons(usb).empty());
    EXPECT_FALSE(cell(usb)->isSelect());
    EXPECT_TRUE(cell(backup)->isSelect());
    EXPECT_EQ(firstOfClass<kit::ImageView>(*cell(backup))->image()->name(), "ic_disk_sel");
    EXPECT_EQ(page->parTableView()->rowNum(), backup);
}

TEST_F(DiskManagerTest, TheSystemVolumeOffersNoFormat) {
    openTabOnTheDemoMachine();
    // The provider never lists the volume at the root; a record of it shows
    // as the page draws such a row.
    auto system = std::make_shared<VolumeObj>();
    system->setVolumeName("System HD");
    system->setDiskType("APFS");
    system->setVolumeMountPoint(kit::sysPath("/"));
    system->setDiskUUID("SYSTEM-UUID");
    page->allVolumeArr()->addObject(system);
    page->loadTableView();
    const long row = rowOf("System HD");
    ASSERT_GE(row, 0);
    ASSERT_EQ(rowOf("System HD - Data"), 0);
    clickRow(row);
    EXPECT_EQ(shownButtons(row), std::vector<std::string>{"rename"});
    EXPECT_EQ(firstOfClass<kit::ImageView>(*cell(row))->image()->name(), "ic_os_sel");
}

TEST_F(DiskManagerTest, UsageBarOfAnEmptyVolumeIsEmpty) {
    openTabOnTheDemoMachine();
    auto empty = std::make_shared<VolumeObj>();
    empty->setVolumeName("Blank");
    empty->setDiskType("ExFAT");
    empty->setDiskUUID("BLANK-UUID");
    page->allVolumeArr()->addObject(empty);
    page->loadTableView();
    const long row = rowOf("Blank");
    ASSERT_GE(row, 0);
    auto* bar = subview<OVProgressView>(*cell(row), "pro");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->pProgress1()->frame().width(), 0);
    // A real volume's bar follows its used share.
    auto* usbBar = subview<OVProgressView>(*cell(rowOf("USB")), "pro");
    const VolumeObj& usb = *page->rows()[size_t(rowOf("USB"))];
    const double share = 1.0 - double(usb.volumeFreeSizeNum()) / double(usb.volumeTotalSizeNum());
    EXPECT_NEAR(usbBar->pProgress1()->frame().width(), share * usbBar->frame().width(), 1.5);
}

TEST_F(DiskManagerTest, AnEmptyListAtStartGivesAnEmptyTable) {
    // No volume of this machine is offered, and the scan takes a while.
    ASSERT_TRUE(sim().update([](sim::Machine& m) {
        for (const char* id : {"disk4", "disk5", "disk7", "disk6"}) m.removeDisk(id);
        // The system's Data volume as if it were not mounted.
        for (auto& d : m.disks)
            for (auto& v : d.volumes)
                if (v.name == "System HD - Data") v.mountPoint.clear();
    }));
    rescan();
    ASSERT_TRUE(GetVolumes::Instance().getVolumes()->empty());
    sim().setKnob("diskutil list", "slow:4");

    openTab();
    // Set-up returned while the scan runs: the page waits with its loading view.
    EXPECT_FALSE(page->isShown());
    EXPECT_FALSE(page->loadProView()->isHidden());
    EXPECT_TRUE(GetVolumes::Instance().isScanningVolumes());

    ASSERT_TRUE(kit::runUntil([&] { return page->isShown(); }, 30));
    EXPECT_TRUE(page->loadProView()->isHidden());
    EXPECT_EQ(page->parTableView()->numberOfRows(), 0);
    EXPECT_EQ(page->selectVolume(), nullptr);
    // The buttons of no row do nothing.
    page->formatButtonAction(nullptr);
    page->ejectButtonAction(nullptr);
    page->renameButtonAction(nullptr);
    EXPECT_EQ(confirmation(), nullptr);
    EXPECT_FALSE(page->isRenameEdit());
    EXPECT_TRUE(statusWindows().empty());
}

TEST_F(DiskManagerTest, TableFollowsScansAndKeepsTheSelectedVolume) {
    openTabOnTheDemoMachine();
    clickRow(rowOf("Photos"));
    auto photosBefore = page->selectVolume();
    // Another program ejects the USB stick: the watched mount folders change,
    // the provider rescans, and the table follows.
    ASSERT_TRUE(sim().update([](sim::Machine& m) { m.removeDisk("disk4"); }));
    rescan();
    ASSERT_TRUE(kit::runUntil([&] { return rowNames() == std::vector<std::string>{"System HD - Data", "Photos", "Backup"}; }, 10));
    EXPECT_EQ(page->parTableView()->numberOfRows(), 3);
    // Still on Photos, now its fresh record.
    EXPECT_EQ(page->selectIndex(), 1);
    EXPECT_EQ(page->selectVolume()->volumeName(), "Photos");
    EXPECT_EQ(page->selectVolume()->diskUUID(), photosBefore->diskUUID());
    EXPECT_EQ(shownButtons(1), (std::vector<std::string>{"rename", "format", "eject"}));
}

TEST_F(DiskManagerTest, EjectTakesTheWholeDiskAwayAndTheRowGoes) {
    openTabOnTheDemoMachine();
    const long row = rowOf("USB");
    clickRow(row);
    const std::string uuid = page->selectVolume()->diskUUID();
    sim().clearJournal();
    click(button(row, "eject"));
    ASSERT_TRUE(kit::runUntil([&] { return rowOf("USB") < 0 && !GetVolumes::Instance().isScanningVolumes(); }, 30));
    EXPECT_EQ(diskutilArgs("eject"), (std::vector<std::vector<std::string>>{{"eject", uuid}}));
    EXPECT_FALSE(fs::exists(sim().path("/Volumes/USB")));
    EXPECT_FALSE(sim().machine().findDisk("disk4"));
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"System HD - Data", "Photos", "Backup"}));
    // The row in its place is selected.
    EXPECT_EQ(page->selectIndex(), 1);
    EXPECT_EQ(page->selectVolume()->volumeName(), "Photos");
    EXPECT_EQ(message(), "");
}

TEST_F(DiskManagerTest, AFailedEjectSaysSo) {
    openTabOnTheDemoMachine();
    sim().setKnob("diskutil eject", "fail");
    clickRow(rowOf("USB"));
    click(button(rowOf("USB"), "eject"));
    ASSERT_TRUE(kit::runUntil([&] { return !message().empty(); }, 30));
    EXPECT_EQ(message(), RepairDiskViewController::kEjectFailedText);
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/USB/readme.txt")));
    EXPECT_EQ(rowOf("USB"), 1);
}

TEST_F(DiskManagerTest, AFormatOfAVolumeThatHasGoneIsRefused) {
    openTabOnTheDemoMachine();
    clickRow(rowOf("USB"));
    auto c = openConfirmation(rowOf("USB"));
    ASSERT_TRUE(c);
    // The stick is pulled out while the confirmation is open.
    ASSERT_TRUE(sim().update([](sim::Machine& m) { m.removeDisk("disk4"); }));
    rescan();
    ASSERT_TRUE(kit::runUntil([&] { return rowOf("USB") < 0; }, 10));
    sim().clearJournal();
    click(c->okButton());
    ASSERT_TRUE(kit::runUntil([&] { return !message().empty(); }, 10));
    EXPECT_EQ(message(), RepairDiskViewController::kVolumeGoneText);
    EXPECT_TRUE(sim().journalFor("diskutil").empty());
    EXPECT_FALSE(page->isFormatRunning());
    EXPECT_TRUE(page->formatend());
    kit::runFor(0.3);
    EXPECT_FALSE(busyPanelShown());
    EXPECT_EQ(endPanel(), nullptr);
}

TEST_F(DiskManagerTest, AVolumeWithoutADiskUuid) {
    openTabOnTheDemoMachine();
    auto odd = std::make_shared<VolumeObj>();
    odd->setVolumeName("Odd");
    odd->setDiskType("ExFAT");
    odd->setVolRootDir("/dev/disk9s1");
    odd->setBCanEject(true);
    page->allVolumeArr()->addObject(odd);
    page->loadTableView();
    const long row = rowOf("Odd");
    ASSERT_GE(row, 0);
    clickRow(row);
    sim().clearJournal();
    // Eject goes by disk UUID: without one nothing runs and nothing is said.
    click(button(row, "eject"));
    kit::runFor(0.3);
    EXPECT_TRUE(sim().journalFor("diskutil").empty());
    EXPECT_EQ(message(), "");
    // The record is still found by its device node for a format.
    auto c = openConfirmation(row);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->nameLabel()->stringValue(), "Format 'Odd'?");
    click(c->noButton());
}

TEST_F(DiskManagerTest, HelpOpensTheSupportPage) {
    openTabOnTheDemoMachine();
    kit::Button* help = nullptr;
    for (const auto& s : page->view()->subviews())
        if (auto* b = dynamic_cast<kit::Button*>(s.get()); b && b->action() == "helpButtonAction:") help = b;
    ASSERT_NE(help, nullptr);
    click(help);
    const auto url = OVLinkUrl::GetUrl("SupportTeam");
    ASSERT_TRUE(url);
    std::ifstream opened(kit::openedURLsPath());
    std::string line;
    ASSERT_TRUE(std::getline(opened, line));
    EXPECT_EQ(line, *url);
}
