// Pictures of the "Disk Image Create" tab on the demo machine, rendered off
// screen to ui-render/dmg-screen/ under the build folder: both slots chosen
// with each output, the confirmation, the run page, and the success, failure
// and stop panes.
#include "DmgScreenTestUtil.h"
#include "Comm/PopWindow/RMAAttachedWindow.h"
#include "support/Gallery.h"

using namespace dmgscreen;

namespace {

// The main window with what lies over it (its panels and menu, and the drive
// picker's popover).
void shoot(MainWindowController& main, const std::string& name, bool settle = true) {
    if (settle) kit::runFor(0.6);   // animations settle
    gallery::save(gallery::renderWithOverlays(*main.window()), "dmg-screen", name);
}

}  // namespace

TEST_F(DmgScreenTest, Gallery) {
    chooseUsbToBackup();
    shoot(*main, "01-both-slots-image");
    click(screen->makeZipBut());
    shoot(*main, "02-both-slots-zip");
    click(screen->makeDmgBut());

    click(screen->cloneButton());
    ASSERT_TRUE(kit::runUntil([&] { return confirmation() != nullptr; }, 20));
    shoot(*main, "03-confirmation");

    // A slow create: the page stands at "Creating disk image…" while it is drawn.
    sim.setKnob("hdiutil create", "slow:8");
    click(confirmation()->doneButton());
    ASSERT_TRUE(kit::runUntil([&] { return screen->rogressView()->floatValue() >= 0.19; }, 20));
    kit::runFor(1.0);
    shoot(*main, "04-run-page", false);
    click(screen->cancelButton());
    EXPECT_TRUE(stopShown());
    shoot(*main, "05-stop-pane");
    click(screen->failCancelButton());

    sim.setKnob("hdiutil create", "ok");
    chooseUsbToBackup();
    ASSERT_TRUE(startRun());
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(successShown());
    shoot(*main, "06-success");
    click(screen->succCancelButton());

    sim.setKnob("hdiutil create", "fail");
    chooseUsbToBackup();
    ASSERT_TRUE(startRun());
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(failureShown());
    shoot(*main, "07-failure");
}
