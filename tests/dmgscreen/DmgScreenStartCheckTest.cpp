// The drives of an image or archive read again when the job starts, on the
// demo machine: USB chosen as the source and Backup as the destination, then,
// with the confirmation open, the machine changes behind the page's back. A
// drive that has gone or changed, or a destination without room for the image
// and its margin, is refused with a message: no disk-image tool runs and
// nothing is written anywhere.
#include "DmgScreenTestUtil.h"
#include "support/Gallery.h"

using namespace dmgscreen;

TEST_F(DmgScreenTest, ADestinationGoneIsRefused) {
    chooseUsbToBackup();
    EXPECT_FALSE(confirmAfter(ejectBackup));
    EXPECT_TRUE(backOnFirstPage());
    EXPECT_FALSE(screen->isStartPending());
    EXPECT_EQ(messages(), std::vector<std::string>{kDestinationGone});
    EXPECT_TRUE(runs("hdiutil").empty());
    EXPECT_EQ(products(), std::vector<std::string>{});
    EXPECT_EQ(screen->toVolume(), nullptr);
    EXPECT_FALSE(screen->cloneButton()->isUsable());
}

TEST_F(DmgScreenTest, AnotherVolumeOfTheSameNameInItsPlaceIsRefused) {
    chooseUsbToBackup();
    EXPECT_EQ(screen->selectToVC()->sizeLabel()->stringValue(), "812.35 GB free");
    EXPECT_FALSE(confirmAfter(anotherBackupInItsPlace));
    ASSERT_TRUE(fs::is_directory(sim.path("/Volumes/Backup")));
    EXPECT_TRUE(backOnFirstPage());
    EXPECT_EQ(messages(), std::vector<std::string>{kDestinationGone});
    EXPECT_TRUE(runs("hdiutil").empty());
    EXPECT_EQ(products(), std::vector<std::string>{});
    EXPECT_TRUE(fs::is_empty(sim.path("/Volumes/Backup")));
    kit::runFor(0.6);   // the panel's animation settles
    gallery::save(gallery::renderWithOverlays(*main->window()), "dmg-screen", "08-refused-destination-changed");
}

TEST_F(DmgScreenTest, ADestinationWithoutRoomForTheImageIsRefused) {
    // A dropped file of 10 bytes: the image needs them and its margin.
    writeFile(sim.path("/Volumes/USB/ten.txt"), "0123456789");
    chooseUsbToBackup();
    screen->viewDragAction(screen->selectFromVC()->eumeArr({sim.path("/Volumes/USB/ten.txt")}));
    ASSERT_TRUE(kit::runUntil([&] { return screen->selectFilesSize() == 10; }, 20));
    EXPECT_FALSE(confirmAfter([](sim::Machine& m) { backupWithFree(m, 50000000); }));
    EXPECT_TRUE(backOnFirstPage());
    EXPECT_EQ(messages(), std::vector<std::string>{kNoSpace});
    EXPECT_TRUE(runs("hdiutil").empty());
    EXPECT_EQ(products(), std::vector<std::string>{});
    EXPECT_EQ(screen->selectToVC()->sizeLabel()->stringValue(), "50.00 MB free");
    EXPECT_EQ(screen->selectToVC()->bgImageView()->image()->name(), "source_sel_error");
    EXPECT_FALSE(screen->cloneButton()->isUsable());
    closeMessages();

    // The archive needs no margin: the same free space holds it.
    click(screen->makeZipBut());
    EXPECT_TRUE(screen->cloneButton()->isUsable());
    EXPECT_TRUE(confirmAfter([](sim::Machine&) {}));
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(successShown()) << screen->errorLable()->stringValue();
    EXPECT_EQ(filesEndingIn(sim.path("/Volumes/Backup"), ".zip").size(), 1u);
}
