// The program's windows on a real X display under a real window manager
// (openbox): panels, menus and popovers stay above the window they belong
// to whatever raises that window, and a click on the window's background
// never moves it. The offscreen screen of the other tests has no window
// manager, so none of this can be seen there.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <functional>
#include <memory>

#include "AppDelegate.h"
#include "Bootable/MakeSureCancelCloneSystemVC.h"
#include "Bootable/MakeSureToCloneSystemVC.h"
#include "Bootable/SelectDrivceViewController.h"
#include "Comm/CopyModeMenu.h"
#include "Comm/ErrorWindowController.h"
#include "Comm/Lib/YLPopoverController.h"
#include "Comm/Lib/YLPopoverWindow.h"
#include "Comm/PopWindow/RMAAttachedWindow.h"
#include "Comm/PopWindow/StatusPanel.h"
#include "Comm/SelectValueView.h"
#include "Comm/TextImageButton.h"
#include "Disk/GetVolumes.h"
#include "DiskList/DiskListWC.h"
#include "DiskTool/FormatEndViewController.h"
#include "DiskTool/FormatTypeViewController.h"
#include "DiskTool/FormatingViewController.h"
#include "DiskTool/MakeSureFormatViewController.h"
#include "DiskTool/RepairDiskTableCellView.h"
#include "DiskTool/RepairDiskViewController.h"
#include "FileCopy/CopyMakeSureWC.h"
#include "FileCopy/DiskCopyViewController.h"
#include "MainWindowController.h"
#include "kit/RunLoop.h"
#include "kit/ui/Application.h"
#include "kit/ui/Control.h"
#include "kit/ui/TableView.h"
#include "ZipDmg/DMGMakeSureWC.h"
#include "support/ScreenTestUtil.h"
#include "support/SimRoot.h"
#include "x11/X11Session.h"

namespace {

using x11::WindowId;

class WindowManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        kit::ensureUiApp();
        ASSERT_TRUE(sim.ok()) << sim.error();
        ASSERT_TRUE(screentest::rescanSharedVolumes());
        main = std::make_shared<MainWindowController>();
        ASSERT_NE(main->window(), nullptr);
        main->window()->center();
        main->window()->makeKeyAndOrderFront();
        mainId = x11::idOf(*main->window());
        ASSERT_TRUE(x11::waitUntilManaged(mainId)) << "the window manager never listed the main window";
    }
    void TearDown() override {
        x11::release();
        for (kit::Window* w : kit::Application::shared().windows()) w->orderOut();
        kit::runFor(0.2);
    }

    // The window stands above the main window in the manager's stacking.
    ::testing::AssertionResult aboveMain(const kit::Window& w) {
        const WindowId id = x11::idOf(w);
        const int mine = x11::stackIndex(id), theirs = x11::stackIndex(mainId);
        if (mine > theirs && theirs >= 0) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "stacked at " << mine << ", the main window at " << theirs << " ("
                                             << x11::windowType(id) << ")";
    }

    // Runs `open`, which returns when the modal run it starts has ended, and
    // inside that run checks that the modal window belongs to the main
    // window and stays above it when the main window is raised; then closes
    // the modal window, whatever the checks found.
    void expectModalAboveMain(const std::string& what, const std::function<void()>& open) {
        bool checked = false;
        kit::Object guard;
        std::function<void()> check = [&] {
            kit::Window* modal = kit::Application::shared().modalWindow();
            if (!modal) {   // not yet running
                guard.performAfterDelay(0.05, check);
                return;
            }
            checked = true;
            checkModalAboveMain(*modal, what);
            modal->close();
        };
        guard.performAfterDelay(0.05, check);
        open();
        EXPECT_TRUE(checked) << what << " ran no modal window";
        EXPECT_EQ(kit::Application::shared().modalWindow(), nullptr) << what;
    }
    void checkModalAboveMain(kit::Window& modal, const std::string& what) {
        const WindowId id = x11::idOf(modal);
        ASSERT_TRUE(x11::waitUntilManaged(id)) << what;
        EXPECT_EQ(x11::transientFor(id), mainId) << what << ": " << x11::windowType(id);
        EXPECT_TRUE(aboveMain(modal)) << what;
        // Another program's raise of the main window (the main window itself
        // takes no input while the modal window runs).
        ASSERT_TRUE(x11::raise(mainId));
        EXPECT_TRUE(aboveMain(modal)) << what;
        EXPECT_TRUE(modal.isVisible()) << what;
        x11::screenshot("x11-modal-" + what + "-after-raise.png");
    }

    // Shows the Disk Manager page with the volume "Photos" selected.
    RepairDiskViewController* diskManagerOnPhotos() {
        main->TopDiskToolButtonAction(nullptr);
        RepairDiskViewController* page = main->repairDiskVC();
        if (!page || !kit::runUntil([&] { return page->isShown() && !page->rows().empty(); }, 30)) return nullptr;
        for (size_t i = 0; i < page->rows().size(); ++i) {
            if (page->rows()[i]->volumeName() != "Photos") continue;
            kit::TableView* table = page->parTableView();
            x11::pointerTo(x11::xPointOf(*table, kit::Point{40, table->rectOfRow(long(i)).midY()}));
            x11::click();
            photosRow = long(i);
            return page;
        }
        return nullptr;
    }
    // Clicks "Format" on the Photos row; the confirmation it opened.
    std::shared_ptr<MakeSureFormatViewController> clickFormat(RepairDiskViewController& page) {
        RepairDiskTableCellView* cell = page.cellAtRow(photosRow);
        kit::View* format = cell ? find(*cell, "format") : nullptr;
        if (!format) return nullptr;
        std::shared_ptr<MakeSureFormatViewController> before = page.makeSureFormatVC();
        x11::pointerTo(x11::xPointOf(*format));
        x11::click();
        kit::runUntil([&] {
            auto now = page.makeSureFormatVC();
            return now && now != before && now->superDelegate() && now->superDelegate()->isVisible();
        }, 5);
        auto now = page.makeSureFormatVC();
        return now != before ? now : nullptr;
    }

    // The descendant of `root` with this identifier.
    static kit::View* find(kit::View& root, const std::string& identifier) {
        for (const auto& s : root.subviews()) {
            if (s->identifier() == identifier) return s.get();
            if (kit::View* v = find(*s, identifier)) return v;
        }
        return nullptr;
    }

    sim::SimRoot sim{"demo"};
    std::shared_ptr<MainWindowController> main;
    long photosRow = -1;
    WindowId mainId = 0;
};

TEST_F(WindowManagerTest, APanelStaysAboveTheMainWindowWhateverRaisesIt) {
    auto panel = std::make_shared<ErrorWindowController>();
    std::shared_ptr<StatusAttachedWindow> window = showStatusPanel(panel, *main->window());
    panel->changeErrorLabelStr("Please select a destination drive.");
    ASSERT_NE(window, nullptr);
    const WindowId id = x11::idOf(*window);
    ASSERT_TRUE(x11::waitUntilManaged(id));
    EXPECT_EQ(x11::transientFor(id), mainId) << x11::windowType(id);
    // A helper of the main window (it never becomes main itself).
    EXPECT_NE(x11::windowType(id).find("_NET_WM_WINDOW_TYPE_UTILITY"), std::string::npos) << x11::windowType(id);
    EXPECT_TRUE(aboveMain(*window));

    // Activated by the window manager (the task list, Alt+Tab, another program).
    ASSERT_TRUE(x11::activate(mainId));
    EXPECT_TRUE(aboveMain(*window));
    x11::screenshot("x11-panel-over-main-activated.png");

    // A program's own request to raise the main window (the panel covers the
    // whole window, so no click can reach it).
    ASSERT_TRUE(x11::raise(mainId));
    EXPECT_TRUE(aboveMain(*window));
    EXPECT_TRUE(window->isVisible());
    window->close();
}

TEST_F(WindowManagerTest, TheFormatPanelStaysAboveAfterATypeIsChosenFromItsMenu) {
    main->TopDiskToolButtonAction(nullptr);
    RepairDiskViewController* page = main->repairDiskVC();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(kit::runUntil([&] { return page->isShown() && !page->rows().empty(); }, 30));
    long row = -1;
    for (size_t i = 0; i < page->rows().size(); ++i)
        if (page->rows()[i]->volumeName() == "Photos") row = long(i);
    ASSERT_GE(row, 0);
    kit::TableView* table = page->parTableView();
    x11::pointerTo(x11::xPointOf(*table, kit::Point{40, table->rectOfRow(row).midY()}));
    x11::click();
    RepairDiskTableCellView* cell = page->cellAtRow(row);
    ASSERT_NE(cell, nullptr);
    kit::View* format = find(*cell, "format");
    ASSERT_NE(format, nullptr);
    x11::pointerTo(x11::xPointOf(*format));
    x11::click();
    ASSERT_TRUE(kit::runUntil([&] { return page->makeSureFormatVC() && page->makeSureFormatVC()->superDelegate(); }, 5));
    std::shared_ptr<MakeSureFormatViewController> confirmation = page->makeSureFormatVC();
    std::shared_ptr<kit::Window> panel = confirmation->superDelegate();
    const WindowId panelId = x11::idOf(*panel);
    ASSERT_TRUE(x11::waitUntilManaged(panelId));
    EXPECT_EQ(x11::transientFor(panelId), mainId) << x11::windowType(panelId);
    EXPECT_TRUE(aboveMain(*panel));

    // The type menu: transient for the panel, above it.
    x11::pointerTo(x11::xPointOf(*confirmation->typeSelectBut()));
    x11::click();
    ASSERT_TRUE(confirmation->isPopSortWin());
    std::shared_ptr<RMAAttachedWindow> menu = confirmation->sortAttachedWindow();
    ASSERT_NE(menu, nullptr);
    const WindowId menuId = x11::idOf(*menu);
    ASSERT_TRUE(x11::waitUntilManaged(menuId));
    EXPECT_EQ(x11::transientFor(menuId), panelId) << x11::windowType(menuId);
    EXPECT_GT(x11::stackIndex(menuId), x11::stackIndex(panelId));
    x11::screenshot("x11-format-type-menu.png");

    // "MS-DOS FAT32": the menu goes, the panel stays above the main window.
    x11::pointerTo(x11::xPointOf(*confirmation->formatTypeVC()->view_2()));
    x11::click();
    EXPECT_EQ(confirmation->typeLabel()->stringValue(), "MS-DOS FAT32");
    kit::runFor(0.5);
    EXPECT_FALSE(menu->isVisible());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(aboveMain(*panel));
    x11::screenshot("x11-format-panel-after-type.png");

    ASSERT_TRUE(x11::activate(mainId));
    EXPECT_TRUE(aboveMain(*panel));

    x11::pointerTo(x11::xPointOf(*confirmation->noButton()));
    x11::click();
    EXPECT_FALSE(panel->isVisible());
}

// Windows run modally for the main window (which then takes no input) must
// never end up behind it: the program would look frozen.
TEST_F(WindowManagerTest, ModalWindowsBelongToTheMainWindowAndStayAboveIt) {
    AppDelegate delegate;
    expectModalAboveMain("about", [&] { delegate.aboutMenuItemAction(nullptr); });
    expectModalAboveMain("update", [&] { delegate.checkUpdateMenuItemAction(nullptr); });
    expectModalAboveMain("full-disk-access", [&] { main->bootableVC()->toCheckFullDiskAccess(); });
    std::shared_ptr<VolumeObj> photos;
    for (const auto& v : GetVolumes::Instance().getVolumes()->snapshot())
        if (v->volumeName() == "Photos") photos = v;
    ASSERT_NE(photos, nullptr);
    std::shared_ptr<DiskListWC> fileChoice;
    expectModalAboveMain("file-choice", [&] { screen::openFileChoice(fileChoice, nullptr, nullptr, photos); });
}

// Alt+F4 on the Format confirmation acts as its "Cancel": the page can open
// it again at once.
TEST_F(WindowManagerTest, ClosingTheFormatConfirmationFromTheWindowManagerCancelsIt) {
    RepairDiskViewController* page = diskManagerOnPhotos();
    ASSERT_NE(page, nullptr);
    std::shared_ptr<MakeSureFormatViewController> confirmation = clickFormat(*page);
    ASSERT_NE(confirmation, nullptr);
    std::shared_ptr<kit::Window> panel = confirmation->superDelegate();
    const WindowId panelId = x11::idOf(*panel);
    ASSERT_TRUE(x11::waitUntilManaged(panelId));
    // On a loaded machine the window manager may miss a key press the
    // pointer's owner got first; a user presses again.
    bool closed = false;
    for (int attempt = 0; attempt < 3 && !closed; ++attempt) {
        ASSERT_TRUE(x11::closeFromWindowManager(panelId));
        closed = kit::runUntil([&] { return !panel->isVisible(); }, 5);
    }
    ASSERT_TRUE(closed)
        << "the panel " << panelId << " is still shown; active: " << x11::activeWindow() << ", modal run: "
        << (kit::Application::shared().modalWindow() != nullptr);
    EXPECT_TRUE(page->formatend());
    EXPECT_TRUE(main->window()->childWindows().empty());

    std::shared_ptr<MakeSureFormatViewController> again = clickFormat(*page);
    ASSERT_NE(again, nullptr) << "Format does nothing after the window manager closed its confirmation";
    x11::pointerTo(x11::xPointOf(*again->noButton()));
    x11::click();
    EXPECT_TRUE(kit::runUntil([&] { return !again->superDelegate(); }, 5));
    EXPECT_TRUE(page->formatend());
}

// Alt+F4 reaches every kind of panel: each one with a button goes as that
// button takes it away; the busy panel, which has none, stays.
TEST_F(WindowManagerTest, AltF4ClosesEachPanelButTheBusyOne) {
    const std::vector<std::shared_ptr<StatusPanelController>> panels = {
        std::make_shared<FormatingViewController>(),   // stays
        std::make_shared<MakeSureFormatViewController>(), std::make_shared<MakeSureToCloneSystemVC>(),
        std::make_shared<MakeSureCancelCloneSystemVC>(),  std::make_shared<CopyMakeSureWC>(),
        std::make_shared<DMGMakeSureWC>(),                std::make_shared<ErrorWindowController>(),
        std::make_shared<FormatEndViewController>(),
    };
    std::shared_ptr<kit::Window> busy;
    for (const auto& panel : panels) {
        std::shared_ptr<kit::Window> window = showStatusPanel(panel, *main->window());
        ASSERT_NE(window, nullptr) << panel->nibName();
        const WindowId id = x11::idOf(*window);
        ASSERT_TRUE(x11::waitUntilManaged(id)) << panel->nibName();
        ASSERT_TRUE(x11::closeFromWindowManager(id)) << panel->nibName();
        if (!busy) {
            busy = window;
            continue;
        }
        EXPECT_TRUE(kit::runUntil([&] { return !window->isVisible(); }, 10)) << panel->nibName();
    }
    // The requests came in order: the busy panel's has long been handled.
    EXPECT_TRUE(busy->isVisible());
    EXPECT_GE(x11::stackIndex(x11::idOf(*busy)), 0);
    EXPECT_EQ(main->window()->childWindows().size(), 1u);
    busy->close();
}

TEST_F(WindowManagerTest, TheDrivePickerPopoverStaysAboveTheMainWindow) {
    DiskCopyViewController* screen = main->diskCopyVC();
    ASSERT_NE(screen, nullptr);
    x11::pointerTo(x11::xPointOf(*screen->selectFromVC()->selectDiskBut()));
    x11::click();
    ASSERT_TRUE(kit::runUntil([&] {
        YLPopoverController* c = screen->popoverController();
        return c && c->popoverIsVisible() && c->popoverWindow()->parentWindow() == main->window();
    }, 5));
    YLPopoverWindow* popover = screen->popoverController()->popoverWindow();
    const WindowId id = x11::idOf(*popover);
    ASSERT_TRUE(x11::waitUntilManaged(id)) << "shown by the kit: " << popover->isVisible();
    EXPECT_EQ(x11::transientFor(id), mainId) << x11::windowType(id);
    EXPECT_TRUE(aboveMain(*popover));

    ASSERT_TRUE(x11::activate(mainId));
    EXPECT_TRUE(popover->isVisible());
    EXPECT_TRUE(aboveMain(*popover));
    x11::screenshot("x11-drive-picker-over-main.png");
    screen->popoverController()->forceClosePopover(nullptr);
}

// Where the title bar meets the content, the screen shows the bar's light
// bottom line and the content's light top row from edge to edge: no darkened
// half-covered rim, no pixels cut out of the window's shape.
TEST_F(WindowManagerTest, TheTitleBarsBottomLineRunsUnbrokenToTheWindowsEdges) {
    const kit::Point at = x11::xPosition(mainId);
    const QImage screen = x11::grabScreen();
    const int left = int(at.x), right = int(at.x + main->window()->frame().width()) - 1;
    for (int row : {24, 25}) {
        const int y = int(at.y) + row;
        // The corner pixels of the content's top row are only a quarter covered.
        for (int x = left + (row == 25); x <= right - (row == 25); ++x) {
            const QRgb c = screen.pixel(x, y);
            EXPECT_GE(std::min({qRed(c), qGreen(c), qBlue(c)}), 215) << "at " << x - left << "," << row;
            if (HasFailure()) return;
        }
    }
}

// A point of the Disk Copy page where no control takes the press: it goes
// to the window's background.
kit::Point backgroundPoint(kit::Window& w) {
    for (kit::Point p : {kit::Point{300, 30}, kit::Point{200, 60}, kit::Point{860, 300}}) {
        kit::View* hit = w.hitTest(p);
        if (hit && !dynamic_cast<kit::Control*>(hit)) return p;
    }
    return kit::Point{-1, -1};
}

TEST_F(WindowManagerTest, AClickOnTheBackgroundNeverMovesTheWindowAndADragDoes) {
    kit::Window& w = *main->window();
    const kit::Point inWindow = backgroundPoint(w);
    ASSERT_GE(inWindow.x, 0) << "no background on the page";
    const double sh = kit::Screen::main().frame.height();
    const kit::Point spot{w.frame().x() + inWindow.x, sh - (w.frame().y() + inWindow.y)};
    const kit::Point before = x11::xPosition(mainId);

    // A quick click, then the pointer goes elsewhere without a button: the
    // window stays.
    x11::pointerTo(spot);
    x11::click();
    x11::pointerTo(kit::Point{spot.x + 150, spot.y + 120});
    x11::pointerTo(kit::Point{spot.x + 220, spot.y + 160});
    kit::runFor(0.3);
    EXPECT_EQ(x11::xPosition(mainId), before);
    x11::click();   // ends a move the window manager may have begun
    kit::runFor(0.2);

    // A press and 2 pixels of travel: still nothing. From 4 pixels on, the
    // window manager moves the window with the pointer, and leaves it where
    // the button is let go.
    const kit::Point start = x11::xPosition(mainId);
    x11::pointerTo(spot);
    x11::press();
    // (Each step is given time to reach the program on a loaded machine: the
    // window manager's move begins at the step that crosses the threshold.)
    x11::pointerTo(kit::Point{spot.x + 2, spot.y}, 0.4);
    EXPECT_EQ(x11::xPosition(mainId), start);
    x11::pointerTo(kit::Point{spot.x + 4, spot.y}, 0.6);
    x11::pointerTo(kit::Point{spot.x + 60, spot.y + 40}, 0.4);
    x11::pointerTo(kit::Point{spot.x + 104, spot.y + 70}, 0.4);
    x11::release();
    x11::pointerTo(kit::Point{spot.x + 300, spot.y + 200});
    kit::runFor(0.3);
    const kit::Point after = x11::xPosition(mainId);
    EXPECT_NEAR(after.x, start.x + 100, 1);
    EXPECT_NEAR(after.y, start.y + 70, 1);
    EXPECT_NEAR(w.frame().x(), after.x, 1);
    EXPECT_NEAR(sh - w.frame().maxY(), after.y, 1);

    // Straight down: the same.
    const kit::Point spot2{spot.x + 100, spot.y + 70};
    x11::pointerTo(spot2);
    x11::press();
    x11::pointerTo(kit::Point{spot2.x, spot2.y + 2}, 0.4);
    EXPECT_EQ(x11::xPosition(mainId), after);
    x11::pointerTo(kit::Point{spot2.x, spot2.y + 4}, 0.6);
    x11::pointerTo(kit::Point{spot2.x, spot2.y + 34}, 0.4);
    x11::pointerTo(kit::Point{spot2.x, spot2.y + 64}, 0.4);
    x11::release();
    x11::pointerTo(kit::Point{spot2.x + 300, spot2.y + 200});
    kit::runFor(0.3);
    const kit::Point down = x11::xPosition(mainId);
    EXPECT_NEAR(down.x, after.x, 1);
    EXPECT_NEAR(down.y, after.y + 60, 1);
    EXPECT_NEAR(sh - w.frame().maxY(), down.y, 1);
}

}  // namespace
