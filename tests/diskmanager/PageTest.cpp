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
    // system's Data volume can be renamed, not erased, and is fixed; the
    // system picture is for the volume at the root alone.
    EXPECT_EQ(page->selectIndex(), 0);
    EXPECT_EQ(page->selectVolume(), page->rows()[0]);
    EXPECT_TRUE(cell(data)->isSelect());
    EXPECT_EQ(shownButtons(data), std::vector<std::string>{"rename"});
    EXPECT_EQ(firstOfClass<kit::ImageView>(*cell(data))->image()->name(), "ic_disk_sel");
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
    const std::string mountPoint = page->selectVolume()->volumeMountPoint();
    sim().clearJournal();
    click(button(row, "eject"));
    ASSERT_TRUE(kit::runUntil([&] { return rowOf("USB") < 0 && !GetVolumes::Instance().isScanningVolumes(); }, 30));
    // Still the chosen volume, the eject, and the check that it has gone.
    EXPECT_EQ(diskutilLinesAbout(mountPoint, uuid),
              (std::vector<std::vector<std::string>>{
                  {"info", "-plist", mountPoint}, {"eject", uuid}, {"info", "-plist", mountPoint}}));
    EXPECT_FALSE(fs::exists(sim().path("/Volumes/USB")));
    EXPECT_FALSE(sim().machine().findDisk("disk4"));
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"System HD - Data", "Photos", "Backup"}));
    // No other volume takes its place: no row is selected, none offers a button.
    EXPECT_EQ(page->selectIndex(), -1);
    EXPECT_EQ(page->selectVolume(), nullptr);
    for (long r = 0; r < 3; ++r) {
        EXPECT_FALSE(cell(r)->isSelect()) << r;
        EXPECT_TRUE(shownButtons(r).empty()) << r;
    }
    page->formatButtonAction(nullptr);
    EXPECT_EQ(confirmation(), nullptr);
    EXPECT_EQ(message(), "");
    // A click on the row that took the stick's place selects it.
    clickRow(1);
    ASSERT_NE(page->selectVolume(), nullptr);
    EXPECT_EQ(page->selectVolume()->volumeName(), "Photos");
    EXPECT_EQ(shownButtons(1), (std::vector<std::string>{"rename", "format", "eject"}));
}

TEST_F(DiskManagerTest, TheSelectionFollowsTheFormattedVolume) {
    openTabOnTheDemoMachine();
    // Photos erased as APFS becomes a volume of a new container, listed last
    // under a new disk UUID.
    auto c = openConfirmation(rowOf("Photos"));
    ASSERT_TRUE(c);
    c->selectFormatbyType(3);
    typeInto(*c->nameTextFiled(), "Pictures");
    click(c->okButton());
    ASSERT_TRUE(kit::runUntil([&] { return endPanel() != nullptr; }, 30));
    EXPECT_TRUE(endPanel()->formatSucceeded());
    ASSERT_TRUE(kit::runUntil(
        [&] { return rowOf("Pictures") >= 0 && !GetVolumes::Instance().isScanningVolumes() && page->selectVolume(); }, 30));
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"System HD - Data", "USB", "Backup", "Pictures"}));
    EXPECT_EQ(page->selectIndex(), rowOf("Pictures"));
    EXPECT_EQ(page->selectVolume()->volumeName(), "Pictures");
    EXPECT_TRUE(cell(rowOf("Pictures"))->isSelect());
    EXPECT_FALSE(cell(rowOf("Backup"))->isSelect());
}

// The page's record is compared with the disk tool's right before a change:
// another stick of the same name in the same place is not the chosen volume.
TEST_F(DiskManagerTest, AVolumeThatChangedUnderThePageIsRefused) {
    openTabOnTheDemoMachine();
    // Another stick in the same folder: no mount or unmount, so no rescan.
    const auto swapTheStick = [&] {
        ASSERT_TRUE(sim().update([](sim::Machine& m) { m.findVolume("disk4s2")->diskUUID = sim::Machine::newUUID(); }));
    };
    // After each refusal the page rescans: wait until it shows the stick in
    // place now, then select it.
    const auto selectTheStickInPlace = [&] {
        const std::string uuid = sim().machine().findVolume("disk4s2")->diskUUID;
        ASSERT_TRUE(kit::runUntil(
            [&] {
                const long row = rowOf("USB");
                return !GetVolumes::Instance().isScanningVolumes() && row >= 0 && page->rows()[size_t(row)]->diskUUID() == uuid;
            },
            30));
        clickRow(rowOf("USB"));
    };
    const auto refused = [&] {
        ASSERT_TRUE(kit::runUntil([&] { return message() == RepairDiskViewController::kVolumeGoneText; }, 30));
        click(page->errorWC()->okButton());
    };
    sim().clearJournal();

    selectTheStickInPlace();
    swapTheStick();
    auto c = openConfirmation(rowOf("USB"));
    ASSERT_TRUE(c);
    click(c->okButton());
    refused();
    EXPECT_FALSE(page->isFormatRunning());
    EXPECT_EQ(endPanel(), nullptr);
    EXPECT_FALSE(busyPanelShown());

    selectTheStickInPlace();
    swapTheStick();
    click(button(rowOf("USB"), "rename"));
    ASSERT_NE(renameField(rowOf("USB")), nullptr);
    typeInto(*renameField(rowOf("USB")), "Stick");
    click(button(rowOf("USB"), "save"));
    refused();

    selectTheStickInPlace();
    swapTheStick();
    click(button(rowOf("USB"), "eject"));
    refused();

    for (const char* command : {"eraseVolume", "rename", "eject"}) EXPECT_TRUE(diskutilArgs(command).empty()) << command;
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/USB/readme.txt")));
}

TEST_F(DiskManagerTest, AFailedEjectSaysSo) {
    openTabOnTheDemoMachine();
    // A tool that fails, and one that says it worked but leaves the volume there.
    for (const char* knob : {"fail", "garbage"}) {
        sim().setKnob("diskutil eject", knob);
        clickRow(rowOf("USB"));
        click(button(rowOf("USB"), "eject"));
        ASSERT_TRUE(kit::runUntil([&] { return !message().empty(); }, 30)) << knob;
        EXPECT_EQ(message(), RepairDiskViewController::kEjectFailedText) << knob;
        EXPECT_TRUE(fs::exists(sim().path("/Volumes/USB/readme.txt")));
        EXPECT_EQ(rowOf("USB"), 1);
        click(page->errorWC()->okButton());
        ASSERT_TRUE(kit::runUntil([&] { return !GetVolumes::Instance().isScanningVolumes(); }, 30));
    }
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
    EXPECT_TRUE(changingDiskutilRuns().empty());
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
    EXPECT_TRUE(changingDiskutilRuns().empty());
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
