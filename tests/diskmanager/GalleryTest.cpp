// Pictures of the "Disk Manager" tab on the demo machine, rendered off screen
// to ui-render/disk-manager/ under the build folder: a row selected with its
// name being edited, the format confirmation with a name typed, then with its
// type menu open, the busy panel, and the end panels of a format that worked
// and of one that failed.
#include "DiskManagerTestUtil.h"
#include "support/Gallery.h"

using namespace diskmanager;

namespace {

void shoot(MainWindowController& main, const std::string& name) {
    kit::runFor(0.3);   // animations settle
    gallery::save(kit::renderWindow(*main.window()), "disk-manager", name);
}

}  // namespace

TEST_F(DiskManagerTest, Gallery) {
    openTabOnTheDemoMachine();
    const long usb = rowOf("USB");
    clickRow(usb);
    click(button(usb, "rename"));
    ASSERT_NE(renameField(usb), nullptr);
    typeInto(*renameField(usb), "Travel Stick");
    shoot(*main, "01-rename");
    clickRow(rowOf("Photos"));
    shoot(*main, "02-selected");

    auto c = openConfirmation(rowOf("Photos"));
    ASSERT_TRUE(c);
    typeInto(*c->nameTextFiled(), "Holiday 2024");
    shoot(*main, "03-confirmation");
    c->openMenuAction(nullptr);
    ASSERT_TRUE(c->isPopSortWin());
    // The pointer over "MS-DOS FAT32": the menu stays open, the row lights up.
    kit::View* row = c->formatTypeVC()->view_2();
    uitest::send(*row->window(), kit::EventType::MouseMoved, uitest::centreInWindow(*row));
    ASSERT_FALSE(c->menuClose().isArmed());
    shoot(*main, "04-confirmation-type-menu");
    c->mouseEixtView(true);
    c->selectFormatbyType(0);

    // A slow erase: the busy panel stays up for the picture.
    sim().setKnob("diskutil eraseVolume", "slow:2");
    click(c->okButton());
    ASSERT_TRUE(kit::runUntil([&] { return busyPanelShown(); }, 10));
    shoot(*main, "05-busy");
    ASSERT_TRUE(kit::runUntil([&] { return endPanel() != nullptr; }, 30));
    ASSERT_TRUE(endPanel()->formatSucceeded());
    shoot(*main, "06-end-success");
    click(endPanel()->closeButton());
    ASSERT_TRUE(kit::runUntil([&] { return rowOf("Holiday 2024") >= 0; }, 30));

    sim().setKnob("diskutil eraseVolume", "fail");
    c = openConfirmation(rowOf("USB"));
    ASSERT_TRUE(c);
    click(c->okButton());
    ASSERT_TRUE(kit::runUntil([&] { return endPanel() != nullptr; }, 30));
    ASSERT_FALSE(endPanel()->formatSucceeded());
    shoot(*main, "07-end-failure");
}
