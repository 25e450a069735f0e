// Gallery pictures of the drive choice: the picker in its popover over a
// main window (two internal and two external tiles, one hovered), the
// external-only picker, and the drive slot in its five looks. Written to
// ui-render/ under the build folder.
#include <cstdlib>
#include <string>
#include <vector>

#include "Comm/BGWView.h"
#include "Comm/LeftBgView.h"
#include "Comm/LeftButton.h"
#include "Comm/Lib/YLPopoverController.h"
#include "Comm/SelectDiskViewController.h"
#include "Comm/SelectValueView.h"
#include "Comm/TCImageWindow.h"
#include "Comm/TextImageButton.h"
#include "Comm/getColor.h"
#include "Disk/GetVolumes.h"
#include "Disk/OVPublicUtilities.h"
#include "MainLikeWindow.h"
#include "UiTest.h"
#include "VolumeRecord.h"
#include "kit/RunLoop.h"
#include "kit/SysPath.h"
#include "kit/ui/ImageView.h"
#include "support/SimRoot.h"

namespace {

using kit::Rect;
using uitest::UiTest;

std::shared_ptr<VolumeObj> volume(const std::string& name, const std::string& mountPoint, double totalGB,
                                  double freeGB, bool eject) {
    return uitest::volumeRecord(name, mountPoint, int64_t(totalGB * 1e9), int64_t(freeGB * 1e9), eject);
}

class Owner : public kit::Object, public SelectValueViewDelegate, public SelectDiskVCDelegate {
public:
    void doSelectDiskWithVolume(const std::shared_ptr<VolumeObj>&) override {}
};

// A window like the main one, with the copy tab's two slots.
struct MockMain {
    std::shared_ptr<TCImageWindow> window;
    std::shared_ptr<SelectValueView> source, destination;
    Owner owner;

    MockMain() {
        window = uitest::mainLikeWindow(Rect(200, 120, 888, 536), 960, true);
        kit::View* content = window->contentView();
        auto title = kit::TextField::label("Disk Copy", Rect(200, 470, 400, 24));
        title->setFont(kit::Font::boldSystemFont(18));
        title->setTextColor(kit::Color::rgb255(38, 52, 76));
        content->addSubview(title);
        source = slot(SlotIdSource, Rect(200, 180, 272, 200), "Click here to select a source drive.");
        destination = slot(SlotIdDestination, Rect(580, 180, 272, 200), "Click here to select a destination drive.");
        destination->dragVie()->removeFromSuperview();
        auto start = uitest::startButton(Rect(436, 50, 180, 44));
        start->setButtonEnabled(false);
        content->addSubview(start);
    }

    std::shared_ptr<SelectValueView> slot(int id, Rect frame, const std::string& prompt) {
        auto s = std::make_shared<SelectValueView>();
        s->setDiskFrom(id);
        s->setDelegate(&owner);
        s->view()->setFrame(frame);
        s->nodeSelectLabel()->setStringValue(prompt);
        window->contentView()->addSubview(s->viewPtr());
        return s;
    }
};

class PickerGalleryTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        if (std::getenv("PELORIN_SCREENSHOT_DIR")) GTEST_SKIP() << "screenshot run";
        ASSERT_TRUE(root.ok()) << root.error();
        provider = GetVolumes::create();
    }
    void fill(std::shared_ptr<VolumeList> list, const std::vector<std::shared_ptr<VolumeObj>>& vols) {
        ASSERT_TRUE(kit::runUntil([&] { return !provider->isScanningVolumes() && !provider->isScanningExVolumes(); }, 120));
        kit::runFor(0.05);
        list->removeAllObjects();
        for (auto& v : vols) list->addObject(v);
    }
    std::shared_ptr<YLPopoverController> popover(std::shared_ptr<SelectDiskViewController> picker) {
        auto pop = std::make_shared<YLPopoverController>(picker);
        pop->setColor(getColor(66, 66, 88, 1));
        pop->setBorderColor(getColor(66, 66, 88, 1));
        pop->setBorderWidth(1.0);
        pop->setAnimates(false);
        return pop;
    }

    sim::SimRoot root{"demo"};
    std::shared_ptr<GetVolumes> provider;
};

TEST_F(PickerGalleryTest, PickerInAPopoverOverTheMainWindow) {
    fill(provider->getVolumes(), {volume("Macintosh HD - Data", kit::sysPath("/"), 494.38, 310.2, false),
                                  volume("Projects", "/Volumes/Projects", 250.06, 61.3, false),
                                  volume("USB", "/Volumes/USB", 62.0, 49.7, true),
                                  volume("Photos", "/Volumes/Photos", 1000.2, 127.9, true)});
    MockMain m;
    m.window->makeKeyAndOrderFront();
    auto picker = std::make_shared<SelectDiskViewController>();
    picker->setVolumeProvider(provider);
    picker->setSelectDiskVCDelegate(&m.owner);
    auto pop = popover(picker);
    kit::Button* anchor = m.source->selectDiskBut();
    pop->presentPopoverFromRect(anchor->bounds(), anchor, PopoverArrowLeft, true);
    ASSERT_TRUE(pop->popoverIsVisible());
    ASSERT_EQ(picker->tiles().size(), 4u);
    // The pointer over the second internal tile.
    kit::Window* panel = pop->popoverWindow();
    kit::View* hovered = picker->tiles()[1]->view();
    uitest::send(*panel, kit::EventType::MouseMoved, hovered->convertPointToView({200, 30}, nullptr));
    ASSERT_TRUE(picker->tiles()[1]->aView()->mouseIn());
    m.window->display();
    panel->display();
    kit::Bitmap shot = kit::renderWindow(*m.window);
    EXPECT_EQ(shot.width(), 888);
    EXPECT_TRUE(shot.savePNG(uitest::renderDir() + "/picker-popover.png"));
    // The panel sits right of the drive button, inside the main window.
    const Rect f = panel->frame();
    EXPECT_TRUE(kit::rectContainsRect(m.window->frame(), f));
    EXPECT_EQ(pop->arrowDirection(), PopoverArrowLeft);
}

TEST_F(PickerGalleryTest, ExternalOnlyPicker) {
    fill(provider->getExVolumes(), {volume("SanDisk Ultra", "disk4", 61.5, 0, true),
                                    volume("Unknown", "disk5", 2000.4, 0, true),
                                    volume("WD Elements", "disk6", 4000.8, 0, true)});
    MockMain m;
    m.window->makeKeyAndOrderFront();
    auto picker = std::make_shared<SelectDiskViewController>();
    picker->setVolumeProvider(provider);
    picker->setIsOnlyShowEx(true);
    auto pop = popover(picker);
    pop->setBorderWidth(2.0);
    kit::Button* anchor = m.destination->selectDiskBut();
    pop->presentPopoverFromRect(anchor->bounds(), anchor, PopoverArrowRight, true);
    ASSERT_EQ(picker->tiles().size(), 3u);
    pop->popoverWindow()->display();
    kit::Bitmap shot = kit::renderWindow(*pop->popoverWindow());
    EXPECT_EQ(shot.width(), 416);
    EXPECT_TRUE(shot.savePNG(uitest::renderDir() + "/picker-external-only.png"));
}

TEST_F(PickerGalleryTest, ExternalOnlyPickerWithoutDisks) {
    fill(provider->getExVolumes(), {});
    root.setKnob("diskutil list", "fail");   // the scan that the empty list starts finds nothing
    MockMain m;
    m.window->makeKeyAndOrderFront();
    auto picker = std::make_shared<SelectDiskViewController>();
    picker->setVolumeProvider(provider);
    picker->setIsOnlyShowEx(true);
    auto pop = popover(picker);
    pop->setBorderWidth(2.0);
    kit::Button* anchor = m.destination->selectDiskBut();
    pop->presentPopoverFromRect(anchor->bounds(), anchor, PopoverArrowRight, true);
    ASSERT_TRUE(kit::runUntil([&] { return !provider->isScanningExVolumes(); }, 120));
    EXPECT_TRUE(picker->tiles().empty());
    EXPECT_TRUE(picker->loadP()->isAnimating());
    pop->popoverWindow()->display();
    kit::Bitmap shot = kit::renderWindow(*pop->popoverWindow());
    EXPECT_TRUE(shot.savePNG(uitest::renderDir() + "/picker-external-only-empty.png"));
}

TEST_F(PickerGalleryTest, FiveSlotLooks) {
    auto w = std::make_shared<kit::Window>(Rect(40, 300, 20 + 5 * 292, 240), kit::BorderlessWindowMask);
    w->setBackgroundColor(kit::Color::rgb255(243, 246, 251));
    Owner owner;
    std::vector<std::shared_ptr<SelectValueView>> slots;
    for (int i = 0; i < 5; ++i) {
        auto s = std::make_shared<SelectValueView>();
        s->setDiskFrom(i == 4 ? SlotIdSource : SlotIdDestination);
        s->setDelegate(&owner);
        s->view()->setFrameOrigin({20 + 292.0 * i, 20});
        w->contentView()->addSubview(s->viewPtr());
        slots.push_back(s);
    }
    slots[0]->nodeSelectLabel()->setStringValue("Click here to select a destination drive.");
    slots[1]->nodeSelectLabel()->setStringValue("Click here to select a destination drive.");
    auto hold = [](SelectValueView& s, const std::string& image, const std::string& name, const std::string& size) {
        s.selectDiskBut()->setImage(kit::Image::named(image));
        s.nameLabel()->setStringValue(name);
        s.sizeLabel()->setStringValue(size);
        s.nodeSelectLabel()->setStringValue("");
        s.closeDisk()->setHidden(false);
        s.setIsHaveD(true);
        s.changeBgImageViewWithError(false);
    };
    hold(*slots[2], "ic_usb_main", "USB", "49.70 GB free");
    hold(*slots[3], "ic_usb_main", "SanDisk Ultra", "8.00 GB free");
    slots[3]->nodeSelectLabel()->setStringValue("Insufficient disk space on this destination drive.");
    slots[3]->nodeSelectLabel()->setTextColor(kit::Color::rgb255(229, 72, 77));
    slots[3]->changeBgImageViewWithError(true);
    // The clone screen's fixed system card.
    SelectValueView& sys = *slots[4];
    sys.setIsHaveD(true);
    sys.setIsCanSelect(false);
    sys.selectDiskBut()->setEnabled(false);
    sys.selectDiskBut()->setImage(kit::Image::named("ic_os_main_b"));
    sys.bgImageView()->setImageNamed("source_sel");
    sys.nameLabel()->setStringValue("System Drive");
    sys.sizeLabel()->setStringValue(OVPublicUtilities::longlongDiskSize(34000000000));
    sys.nodeSelectLabel()->setStringValue("");
    w->orderFront();
    uitest::send(*w, kit::EventType::MouseMoved, slots[1]->view()->convertPointToView({30, 30}, nullptr));
    uitest::send(*w, kit::EventType::MouseMoved, sys.view()->convertPointToView({30, 30}, nullptr));
    auto bgName = [](SelectValueView& s) { return s.bgImageView()->image()->name(); };
    EXPECT_EQ(bgName(*slots[0]), "source");
    EXPECT_EQ(bgName(*slots[2]), "source_sel");
    EXPECT_EQ(bgName(*slots[3]), "source_sel_error");
    EXPECT_EQ(bgName(sys), "source_sel");
    // The pointer left slot 1 for the system card, which ignores it: put slot 1 back under it.
    uitest::send(*w, kit::EventType::MouseMoved, slots[1]->view()->convertPointToView({30, 30}, nullptr));
    EXPECT_EQ(bgName(*slots[1]), "source_hover");
    w->display();
    kit::Bitmap shot = kit::renderWindow(*w);
    EXPECT_TRUE(shot.savePNG(uitest::renderDir() + "/drive-slots.png"));
}

}  // namespace
