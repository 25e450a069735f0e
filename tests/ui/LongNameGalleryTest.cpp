// Volume and file names of 60 characters in every place that shows one, on the
// demo machine with its volumes renamed: each name label shows the name's
// start and end around an ellipsis, with the whole name as its tool tip, and
// a picture of each place goes to ui-render/long-names/ under the build folder.
#include <functional>
#include <string>

#include "Bootable/SelectDrivceViewController.h"
#include "DiskList/DiskListWC.h"
#include "DiskList/ListFileViewController.h"
#include "DiskTool/MakeSureFormatViewController.h"
#include "DiskTool/RepairDiskTableCellView.h"
#include "DiskTool/RepairDiskViewController.h"
#include "FileCopy/DiskCopyViewController.h"
#include "ZipDmg/DmgViewController.h"
#include "kit/ui/TableCells.h"
#include "support/Gallery.h"
#include "support/ScreenTestUtil.h"

namespace {

using namespace screentest;

const std::string kSource = "Backup of the family photo library and project archives 2026";
const std::string kDestination = "Backup of the family photo library and project archives 2025";
const std::string kStick = "Flashline Ultra Media stick with the family photo archive 26";
const std::string kFile = "Minutes of the yearly meeting of the garden society 2026.txt";
const std::string kEllipsis = "…";

bool startsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }
bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// What a label shows of a name too long for it: its start and its end around
// an ellipsis.
void expectCutInTheMiddle(const std::string& shown, const std::string& name, const std::string& where) {
    EXPECT_NE(shown, name) << where;
    EXPECT_NE(shown.find(kEllipsis), std::string::npos) << where << ": " << shown;
    EXPECT_TRUE(startsWith(shown, name.substr(0, 8))) << where << ": " << shown;
    EXPECT_TRUE(endsWith(shown, name.substr(name.size() - 4))) << where << ": " << shown;
}

// A label showing `name`, cut, with the name whole as its tool tip.
void expectNameLabel(kit::TextField* label, const std::string& name, const std::string& where) {
    ASSERT_NE(label, nullptr) << where;
    EXPECT_EQ(label->stringValue(), name) << where;
    expectCutInTheMiddle(label->displayedString(), name, where);
    EXPECT_EQ(label->toolTip(), name) << where;
}

// The first text field under `root` that shows this text.
kit::TextField* fieldShowing(kit::View& root, const std::string& text) {
    for (const auto& v : root.subviews()) {
        if (v->isHidden()) continue;
        if (auto* f = dynamic_cast<kit::TextField*>(v.get()); f && f->stringValue() == text) return f;
        if (kit::TextField* f = fieldShowing(*v, text)) return f;
    }
    return nullptr;
}

void shoot(kit::Window& w, const std::string& name) {
    kit::runFor(0.4);   // popovers and panels fade in
    gallery::save(gallery::renderWithOverlays(w), "long-names", name);
}

class LongNames : public ::testing::Test {
protected:
    void SetUp() override {
        kit::ensureUiApp();
        kit::Application::shared().setActive(true);
        ASSERT_TRUE(sim.ok()) << sim.error();
        ASSERT_TRUE(sim.update([](sim::Machine& m) {
            m.renameVolume(*m.findByName("USB"), kSource);
            m.renameVolume(*m.findByName("Backup"), kDestination);
            for (auto& d : m.disks)
                if (d.identifier == "disk4") d.registryName = kStick;
        }));
        writeFile(sim.path("/Volumes/" + kSource + "/" + kFile), "Minutes.\n");
        main = std::make_shared<MainWindowController>();
        ASSERT_NE(main->window(), nullptr);
        main->window()->makeKeyAndOrderFront();
        // A fresh scan: the provider outlives the machine of an earlier test.
        GetVolumes& provider = GetVolumes::Instance();
        ASSERT_TRUE(kit::runUntil([&] { return !provider.isScanningVolumes(); }, 60));
        provider.getDiskAndVolumes();
        volumes = provider.getVolumes();
        // The external list is scanned again only when it is empty.
        ASSERT_TRUE(kit::runUntil([&] { return !provider.isScanningExVolumes(); }, 60));
        provider.getExVolumes()->removeAllObjects();
        provider.getExVolumes();
        ASSERT_TRUE(kit::runUntil(
            [&] { return !provider.isScanningVolumes() && volumeNamed(kSource) && volumeNamed(kDestination); }, 60));
        ASSERT_TRUE(kit::runUntil([&] { return !provider.isScanningExVolumes(); }, 60));
    }
    void TearDown() override { orderOutAllWindows(); }

    std::shared_ptr<VolumeObj> volumeNamed(const std::string& name) {
        for (const auto& v : volumes->snapshot())
            if (v->volumeName() == name) return v;
        return nullptr;
    }

    // A click on a slot of a screen, then the picker's hand-back.
    template <class Screen>
    void choose(Screen& screen, int slotId, const std::shared_ptr<VolumeObj>& v) {
        ASSERT_NE(v, nullptr);
        SelectValueView* slot = slotId == 1 ? screen.selectFromVC() : screen.selectToVC();
        screen.selectDiskButton(slotId, slot->selectDiskBut());
        screen.doSelectDiskWithVolume(v);
        kit::runUntil([&] { return !screen.popoverController() || !screen.popoverController()->popoverIsVisible(); }, 5);
    }

    // Opens the picker from a slot; true once its tiles are built.
    template <class Screen>
    bool openPicker(Screen& screen, int slotId) {
        SelectValueView* slot = slotId == 1 ? screen.selectFromVC() : screen.selectToVC();
        screen.selectDiskButton(slotId, slot->selectDiskBut());
        return kit::runUntil([&] { return screen.selectDiskVC() && screen.selectDiskVC()->loadP()->isHidden(); }, 30);
    }

    template <class Screen>
    void expectBothCards(Screen& screen, const std::string& where) {
        expectNameLabel(screen.selectFromVC()->nameLabel(), kSource, where + " source card");
        expectNameLabel(screen.selectToVC()->nameLabel(), kDestination, where + " destination card");
        // Two volumes whose names differ only at their end can be told apart.
        EXPECT_NE(screen.selectFromVC()->nameLabel()->displayedString(),
                  screen.selectToVC()->nameLabel()->displayedString());
    }

    sim::SimRoot sim{"demo"};
    std::shared_ptr<MainWindowController> main;
    std::shared_ptr<VolumeList> volumes;
};

TEST_F(LongNames, DriveCardsAndPickerTilesOfTheCopyAndImageTabs) {
    DiskCopyViewController& copy = *main->diskCopyVC();
    choose(copy, 1, volumeNamed(kSource));
    choose(copy, 2, volumeNamed(kDestination));
    expectBothCards(copy, "Disk Copy");
    shoot(*main->window(), "01-disk-copy-cards");

    ASSERT_TRUE(openPicker(copy, 2));
    expectNameLabel(fieldShowing(*copy.selectDiskVC()->view(), kSource), kSource, "picker tile");
    expectNameLabel(fieldShowing(*copy.selectDiskVC()->view(), kDestination), kDestination, "picker tile");
    shoot(*main->window(), "02-picker-tiles");
    copy.popoverController()->forceClosePopover(nullptr);

    // An empty card says nothing of the last name.
    copy.closeDiskValue(2);
    EXPECT_EQ(copy.selectToVC()->nameLabel()->toolTip(), "");

    main->TopDmgButtonAction(nullptr);
    DmgViewController& dmg = *main->dmgVC();
    choose(dmg, 1, volumeNamed(kSource));
    choose(dmg, 2, volumeNamed(kDestination));
    expectBothCards(dmg, "Disk Image Create");
    shoot(*main->window(), "03-disk-image-cards");

    // The run page names the file in work: the path keeps its file name.
    dmg.selectDiskView()->setHidden(true);
    dmg.copyProgressView()->setHidden(false);
    dmg.progressView()->setHidden(false);
    const std::string path = volumeNamed(kSource)->volumeMountPoint() + "/" + kFile;
    dmg.changePathValue(path);
    expectCutInTheMiddle(dmg.pathLabel()->displayedString(), path, "run page path");
    shoot(*main->window(), "04-disk-image-run-path");
}

TEST_F(LongNames, OsCloneTargetCardAndItsPicker) {
    main->BootableButtonAction(nullptr);
    SelectDrivceViewController& clone = *main->bootableVC();
    ASSERT_TRUE(kit::runUntil([&] { return !clone.isMeasuringUsedSize(); }, 60));
    ASSERT_TRUE(openPicker(clone, 2));
    expectNameLabel(fieldShowing(*clone.selectDiskVC()->view(), kStick), kStick, "external-only picker tile");
    shoot(*main->window(), "05-os-clone-picker");
    clone.popoverController()->forceClosePopover(nullptr);

    std::shared_ptr<VolumeObj> stick;
    for (const auto& v : GetVolumes::Instance().getExVolumes()->snapshot())
        if (v->volumeName() == kStick) stick = v;
    choose(clone, 2, stick);
    expectNameLabel(clone.selectToVC()->nameLabel(), kStick, "OS Clone target card");
    shoot(*main->window(), "06-os-clone-cards");
}

TEST_F(LongNames, DiskManagerRowAndFormatTitle) {
    main->TopDiskToolButtonAction(nullptr);
    RepairDiskViewController& page = *main->repairDiskVC();
    ASSERT_TRUE(kit::runUntil([&] { return page.isShown(); }, 30));
    long row = -1;
    for (size_t i = 0; i < page.rows().size(); ++i)
        if (page.rows()[i]->volumeName() == kSource) row = long(i);
    ASSERT_GE(row, 0);
    page.shouldSelectRow(*page.parTableView(), row);
    RepairDiskTableCellView* cell = nullptr;
    ASSERT_TRUE(kit::runUntil([&] { return (cell = page.cellAtRow(row)) && cell->isSelect(); }, 5));
    expectNameLabel(fieldShowing(*cell, kSource), kSource, "Disk Manager row");
    shoot(*main->window(), "07-disk-manager-row");

    page.formatButtonAction(nullptr);
    ASSERT_TRUE(kit::runUntil([&] { return onScreen(page.makeSureFormatVC()); }, 5));
    kit::TextField* title = page.makeSureFormatVC()->nameLabel();
    EXPECT_EQ(title->stringValue(), "Format '" + kSource + "'?");
    expectCutInTheMiddle(title->displayedString(), title->stringValue(), "format panel title");
    EXPECT_EQ(title->toolTip(), kSource);
    shoot(*main->window(), "08-format-title");
    page.makeSureFormatVC()->noButtonAction(nullptr);
}

TEST_F(LongNames, FileChoiceRows) {
    struct : DiskListWCDelegate {
        void closeWindowWithSelect(const FileNodeArray&, int64_t) override {}
    } owner;
    main->window()->orderOut();   // the picture shows the file-choice window alone
    auto wc = std::make_unique<DiskListWC>();
    wc->setDelegate(&owner);
    wc->window()->center();
    wc->window()->makeKeyAndOrderFront();
    ListFileViewController& list = *wc->listFileVC();
    wc->showDetailWithPath(volumeNamed(kSource)->volumeMountPoint());
    ASSERT_TRUE(kit::runUntil([&] { return !list.isScan(); }, 20));
    FileNode::Ptr node;
    for (const auto& n : *list.rootNodeArr())
        if (n->name() == kFile) node = n;
    ASSERT_TRUE(node);
    NewOutlineView& ov = *list.outlineView();
    const long row = ov.rowForItem(node);
    ASSERT_GE(row, 0);
    // The row's name and path as their cells draw them in their columns.
    for (const char* id : {"Name", "Path"}) {
        kit::TableColumn* column = ov.tableColumnWithIdentifier(id);
        auto* text = dynamic_cast<kit::TextFieldCell*>(column->dataCell());
        ASSERT_TRUE(text) << id;
        kit::setCellObjectValue(*text, list.objectValueForTableColumn(ov, column, node));
        list.willDisplayCell(ov, *text, column, node);
        const std::string whole = text->stringValue();
        EXPECT_TRUE(endsWith(whole, kFile)) << id;
        expectCutInTheMiddle(text->displayedStringForFrame(ov.frameOfCellAtColumn(ov.columnWithIdentifier(id), row)),
                             whole, std::string("file row ") + id);
    }
    ov.setRowNum(row);
    shoot(*wc->window(), "09-file-choice-rows");
}

}  // namespace
