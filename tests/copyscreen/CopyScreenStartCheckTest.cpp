// The drives of a copy read again when it starts, on the demo machine: USB
// chosen as the source and Backup as the destination, then, with the
// confirmation open, the machine changes behind the page's back. A drive that
// has gone or changed, or a destination that no longer has room, is refused
// with a message, and nothing is written anywhere.
#include "CopyScreenTestUtil.h"
#include "kit/Dispatch.h"
#include "support/Gallery.h"

using namespace copyscreen;

TEST_F(CopyScreenTest, ADestinationGoneIsRefused) {
    chooseUsbToBackup();
    EXPECT_FALSE(confirmAfter(ejectBackup));
    EXPECT_TRUE(backOnFirstPage());
    EXPECT_EQ(messages(), std::vector<std::string>{kDestinationGone});
    EXPECT_EQ(products(), std::vector<std::string>{});
    // The destination must be chosen again; the source stays.
    EXPECT_EQ(screen->toVolume(), nullptr);
    EXPECT_EQ(screen->selectToVC()->nodeSelectLabel()->stringValue(), "Click here to select a destination drive.");
    EXPECT_EQ(screen->selectFromVC()->nameLabel()->stringValue(), "USB");
    EXPECT_FALSE(screen->cloneButton()->isUsable());
}

TEST_F(CopyScreenTest, AnotherVolumeOfTheSameNameInItsPlaceIsRefused) {
    chooseUsbToBackup();
    EXPECT_EQ(screen->selectToVC()->sizeLabel()->stringValue(), "812.35 GB free");
    EXPECT_FALSE(confirmAfter(anotherBackupInItsPlace));
    ASSERT_TRUE(fs::is_directory(sim.path("/Volumes/Backup")));
    EXPECT_TRUE(backOnFirstPage());
    EXPECT_EQ(messages(), std::vector<std::string>{kDestinationGone});
    EXPECT_EQ(products(), std::vector<std::string>{});
    EXPECT_TRUE(fs::is_empty(sim.path("/Volumes/Backup")));
    EXPECT_EQ(screen->toVolume(), nullptr);
    kit::runFor(0.6);   // the panel's animation settles
    gallery::save(gallery::renderWithOverlays(*main->window()), "copy-screen", "11-refused-destination-changed");
}

TEST_F(CopyScreenTest, ADestinationNowTooSmallIsRefusedWithItsFreeSpace) {
    chooseUsbToBackup();
    EXPECT_FALSE(confirmAfter([](sim::Machine& m) { backupWithFree(m, 1000000); }));
    EXPECT_TRUE(backOnFirstPage());
    EXPECT_EQ(messages(), std::vector<std::string>{kNoSpace});
    EXPECT_EQ(products(), std::vector<std::string>{});
    // The slot keeps the drive, with the free space read at the start.
    EXPECT_EQ(screen->selectToVC()->sizeLabel()->stringValue(), "1.00 MB free");
    EXPECT_EQ(screen->freeSize(), 1000000);
    EXPECT_EQ(screen->selectToVC()->bgImageView()->image()->name(), "source_sel_error");
    EXPECT_FALSE(screen->cloneButton()->isUsable());
}

TEST_F(CopyScreenTest, ASourceGoneIsRefused) {
    chooseUsbToBackup();
    EXPECT_FALSE(confirmAfter([](sim::Machine& m) { EXPECT_TRUE(m.unmount(*m.findByName("USB"))); }));
    EXPECT_TRUE(backOnFirstPage());
    EXPECT_EQ(messages(), std::vector<std::string>{kSourceGone});
    EXPECT_EQ(products(), std::vector<std::string>{});
    EXPECT_EQ(screen->fromeVolume(), nullptr);
    EXPECT_EQ(screen->copyArr(), nullptr);
    EXPECT_EQ(screen->selectToVC()->nameLabel()->stringValue(), "Backup");
}

TEST_F(CopyScreenTest, DrivesThatHoldLetTheCopyGoOn) {
    chooseUsbToBackup();
    EXPECT_TRUE(confirmAfter([](sim::Machine&) {}));
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(successShown());
    EXPECT_EQ(products().size(), 1u);
}

namespace {

// A disk tool that gives no answer is waited for at most its time-out, scaled.
class CopyScreenSilentToolTest : public CopyScreenTest {
protected:
    CopyScreenSilentToolTest() : CopyScreenTest("0.05") {}
};

}  // namespace

TEST_F(CopyScreenSilentToolTest, TheWindowStaysLiveAndTheStartIsRefusedAtTheTimeOut) {
    chooseUsbToBackup();
    click(screen->cloneButton());
    ASSERT_TRUE(kit::runUntil([&] { return confirmation() != nullptr; }, 20));
    sim.setKnob("diskutil info", "hang");
    uitest::clickView(*confirmation()->doneButton());
    // While the tool is silent the main loop goes on.
    bool ran = false;
    kit::dispatch::async(kit::dispatch::mainQueue(), [&] { ran = true; });
    ASSERT_TRUE(kit::runUntil([&] { return ran; }, 5));
    EXPECT_TRUE(screen->isCheckingVolumes());
    ASSERT_TRUE(kit::runUntil([&] { return !screen->isCheckingVolumes(); }, 60));
    EXPECT_TRUE(backOnFirstPage());
    EXPECT_EQ(messages(), std::vector<std::string>{kSourceGone});
    EXPECT_EQ(products(), std::vector<std::string>{});
}
