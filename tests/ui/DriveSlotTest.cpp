// The drive slots the copy, image and clone screens share: a slot showing a
// drive and going back to empty, and the picker that a click on a slot opens
// and a second click closes.
#include <algorithm>
#include <memory>

#include "Comm/DriveSlot.h"
#include "Disk/GetVolumes.h"
#include "UiTest.h"
#include "kit/RunLoop.h"
#include "kit/ui/Image.h"
#include "kit/ui/Render.h"
#include "support/SimRoot.h"

namespace {

using kit::Rect;
using uitest::UiTest;

class Chooser : public kit::Object, public SelectDiskVCDelegate {
public:
    void doSelectDiskWithVolume(const std::shared_ptr<VolumeObj>&) override {}
};

std::string pictureOf(SelectValueView& slot) {
    const auto image = slot.selectDiskBut()->image();
    return image ? image->name() : std::string();
}

TEST_F(UiTest, SlotShowsADriveAndGoesBackToEmpty) {
    auto slot = std::make_shared<SelectValueView>();
    ASSERT_NE(slot->viewPtr(), nullptr);

    screen::showDriveInSlot(slot.get(), "USB", "8.00 GB free", "ic_usb_main");
    EXPECT_TRUE(slot->isHaveD());
    EXPECT_EQ(slot->nameLabel()->stringValue(), "USB");
    EXPECT_EQ(slot->sizeLabel()->stringValue(), "8.00 GB free");
    EXPECT_EQ(slot->nodeSelectLabel()->stringValue(), "");
    EXPECT_FALSE(slot->closeDisk()->isHidden());
    EXPECT_EQ(pictureOf(*slot), "ic_usb_main");

    screen::resetSlot(slot.get(), "Click here to select a destination drive.");
    EXPECT_FALSE(slot->isHaveD());
    EXPECT_EQ(slot->nameLabel()->stringValue(), "");
    EXPECT_EQ(slot->sizeLabel()->stringValue(), "");
    EXPECT_EQ(slot->nodeSelectLabel()->stringValue(), "Click here to select a destination drive.");
    EXPECT_TRUE(slot->closeDisk()->isHidden());
    EXPECT_EQ(pictureOf(*slot), "add");

    // No slot (a screen whose view never loaded): nothing happens.
    screen::resetSlot(nullptr, "x");
    screen::showDriveInSlot(nullptr, "a", "b", "add");
}

TEST_F(UiTest, ChosenFilesShowTheFolderAtTheSizeOfADrivesPicture) {
    auto slot = std::make_shared<SelectValueView>();
    ASSERT_NE(slot->viewPtr(), nullptr);
    kit::Button& button = *slot->selectDiskBut();
    // The drawn part of the button's picture, in pixels.
    const auto drawnSize = [&] {
        const kit::Bitmap bm = kit::renderView(button);
        int minX = bm.width(), maxX = -1, minY = bm.height(), maxY = -1;
        for (int y = 0; y < bm.height(); ++y)
            for (int x = 0; x < bm.width(); ++x)
                if (bm.argb(x, y) >> 24) {
                    minX = std::min(minX, x), maxX = std::max(maxX, x);
                    minY = std::min(minY, y), maxY = std::max(maxY, y);
                }
        return kit::Size{double(maxX - minX + 1), double(maxY - minY + 1)};
    };
    screen::showDriveInSlot(slot.get(), "USB", "8.00 GB free", "ic_usb_main");
    const kit::Size drive = drawnSize();
    // The folder's own picture is small (it is the file list's icon too); in
    // the slot it fills the button like a drive's picture.
    screen::showDriveInSlot(slot.get(), "3 files/folders", "1.20 MB selected", "ic_folder");
    ASSERT_LT(kit::Image::named("ic_folder")->size().width, button.frame().width() / 2);
    const kit::Size folder = drawnSize();
    EXPECT_GE(folder.width, drive.width * 0.75);
    EXPECT_LE(folder.width, button.frame().width());
    EXPECT_LE(folder.height, button.frame().height());
}

TEST_F(UiTest, DrivePickerOpensOnOneClickAndClosesOnTheNext) {
    sim::SimRoot root("demo");
    ASSERT_TRUE(root.ok()) << root.error();
    auto main = std::make_shared<kit::Window>(Rect(300, 200, 888, 583), kit::TitledWindowMask);
    auto anchor = std::make_shared<kit::View>(Rect(100, 100, 100, 30));
    main->contentView()->addSubview(anchor);
    main->makeKeyAndOrderFront();
    Chooser first, second;
    const screen::DrivePicker::Look externalOnly{kit::Color::rgb255(66, 66, 88), kit::Color::rgb255(66, 66, 88), 2.0,
                                                 true};
    screen::DrivePicker picker;

    // A click without its button opens nothing.
    EXPECT_FALSE(picker.toggle(nullptr, false, &first, externalOnly));
    EXPECT_EQ(picker.controller(), nullptr);

    ASSERT_TRUE(picker.toggle(anchor.get(), true, &first, externalOnly));
    SelectDiskViewController* opened = picker.controller();
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(opened->isOnlyShowEx());   // the clone target: external disks only
    EXPECT_EQ(opened->selectDiskVCDelegate(), &first);
    EXPECT_TRUE(picker.popover()->popoverIsVisible());

    // The second click closes it and opens no new one.
    EXPECT_FALSE(picker.toggle(anchor.get(), true, &first, externalOnly));
    EXPECT_EQ(picker.controller(), opened);
    EXPECT_TRUE(kit::runUntil([&] { return !picker.popover()->popoverIsVisible(); }, 10));

    // A new opening, here for every drive, is a picker of its own.
    ASSERT_TRUE(picker.toggle(anchor.get(), false, &second, {kit::Color::rgb255(66, 66, 88),
                                                              kit::Color::rgb255(86, 123, 194), 0.5, false}));
    EXPECT_NE(picker.controller(), opened);
    EXPECT_FALSE(picker.controller()->isOnlyShowEx());
    EXPECT_EQ(picker.controller()->selectDiskVCDelegate(), &second);

    // A choice closes it; a screen going away leaves it without a delegate.
    picker.closeIfVisible();
    EXPECT_TRUE(kit::runUntil([&] { return !picker.popover()->popoverIsVisible(); }, 10));
    picker.detach();
    EXPECT_EQ(picker.controller()->selectDiskVCDelegate(), nullptr);

    // The pickers' scans of the machine end before the machine goes away.
    GetVolumes& provider = GetVolumes::Instance();
    EXPECT_TRUE(kit::runUntil([&] { return !provider.isScanningVolumes() && !provider.isScanningExVolumes(); }, 120));
    kit::runFor(0.05);
}

}  // namespace
