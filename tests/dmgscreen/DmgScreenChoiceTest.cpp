// The selection page of the "Disk Image Create" tab: the output choice, the
// whole-volume listing, a choice with nothing checked, the same drive twice,
// and the size check's margin.
#include <thread>

#include "DmgScreenTestUtil.h"
#include "kit/SysPath.h"
#include "kit/ui/Image.h"

using namespace dmgscreen;

namespace {
constexpr const char* kNothingChosen = "No file has been selected\u2026";
constexpr const char* kSameDrive =
    "You can\u2019t select the source drive as the destination drive, just select another drive.";
}  // namespace

TEST_F(DmgScreenTest, RadioButtonsChooseTheOutput) {
    EXPECT_FALSE(screen->isMakeZip());  // a disk image by default
    EXPECT_EQ(screen->makeDmgBut()->title(), "Disk image (.dmg)");
    EXPECT_EQ(screen->makeDmgBut()->alignment(), kit::TextAlignment::Left);

    click(screen->makeZipBut());
    EXPECT_TRUE(screen->isMakeZip());
    EXPECT_EQ(screen->makeZipBut()->image(), kit::Image::named("radiobutton_sel"));
    EXPECT_EQ(screen->makeDmgBut()->image(), kit::Image::named("radiobutton_unsel"));
    EXPECT_EQ(int(screen->makeZipBut()->state()), 1);
    EXPECT_EQ(int(screen->makeDmgBut()->state()), 0);

    click(screen->makeDmgBut());
    EXPECT_FALSE(screen->isMakeZip());
    EXPECT_EQ(screen->makeDmgBut()->image(), kit::Image::named("radiobutton_sel"));
    EXPECT_EQ(screen->makeZipBut()->image(), kit::Image::named("radiobutton_unsel"));
    EXPECT_EQ(int(screen->makeDmgBut()->state()), 1);
    EXPECT_EQ(int(screen->makeZipBut()->state()), 0);
}

TEST_F(DmgScreenTest, TheImageMarginDecidesWhetherItFits) {
    auto usb = volume("USB");
    const int64_t used = usb->volumeTotalSizeNum() - usb->volumeFreeSizeNum();
    choose(1, usb);
    auto backup = volume("Backup");
    backup->setVolumeFreeSizeNum(used + 10000000);  // room for the files, not for the image's margin
    click(screen->makeZipBut());
    choose(2, backup);
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(screen->cloneButton()->isUsable());
    click(screen->makeDmgBut());
    EXPECT_FALSE(screen->cloneButton()->isUsable());
    click(screen->makeZipBut());
    EXPECT_TRUE(screen->cloneButton()->isUsable());
}

TEST_F(DmgScreenTest, WholeVolumeIsListedAtItsMountPointBeforeTheConfirmation) {
    choose(1, volume("Photos"));
    choose(2, volume("Backup"));
    uitest::clickView(*screen->cloneButton());
    // "Create Now" waits for the listing of the mount point.
    EXPECT_TRUE(screen->isListingVolume());
    EXPECT_FALSE(screen->cloneButton()->isUsable());
    ASSERT_TRUE(kit::runUntil([&] { return confirmation() != nullptr; }, 20));
    EXPECT_FALSE(screen->isListingVolume());
    ASSERT_FALSE(screen->zipFilesArr().empty());
    for (const auto& p : screen->zipFilesArr()) EXPECT_EQ(p.rfind(sim.path("/Volumes/Photos") + "/", 0), 0u) << p;
    click(confirmation()->cancelButton());
    EXPECT_EQ(confirmation(), nullptr);
    EXPECT_FALSE(screen->isRunning());
}

TEST_F(DmgScreenTest, NothingCheckedSaysSoAndStartsNothing) {
    chooseUsbToBackup();
    FileNodeArray top = makeFileNodeArray();
    screen->controller()->eumeAllRootFileNodeWithRootArr(top, sim.path("/Volumes/USB"), false, false);
    ASSERT_TRUE(kit::runUntil([&] { return !screen->controller()->isListing(); }, 20));
    ASSERT_FALSE(top->empty());
    for (const auto& n : *top) n->setState(0);
    // The count thread hands the choice back; it is applied on the main queue.
    std::thread([&] { screen->closeWindowWithSelect(top, 0); }).join();
    kit::runFor(0.1);
    EXPECT_EQ(screen->filesArr(), top);
    screen->cloneButtonAction(nullptr);
    kit::runFor(0.1);
    EXPECT_EQ(messages(), std::vector<std::string>{kNothingChosen});
    EXPECT_EQ(confirmation(), nullptr);
    EXPECT_FALSE(screen->isRunning());
}

TEST_F(DmgScreenTest, TheSameDriveTwiceIsRefusedAfterARescanToo) {
    choose(1, volume("USB"));
    // A fresh record of the same volume, as a rescan makes it.
    auto rescan = GetVolumes::create();
    auto fresh = rescan->getVolumes();
    ASSERT_TRUE(kit::runUntil([&] { return !fresh->empty() && !rescan->isScanningVolumes(); }, 30));
    std::shared_ptr<VolumeObj> again;
    for (const auto& v : fresh->snapshot())
        if (v->volumeName() == "USB") again = v;
    ASSERT_NE(again, nullptr);
    ASSERT_NE(again, screen->fromeVolume());
    choose(2, again);
    EXPECT_EQ(screen->toVolume(), nullptr);
    EXPECT_FALSE(screen->cloneButton()->isUsable());
    EXPECT_EQ(messages(), std::vector<std::string>{kSameDrive});
}
