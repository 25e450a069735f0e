// The "OS Clone" tab before a run: the system card, the target card and its
// space check, the used size, the step bar and the Full Disk Access window.
#include <chrono>
#include <fstream>
#include <sstream>

#include "Bootable/FullDiskAccess.h"
#include "Bootable/FullDiskAccessViewController.h"
#include "Bootable/SetpFViewController.h"
#include "Comm/getColor.h"
#include "Disk/OVPublicUtilities.h"
#include "kit/Dispatch.h"
#include "kit/SysPath.h"
#include "kit/app/Launch.h"
#include "CloneScreenTestUtil.h"

using namespace clonescreen;

namespace {

std::shared_ptr<VolumeObj> diskOfSize(int64_t bytes) {
    auto v = std::make_shared<VolumeObj>();
    v->setVolumePath("disk2");
    v->setVolumeName("Stick");
    v->setVolumeTotalSizeNum(bytes);
    v->setVolumeTotalSize(OVPublicUtilities::longlongConvertVolSpace(bytes));
    return v;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace

TEST_F(CloneScreenTest, TheSystemCardAndAnEmptyTarget) {
    SelectValueView* source = screen->selectFromVC();
    EXPECT_EQ(source->nameLabel()->stringValue(), "System Drive");
    EXPECT_GT(screen->usedSize(), 0);
    EXPECT_EQ(source->sizeLabel()->stringValue(), OVPublicUtilities::longlongDiskSize(screen->usedSize()));
    EXPECT_FALSE(source->isCanSelect());
    EXPECT_FALSE(source->selectDiskBut()->isEnabled());
    EXPECT_EQ(screen->freeSize(), -1);
    EXPECT_FALSE(screen->cloneButton()->isUsable());
    EXPECT_EQ(screen->selectToVC()->nodeSelectLabel()->stringValue(), "Click here to select a destination drive.");
    // No file drops on the target.
    EXPECT_EQ(screen->selectToVC()->dragVie()->superview(), nullptr);
    EXPECT_EQ(screen->setupStepVC()->currentStep(), 1);
    EXPECT_EQ(screen->stepFVC()->currentStep(), 2);
}

// Equal to the used size fits; one byte less is refused with the message and
// the error look; a second click on the card while the picker shows closes it.
TEST_F(CloneScreenTest, TheTargetMustHoldTheUsedSize) {
    const int64_t used = screen->usedSize();
    ASSERT_GT(used, 0);

    chooseTarget(diskOfSize(used));
    EXPECT_TRUE(screen->cloneButton()->isUsable());
    EXPECT_EQ(screen->selectToVC()->nameLabel()->stringValue(), "Stick");
    EXPECT_EQ(screen->selectToVC()->sizeLabel()->stringValue(),
              OVPublicUtilities::longlongConvertVolSpace(used) + " free");
    EXPECT_FALSE(screen->selectToVC()->closeDisk()->isHidden());
    EXPECT_EQ(message(), "");

    chooseTarget(diskOfSize(used - 1));
    EXPECT_FALSE(screen->cloneButton()->isUsable());
    EXPECT_EQ(message(), "Insufficient disk space on this destination drive, please select another drive.");
    EXPECT_EQ(screen->selectToVC()->bgImageView()->image()->name(), "source_sel_error");
    closeMessages();

    // The clear button empties the card.
    screen->selectToVC()->closeDiskValue(nullptr);
    EXPECT_EQ(screen->toVolume(), nullptr);
    EXPECT_FALSE(screen->cloneButton()->isUsable());
    EXPECT_EQ(screen->selectToVC()->nodeSelectLabel()->stringValue(), "Click here to select a destination drive.");
    EXPECT_TRUE(screen->selectToVC()->closeDisk()->isHidden());

    // The picker: opened on the target, closed by a second click; a pick made
    // while the source's picker was the last one opened is ignored.
    screen->selectDiskButton(2, screen->selectToVC()->selectDiskBut());
    ASSERT_TRUE(kit::runUntil([&] { return screen->popoverController()->popoverIsVisible(); }, 5));
    EXPECT_TRUE(screen->selectDiskVC()->isOnlyShowEx());
    EXPECT_EQ(screen->popoverController()->borderWidth(), 2.0);
    screen->selectDiskButton(2, screen->selectToVC()->selectDiskBut());
    EXPECT_TRUE(kit::runUntil([&] { return !screen->popoverController()->popoverIsVisible(); }, 5));
    screen->selectDiskButton(1, screen->selectFromVC()->selectDiskBut());
    screen->doSelectDiskWithVolume(diskOfSize(used));
    EXPECT_EQ(screen->toVolume(), nullptr);
}

// A used size the disk tool can't give (an answer that can't be read, or a
// record from a run that failed) counts as 0 and is measured again when a
// target is picked; the chosen record is held by the screen.
TEST_F(CloneScreenTest, AnUnreadableUsedSizeIsMeasuredAgainAtTheTargetsPick) {
    std::shared_ptr<SelectDrivceViewController> second;
    for (const char* value : {"answer-then-fail", "garbage"}) {
        sim.setKnob("diskutil info", value);
        second = std::make_shared<SelectDrivceViewController>("SelectDrivceViewController");
        ASSERT_NE(second->view(), nullptr);
        ASSERT_TRUE(kit::runUntil([&] { return !second->isMeasuringUsedSize(); }, 60));
        EXPECT_EQ(second->usedSize(), 0) << value;
        EXPECT_EQ(second->selectFromVC()->sizeLabel()->stringValue(), "0 byte") << value;
    }
    sim.clearKnobs();

    auto tiny = diskOfSize(1000);
    std::weak_ptr<VolumeObj> held = tiny;
    second->doSelectDiskWithVolume(tiny);
    tiny.reset();
    EXPECT_FALSE(held.expired());
    ASSERT_TRUE(kit::runUntil([&] { return !second->isMeasuringUsedSize(); }, 60));
    EXPECT_EQ(second->usedSize(), screen->usedSize());
    EXPECT_EQ(second->selectFromVC()->sizeLabel()->stringValue(), screen->selectFromVC()->sizeLabel()->stringValue());
    EXPECT_FALSE(second->cloneButton()->isUsable());
    second.reset();

    // More free than in all reads as no size, never as a wrapped enormous one.
    sim.update([](sim::Machine& m) {
        for (auto& d : m.disks)
            if (d.apfsContainer) d.containerFree = d.size * 4;
    });
    auto third = std::make_shared<SelectDrivceViewController>("SelectDrivceViewController");
    ASSERT_NE(third->view(), nullptr);
    ASSERT_TRUE(kit::runUntil([&] { return !third->isMeasuringUsedSize(); }, 60));
    EXPECT_EQ(third->usedSize(), 0);
}

// A disk tool that hangs on the system's record holds neither the window nor
// the main thread: the screen is set up at once, the main loop runs on, and
// the card fills in when the tool has answered or been ended at its time-out.
// A target picked meanwhile waits for the used size before "Clone Now" is offered.
TEST_F(CloneScreenTest, AHungSystemRecordHoldsNothingAndTheCardFillsInLater) {
    sim.setKnob("diskutil info " + kit::sysPath("/"), "hang");
    const auto before = std::chrono::steady_clock::now();
    auto second = std::make_shared<SelectDrivceViewController>("SelectDrivceViewController");
    ASSERT_NE(second->view(), nullptr);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count(), 3);
    EXPECT_TRUE(second->isMeasuringUsedSize());
    EXPECT_EQ(second->selectFromVC()->sizeLabel()->stringValue(), "");

    // The main queue still answers while the tool hangs.
    bool ran = false;
    kit::dispatch::async(kit::dispatch::mainQueue(), [&] { ran = true; });
    EXPECT_TRUE(kit::runUntil([&] { return ran; }, 1));
    second->doSelectDiskWithVolume(diskOfSize(screen->usedSize()));
    EXPECT_FALSE(second->cloneButton()->isUsable());

    // Ended at its time-out: no size could be read. The target's pick measures
    // again; this time the tool answers.
    ASSERT_TRUE(kit::runUntil([&] { return !second->isMeasuringUsedSize(); }, 60));
    EXPECT_EQ(second->usedSize(), 0);
    sim.clearKnobs();
    second->doSelectDiskWithVolume(diskOfSize(screen->usedSize()));
    ASSERT_TRUE(kit::runUntil([&] { return !second->isMeasuringUsedSize(); }, 60));
    EXPECT_EQ(second->usedSize(), screen->usedSize());
    EXPECT_EQ(second->selectFromVC()->sizeLabel()->stringValue(), screen->selectFromVC()->sizeLabel()->stringValue());
    ASSERT_TRUE(kit::runUntil([&] { return !second->isListingTarget(); }, 60));
    EXPECT_TRUE(second->cloneButton()->isUsable());
}

// With no external disk the picker is not a blank panel: it shows its heading
// over an empty column, as the mounted-volume picker does.
TEST_F(CloneScreenTest, ThePickerWithoutExternalDisksShowsItsSpinner) {
    ASSERT_TRUE(openPickerWithoutExternalDisks());
    SelectDiskViewController* picker = screen->selectDiskVC();
    EXPECT_TRUE(picker->isOnlyShowEx());
    EXPECT_TRUE(picker->tiles().empty());
    EXPECT_FALSE(picker->loadP()->isHidden());
    EXPECT_TRUE(picker->loadP()->isAnimating());
    EXPECT_EQ(picker->diskListClipView()->documentView(), nullptr);
    EXPECT_TRUE(screen->popoverController()->popoverIsVisible());
}

TEST_F(CloneScreenTest, ScreenRules) {
    // The step bar: one step dark, the picture of its number; others change nothing.
    SetpFViewController* bar = screen->stepFVC();
    bar->setSetpIn(3);
    EXPECT_EQ(bar->stepImageView()->image()->name(), "oc_step3");
    EXPECT_COLOR_NEAR(bar->label_3()->textColor(), getColor(38, 52, 76, 1), 1);
    EXPECT_COLOR_NEAR(bar->label_1()->textColor(), getColor(173, 178, 190, 1), 1);
    bar->setSetpIn(0);
    bar->setSetpIn(5);
    EXPECT_EQ(bar->currentStep(), 3);
    EXPECT_EQ(bar->stepImageView()->image()->name(), "oc_step3");

    EXPECT_EQ(SelectDrivceViewController::messageForErrorCode(-7), "Failed to create bootable disk, please try again.");
    EXPECT_EQ(SelectDrivceViewController::messageForErrorCode(-3),
              "USB device unplugged, Please reconnect the device and try again.");
    EXPECT_EQ(SelectDrivceViewController::messageForErrorCode(-5), "System version does not support this function.");
    EXPECT_EQ(SelectDrivceViewController::messageForErrorCode(-8), "");
    EXPECT_EQ(SelectDrivceViewController::trim(" \t Validating target...\t "), "Validating target...");
    EXPECT_EQ(SelectDrivceViewController::progressForStep(5), 30);
    EXPECT_EQ(SelectDrivceViewController::progressForStep(7), 0);

    // Reports outside a run change nothing on the page.
    OVCloneProgress late{0, 8, 100};
    screen->OVUINotify(&late);
    screen->changeProTimeWithTag(10, 2);
    EXPECT_TRUE(screen->endView()->isHidden());
    EXPECT_FALSE(screen->selectDiskView()->isHidden());
}

// The Full Disk Access status from the user's guarded folder, and the window
// behind "Check": its close button and its settings button both end its modal run.
TEST_F(CloneScreenTest, FullDiskAccessStatusAndWindow) {
    EXPECT_EQ(getAuthorizationStatus(), 2);
    sim.update([](sim::Machine& m) { m.fullDiskAccess = false; });
    EXPECT_EQ(getAuthorizationStatus(), 1);
    fs::remove_all(sim.path("/Users/alex/Library/Safari"));
    EXPECT_EQ(getAuthorizationStatus(), 0);

    auto clickLater = [&](bool settings) {
        kit::dispatch::after(0.2, kit::dispatch::mainQueue(), [this, settings] {
            FullDiskAccessViewController* wc = screen->fullDiskAccessWC();
            ASSERT_NE(wc, nullptr);
            ASSERT_TRUE(wc->window()->isVisible());
            if (settings) uitest::clickView(*wc->openButton());
            else wc->window()->standardWindowButton(kit::WindowButtonKind::Close)->performClick();
        });
    };
    clickLater(false);
    screen->checkFullButton()->performClick();   // returns once the window has closed
    EXPECT_EQ(screen->fullDiskAccessWC(), nullptr);
    EXPECT_EQ(readAll(kit::openedURLsPath()), "");

    clickLater(true);
    screen->toCheckFullDiskAccess();
    EXPECT_EQ(screen->fullDiskAccessWC(), nullptr);
    EXPECT_EQ(readAll(kit::openedURLsPath()), std::string(kFullDiskAccessSettingsURL) + "\n");

    // Before 10.14 the settings button only closes the window.
    sim.setSystemVersion("10.13.6");
    clickLater(true);
    screen->toCheckFullDiskAccess();
    EXPECT_EQ(readAll(kit::openedURLsPath()), std::string(kFullDiskAccessSettingsURL) + "\n");
}
