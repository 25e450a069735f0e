// Formats from the "Disk Manager" page on the demo machine: the confirmation
// and its type menu, the erase route with the FAT32 name rule, the APFS route
// whose end waits for the reformat, the busy panel that never stays, the end
// panel that says whether the format worked, and one format at a time.
#include "Comm/PopWindow/RMAAttachedWindow.h"
#include "DiskManagerTestUtil.h"
#include "kit/SysPath.h"

using namespace diskmanager;

namespace {

// The pointer enters a view of a window (the menu's tracking area hears it).
void pointerInto(kit::View& v) {
    uitest::send(*v.window(), kit::EventType::MouseMoved, uitest::centreInWindow(v));
}

}  // namespace

TEST_F(DiskManagerTest, ConfirmationShowsTheVolumeAndCancelLeavesIt) {
    openTabOnTheDemoMachine();
    const long row = rowOf("Photos");
    clickRow(row);
    auto c = openConfirmation(row);
    ASSERT_TRUE(c);
    EXPECT_FALSE(page->formatend());
    EXPECT_EQ(c->nameLabel()->stringValue(), "Format 'Photos'?");
    EXPECT_EQ(c->nodeLabel()->stringValue(),
              "All data on 'Photos' will be deleted after format, do you want to format it?");
    EXPECT_EQ(c->nameTextFiled()->stringValue(), "Photos");
    EXPECT_EQ(c->typeLabel()->stringValue(), "Journaled HFS+");
    EXPECT_FALSE(c->openImageV()->isHidden());
    EXPECT_TRUE(c->typeSelectBut()->isEnabled());
    EXPECT_EQ(c->okButton()->textField()->stringValue(), "Continue");
    EXPECT_EQ(c->noButton()->textField()->stringValue(), "Cancel");

    // Format again while it is open: nothing.
    page->formatButtonAction(nullptr);
    EXPECT_EQ(statusWindows().size(), 1u);

    sim().clearJournal();
    click(c->noButton());
    EXPECT_EQ(confirmation(), nullptr);
    EXPECT_TRUE(statusWindows().empty());
    EXPECT_TRUE(page->formatend());
    kit::runFor(0.3);
    EXPECT_TRUE(changingDiskutilRuns().empty());
}

// The card's groups, from its top edge to its bottom edge, lie about as far
// apart as on the other confirmation cards: no empty band under the warning,
// the buttons well clear of the Format row and of the bottom edge.
TEST_F(DiskManagerTest, ConfirmationCardIsEvenlySpaced) {
    openTabOnTheDemoMachine();
    auto c = openConfirmation(rowOf("Photos"));
    ASSERT_TRUE(c);
    kit::View* root = c->view();
    auto frame = [&](kit::View* v) { return v->convertRectToView(v->bounds(), root); };
    // The card is drawn 6.5 points inside its view; the name field sits 5
    // points inside its row, the type button fills the Format row.
    const kit::Rect card = kit::insetRect(frame(c->makeSureView()), 6.5, 6.5);
    const kit::Rect title = frame(c->nameLabel());
    const kit::Rect warning = frame(c->nodeLabel());
    const kit::Rect nameRow = kit::insetRect(frame(c->nameTextFiled()), -5, -5);
    const kit::Rect formatRow = frame(c->typeSelectBut());
    const kit::Rect buttons = frame(c->okButton());
    EXPECT_EQ(frame(c->noButton()).minY(), buttons.minY());
    const struct {
        const char* what;
        double gap, least, most;
    } gaps[] = {
        {"top edge to the question", card.maxY() - title.maxY(), 10, 30},
        {"question to the warning", title.minY() - warning.maxY(), 0, 30},
        {"warning to the Name row", warning.minY() - nameRow.maxY(), 0, 30},
        {"Name row to the Format row", nameRow.minY() - formatRow.maxY(), 12, 30},
        {"Format row to the buttons", formatRow.minY() - buttons.maxY(), 16, 30},
        {"buttons to the bottom edge", buttons.minY() - card.minY(), 16, 30},
    };
    for (const auto& g : gaps) {
        EXPECT_GE(g.gap, g.least) << g.what;
        EXPECT_LE(g.gap, g.most) << g.what;
    }
}

TEST_F(DiskManagerTest, Fat32FormatFromTheMenu) {
    openTabOnTheDemoMachine();
    const long row = rowOf("Photos");
    clickRow(row);
    auto c = openConfirmation(row);
    ASSERT_TRUE(c);

    // The type menu: MS-DOS FAT32 chosen by a click on its row.
    click(c->typeSelectBut());
    ASSERT_TRUE(c->isPopSortWin());
    ASSERT_NE(c->formatTypeVC(), nullptr);
    std::shared_ptr<RMAAttachedWindow> menuWindow = c->sortAttachedWindow();
    ASSERT_NE(menuWindow, nullptr);
    EXPECT_TRUE(menuWindow->isVisible());
    EXPECT_EQ(menuWindow->parentWindow(), c->superDelegate().get());
    EXPECT_EQ(c->formatTypeVC()->label_2()->stringValue(), "MS-DOS FAT32");
    pointerInto(*c->formatTypeVC()->view_2());
    click(c->formatTypeVC()->view_2());
    EXPECT_EQ(c->typeLabel()->stringValue(), "MS-DOS FAT32");
    EXPECT_FALSE(c->isPopSortWin());
    kit::runFor(0.05);
    EXPECT_FALSE(menuWindow->isVisible());

    typeInto(*c->nameTextFiled(), "backup disk 2024");
    const std::string node = page->selectVolume()->volRootDir();
    sim().clearJournal();
    click(c->okButton());
    EXPECT_EQ(confirmation(), nullptr);

    ASSERT_TRUE(kit::runUntil([&] { return endPanel() != nullptr; }, 30));
    EXPECT_TRUE(endPanel()->formatSucceeded());
    EXPECT_EQ(endPanel()->endLabel()->stringValue(), "Format completed.");
    EXPECT_EQ(endPanel()->closeButton()->textField()->stringValue(), "OK");
    EXPECT_FALSE(busyPanelShown());
    EXPECT_EQ(diskutilArgs("eraseVolume"),
              (std::vector<std::vector<std::string>>{{"eraseVolume", "MS-DOS FAT32", "BACKUP DISK", node}}));
    ASSERT_TRUE(fs::is_directory(sim().path("/Volumes/BACKUP DISK")));
    EXPECT_TRUE(fs::is_empty(sim().path("/Volumes/BACKUP DISK")));
    EXPECT_FALSE(fs::exists(sim().path("/Volumes/Photos")));

    // The reload after the end panel shows the new volume.
    ASSERT_TRUE(kit::runUntil([&] { return rowOf("BACKUP DISK") >= 0; }, 30));
    EXPECT_EQ(text(rowOf("BACKUP DISK"), "type"), "MS-DOS FAT32");
    EXPECT_FALSE(GetVolumes::Instance().getVoumes());
    click(endPanel()->closeButton());
    EXPECT_TRUE(statusWindows().empty());
}

TEST_F(DiskManagerTest, ApfsFormatRenamesAndReformatsAndTheEndWaitsForIt) {
    openTabOnTheDemoMachine();
    // The reformat takes 2 s: the busy panel is seen while it runs.
    sim().setKnob("diskutil reformat", "slow:2");
    const long row = rowOf("Backup");
    clickRow(row);
    const std::string uuid = page->selectVolume()->diskUUID();
    const std::string node = page->selectVolume()->volRootDir();
    auto c = openConfirmation(row);
    ASSERT_TRUE(c);
    // APFS keeps its type: grey, no arrow, no menu.
    EXPECT_EQ(c->typeLabel()->stringValue(), "APFS");
    EXPECT_TRUE(c->openImageV()->isHidden());
    EXPECT_FALSE(c->typeSelectBut()->isEnabled());
    EXPECT_NEAR(c->typeLabel()->textColor().alpha, 0.6, 0.01);
    c->openMenuAction(nullptr);
    EXPECT_FALSE(c->isPopSortWin());

    typeInto(*c->nameTextFiled(), "Archive");
    sim().clearJournal();
    click(c->okButton());

    // The busy panel while the reformat runs; no end panel yet, files still there.
    ASSERT_TRUE(kit::runUntil([&] { return busyPanelShown(); }, 10));
    EXPECT_EQ(endPanel(), nullptr);
    EXPECT_TRUE(page->isFormatRunning());
    EXPECT_TRUE(GetVolumes::Instance().getVoumes());
    bool reformatEndedBeforeEndPanel = false;
    ASSERT_TRUE(kit::runUntil([&] {
        if (endPanel()) return true;
        reformatEndedBeforeEndPanel = !fs::exists(sim().path("/Volumes/Archive/Projects"));
        return false;
    }, 30));
    EXPECT_TRUE(reformatEndedBeforeEndPanel);
    EXPECT_TRUE(endPanel()->formatSucceeded());
    EXPECT_FALSE(busyPanelShown());
    EXPECT_EQ(diskutilArgs("rename"), (std::vector<std::vector<std::string>>{{"rename", uuid, "Archive"}}));
    EXPECT_EQ(diskutilArgs("reformat"), (std::vector<std::vector<std::string>>{{"reformat", node}}));
    EXPECT_TRUE(diskutilArgs("eraseVolume").empty());
    ASSERT_TRUE(kit::runUntil([&] { return rowOf("Archive") >= 0; }, 30));
    EXPECT_EQ(text(rowOf("Archive"), "type"), "APFS");
}

TEST_F(DiskManagerTest, ARenameKeptAfterAFailedReformatIsShownAsIs) {
    openTabOnTheDemoMachine();
    sim().setKnob("diskutil reformat", "fail");
    auto c = openConfirmation(rowOf("Backup"));
    ASSERT_TRUE(c);
    typeInto(*c->nameTextFiled(), "Archive");
    click(c->okButton());
    ASSERT_TRUE(kit::runUntil([&] { return endPanel() != nullptr; }, 30));
    EXPECT_FALSE(endPanel()->formatSucceeded());
    EXPECT_EQ(endPanel()->endLabel()->stringValue(),
              "The volume was renamed to 'Archive' but could not be formatted. Its files were not changed.");
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/Archive/Projects/site/index.html")));
    // The table shows the volume under the name it has.
    ASSERT_TRUE(kit::runUntil([&] { return rowOf("Archive") >= 0; }, 30));
    EXPECT_EQ(rowOf("Backup"), -1);
}

TEST_F(DiskManagerTest, AnInstantFailureShowsTheFailureAndNoBusyPanel) {
    // The busy panel is due 0.2 s after Continue, the end panel 2 s after the
    // failure: a busy panel shown before the failure is closed, one due after
    // it never comes.
    EnvGuard slower("PELORIN_TIME_SCALE", "2");
    openTabOnTheDemoMachine();
    sim().setKnob("diskutil eraseVolume", "fail");
    const long row = rowOf("USB");
    auto c = openConfirmation(row);
    ASSERT_TRUE(c);
    click(c->okButton());
    ASSERT_TRUE(kit::runUntil([&] { return endPanel() != nullptr; }, 30));
    EXPECT_FALSE(busyPanelShown());
    EXPECT_FALSE(page->isFormatRunning());
    EXPECT_FALSE(endPanel()->formatSucceeded());
    EXPECT_EQ(endPanel()->endLabel()->stringValue(), FormatEndViewController::kFailureText);
    EXPECT_EQ(statusWindows().size(), 1u);
    EXPECT_FALSE(page->lastFormat().ok);
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/USB/readme.txt")));
    EXPECT_EQ(diskutilArgs("eraseVolume").size(), 1u);
}

TEST_F(DiskManagerTest, AFailureAfterTheBusyPanelClosesIt) {
    openTabOnTheDemoMachine();
    // The erase takes a while (3 s from its start before it looks at the
    // machine), and the stick is pulled out as soon as it has started.
    sim().setKnob("diskutil eraseVolume", "slow:3");
    auto c = openConfirmation(rowOf("USB"));
    ASSERT_TRUE(c);
    sim().clearJournal();
    click(c->okButton());
    ASSERT_TRUE(kit::runUntil([&] { return !diskutilArgs("eraseVolume").empty(); }, 30));
    ASSERT_TRUE(sim().update([](sim::Machine& m) { m.removeDisk("disk4"); }));
    ASSERT_TRUE(kit::runUntil([&] { return busyPanelShown() || endPanel() != nullptr; }, 30));
    ASSERT_TRUE(kit::runUntil([&] { return endPanel() != nullptr; }, 30));
    EXPECT_FALSE(busyPanelShown());
    EXPECT_FALSE(endPanel()->formatSucceeded());
    EXPECT_EQ(statusWindows().size(), 1u);
}

TEST_F(DiskManagerTest, OneFormatAtATime) {
    openTabOnTheDemoMachine();
    // The reformat takes 2 s, however busy the machine: the format is still
    // running when the click returns.
    sim().setKnob("diskutil reformat", "slow:2");
    auto c = openConfirmation(rowOf("Backup"));
    ASSERT_TRUE(c);
    sim().clearJournal();
    click(c->okButton());
    ASSERT_TRUE(page->isFormatRunning());
    // While it runs, Format opens nothing and a second Continue starts nothing.
    page->formatButtonAction(nullptr);
    EXPECT_EQ(confirmation(), nullptr);
    page->makeSureToFormatSelectVolumeWithName("Other", "ExFAT");
    ASSERT_TRUE(kit::runUntil([&] { return endPanel() != nullptr; }, 30));
    EXPECT_TRUE(diskutilArgs("eraseVolume").empty());
    EXPECT_EQ(diskutilArgs("reformat").size(), 1u);
    // Afterwards a new one may start.
    click(endPanel()->closeButton());
    kit::runFor(0.2);
    clickRow(rowOf("USB"));
    EXPECT_NE(openConfirmation(rowOf("USB")), nullptr);
}

TEST_F(DiskManagerTest, AFormatThatChangesNothingIsAFailure) {
    openTabOnTheDemoMachine();
    // The tool says it worked and does nothing.
    sim().setKnob("diskutil eraseVolume", "garbage");
    auto c = openConfirmation(rowOf("USB"));
    ASSERT_TRUE(c);
    click(c->okButton());
    ASSERT_TRUE(kit::runUntil([&] { return endPanel() != nullptr; }, 30));
    EXPECT_FALSE(endPanel()->formatSucceeded());
    EXPECT_EQ(endPanel()->endLabel()->stringValue(), FormatEndViewController::kFailureText);
    EXPECT_EQ(page->lastFormat().status, 0);
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/USB/readme.txt")));
}

TEST_F(DiskManagerTest, AHungFormatEndsOnTheFailurePanelAtItsTimeOut) {
    // The erase's 600 s time-out scaled to 3 s, which the bound raises to 5 s.
    EnvGuard faster("PELORIN_TIME_SCALE", "0.005");
    openTabOnTheDemoMachine();
    sim().setKnob("diskutil eraseVolume", "hang");
    auto c = openConfirmation(rowOf("USB"));
    ASSERT_TRUE(c);
    click(c->okButton());
    ASSERT_TRUE(kit::runUntil([&] { return busyPanelShown(); }, 10));
    EXPECT_TRUE(DiskToolActions::isFormatting());
    ASSERT_TRUE(kit::runUntil([&] { return endPanel() != nullptr; }, 60));
    EXPECT_FALSE(endPanel()->formatSucceeded());
    EXPECT_TRUE(page->lastFormat().timedOut);
    EXPECT_FALSE(busyPanelShown());
    EXPECT_FALSE(DiskToolActions::isFormatting());
    EXPECT_FALSE(page->isFormatRunning());
    EXPECT_TRUE(fs::exists(sim().path("/Volumes/USB/readme.txt")));
    // A new format may start.
    click(endPanel()->closeButton());
    EXPECT_NE(openConfirmation(rowOf("USB")), nullptr);
}

TEST_F(DiskManagerTest, TypeMenuClosesByItselfUnlessEntered) {
    openTabOnTheDemoMachine();
    auto c = openConfirmation(rowOf("USB"));
    ASSERT_TRUE(c);
    // Not entered: closed 3 s (scaled) after it opened.
    c->openMenuAction(nullptr);
    std::shared_ptr<RMAAttachedWindow> first = c->sortAttachedWindow();
    ASSERT_TRUE(c->isPopSortWin());
    // A second opening while it is open does nothing.
    c->openMenuAction(nullptr);
    EXPECT_EQ(c->sortAttachedWindow(), first);
    ASSERT_TRUE(kit::runUntil([&] { return !c->isPopSortWin(); }, 5));
    kit::runFor(0.05);
    EXPECT_FALSE(first->isVisible());

    // Entered: it stays past its time, and closes when the pointer leaves.
    c->openMenuAction(nullptr);
    ASSERT_TRUE(c->isPopSortWin());
    c->mouseEixtView(false);
    kit::runFor(0.5);
    EXPECT_TRUE(c->isPopSortWin());
    EXPECT_TRUE(c->sortAttachedWindow()->isVisible());
    c->mouseEixtView(true);
    EXPECT_FALSE(c->isPopSortWin());

    // A menu still open when the confirmation closes goes with it, and its
    // timer finds nothing to close.
    c->openMenuAction(nullptr);
    std::shared_ptr<RMAAttachedWindow> last = c->sortAttachedWindow();
    const uint64_t token = c->menuClose().token();
    click(c->noButton());
    kit::runFor(0.05);
    EXPECT_FALSE(last->isVisible());
    EXPECT_NE(c->menuClose().token(), token);
    kit::runFor(0.4);
    EXPECT_TRUE(statusWindows().empty());
}
