// Pictures of the "Disk Copy" tab on the demo machine, rendered off screen to
// ui-render/copy-screen/ under the build folder: the empty tab, both slots
// chosen, the picker open on the destination, the copy-mode menu, the
// confirmation, the run page, the success, failure and stop views, and
// dropped files in the source slot.
#include "CopyScreenTestUtil.h"
#include "Comm/PopWindow/RMAAttachedWindow.h"
#include "support/Gallery.h"

using namespace copyscreen;

namespace {

// The main window with what lies over it (its panels and menu, and the drive
// picker's popover).
void shoot(MainWindowController& main, const std::string& name, bool settle = true) {
    if (settle) kit::runFor(0.6);   // animations settle
    gallery::save(gallery::renderWithOverlays(*main.window()), "copy-screen", name);
}

}  // namespace

TEST_F(CopyScreenTest, Gallery) {
    shoot(*main, "01-tab-empty");

    chooseUsbToBackup();
    shoot(*main, "02-both-slots-chosen");

    // The picker on the destination slot, open (the popover stays until a choice).
    screen->selectDiskButton(2, screen->selectToVC()->selectDiskBut());
    kit::runFor(0.5);
    shoot(*main, "03-picker-on-destination");
    screen->popoverController()->forceClosePopover(nullptr);
    kit::runFor(0.3);

    screen->showSelectAllVC();
    shoot(*main, "04-copy-mode-menu");
    screen->closeMattachedWindow();
    kit::runFor(0.1);

    // A large folder last: the bar stands well along while it copies.
    for (int i = 0; i < 8; ++i) writeFile(sim.path("/Volumes/USB/note" + std::to_string(i) + ".txt"), "n");
    {
        fs::create_directories(sim.path("/Volumes/USB/zz Large"));
        std::ofstream big(sim.path("/Volumes/USB/zz Large/big.bin"), std::ios::binary);
        std::string chunk(1 << 20, 'z');
        for (int i = 0; i < 1200; ++i) big << chunk;
    }
    click(screen->cloneButton());
    ASSERT_TRUE(kit::runUntil([&] { return confirmation() != nullptr; }, 20));
    shoot(*main, "05-confirmation");
    click(confirmation()->doneButton());
    // The large folder is being copied once its copy has begun on the
    // destination, as the hidden part file that becomes big.bin (the bar's
    // value animates, so it can't tell: a fast disk copies the folder
    // meanwhile). The engine then waits for the main loop to take its next
    // report, so the page stands still while it is drawn.
    const auto largeBegun = [&] {
        for (const auto& e : fs::recursive_directory_iterator(sim.path("/Volumes/Backup"))) {
            const std::string name = e.path().filename().string();
            if (name == "big.bin" || name.rfind(".pelorin-", 0) == 0) return true;
        }
        return false;
    };
    ASSERT_TRUE(kit::runUntil(largeBegun, 30));
    ASSERT_TRUE(screen->isRunning());
    // The picture shows the bar where its animation is going (eight of nine
    // items done); waiting for it would let the run end.
    screen->rogressView()->setFloatValue(8.0 / 9.0);
    shoot(*main, "06-run-page", false);
    click(screen->cancelButton());
    EXPECT_TRUE(failureShown());
    shoot(*main, "09-stop-view");
    click(screen->failCancelButton());
    fs::remove_all(sim.path("/Volumes/USB/zz Large"));

    chooseUsbToBackup();
    ASSERT_TRUE(startCopy());
    ASSERT_TRUE(waitForEndView());
    shoot(*main, "07-success");
    click(screen->succCancelButton());

    chooseUsbToBackup();
    click(screen->cloneButton());
    ASSERT_TRUE(kit::runUntil([&] { return confirmation() != nullptr; }, 20));
    fs::remove(sim.path("/Volumes/USB/readme.txt"));   // an item that can no longer be copied
    click(confirmation()->doneButton());
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(failureShown());
    shoot(*main, "08-failure");
    click(screen->failCancelButton());

    // Dropped files: the source slot shows the folder picture.
    const std::string drop = sim.path("/Users/alex/Desktop/drop");
    writeFile(drop + "/a.txt", "a");
    writeFile(drop + "/sub/b.txt", "b");
    screen->viewDragAction(screen->selectFromVC()->eumeArr({drop + "/a.txt", drop + "/sub"}));
    shoot(*main, "10-files-dropped");
}
