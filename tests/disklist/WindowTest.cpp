// The file-choice window end to end on the demo machine: listing, the
// locked check boxes and Refresh while it runs, opening folders, the three
// check-box states, "Done" with its waiting cover and hand-back, reopening an
// earlier choice, closing without a choice, and "Done" during a listing.
#include <gtest/gtest.h>

#include <filesystem>

#include "Comm/NewOutlineView.h"
#include "DiskList/DiskListWC.h"
#include "DiskListTestSupport.h"
#include "kit/Workspace.h"
#include "kit/ui/Application.h"
#include "kit/ui/Render.h"
#include "support/SimRoot.h"
#include "ui/UiTest.h"

using namespace disklisttest;

namespace {

constexpr int64_t Off = FileNodeSelectStateOff, On = FileNodeSelectStateOn, Partly = FileNodeSelectStateMixed;

std::string renderDir() {
    const std::string dir = std::string(PELORIN_BUILD_DIR) + "/ui-render/file-choice";
    fs::create_directories(dir);
    return dir;
}

// The screen's side of the window.
struct Screen : DiskListWCDelegate {
    int handBacks = 0;
    FileNodeArray arr;
    int64_t size = -2;
    bool onMain = false;
    void closeWindowWithSelect(const FileNodeArray& a, int64_t withSelectSize) override {
        ++handBacks;
        arr = a;
        size = withSelectSize;
        onMain = kit::dispatch::isMainThread();
    }
};

class FileChoice : public ::testing::Test {
protected:
    void SetUp() override {
        kit::ensureUiApp();
        kit::Application::shared().setActive(true);
        ASSERT_TRUE(root.ok()) << root.error();
        for (const auto& disk : root.machine().disks)
            for (const auto& v : disk.volumes)
                if (v.name == "USB") {
                    usbDevice = "/dev/" + v.identifier;
                    usb = v.mountPoint;
                }
        ASSERT_FALSE(usb.empty());
    }
    void TearDown() override {
        for (kit::Window* w : kit::Application::shared().windows()) w->orderOut();
    }

    // A window as a screen opens it.
    std::unique_ptr<DiskListWC> open() {
        auto wc = std::make_unique<DiskListWC>();
        wc->setDelegate(&screen);
        EXPECT_TRUE(wc->window());
        wc->window()->center();
        wc->window()->makeKeyAndOrderFront();
        return wc;
    }
    static bool listed(DiskListWC& wc) { return !wc.listFileVC()->isScan(); }
    // A fresh listing of the USB volume, as a screen asks for it, to its end.
    std::unique_ptr<DiskListWC> openListed() {
        auto wc = open();
        wc->showDetailWithPath(usbDevice);
        EXPECT_TRUE(waitFor([&] { return listed(*wc); }));
        kit::runUntil(nullptr, 0.05);
        return wc;
    }
    // A real click in the middle of a row's cell.
    static void clickCell(DiskListWC& wc, const std::string& column, const FileNode::Ptr& node) {
        NewOutlineView& ov = *wc.listFileVC()->outlineView();
        const long row = ov.rowForItem(node), col = ov.columnWithIdentifier(column);
        ASSERT_GE(row, 0) << node->name();
        const kit::Rect f = ov.frameOfCellAtColumn(col, row);
        const kit::Point p = ov.convertPointToView(kit::Point{f.midX(), f.midY()}, nullptr);
        uitest::send(*wc.window(), kit::EventType::LeftMouseDown, p);
        uitest::send(*wc.window(), kit::EventType::LeftMouseUp, p);
    }
    // What the tool measures for a folder of the volume.
    int64_t measured(const std::string& name) const {
        return static_cast<int64_t>(getFolderSizeUsingCommand(usb + "/" + name));
    }
    static FileNode::Ptr top(DiskListWC& wc, const std::string& name) { return find(*wc.listFileVC()->rootNodeArr(), name); }

    sim::SimRoot root{"demo"};
    std::string usb, usbDevice;
    Screen screen;
};

TEST_F(FileChoice, RendersTheUsbVolumeWithAFolderOpenAndTheWaitingCover) {
    auto wc = open();
    ListFileViewController& list = *wc->listFileVC();
    wc->showDetailWithPath(usbDevice);
    EXPECT_EQ(list.searchPath(), usb);
    ASSERT_TRUE(waitFor([&] { return listed(*wc); }, 10));
    NewOutlineView& ov = *list.outlineView();
    FileNode::Ptr docs = top(*wc, "Documents");
    ASSERT_TRUE(docs);
    ov.expandItem(docs);
    ASSERT_TRUE(waitFor([&] { return docs->children().size() == 2; }));
    kit::runUntil(nullptr, 0.1);
    // One child off: the folder is partly chosen, the select-all box too.
    FileNode::Ptr report = find(docs->children(), "report.txt");
    list.setObjectValue(ov, kit::Value(0), ov.tableColumnWithIdentifier("CheckBox"), report);
    FileNode::Ptr readme = top(*wc, "readme.txt");
    list.setObjectValue(ov, kit::Value(0), ov.tableColumnWithIdentifier("CheckBox"), readme);
    EXPECT_EQ(report->state(), Off);
    EXPECT_EQ(docs->state(), Partly);
    EXPECT_EQ(list.selectAllButSt(), 2);
    kit::runUntil(nullptr, 0.1);
    EXPECT_TRUE(kit::renderWindow(*wc->window()).savePNG(renderDir() + "/usb-folder-open.png"));

    list.doShowLoadView();
    kit::runUntil(nullptr, 0.1);
    EXPECT_TRUE(kit::renderWindow(*wc->window()).savePNG(renderDir() + "/waiting-cover.png"));
    list.doHiddenLoadView();
}

TEST_F(FileChoice, AListingLocksTheListAndItsButtonsUntilItEnds) {
    auto wc = open();
    ListFileViewController& list = *wc->listFileVC();
    wc->showDetailWithPath(usbDevice);
    // A device node lists the volume's mount point, for Refresh too.
    EXPECT_EQ(list.searchPath(), usb);
    EXPECT_TRUE(list.isScan());
    EXPECT_TRUE(list.hasRefreshTimer());
    EXPECT_FALSE(list.refeshButton()->isUsable());
    EXPECT_FALSE(list.doneButton()->isUsable());
    EXPECT_EQ(list.selectAllButSt(), 1);
    // Check boxes, the select-all box and Done do nothing meanwhile.
    FileNode::Ptr loose = FileNode::initWithPath(usb + "/readme.txt", "readme.txt", false, nullptr);
    NewOutlineView& box = *list.outlineView();
    list.setObjectValue(box, kit::Value(0), box.tableColumnWithIdentifier("CheckBox"), loose);
    EXPECT_EQ(loose->state(), On);
    list.setAllSelectOrNoSelect(nullptr);
    EXPECT_EQ(list.selectAllButSt(), 1);
    list.doneButtonAction(nullptr);
    EXPECT_FALSE(list.isCounting());
    ASSERT_TRUE(waitFor([&] { return listed(*wc); }));
    EXPECT_TRUE(list.refeshButton()->isUsable());
    EXPECT_TRUE(list.doneButton()->isUsable());
    EXPECT_FALSE(list.hasRefreshTimer());
    EXPECT_EQ(names(*list.rootNodeArr()).size(), 6u);
    EXPECT_EQ(list.outlineView()->numberOfRows(), 6);
    // Folders show "-" for their size; files their size text.
    NewOutlineView& ov = *list.outlineView();
    EXPECT_EQ(list.objectValueForTableColumn(ov, ov.tableColumnWithIdentifier("Size"), top(*wc, "Music")).asString(),
              std::optional<std::string>("-"));
    EXPECT_EQ(list.objectValueForTableColumn(ov, ov.tableColumnWithIdentifier("Size"), top(*wc, "readme.txt")).asString(),
              std::optional<std::string>("15 byte"));
    EXPECT_EQ(list.objectValueForTableColumn(ov, ov.tableColumnWithIdentifier("Path"), top(*wc, "Music")).asString(),
              std::optional<std::string>(usb + "/Music"));
}

TEST_F(FileChoice, DoneCountsBehindTheCoverAndHandsTheListBack) {
    auto wc = openListed();
    ListFileViewController& list = *wc->listFileVC();
    clickCell(*wc, "CheckBox", top(*wc, "readme.txt"));
    EXPECT_EQ(top(*wc, "readme.txt")->state(), Off);
    EXPECT_EQ(list.selectAllButSt(), 2);
    const int64_t expected =
        measured("Documents") + measured("Docs link") + measured("Music") + measured("Empty Folder") + 9;

    uitest::clickView(*list.doneButton());
    EXPECT_TRUE(list.isCounting());
    EXPECT_FALSE(list.waitView()->isHidden());
    EXPECT_TRUE(list.loadProView()->isAnimating());
    EXPECT_FALSE(list.doneButton()->isUsable());
    EXPECT_FALSE(list.refeshButton()->isUsable());
    EXPECT_TRUE(wc->isGetSelectSize());
    // Neither the close button nor the cancel button closes it now.
    wc->closeWindow(nullptr);
    list.cancelButtonAction(nullptr);
    wc->window()->performClose();
    EXPECT_TRUE(wc->window()->isVisible());

    ASSERT_TRUE(waitFor([&] { return screen.handBacks == 1; }));
    EXPECT_EQ(screen.size, expected);
    EXPECT_EQ(screen.arr, list.rootNodeArr());  // the very list
    EXPECT_TRUE(screen.onMain);
    EXPECT_FALSE(wc->isGetSelectSize());
    EXPECT_TRUE(list.waitView()->isHidden());
    ASSERT_TRUE(waitFor([&] { return !wc->window()->isVisible(); }));
    kit::runUntil(nullptr, 0.2);
    EXPECT_EQ(screen.handBacks, 1);
}

TEST_F(FileChoice, ReopeningShowsTheEarlierChoiceWithoutAListing) {
    {
        auto wc = openListed();
        clickCell(*wc, "CheckBox", top(*wc, "readme.txt"));
        wc->listFileVC()->doneButtonAction(nullptr);
        ASSERT_TRUE(waitFor([&] { return screen.handBacks == 1; }));
    }
    const FileNodeArray earlier = screen.arr;
    const std::vector<std::string> order = names(*earlier);
    auto wc = open();
    ListFileViewController& list = *wc->listFileVC();
    list.setArrForListWithArr(earlier, usbDevice);
    EXPECT_EQ(list.rootNodeArr(), earlier);
    EXPECT_EQ(list.searchPath(), usb);
    EXPECT_FALSE(list.isScan());
    EXPECT_FALSE(list.hasRefreshTimer());
    EXPECT_EQ(list.controller()->eumeRoot(), nullptr);  // nothing listed
    EXPECT_EQ(list.selectAllButSt(), 2);
    EXPECT_EQ(list.outlineView()->numberOfRows(), 6);
    EXPECT_EQ(find(*earlier, "readme.txt")->state(), Off);
    kit::runUntil(nullptr, 0.2);
    EXPECT_EQ(names(*earlier), order);
}

TEST_F(FileChoice, ClosingWithoutDonePutsTheEarlierChoiceBack) {
    {
        auto wc = openListed();
        NewOutlineView& ov = *wc->listFileVC()->outlineView();
        FileNode::Ptr docs = top(*wc, "Documents");
        ov.expandItem(docs);
        ASSERT_TRUE(waitFor([&] { return docs->children().size() == 2; }));
        kit::runUntil(nullptr, 0.05);
        clickCell(*wc, "CheckBox", find(docs->children(), "report.txt"));
        EXPECT_EQ(docs->state(), Partly);
        wc->listFileVC()->doneButtonAction(nullptr);
        ASSERT_TRUE(waitFor([&] { return screen.handBacks == 1; }));
    }
    const FileNodeArray earlier = screen.arr;
    const FileNodeList topNodes = *earlier;
    FileNode::Ptr docs = find(*earlier, "Documents"), music = find(*earlier, "Music");
    FileNode::Ptr report = find(docs->children(), "report.txt");
    const int64_t sizeShown = screen.size;

    auto wc = open();
    ListFileViewController& list = *wc->listFileVC();
    NewOutlineView& ov = *list.outlineView();
    list.setArrForListWithArr(earlier, usbDevice);
    kit::runUntil(nullptr, 0.05);
    clickCell(*wc, "CheckBox", docs);  // partly → all
    EXPECT_EQ(docs->state(), On);
    ov.expandItem(music);
    ASSERT_TRUE(waitFor([&] { return !music->children().empty(); }));
    // Refresh empties and lists the screen's own list again.
    list.refreshButtonAction(nullptr);
    ASSERT_TRUE(waitFor([&] { return listed(*wc); }));
    EXPECT_EQ(list.rootNodeArr(), earlier);
    EXPECT_NE(find(*earlier, "Documents"), docs);

    uitest::clickView(*list.cancelButton());
    EXPECT_FALSE(wc->window()->isVisible());
    EXPECT_EQ(screen.handBacks, 1);
    EXPECT_EQ(*earlier, topNodes);
    EXPECT_EQ(docs->state(), Partly);
    EXPECT_EQ(report->state(), Off);
    EXPECT_TRUE(music->children().empty());
    EXPECT_FALSE(music->isExpand());
    EXPECT_EQ(screen.size, sizeShown);
}

TEST_F(FileChoice, DoneWaitsForAFolderStillBeingListed) {
    fs::create_directories(usb + "/Big");
    for (int i = 0; i < 3000; ++i) {
        const int fd = ::open((usb + "/Big/f" + std::to_string(i)).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) ::close(fd);
    }
    auto wc = openListed();
    ListFileViewController& list = *wc->listFileVC();
    FileNode::Ptr big = top(*wc, "Big");
    ASSERT_TRUE(big);
    list.outlineView()->expandItem(big);
    EXPECT_TRUE(list.controller()->isListingChildren());
    list.doneButtonAction(nullptr);
    EXPECT_TRUE(list.isCounting());
    std::size_t childrenAtHandBack = 0;
    ASSERT_TRUE(waitFor([&] {
        if (screen.handBacks == 1 && childrenAtHandBack == 0) childrenAtHandBack = big->children().size();
        return screen.handBacks == 1;
    }));
    EXPECT_EQ(childrenAtHandBack, 3000u);
    EXPECT_EQ(screen.size, 0);
}

TEST_F(FileChoice, SystemFilesHaveNoCheckBoxAndBundlesDoNotOpen) {
    auto wc = open();
    ListFileViewController& list = *wc->listFileVC();
    wc->showDetailWithPath(kit::sysPath("/"));
    ASSERT_TRUE(waitFor([&] { return listed(*wc); }));
    NewOutlineView& ov = *list.outlineView();
    kit::TableColumn* boxColumn = ov.tableColumnWithIdentifier("CheckBox");
    FileNode::Ptr system = top(*wc, "System"), apps = top(*wc, "Applications"), users = top(*wc, "Users");
    ASSERT_TRUE(system && apps && users);
    kit::CheckBoxCell cell;
    list.willDisplayCell(ov, cell, boxColumn, system);
    EXPECT_TRUE(cell.isTransparent());
    EXPECT_FALSE(cell.isEditable());
    list.willDisplayCell(ov, cell, boxColumn, users);
    EXPECT_FALSE(cell.isTransparent());
    EXPECT_TRUE(cell.isEditable());
    ASSERT_TRUE(cell.image());
    EXPECT_EQ(cell.image()->name(), "checkbox_sel");

    ov.expandItem(apps);
    ASSERT_TRUE(waitFor([&] { return !apps->children().empty(); }));
    kit::runUntil(nullptr, 0.05);
    FileNode::Ptr sketchpad = find(apps->children(), "Sketchpad.app");
    ASSERT_TRUE(sketchpad);
    EXPECT_TRUE(sketchpad->isDirectory());
    EXPECT_FALSE(list.isItemExpandable(ov, sketchpad));
    EXPECT_TRUE(list.isItemExpandable(ov, find(apps->children(), "Utilities")));
    EXPECT_FALSE(ov.isExpandable(sketchpad));

    // The reveal column shows the item in the file manager.
    clickCell(*wc, "OpenFinder", users);
    EXPECT_EQ(readLines(kit::revealedItemsPath()), std::vector<std::string>{users->path()});
}

TEST_F(FileChoice, TheSelectAllBoxFollowsTheTopLevelAndSetsOpenFolders) {
    auto wc = openListed();
    ListFileViewController& list = *wc->listFileVC();
    NewOutlineView& ov = *list.outlineView();
    FileNode::Ptr docs = top(*wc, "Documents");
    ov.expandItem(docs);
    ASSERT_TRUE(waitFor([&] { return docs->children().size() == 2; }));
    kit::runUntil(nullptr, 0.05);
    for (const auto& n : *list.rootNodeArr()) n->setState(Off);
    docs->setState(Partly);
    find(docs->children(), "report.txt")->setState(Off);
    list.changeSelectAllButtonState();
    EXPECT_EQ(list.selectAllButSt(), 2);
    EXPECT_EQ(list.selectAllButton()->buttonCell()->image()->name(), "checkbox_halfsel");

    list.setAllSelectOrNoSelect(nullptr);
    EXPECT_EQ(list.selectAllButSt(), 1);
    for (const auto& n : *list.rootNodeArr()) EXPECT_EQ(n->state(), On) << n->name();
    for (const auto& c : docs->children()) EXPECT_EQ(c->state(), On) << c->name();
    EXPECT_EQ(list.selectAllButton()->buttonCell()->image()->name(), "checkbox_sel");

    list.setAllSelectOrNoSelect(nullptr);
    EXPECT_EQ(list.selectAllButSt(), 0);
    for (const auto& n : *list.rootNodeArr()) EXPECT_EQ(n->state(), Off);
    for (const auto& c : docs->children()) EXPECT_EQ(c->state(), Off);
    // An empty list has nothing chosen.
    list.rootNodeArr()->clear();
    list.changeSelectAllButtonState();
    EXPECT_EQ(list.selectAllButSt(), 0);
}

TEST_F(FileChoice, AModalRunEndsWithTheHandBackOfTheWholeVolume) {
    auto wc = open();
    wc->showDetailWithPath(usb);
    DiskListWC* raw = wc.get();
    auto poll = kit::Timer::scheduled(0.05, true, [raw](kit::Timer& t) {
        ListFileViewController& list = *raw->listFileVC();
        if (!list.isScan() && !list.isCounting() && list.doneButton()->isUsable()) {
            uitest::clickView(*list.doneButton());
            t.invalidate();
        }
    });
    kit::Application::shared().runModalForWindow(*wc->window());
    EXPECT_EQ(screen.handBacks, 1);
    // Everything chosen: the whole volume, nothing measured.
    EXPECT_EQ(screen.size, 0);
    ASSERT_EQ(screen.arr->size(), 6u);
    for (const auto& n : *screen.arr) EXPECT_EQ(n->state(), On);
    EXPECT_FALSE(wc->window()->isVisible());
}

}  // namespace

TEST_F(FileChoice, ALongNameIsElidedAtItsColumnsEdge) {
    // Same bytes as readme.txt, so both rows show "15 byte".
    const std::string longName = "Minutes of the yearly meeting of the allotment society, with every appendix.txt";
    std::ofstream(usb + "/" + longName) << "Files to copy.\n";
    auto wc = openListed();
    ListFileViewController& list = *wc->listFileVC();
    NewOutlineView& ov = *list.outlineView();
    FileNode::Ptr longOne = top(*wc, longName), readme = top(*wc, "readme.txt");
    ASSERT_TRUE(longOne && readme);
    kit::TableColumn* nameColumn = ov.tableColumnWithIdentifier("Name");
    ASSERT_GT(nameColumn->dataCell()->font().sizeOfString(longName).width, nameColumn->width());

    ov.setRowNum(-1);
    const kit::Bitmap picture = kit::renderView(ov);
    EXPECT_TRUE(picture.savePNG(renderDir() + "/long-name.png"));
    // The name stops at its column: the Size cell beside it is drawn exactly
    // as the one of a short name with the same size.
    const long sizeColumn = ov.columnWithIdentifier("Size");
    const auto pixels = [&](long row) {
        const kit::Rect f = ov.frameOfCellAtColumn(sizeColumn, row);
        std::vector<uint32_t> out;
        for (int y = int(f.minY()); y < int(f.maxY()); ++y)
            for (int x = int(f.minX()); x < int(f.maxX()); ++x) out.push_back(picture.argb(x, y));
        return out;
    };
    EXPECT_EQ(pixels(ov.rowForItem(longOne)), pixels(ov.rowForItem(readme)));
    // And it shows an ellipsis rather than a cut letter: the size cell at its
    // tail, the name and path cells in their middle (their ends tell rows apart).
    for (const char* id : {"Name", "Size", "Path"}) {
        kit::TableColumn* column = ov.tableColumnWithIdentifier(id);
        auto* cell = dynamic_cast<kit::TextFieldCell*>(column->dataCell());
        ASSERT_TRUE(cell) << id;
        list.willDisplayCell(ov, *cell, column, longOne);
        EXPECT_EQ(cell->lineBreakMode(), std::string(id) == "Size" ? kit::LineBreakMode::TruncatingTail
                                                                   : kit::LineBreakMode::TruncatingMiddle)
            << id;
    }
}
