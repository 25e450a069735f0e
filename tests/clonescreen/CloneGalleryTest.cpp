// Pictures of the "OS Clone" tab, rendered off screen to ui-render/clone-screen/
// under the build folder: the empty tab, a target chosen, the confirmation,
// the run page, the stop, success and failure views, the refusal of a disk
// that is not the one chosen, the target's picker
// with no external disk, and the Full Disk Access window.
#include "Bootable/FullDiskAccessViewController.h"
#include "kit/Dispatch.h"
#include "support/Gallery.h"
#include "CloneScreenTestUtil.h"

using namespace clonescreen;

namespace {

// The main window with its child windows (the panels) drawn in.
void shoot(MainWindowController& main, const std::string& name, bool settle = true) {
    if (settle) kit::runFor(0.6);
    gallery::save(kit::renderWindow(*main.window()), "clone-screen", name);
}

}  // namespace

TEST_F(CloneScreenTest, Gallery) {
    shoot(*main, "01-tab-empty-target");

    auto disk = externalDisk();
    chooseTarget(disk);
    shoot(*main, "02-target-chosen");

    click(screen->cloneButton());
    ASSERT_TRUE(kit::runUntil([&] { return confirmation() != nullptr; }, 10));
    shoot(*main, "03-confirmation");

    // The restore stands in its copy at the first tens mark (38 %).
    sim.setKnob("asr restore", "hang");
    click(confirmation()->doneButton());
    ASSERT_TRUE(kit::runUntil([&] { return screen->iProgreeBar()->floatValue() >= 0.38 - 1e-6; }, 60));
    shoot(*main, "04-run-page");

    click(screen->cancelButton());
    ASSERT_TRUE(kit::runUntil([&] { return stopConfirmation() != nullptr; }, 5));
    shoot(*main, "05-stop-confirmation");
    click(stopConfirmation()->cancelButton());
    ASSERT_TRUE(failureShown());
    shoot(*main, "06-stop-view");
    ASSERT_TRUE(engineIdle());
    click(screen->failCancelButton());

    sim.clearKnobs();
    chooseTarget(disk);
    ASSERT_TRUE(startClone());
    ASSERT_TRUE(waitForEndView());
    ASSERT_TRUE(successShown());
    shoot(*main, "07-success");
    click(screen->succCancelButton());

    sim.setKnob("asr restore", "exit-fail");
    chooseTarget(disk);
    ASSERT_TRUE(startClone());
    ASSERT_TRUE(waitForEndView());
    ASSERT_TRUE(failureShown());
    shoot(*main, "08-failure");
    click(screen->failCancelButton());

    // Another stick of the same model put in after the choice: refused, nothing erased.
    sim.clearKnobs();
    chooseTarget(disk);
    putTwinStickInPlace();
    ASSERT_TRUE(startClone());
    ASSERT_TRUE(waitForEndView());
    ASSERT_TRUE(failureShown());
    shoot(*main, "11-refused-unplugged");
    click(screen->failCancelButton());

    // The target's picker on a machine without an external disk.
    ASSERT_TRUE(openPickerWithoutExternalDisks());
    shoot(*main, "10-picker-no-external-disk");
    screen->popoverController()->closePopover(nullptr);

    // The access window, drawn while its modal run waits.
    bool shot = false;
    kit::dispatch::after(0.3, kit::dispatch::mainQueue(), [&] {
        FullDiskAccessViewController* wc = screen->fullDiskAccessWC();
        ASSERT_NE(wc, nullptr);
        shot = kit::renderWindow(*wc->window()).savePNG(gallery::dir("clone-screen") + "/09-full-disk-access.png");
        wc->closeWindow();
    });
    screen->toCheckFullDiskAccess();
    EXPECT_TRUE(shot);
}
