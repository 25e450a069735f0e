// The copy-mode chooser: the mode box, its menu, the menu's rows, and the
// timed close of the pop-up menus.
#include <chrono>

#include "Comm/LComboBox.h"
#include "Comm/PopWindow/RMAAttachedWindow.h"
#include "Comm/SelectAllFilePopVC.h"
#include "Comm/TimedMenuClose.h"
#include "UiTest.h"
#include "kit/RunLoop.h"
#include "support/EnvGuard.h"

namespace {

using kit::Rect;
using uitest::UiTest;

class Owner : public LComboBoxDelegate, public SelectAllFileVCDelegate {
public:
    void changeSelectCopyType() override { log += "allFiles "; }
    void doShowSearchView() override { log += "search "; }
    void showSelectAllVC() override { log += "menu "; }
    void mouseEixtView(bool left) override { log += left ? "left " : "entered "; }
    void selectFormatbyType(int32_t type) override { log += "choose:" + std::to_string(type) + " "; }
    std::string take() { return std::exchange(log, ""); }
    std::string log;
};

struct BoxInWindow {
    std::shared_ptr<kit::Window> window = std::make_shared<kit::Window>(Rect(100, 100, 300, 60), kit::TitledWindowMask);
    LComboBox box;
    Owner owner;
    BoxInWindow() {
        box.setLconboBoxDelegate(&owner);
        window->contentView()->addSubview(box.viewPtr());
        box.view()->setFrameOrigin({20, 14});
        window->makeKeyAndOrderFront();
    }
};

TEST_F(UiTest, TheBoxOpensItsMenuOnlyWhenEnabled) {
    BoxInWindow b;
    b.box.setStrLabelValue("Copy All Files");
    EXPECT_EQ(b.box.strLabel()->stringValue(), "Copy All Files");
    EXPECT_EQ(b.box.iconImageView()->image()->name(), "ic_filter");
    EXPECT_TRUE(b.box.searchButton()->isHidden());
    EXPECT_FALSE(b.box.isCanOpen());
    EXPECT_FALSE(b.box.openButton()->isEnabled());
    EXPECT_EQ(b.box.openButton()->normalImage()->name(), "ic_open");
    EXPECT_EQ(b.box.openButton()->disableImage()->name(), "ic_open_disable");

    uitest::clickView(*b.box.strLabel());   // a click on the box
    uitest::clickView(*b.box.openButton());
    EXPECT_EQ(b.owner.take(), "") << "closed: no menu";

    b.box.setlComboBoxEnde(true);
    EXPECT_TRUE(b.box.openButton()->isEnabled());
    uitest::clickView(*b.box.strLabel());
    EXPECT_EQ(b.owner.take(), "menu ");
    uitest::clickView(*b.box.openButton());
    EXPECT_EQ(b.owner.take(), "menu ");

    b.box.setlComboBoxEnde(false);
    uitest::clickView(*b.box.openButton());
    EXPECT_EQ(b.owner.take(), "");
}

TEST_F(UiTest, TheModesShowTheirNamesAndTheSearchButton) {
    BoxInWindow b;
    b.box.setStrLabelValue("Copy All Files");
    b.box.changeSelectType(CopyModeSomeFiles);
    EXPECT_EQ(b.box.strLabel()->stringValue(), "Copy Some Files");
    EXPECT_FALSE(b.box.searchButton()->isHidden());
    EXPECT_EQ(b.owner.take(), "") << "the owner hears only of all files";
    uitest::clickView(*b.box.searchButton());
    EXPECT_EQ(b.owner.take(), "search ");

    b.box.changeSelectType(CopyModeAllFiles);
    EXPECT_EQ(b.box.strLabel()->stringValue(), "Copy All Files");
    EXPECT_TRUE(b.box.searchButton()->isHidden());
    EXPECT_EQ(b.owner.take(), "allFiles ");

    b.box.changeSelectType(2);   // any other mode reads as some files
    EXPECT_EQ(b.box.strLabel()->stringValue(), "Copy Some Files");
    EXPECT_FALSE(b.box.searchButton()->isHidden());
    EXPECT_EQ(b.owner.take(), "");

    // A reset after a mode change hides the search button and closes the box.
    b.box.setlComboBoxEnde(true);
    b.box.setStrLabelValue("Copy All Files");
    EXPECT_TRUE(b.box.searchButton()->isHidden());
    EXPECT_FALSE(b.box.isCanOpen());
    EXPECT_FALSE(b.box.openButton()->isEnabled());
}

// The menu shown as the screens show it: in an attached window over a parent.
struct MenuShown {
    std::shared_ptr<kit::Window> parent = std::make_shared<kit::Window>(Rect(100, 100, 888, 536), kit::TitledWindowMask);
    std::shared_ptr<SelectAllFilePopVC> menu = std::make_shared<SelectAllFilePopVC>();
    std::shared_ptr<RMAAttachedWindow> window;
    Owner owner;
    MenuShown() {
        menu->setDelegate(&owner);
        parent->makeKeyAndOrderFront();
        window = RMAAttachedWindow::initWithView(menu->viewPtr(), {346, 46}, parent.get(), 3, 0, 0.8f);
        parent->addChildWindow(window, kit::WindowOrderingMode::Above);
    }
    void moveTo(kit::View& v) { uitest::send(*window, kit::EventType::MouseMoved, uitest::centreInWindow(v)); }
};

TEST_F(UiTest, HoverLightsOneRowAtATimeWhicheverWayThePointerGoes) {
    MenuShown m;
    const kit::Color white = kit::Color::white(), plain = kit::Color::rgb255(79, 79, 98);
    EXPECT_EQ(m.menu->label_1()->textColor(), plain);
    EXPECT_EQ(m.menu->view_1()->rowTag(), 0);
    EXPECT_EQ(m.menu->view_2()->rowTag(), 1);

    m.moveTo(*m.menu->view_1());
    EXPECT_EQ(m.owner.take(), "entered ");
    EXPECT_TRUE(m.menu->view_1()->isMouseIn());
    EXPECT_EQ(m.menu->label_1()->textColor(), white);
    EXPECT_EQ(m.menu->label_2()->textColor(), plain);

    m.moveTo(*m.menu->view_2());
    EXPECT_FALSE(m.menu->view_1()->isMouseIn());
    EXPECT_TRUE(m.menu->view_2()->isMouseIn());
    EXPECT_EQ(m.menu->label_1()->textColor(), plain);
    EXPECT_EQ(m.menu->label_2()->textColor(), white);

    m.moveTo(*m.menu->view_1());
    EXPECT_EQ(m.menu->label_1()->textColor(), white) << "the old row lets go before the new one lights";
    EXPECT_EQ(m.menu->label_2()->textColor(), plain);

    uitest::send(*m.window, kit::EventType::MouseExited, {-10, -10});
    EXPECT_EQ(m.owner.take(), "left ");
    EXPECT_EQ(m.menu->label_1()->textColor(), plain);
    EXPECT_FALSE(m.menu->view_1()->isMouseIn());
}

TEST_F(UiTest, AClickOnARowHandsItsTagToTheOwner) {
    MenuShown m;
    uitest::clickView(*m.menu->view_2());
    EXPECT_EQ(m.owner.take(), "entered choose:1 ");
    uitest::clickView(*m.menu->label_1());   // the label passes the click to its row
    EXPECT_EQ(m.owner.take(), "choose:0 ");

    // A hovered row draws blue behind its white label.
    kit::Bitmap b = kit::renderView(*m.menu->view_1());
    EXPECT_COLOR_NEAR(b.pixelAtPoint({4, 4}, false), kit::Color::rgb255(75, 141, 253), 4);
    kit::Bitmap other = kit::renderView(*m.menu->view_2());
    EXPECT_EQ(other.pixelAtPoint({4, 4}, false).alpha, 0);
}

TEST_F(UiTest, OneHoverAreaPerRowThatFollowsItsBounds) {
    MenuShown m;
    SortSelectBgView& row = *m.menu->view_1();
    EXPECT_EQ(row.trackingAreas().size(), 1u);
    row.awakeFromNib();
    EXPECT_EQ(row.trackingAreas().size(), 1u);
    EXPECT_EQ(m.menu->view()->trackingAreas().size(), 1u);
    row.setFrameSize({row.frame().width(), 20});
    uitest::send(*m.window, kit::EventType::MouseMoved, row.convertPointToView({10, 15}, nullptr));
    EXPECT_TRUE(row.isMouseIn());
}

// ---- the timed close ----

TEST_F(UiTest, AMenuThatThePointerNeverEntersClosesAfterItsDelay) {
    EnvGuard fast("PELORIN_TIME_SCALE", "0.02");   // 3 s become 60 ms
    TimedMenuClose closer;
    int closed = 0;
    EXPECT_TRUE(closer.open([&] { ++closed; }));
    EXPECT_TRUE(closer.isArmed());
    EXPECT_FALSE(closer.open([&] { closed += 100; })) << "a second opening meanwhile does nothing";
    kit::runUntil([&] { return closed > 0; }, 3.0);
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(closer.isOpen());
    kit::runFor(3.0);
    EXPECT_EQ(closed, 1);
}

TEST_F(UiTest, AnEnteredMenuStaysUntilThePointerLeavesOrAChoiceIsMade) {
    EnvGuard fast("PELORIN_TIME_SCALE", "0.02");
    TimedMenuClose closer;
    int closed = 0;
    closer.open([&] { ++closed; });
    closer.pointerEntered();
    EXPECT_FALSE(closer.isArmed());
    kit::runFor(6.0);   // twice the delay
    EXPECT_EQ(closed, 0);
    EXPECT_TRUE(closer.isOpen());
    closer.pointerLeft();
    EXPECT_EQ(closed, 1);
    closer.pointerLeft();
    closer.close();
    EXPECT_EQ(closed, 1) << "a closed menu is not closed again";

    closer.open([&] { closed += 10; });
    closer.close();   // a choice
    EXPECT_EQ(closed, 11);
    kit::runFor(6.0);
    EXPECT_EQ(closed, 11);

    // An entered menu gives way to a new opening.
    closer.open([&] { closed += 100; });
    closer.pointerEntered();
    EXPECT_TRUE(closer.open([&] { closed += 1000; }));
    EXPECT_EQ(closed, 111);
}

TEST_F(UiTest, TheTimerOfAnEarlierOpeningNeverClosesANewerMenu) {
    EnvGuard slow("PELORIN_TIME_SCALE", "0.1");   // 3 s become 300 ms
    using Clock = std::chrono::steady_clock;
    TimedMenuClose closer;
    int first = 0, second = 0;
    closer.open([&] { ++first; });
    closer.pointerLeft();   // closed at once; its timer still runs
    EXPECT_EQ(first, 1);
    kit::runFor(1.5);   // half the delay
    const Clock::time_point reopened = Clock::now();
    Clock::time_point closedAt;
    closer.open([&] {
        ++second;
        closedAt = Clock::now();
    });
    kit::runUntil([&] { return second > 0; }, 3.0);
    ASSERT_EQ(second, 1);
    const double after = std::chrono::duration<double>(closedAt - reopened).count();
    EXPECT_GE(after, 0.27) << "closed by its own timer, not by the first one at about 0.15 s";
    EXPECT_EQ(first, 1);
}

TEST_F(UiTest, ATimerOutlivingItsOwnerDoesNothing) {
    EnvGuard fast("PELORIN_TIME_SCALE", "0.02");
    int closed = 0;
    {
        TimedMenuClose closer;
        closer.open([&] { ++closed; });
    }
    kit::runFor(6.0);
    EXPECT_EQ(closed, 0);
}

}  // namespace
