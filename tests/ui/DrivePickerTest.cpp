// The drive picker and its tiles against the simulated machine: the column's
// height and the places of labels and tiles, icons, size texts and usage
// bars, the hand-back that refreshes the provider's own record, and a picker
// opened while the list is still being scanned.
#include <string>
#include <vector>

#include "Comm/SelectDiskViewController.h"
#include "Disk/GetVolumes.h"
#include "Disk/OVPublicUtilities.h"
#include "UiTest.h"
#include "VolumeRecord.h"
#include "kit/RunLoop.h"
#include "kit/SysPath.h"
#include "kit/Workspace.h"
#include "support/SimRoot.h"

namespace {

using kit::Rect;
using uitest::UiTest;

const auto volume = uitest::volumeRecord;

class Screen : public kit::Object, public SelectDiskVCDelegate {
public:
    void doSelectDiskWithVolume(const std::shared_ptr<VolumeObj>& v) override { picked.push_back(v); }
    std::vector<std::shared_ptr<VolumeObj>> picked;
};

// A simulated machine and a provider of the test's own whose lists, once the
// first scans are over, hold exactly the records a test puts there.
class PickerTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        ASSERT_TRUE(root.ok()) << root.error();
        provider = GetVolumes::create();
    }
    void waitIdle() {
        ASSERT_TRUE(kit::runUntil([&] { return !provider->isScanningVolumes() && !provider->isScanningExVolumes(); }, 120));
        kit::runFor(0.05);   // the end announcements, posted on the main queue
    }
    void fill(std::shared_ptr<VolumeList> list, const std::vector<std::shared_ptr<VolumeObj>>& vols) {
        waitIdle();
        list->removeAllObjects();
        for (auto& v : vols) list->addObject(v);
    }
    std::shared_ptr<SelectDiskViewController> open(bool externalOnly) {
        auto p = std::make_shared<SelectDiskViewController>();
        p->setVolumeProvider(provider);
        p->setSelectDiskVCDelegate(&screen);
        p->setIsOnlyShowEx(externalOnly);
        p->view();
        return p;
    }
    static std::vector<std::string> labels(kit::View* column) {
        std::vector<std::string> out;
        for (auto& s : column->subviews())
            if (auto* t = dynamic_cast<kit::TextField*>(s.get()))
                out.push_back(t->stringValue() + "@" + std::to_string(int(t->frame().y())));
        return out;
    }
    static kit::View* column(SelectDiskViewController& p) { return p.diskListClipView()->documentView(); }

    sim::SimRoot root{"demo"};
    std::shared_ptr<GetVolumes> provider;
    Screen screen;
};

TEST_F(PickerTest, ColumnOfMountedVolumesWithInternalAndExternalSections) {
    fill(provider->getVolumes(), {volume("Data", "/a", 1000, 500, false), volume("Work", "/b", 1000, 500, false),
                                  volume("USB", "/c", 1000, 500, true)});
    auto p = open(false);
    ASSERT_TRUE(p->loadP()->isHidden());
    kit::View* col = column(*p);
    ASSERT_NE(col, nullptr);
    // Three volumes: the 400-point minimum.
    EXPECT_EQ(col->frame(), Rect(0, 0, 392, 400));
    EXPECT_EQ(labels(col), (std::vector<std::string>{"Internal Drives@380", "External Drives@229"}));
    ASSERT_EQ(p->tiles().size(), 3u);
    EXPECT_EQ(p->tiles()[0]->view()->frame().origin, (kit::Point{0, 318}));   // 400 - 64 - 18
    EXPECT_EQ(p->tiles()[1]->view()->frame().origin, (kit::Point{0, 254}));
    EXPECT_EQ(p->tiles()[2]->view()->frame().origin, (kit::Point{0, 165}));   // 400 - 64 - 128 - 43
    EXPECT_EQ(p->diskListVC(), p->tiles()[2].get());
    EXPECT_EQ(p->tiles()[2]->volumeObj()->volumeName(), "USB");
    // The column's top is in view.
    EXPECT_EQ(p->listScrollView()->documentVisibleRect().maxY(), 400);

    // Seven volumes: 64 × 7 + 50 = 498 points, scrolled to the top.
    std::vector<std::shared_ptr<VolumeObj>> seven;
    for (int i = 0; i < 7; ++i) seven.push_back(volume("V" + std::to_string(i), "/v", 100, 50, i >= 5));
    fill(provider->getVolumes(), seven);
    auto q = open(false);
    EXPECT_EQ(column(*q)->frame().height(), 498);
    EXPECT_EQ(q->listScrollView()->documentVisibleRect(), Rect(0, 98, 392, 400));
    // The overlay scroller takes no width from the column and shows its knob.
    kit::Scroller* scroller = q->listScrollView()->verticalScroller();
    ASSERT_NE(scroller, nullptr);
    EXPECT_FALSE(scroller->isHidden());
    EXPECT_NEAR(scroller->knobProportion(), 400.0 / 498, 1e-6);
    EXPECT_EQ(q->listScrollView()->contentSize().width, 392);
    // Three volumes fit: nothing to scroll, the scroller hides.
    EXPECT_TRUE(p->listScrollView()->verticalScroller()->isHidden());
    EXPECT_EQ(q->tiles()[4]->view()->frame().y(), 498 - 64 * 5 - 18);
    EXPECT_EQ(q->tiles()[5]->view()->frame().y(), 498 - 64 - 320 - 43);

    // Only ejectable volumes: the internal label stands alone above the external section.
    fill(provider->getVolumes(), {volume("A", "/a", 10, 5, true)});
    auto r = open(false);
    EXPECT_EQ(labels(column(*r)), (std::vector<std::string>{"Internal Drives@380", "External Drives@357"}));
    EXPECT_EQ(r->tiles()[0]->view()->frame().y(), 400 - 64 - 43);
}

TEST_F(PickerTest, ExternalOnlyColumnAndTiles) {
    fill(provider->getExVolumes(), {volume("Flash", "disk4", 64000000000, 0, true), volume("Photos", "disk5", 2000, 0, true)});
    auto p = open(true);
    kit::View* col = column(*p);
    EXPECT_EQ(labels(col), (std::vector<std::string>{"External Drives@380"}));
    ASSERT_EQ(p->tiles().size(), 2u);
    EXPECT_EQ(p->tiles()[0]->view()->frame().y(), 400 - 82);
    EXPECT_EQ(p->tiles()[1]->view()->frame().y(), 400 - 146);
    DiskListViewController& t = *p->tiles()[0];
    EXPECT_TRUE(t.isOnlyShowEx());
    EXPECT_EQ(t.sizeLabel()->stringValue(), "64.00 GB");   // the total alone
    EXPECT_EQ(t.nameLabel()->frame().size, (kit::Size{180, 14}));
    EXPECT_EQ(t.nameLabel()->font().pointSize(), 12);
    EXPECT_EQ(t.nameLabel()->toolTip(), "Flash");
    EXPECT_NEAR(t.sizeProgress()->used(), 240 * 0.001, 1e-4);   // essentially empty
    EXPECT_EQ(t.diskIconImageView()->image()->name(), "ic_usb");
}

TEST_F(PickerTest, TileIconsTextsAndBars) {
    const std::string sys = kit::sysPath("/");
    fill(provider->getVolumes(), {volume("System", sys, 1000000000, 250000000, false),
                                  volume("Work", "/w", 1000, 1000, false), volume("Stick", "/s", 0, 0, true),
                                  volume("Odd", "/o", 100, 300, false), volume("Neg", "/n", 100, -5, false)});
    auto p = open(false);
    ASSERT_EQ(p->tiles().size(), 5u);
    auto& tiles = p->tiles();
    EXPECT_EQ(tiles[0]->diskIconImageView()->image()->name(), "ic_os");
    EXPECT_EQ(tiles[1]->diskIconImageView()->image()->name(), "ic_disk");
    EXPECT_EQ(tiles[4]->diskIconImageView()->image()->name(), "ic_usb");   // the external one comes last
    EXPECT_EQ(tiles[0]->sizeLabel()->stringValue(), "750.00 MB/1.00 GB");
    EXPECT_EQ(tiles[0]->nameLabel()->stringValue(), "System");
    EXPECT_EQ(tiles[0]->sizeProgress()->frame(), Rect(76, 21, 240, 4));
    EXPECT_FLOAT_EQ(tiles[0]->sizeProgress()->used(), 180);   // 75 % used
    EXPECT_FLOAT_EQ(tiles[1]->sizeProgress()->used(), 0);     // all free
    // Free above the total or below zero: a full bar; a used size never negative.
    EXPECT_FLOAT_EQ(tiles[2]->sizeProgress()->used(), 240);
    EXPECT_EQ(tiles[2]->sizeLabel()->stringValue(), "0 byte/" + OVPublicUtilities::longlongConvertVolSpace(100));
    EXPECT_FLOAT_EQ(tiles[3]->sizeProgress()->used(), 240);
    // No size at all: a full bar, and the tile is still built.
    EXPECT_FLOAT_EQ(tiles[4]->sizeProgress()->used(), 240);
    EXPECT_EQ(tiles[4]->sizeLabel()->stringValue(), "0 byte/0 byte");

    // Hover: the "_sel" icon and the highlight, then back.
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 392, 400), kit::TitledWindowMask);
    w->contentView()->addSubview(p->viewPtr());
    w->orderFront();
    kit::View* tv = tiles[1]->view();
    const kit::Point in = tv->convertPointToView({100, 30}, nullptr);
    uitest::send(*w, kit::EventType::MouseMoved, in);
    EXPECT_TRUE(tiles[1]->aView()->mouseIn());
    EXPECT_EQ(tiles[1]->diskIconImageView()->image()->name(), "ic_disk_sel");
    EXPECT_COLOR_NEAR(kit::renderView(*tv).pixelAtPoint({20, 32}, false), kit::Color::rgb255(237, 243, 253), 2);
    uitest::send(*w, kit::EventType::MouseMoved, tv->convertPointToView({100, -30}, nullptr));
    EXPECT_EQ(tiles[1]->diskIconImageView()->image()->name(), "ic_disk");
    EXPECT_EQ(tiles[1]->aView()->trackingAreas().size(), 1u);
}

TEST_F(PickerTest, HandBackRefreshesTheSharedRecord) {
    auto list = provider->getVolumes();
    waitIdle();
    std::shared_ptr<VolumeObj> usb;
    for (auto& v : list->snapshot())
        if (v->volumeName() == "USB") usb = v;
    ASSERT_TRUE(usb);
    const auto real = kit::Workspace::shared().fileSystemSize(usb->volumePath());
    ASSERT_TRUE(real);
    usb->setVolumeTotalSizeNum(1);
    usb->setVolumeFreeSizeNum(1);
    usb->setVolumeTotalSize("stale");
    auto p = open(false);
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 392, 400), kit::TitledWindowMask);
    w->contentView()->addSubview(p->viewPtr());
    w->orderFront();
    DiskListViewController* tile = nullptr;
    for (auto& t : p->tiles())
        if (t->volumeObj() == usb) tile = t.get();
    ASSERT_NE(tile, nullptr);
    uitest::send(*w, kit::EventType::LeftMouseDown, tile->view()->convertPointToView({100, 30}, nullptr));
    ASSERT_EQ(screen.picked.size(), 1u);
    EXPECT_EQ(screen.picked[0], usb);                        // the provider's own record
    EXPECT_EQ(list->objectAtIndex(size_t(list->indexOfObject(usb))), usb);
    EXPECT_EQ(usb->volumeTotalSizeNum(), real->total);
    EXPECT_EQ(usb->volumeFreeSizeNum(), real->free);
    EXPECT_EQ(usb->volumeTotalSize(), OVPublicUtilities::longlongConvertVolSpace(real->total));
    EXPECT_EQ(usb->volumeFreeSize(), OVPublicUtilities::longlongConvertVolSpace(real->free));

    // A whole disk's identifier names no file system: handed back as it was.
    auto disk = volume("Stick", "disk4", 4000, 1000, true);
    checkDiskSpace(disk);
    EXPECT_EQ(disk->volumeTotalSizeNum(), 4000);
    EXPECT_EQ(disk->volumeFreeSizeNum(), 1000);
    auto gone = volume("Gone", "/nowhere/at/all", 4000, 1000, false);
    checkDiskSpace(gone);
    EXPECT_EQ(gone->volumeTotalSizeNum(), 4000);
    EXPECT_EQ(gone->volumeTotalSize(), OVPublicUtilities::longlongConvertVolSpace(4000));
}

TEST_F(PickerTest, OpenedDuringTheScanTheTilesComeWhenItEnds) {
    // A fresh provider: opening asks for the list, which starts the scan
    // (a slow disk tool keeps it running while the picker is looked at).
    root.setKnob("diskutil list", "slow:2");
    auto p = open(false);
    EXPECT_TRUE(provider->isScanningVolumes());
    EXPECT_FALSE(p->loadP()->isHidden());
    EXPECT_TRUE(p->loadP()->isAnimating());
    EXPECT_TRUE(p->tiles().empty());
    ASSERT_TRUE(kit::runUntil([&] { return !p->tiles().empty(); }, 120));
    root.clearKnobs();
    EXPECT_TRUE(p->loadP()->isHidden());
    std::vector<std::string> names;
    for (auto& t : p->tiles()) names.push_back(t->volumeObj()->volumeName());
    EXPECT_EQ(names, (std::vector<std::string>{"System HD - Data", "USB", "Photos", "Backup"}));

    // Built once: a later scan leaves the open picker's tiles as they were.
    const auto before = p->tiles();
    provider->getDiskAndVolumes();
    waitIdle();
    EXPECT_EQ(p->tiles(), before);

    // External disks, opened on the scan too.
    auto q = open(true);
    ASSERT_TRUE(kit::runUntil([&] { return !q->tiles().empty(); }, 120));
    for (auto& t : q->tiles()) EXPECT_TRUE(t->volumeObj()->bCanEject());
}

TEST_F(PickerTest, AScanThatFindsNothingShowsTheEmptyColumn) {
    root.setKnob("diskutil list", "fail");
    auto p = open(false);
    ASSERT_TRUE(kit::runUntil([&] { return p->loadP()->isHidden(); }, 120));
    EXPECT_FALSE(p->loadP()->isAnimating());
    EXPECT_TRUE(p->tiles().empty());
    EXPECT_EQ(labels(column(*p)), (std::vector<std::string>{"Internal Drives@380"}));
}

// With no external disk, the external-only picker keeps its spinner turning
// and shows nothing else.
TEST_F(PickerTest, WithoutExternalDisksTheSpinnerTurnsAlone) {
    root.setKnob("diskutil list", "fail");
    auto p = open(true);
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 392, 400), kit::TitledWindowMask);
    w->contentView()->addSubview(p->viewPtr());
    w->orderFront();
    waitIdle();
    EXPECT_TRUE(p->tiles().empty());
    EXPECT_FALSE(p->loadP()->isHidden());
    EXPECT_TRUE(p->loadP()->isAnimating());
    EXPECT_TRUE(column(*p) == nullptr || labels(column(*p)).empty()) << "no heading over nothing";
    const int phase = p->loadP()->phase();
    EXPECT_TRUE(kit::runUntil([&] { return p->loadP()->phase() != phase; }, 5.0)) << "it turns";
}

TEST_F(PickerTest, TilesLiveWithThePickerAndNoLonger) {
    fill(provider->getVolumes(), {volume("Data", "/a", 1000, 500, false)});
    auto p = open(false);
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 392, 400), kit::TitledWindowMask);
    std::shared_ptr<kit::View> v = p->viewPtr();
    w->contentView()->addSubview(v);
    w->orderFront();
    const kit::Point at = p->tiles()[0]->view()->convertPointToView({100, 30}, nullptr);
    std::weak_ptr<DiskListViewController> tile = p->tiles()[0];
    p.reset();
    EXPECT_TRUE(tile.expired());
    uitest::send(*w, kit::EventType::MouseMoved, at);
    uitest::send(*w, kit::EventType::LeftMouseDown, at);
    EXPECT_TRUE(screen.picked.empty());
}

TEST(PickerFunctions, ProcessorBrandIsAskedOnce) {
    sim::SimRoot root("demo");
    ASSERT_TRUE(root.ok());
    root.setProcessorBrand("Apple M2");
    const bool first = is_m1_chip();
    root.setProcessorBrand("Genuine Intel");
    EXPECT_EQ(is_m1_chip(), first);   // cached for the life of the process
}

}  // namespace
