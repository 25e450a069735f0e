// The selection page of the "Disk Image Create" tab: the output choice, the
// whole-volume listing, a choice with nothing checked, the same drive twice,
// the size check's margin, and what the file-choice window hands back.
#include <thread>

#include "Comm/ScreenSelection.h"
#include "DmgScreenTestUtil.h"
#include "Disk/OVPublicUtilities.h"
#include "kit/SysPath.h"
#include "kit/ui/Image.h"

using namespace dmgscreen;

namespace {
constexpr int64_t kMargin = 50000000;  // what the engine adds to every image
constexpr const char* kNothingChosen = "No file has been selected\u2026";
constexpr const char* kSameDrive =
    "You can\u2019t select the source drive as the destination drive, just select another drive.";
std::string pictureOf(SelectValueView& slot) {
    const auto image = slot.selectDiskBut()->image();
    return image ? image->name() : std::string();
}

void checkOnly(const FileNodeList& top, const std::vector<std::string>& names) {
    for (const auto& n : top)
        n->setState(std::find(names.begin(), names.end(), n->name()) != names.end() ? 1 : 0);
}

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
    FileNodeArray top = listUsbTop();
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

TEST_F(DmgScreenTest, TheFileChoiceHandsBackFilesTheWholeVolumeOrTheDrop) {
    writeFile(sim.path("/Volumes/USB/one.txt"), "1");
    writeFile(sim.path("/Volumes/USB/two/b.txt"), "22");
    chooseUsbToBackup();
    auto usb = volume("USB");
    SelectValueView* slot = screen->selectFromVC();
    FileNodeArray top = listUsbTop();
    ASSERT_GT(top->size(), 2u);
    auto handBack = [&](const FileNodeArray& arr, int64_t bytes) {
        // From the counting thread, as the window sends it.
        std::thread([&] { screen->closeWindowWithSelect(arr, bytes); }).join();
        kit::runFor(0.1);
    };

    // Some of the top level: how many, and their bytes as a bare size.
    checkOnly(*top, {"one.txt", "two"});
    handBack(top, 3003);
    EXPECT_EQ(slot->nameLabel()->stringValue(), "2 files/folders");
    EXPECT_EQ(slot->sizeLabel()->stringValue(), "3.00 KB");
    EXPECT_EQ(slot->nodeSelectLabel()->stringValue(), "");
    EXPECT_EQ(pictureOf(*slot), "ic_folder");
    EXPECT_TRUE(slot->isHaveD());
    EXPECT_EQ(screen->selectFilesSize(), 3003);
    EXPECT_FALSE(screen->comboBoxView()->isHidden());
    EXPECT_TRUE(screen->cloneButton()->isUsable());

    // Every root: the volume again, by its used size.
    checkOnly(*top, {});
    for (const auto& n : *top) n->setState(1);
    handBack(top, 0);
    EXPECT_EQ(slot->nameLabel()->stringValue(), "USB");
    EXPECT_EQ(slot->sizeLabel()->stringValue(),
              kit::format("%@ selected", OVPublicUtilities::longlongDiskSize(usb->volumeTotalSizeNum() -
                                                                              usb->volumeFreeSizeNum())));
    EXPECT_EQ(pictureOf(*slot), "ic_usb_main");
    EXPECT_EQ(screen->selectFilesSize(), -1);
    EXPECT_TRUE(screen->cloneButton()->isUsable());

    // Dropped items, all of them chosen again: chosen files too, not the drop's
    // labels; their bytes are counted anew.
    const std::string a = sim.path("/Users/alex/Desktop/a.bin"), b = sim.path("/Users/alex/Desktop/b.bin");
    writeFile(a, std::string(1500, 'a'));
    writeFile(b, std::string(700, 'b'));
    screen->viewDragAction(slot->eumeArr({a, b}));
    ASSERT_TRUE(kit::runUntil([&] { return screen->selectFilesSize() >= 0; }, 20));
    FileNodeArray dropped = screen->filesArr();
    ASSERT_EQ(dropped->size(), 2u);
    handBack(dropped, 0);
    EXPECT_EQ(slot->nameLabel()->stringValue(), "2 files/folders");
    EXPECT_EQ(slot->sizeLabel()->stringValue(), "0 byte");
    EXPECT_EQ(pictureOf(*slot), "ic_folder");
    ASSERT_TRUE(kit::runUntil([&] { return screen->selectFilesSize() >= 0; }, 20));
    EXPECT_EQ(screen->selectFilesSize(), 2200);
    EXPECT_TRUE(screen->cloneButton()->isUsable());

    // One of them.
    checkOnly(*dropped, {"b.bin"});
    handBack(dropped, 700);
    EXPECT_EQ(slot->nameLabel()->stringValue(), "1 files/folders");
    EXPECT_EQ(slot->sizeLabel()->stringValue(), "700 byte");
    EXPECT_EQ(screen->selectFilesSize(), 700);
    EXPECT_TRUE(screen->isDragValue());
}

TEST_F(DmgScreenTest, AFileChoiceIsCheckedAgainstTheDestinationsFreeBytesAsTheyAreNow) {
    chooseUsbToBackup();
    FileNodeArray top = listUsbTop();
    ASSERT_GT(top->size(), 1u);
    checkOnly(*top, {(*top)[0]->name()});
    ASSERT_TRUE(screen->cloneButton()->isUsable());
    const int64_t chosenBytes = 30000000;

    // The shared record of the destination now says less room than when it
    // was chosen (the drive picker refreshes it when clicked).
    auto backup = screen->toVolume();
    backup->setVolumeFreeSizeNum(chosenBytes + kMargin - 1);
    std::thread([&] { screen->closeWindowWithSelect(top, chosenBytes); }).join();
    kit::runFor(0.1);
    EXPECT_FALSE(screen->cloneButton()->isUsable());
    EXPECT_EQ(pictureOf(*screen->selectToVC()), "add");
    EXPECT_EQ(screen->lComboBox()->strLabel()->stringValue(), "Copy Some Files");
    EXPECT_TRUE(messages().empty());  // refused quietly

    backup->setVolumeFreeSizeNum(chosenBytes + kMargin);
    std::thread([&] { screen->closeWindowWithSelect(top, chosenBytes); }).join();
    kit::runFor(0.1);
    EXPECT_TRUE(screen->cloneButton()->isUsable());
    EXPECT_EQ(pictureOf(*screen->selectToVC()), screen::slotImageForVolume(*backup));
}
