// The drive slots the copy, image and clone screens share: a slot showing a
// drive and going back to empty, the picker that a click on a slot opens and a
// second click closes, and what a slot reports of clicks and drops.
#include <QBuffer>
#include <QImage>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "Comm/DriveSlot.h"
#include "Disk/GetVolumes.h"
#include "UiTest.h"
#include "kit/RunLoop.h"
#include "kit/ui/DragDrop.h"
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

// What a slot's owner hears.
class SlotOwner : public SelectValueViewDelegate {
public:
    void selectDiskButton(int slotId, kit::View* sender) override {
        events.push_back("select " + std::to_string(slotId));
        senders.push_back(sender);
    }
    void closeDiskValue(int slotId) override { events.push_back("clear " + std::to_string(slotId)); }
    void viewDragAction(const std::vector<FileNode::Ptr>& nodes) override {
        events.push_back("drop");
        drops.push_back(nodes);
    }
    void selectFileButtonAction(kit::Object*) override { events.push_back("select file"); }

    std::vector<std::string> events;
    std::vector<kit::View*> senders;
    std::vector<std::vector<FileNode::Ptr>> drops;
};

// A destination slot in a window of its own, its clear button showing.
struct SlotScene {
    std::shared_ptr<kit::Window> w = std::make_shared<kit::Window>(Rect(100, 100, 300, 220), kit::TitledWindowMask);
    std::shared_ptr<SelectValueView> slot = std::make_shared<SelectValueView>();
    SlotOwner owner;
    SlotScene() {
        slot->setDiskFrom(SlotIdDestination);
        slot->setDelegate(&owner);
        w->contentView()->addSubview(slot->viewPtr());
        slot->closeDisk()->setHidden(false);
        w->orderFront();
    }
    bool drop(const kit::Pasteboard& pb) { return kit::simulateDrop(*w, uitest::centreInWindow(*slot->dragVie()), pb); }
    // A click on the card away from its buttons and labels.
    void clickCard() {
        const kit::Point p = slot->view()->convertPointToView(kit::Point{20, 185}, nullptr);
        uitest::send(*w, kit::EventType::LeftMouseDown, p);
        uitest::send(*w, kit::EventType::LeftMouseUp, p);
    }
};

struct Folder {
    std::string path;
    Folder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pelorin-slot-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::string file(const std::string& name, const std::string& bytes) const {
        std::ofstream(path + "/" + name) << bytes;
        return path + "/" + name;
    }
};

TEST_F(UiTest, ADropReportsItsItemsAsNodesAndSkipListedNamesAsNothing) {
    SlotScene s;
    Folder f;
    // Only a skip-listed name: still a drop, of nothing.
    ASSERT_TRUE(s.drop(kit::Pasteboard::withFilenames({f.file(".DS_Store", "x")})));
    EXPECT_EQ(s.owner.events, std::vector<std::string>{"drop"});
    ASSERT_EQ(s.owner.drops.size(), 1u);
    EXPECT_TRUE(s.owner.drops[0].empty());

    // A folder is one node of size 0, not its content; a file has its length.
    std::filesystem::create_directories(f.path + "/docs/inner");
    f.file("docs/inner/big.bin", std::string(5000, 'b'));
    const std::string file = f.file("a.txt", "hello");
    ASSERT_TRUE(s.drop(kit::Pasteboard::withFilenames({f.path + "/docs", f.path + "/.Trashes", file})));
    ASSERT_EQ(s.owner.drops.size(), 2u);
    const auto& nodes = s.owner.drops[1];
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0]->path(), f.path + "/docs");
    EXPECT_EQ(nodes[0]->name(), "docs");
    EXPECT_TRUE(nodes[0]->isDirectory());
    EXPECT_EQ(nodes[0]->size(), 0u);
    EXPECT_TRUE(nodes[0]->children().empty());
    EXPECT_EQ(nodes[0]->father(), nullptr);
    EXPECT_EQ(nodes[1]->name(), "a.txt");
    EXPECT_FALSE(nodes[1]->isDirectory());
    EXPECT_EQ(nodes[1]->size(), 5u);
}

TEST_F(UiTest, ClicksOnTheCardAndOnTheDriveButtonBothNameTheDriveButton) {
    SlotScene s;
    s.clickCard();
    uitest::clickView(*s.slot->selectDiskBut());
    uitest::clickView(*s.slot->closeDisk());
    EXPECT_EQ(s.owner.events, (std::vector<std::string>{"select 2", "select 2", "clear 2"}));
    EXPECT_EQ(s.owner.senders, (std::vector<kit::View*>{s.slot->selectDiskBut(), s.slot->selectDiskBut()}));
}

TEST_F(UiTest, ASlotThatIsNotInteractiveReportsOnlyItsFileChoiceButton) {
    SlotScene s;
    Folder f;
    s.slot->setIsCanSelect(false);
    s.slot->bgImageView()->setImageNamed("source_sel");
    s.clickCard();
    uitest::clickView(*s.slot->selectDiskBut());
    uitest::clickView(*s.slot->closeDisk());
    s.drop(kit::Pasteboard::withFilenames({f.file("a.txt", "a")}));
    s.slot->changeBgImageViewWithError(true);
    s.slot->mouseInSelectBgView(true);
    EXPECT_TRUE(s.owner.events.empty());
    EXPECT_EQ(s.slot->bgImageView()->image(), kit::Image::named("source_sel"));

    s.slot->selectFileButtonAction(s.slot->selectDiskBut());
    EXPECT_EQ(s.owner.events, std::vector<std::string>{"select file"});
}

TEST_F(UiTest, TheDropTargetTakesImageDataAndRefusesWhatItCannotRead) {
    SlotScene s;
    QImage picture(4, 4, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");

    testing::internal::CaptureStderr();
    const bool image = s.drop(kit::Pasteboard::withTIFF(bytes.toStdString()));
    const bool garbage = s.drop(kit::Pasteboard::withTIFF("not an image"));
    // Types it never registered for reach it only when asked directly.
    kit::Pasteboard text;
    text.setData("words", "NSStringPboardType");
    kit::DraggingInfo other(text, kit::DragOperationGeneric, {10, 10}, s.w.get());
    const bool unsupported = s.slot->dragVie()->performDragOperation(other);
    kit::DraggingInfo relative(kit::Pasteboard::withFilenames({"relative/path"}), kit::DragOperationGeneric,
                               {10, 10}, s.w.get());
    const bool noPath = s.slot->dragVie()->performDragOperation(relative);
    const std::string log = testing::internal::GetCapturedStderr();

    EXPECT_TRUE(image);
    EXPECT_FALSE(garbage);
    EXPECT_FALSE(unsupported);
    EXPECT_FALSE(noPath);
    EXPECT_TRUE(s.owner.events.empty());  // the owner hears of files only
    EXPECT_EQ(log.find("Error: MyNSView performDragOperation zPasteboardData == nil\n"),
              log.rfind("Error: MyNSView performDragOperation zPasteboardData == nil\n"));
    EXPECT_NE(log.find("]: Error: MyNSView performDragOperation zPasteboardData == nil\n"), std::string::npos) << log;
    std::size_t refusals = 0;
    for (std::size_t at = log.find("]: Error MyNSView performDragOperation\n"); at != std::string::npos;
         at = log.find("]: Error MyNSView performDragOperation\n", at + 1))
        ++refusals;
    EXPECT_EQ(refusals, 2u) << log;

    // Offered to it: a generic drag is taken, one without the generic operation is not.
    kit::DraggingInfo generic(kit::Pasteboard::withTIFF("x"), kit::DragOperationGeneric, {10, 10}, s.w.get());
    kit::DraggingInfo copyOnly(kit::Pasteboard::withTIFF("x"), kit::DragOperationCopy, {10, 10}, s.w.get());
    EXPECT_EQ(s.slot->dragVie()->draggingEntered(generic), unsigned(kit::DragOperationGeneric));
    EXPECT_EQ(s.slot->dragVie()->draggingEntered(copyOnly), unsigned(kit::DragOperationNone));
}

}  // namespace
