// Attached windows: where they go beside their point, the bubble they draw,
// the limits of their setters, and the status panels laid over the main
// window.
#include <QTimer>

#include "Comm/ErrorWindowController.h"
#include "Comm/PopWindow/AttachedWindowGeometry.h"
#include "Comm/PopWindow/MAAttachedWindow.h"
#include "Comm/PopWindow/RMAAttachedWindow.h"
#include "Comm/PopWindow/StatusAttachedWindow.h"
#include "Comm/PopWindow/StatusPanel.h"
#include "UiTest.h"
#include "kit/RunLoop.h"
#include "support/SimRoot.h"

namespace {

using kit::Point;
using kit::Rect;
using kit::Size;
using uitest::UiTest;

// ---- geometry on worked numbers ----

// A view of 100 x 50 with margin 2, arrow 20 wide and 10 high, radius 5.
AttachedWindowMetrics arrowMetrics() {
    AttachedWindowMetrics m;
    m.viewMargin = 2;
    m.arrowBaseWidth = 20;
    m.arrowHeight = 10;
    m.hasArrow = true;
    m.cornerRadius = 5;
    m.drawsRoundCornerBesideArrow = true;
    return m;
}

TEST(AttachedGeometry, EachSidePlacesTheWindowAndItsViewAsTheTableSays) {
    const AttachedWindowMetrics m = arrowMetrics();
    const Size view{100, 50};
    const Point p{500, 400};
    // Window 104 x 54 plus the arrow's 10 on the facing side; inset 20/2 + 5 = 15; distance 3.
    struct Case { int side; Rect window; Point viewOrigin; };
    const Case cases[] = {
        {0, Rect(383, 373, 114, 54), {2, 2}},  {4, Rect(383, 385, 114, 54), {2, 2}},
        {5, Rect(383, 361, 114, 54), {2, 2}},  {2, Rect(503, 373, 114, 54), {12, 2}},
        {6, Rect(503, 385, 114, 54), {12, 2}}, {7, Rect(503, 361, 114, 54), {12, 2}},
        {1, Rect(448, 333, 104, 64), {2, 2}},  {10, Rect(411, 333, 104, 64), {2, 2}},
        {11, Rect(485, 333, 104, 64), {2, 2}}, {3, Rect(448, 403, 104, 64), {2, 12}},
        {8, Rect(411, 403, 104, 64), {2, 12}}, {9, Rect(485, 403, 104, 64), {2, 12}},
        // Any other side: the corner on the point, no room for an arrow.
        {12, Rect(500, 400, 104, 54), {2, 2}}, {-1, Rect(500, 400, 104, 54), {2, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.side);
        attached::Frames f = attached::frames(m, view, p, c.side, 3, 1.0);
        EXPECT_EQ(f.window, c.window);
        EXPECT_EQ(f.view, Rect(c.viewOrigin, view));
    }
}

TEST(AttachedGeometry, TheArrowInsetCountsHalfTheBaseAndTheRadiusWhenTheCornerStaysRound) {
    AttachedWindowMetrics status;   // the status window's numbers
    status.arrowBaseWidth = 15;
    status.cornerRadius = 10;
    status.hasArrow = false;
    EXPECT_FLOAT_EQ(attached::arrowInset(status, 1.0), 17.5f);   // even with the arrow switched off
    EXPECT_FLOAT_EQ(attached::arrowInset(status, 2.0), 35.0f);
    status.drawsRoundCornerBesideArrow = false;
    EXPECT_FLOAT_EQ(attached::arrowInset(status, 1.0), 7.5f);
}

TEST(AttachedGeometry, TheAutomaticSideTakesTheFirstThatFitsThenShiftsNearTheParentsEdges) {
    AttachedWindowMetrics m;   // the status window: margin 2, inset 17.5, no arrow height
    m.arrowBaseWidth = 15;
    m.cornerRadius = 10;
    m.hasArrow = false;
    const Size view{100, 50};   // 104 x 54 with the margins
    const Rect screen(0, 0, 1600, 1000);
    auto side = [&](Point p, Rect parent, Rect visible = Rect(0, 0, 1600, 1000)) {
        return attached::bestSide(m, view, p, 5, visible, parent, 1.0);
    };
    EXPECT_EQ(side({800, 500}, screen), 1);
    EXPECT_EQ(side({800, 59}, screen), 1) << "reaching the visible frame's bottom exactly counts as room";
    EXPECT_EQ(side({800, 58}, screen), 2) << "no room below: right";
    EXPECT_EQ(side({1550, 30}, screen), 0) << "nor right: left";
    EXPECT_EQ(side({100, 30}, Rect(0, 0, 200, 1000), Rect(0, 0, 200, 1000)), 3) << "nor left: above";
    EXPECT_EQ(side({75, 30}, Rect(0, 0, 150, 80), Rect(0, 0, 150, 80)), 1) << "nowhere: below regardless";

    // Near the parent's left and right edges the window extends from the point.
    const Rect parent(700, 300, 400, 400);
    EXPECT_EQ(side({720, 500}, parent), 11);
    EXPECT_EQ(side({1080, 500}, parent), 10);
    EXPECT_EQ(side({900, 500}, parent), 1);
    // ... only when the shifted window fits the screen.
    EXPECT_EQ(side({1590, 500}, Rect(1580, 300, 20, 400)), 1);
    // Left and right of the point: near the parent's bottom it extends upward.
    EXPECT_EQ(side({1550, 30}, Rect(1000, 20, 600, 500)), 4);
    EXPECT_EQ(side({800, 40}, Rect(0, 20, 1600, 500)), 6);
}

TEST(AttachedGeometry, TheOutlineLiesOnePointInsideTheBodyAndCarriesTheArrow) {
    AttachedWindowMetrics plain;   // no arrow room, radius 6
    plain.cornerRadius = 6;
    plain.arrowBaseWidth = 0;
    kit::BezierPath body = attached::backgroundPath(plain, Rect(2, 2, 96, 46), 1, 1.0);
    EXPECT_EQ(body.bounds(), Rect(1, 1, 98, 48)) << "a 100-point body at 0 is outlined from 1 to 99";

    const AttachedWindowMetrics m = arrowMetrics();
    // Below the point: the arrow on the top edge, centred, its tip 10 above the body.
    kit::BezierPath below = attached::backgroundPath(m, attached::frames(m, {96, 46}, {0, 0}, 1, 0, 1.0).view, 1, 1.0);
    EXPECT_EQ(below.bounds(), Rect(1, 1, 98, 58));
    EXPECT_TRUE(below.containsPoint({50, 57}));
    EXPECT_FALSE(below.containsPoint({40, 57}));
    // Above: the body moves up by the arrow, whose tip points down at 1.
    kit::BezierPath above = attached::backgroundPath(m, attached::frames(m, {96, 46}, {0, 0}, 3, 0, 1.0).view, 3, 1.0);
    EXPECT_EQ(above.bounds(), Rect(1, 1, 98, 58));
    EXPECT_TRUE(above.containsPoint({50, 3}));
    EXPECT_FALSE(above.containsPoint({60, 3}));
    // Extending rightward below: the arrow sits 15 from the left (its inset).
    kit::BezierPath right = attached::backgroundPath(m, attached::frames(m, {96, 46}, {0, 0}, 11, 0, 1.0).view, 11, 1.0);
    EXPECT_TRUE(right.containsPoint({16, 57}));
    EXPECT_FALSE(right.containsPoint({50, 57}));

    // No arrow drawn when it is switched off, though its room stays.
    AttachedWindowMetrics off = m;
    off.hasArrow = false;
    kit::BezierPath none = attached::backgroundPath(off, attached::frames(off, {96, 46}, {0, 0}, 1, 0, 1.0).view, 1, 1.0);
    EXPECT_EQ(none.bounds(), Rect(1, 1, 98, 48));
}

// ---- the windows ----

std::shared_ptr<kit::View> hostedView(double w = 100, double h = 50) {
    return std::make_shared<kit::View>(Rect(0, 0, w, h));
}

TEST_F(UiTest, AnAttachedWindowPlacesItselfAndHostsItsView) {
    EXPECT_EQ(RMAAttachedWindow::initWithView(nullptr, {0, 0}, nullptr, 1, 0, 0.8f), nullptr);
    EXPECT_EQ(StatusAttachedWindow::initWithView(nullptr, {0, 0}, nullptr, 1, 5), nullptr);

    auto parent = std::make_shared<kit::Window>(Rect(200, 100, 888, 536), kit::TitledWindowMask);
    auto view = hostedView();
    auto menu = RMAAttachedWindow::initWithView(view, {346, 46}, parent.get(), 3, 0, 0.8f);
    ASSERT_NE(menu, nullptr);
    // The point is in the parent's base coordinates: (546, 146) on the screen.
    EXPECT_EQ(menu->frame(), Rect(546 - 52, 146, 104, 54));
    EXPECT_EQ(view->frame(), Rect(2, 2, 100, 50));
    EXPECT_EQ(view->superview(), menu->contentView());
    // Without a parent the same numbers are screen coordinates.
    auto loose = RMAAttachedWindow::initWithView(hostedView(), {346, 46}, nullptr, 3, 0, 0.8f);
    EXPECT_EQ(loose->frame(), Rect(346 - 52, 46, 104, 54));

    // The defaults draw no arrow: a plain rounded rectangle.
    EXPECT_EQ(menu->arrowHeight(), 0);
    EXPECT_EQ(menu->arrowBaseWidth(), 0);
    EXPECT_EQ(menu->cornerRadius(), 6);
    EXPECT_EQ(menu->hasArrow(), 1.0f);
    auto status = StatusAttachedWindow::initWithView(hostedView(), {300, 300}, nullptr, 1, 5);
    EXPECT_EQ(status->hasArrow(), 0.0f);
    EXPECT_EQ(status->arrowBaseWidth(), 15);
    EXPECT_EQ(status->cornerRadius(), 10);
    EXPECT_FLOAT_EQ(status->_arrowInset(), 17.5f);
    auto ma = MAAttachedWindow::initWithView(hostedView(), {300, 300}, nullptr, 12, 0);
    EXPECT_EQ(ma->side(), 1) << "the automatic side is resolved at creation";
    EXPECT_TRUE(ma->isMovableByWindowBackground());
}

TEST_F(UiTest, TheBubbleIsFilledAndOutlinedOnePointInside) {
    auto menu = RMAAttachedWindow::initWithView(hostedView(), {400, 400}, nullptr, 1, 0, 0.8f);
    menu->orderFront();
    kit::Bitmap b = kit::renderWindow(*menu);
    ASSERT_EQ(b.width(), 104);
    ASSERT_EQ(b.height(), 54);
    const double midY = 27;
    EXPECT_EQ(b.pixelAtPoint({0.5, midY}, false).alpha, 0) << "outside the outline";
    EXPECT_COLOR_NEAR(b.pixelAtPoint({1.5, midY}, false), kit::Color::rgb255(216, 224, 233), 12);
    EXPECT_COLOR_NEAR(b.pixelAtPoint({3.5, midY}, false), kit::Color(1, 1, 1, 0.97), 6);
    EXPECT_COLOR_NEAR(b.pixelAtPoint({102.5, midY}, false), kit::Color::rgb255(216, 224, 233), 12);
    EXPECT_EQ(b.pixelAtPoint({103.5, midY}, false).alpha, 0);
    EXPECT_EQ(b.pixelAtPoint({0.5, 0.5}, false).alpha, 0) << "rounded corner";

    // No outline with a border width of 0; the border never exceeds the margin.
    menu->setBorderWidth(0);
    kit::Bitmap plain = kit::renderWindow(*menu);
    EXPECT_COLOR_NEAR(plain.pixelAtPoint({1.5, midY}, false), kit::Color(1, 1, 1, 0.97), 6);
    menu->setBorderWidth(5);
    EXPECT_EQ(menu->borderWidth(), 2);
}

TEST_F(UiTest, TheSettersKeepTheirLimits) {
    auto menu = RMAAttachedWindow::initWithView(hostedView(), {400, 400}, nullptr, 1, 0, 0.8f);
    menu->setCornerRadius(100);
    EXPECT_EQ(menu->cornerRadius(), 27) << "(50 + 2 * 2 - 0) / 2";
    menu->setCornerRadius(-4);
    EXPECT_EQ(menu->cornerRadius(), 0);

    auto status = StatusAttachedWindow::initWithView(hostedView(), {400, 400}, nullptr, 1, 5);
    status->setCornerRadius(100);
    EXPECT_EQ(status->cornerRadius(), 19.5f) << "(50 + 4 - 15) / 2";
    EXPECT_EQ(status->arrowBaseWidth(), 15) << "54 - 19.5 - 19.5 leaves room for it";
    status->setArrowBaseWidth(40);
    EXPECT_EQ(status->arrowBaseWidth(), 15);

    menu->setCornerRadius(6);
    menu->setViewMargin(-3);
    EXPECT_EQ(menu->viewMargin(), 0);
    EXPECT_EQ(menu->frame().size, (Size{100, 50}));
    EXPECT_EQ(menu->cornerRadius(), 6);

    menu->setHasArrow(0.5f);   // read and set as a number, truncated
    EXPECT_EQ(menu->hasArrow(), 0.0f);
    menu->setHasArrow(2.0f);
    EXPECT_EQ(menu->hasArrow(), 1.0f);
    menu->setDrawsRoundCornerBesideArrow(0.0f);
    EXPECT_EQ(menu->drawsRoundCornerBesideArrow(), 0.0f);
}

TEST_F(UiTest, SetPointMovesTheWindowAndSideTwelvePutsItsCornerOnThePoint) {
    auto status = StatusAttachedWindow::initWithView(hostedView(), {400, 400}, nullptr, 1, 5);
    status->setFrameOrigin({10, 10});   // as the panels do: kept until the next layout
    EXPECT_EQ(status->frame().origin, (Point{10, 10}));
    status->setPoint({300, 200}, 12);
    EXPECT_EQ(status->side(), 12);
    EXPECT_EQ(status->frame(), Rect(300, 200, 104, 54));
    status->setPoint({300, 200}, 1);
    EXPECT_EQ(status->frame(), Rect(248, 200 - 54 - 5, 104, 54));

    // A resize places the window beside its point again, bubble and all.
    status->setFrameOrigin({10, 10});
    status->setFrame(Rect(10, 10, 300, 300));
    EXPECT_EQ(status->frame(), Rect(248, 200 - 54 - 5, 104, 54));
    EXPECT_EQ(status->bubbleImage()->size(), (kit::Size{104, 54}));
}

class MenuCloseLog : public RMAAttachedWindowDelegate {
public:
    void closeMattachedWindow() override { ++count; }
    int count = 0;
};

TEST_F(UiTest, AMenuWindowTellsItsDelegateWhenItLosesKeyStatus) {
    auto menu = RMAAttachedWindow::initWithView(hostedView(), {400, 400}, nullptr, 3, 0, 0.8f);
    MenuCloseLog log;
    menu->setMattachedWDelegate(&log);
    menu->orderFront();
    menu->makeKeyWindow();
    EXPECT_TRUE(menu->isKeyWindow());
    EXPECT_FALSE(menu->canBecomeMainWindow());
    auto other = std::make_shared<kit::Window>(Rect(0, 0, 50, 50), kit::TitledWindowMask);
    other->makeKeyAndOrderFront();
    EXPECT_EQ(log.count, 1);
}

TEST_F(UiTest, TheStatusWindowsLookFollowsTheSystemVersion) {
    struct Case { const char* version; double fillAlpha; int blur; };
    for (const Case& c : {Case{"10.8", 0.98, 0}, Case{"10.9", 0.06, 0}, Case{"10.10", 0.06, 400},
                          Case{"13.4", 0.06, 400}}) {
        SCOPED_TRACE(c.version);
        sim::SimRoot root("filters");
        ASSERT_TRUE(root.ok()) << root.error();
        root.setSystemVersion(c.version);
        auto w = StatusAttachedWindow::initWithView(hostedView(), {400, 400}, nullptr, 1, 5);
        EXPECT_COLOR_NEAR(w->windowBackgroundColor(), kit::Color::rgb255(225, 231, 239, c.fillAlpha), 1);
        EXPECT_EQ(w->windowBackgroundBlurRadius(), c.blur);
        EXPECT_DOUBLE_EQ(w->alphaValue(), 0.99);
    }
}

class PointerLog : public StatusAttachedWindowDelegate {
public:
    void mouseInWindow(bool inside) override { log += inside ? "in " : "out "; }
    void isHiddenWindow() override { log += "hidden "; }
    std::string log;
};

TEST_F(UiTest, TheStatusWindowReportsThePointerAndItsLossOfKeyStatus) {
    auto w = StatusAttachedWindow::initWithView(hostedView(), {400, 400}, nullptr, 1, 5);
    PointerLog log;
    w->setMattachedWDelegate(&log);
    w->orderFront();
    w->makeKeyWindow();
    uitest::send(*w, kit::EventType::MouseMoved, {50, 25});
    uitest::send(*w, kit::EventType::MouseExited, {-5, -5});
    auto other = std::make_shared<kit::Window>(Rect(0, 0, 50, 50), kit::TitledWindowMask);
    other->makeKeyAndOrderFront();
    EXPECT_EQ(log.log, "in out hidden ");
    // The content view carries the window's one area, whatever was there before.
    EXPECT_EQ(w->contentView()->trackingAreas().size(), 1u);
    w->updateTrackingAreas();
    EXPECT_EQ(w->contentView()->trackingAreas().size(), 1u);
}

// ---- status panels over the main window ----

std::shared_ptr<kit::Window> mainLike() {
    auto w = std::make_shared<kit::Window>(Rect(300, 200, 888, 539), kit::TitledWindowMask | kit::ClosableWindowMask);
    w->orderFront();
    return w;
}

TEST_F(UiTest, AStatusPanelIsAChildOfTheMainWindowThatMovesWithItAndLeavesOnClose) {
    auto main = mainLike();
    ASSERT_EQ(main->frame(), Rect(300, 200, 888, 561));
    auto panel = std::make_shared<ErrorWindowController>();
    auto window = showStatusPanel(panel, *main);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->parentWindow(), main.get());
    ASSERT_EQ(main->childWindows().size(), 1u);
    EXPECT_EQ(main->childWindows().front(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->frame(), Rect(300, 200, 892, 565)) << "on the main window's origin";
    EXPECT_EQ(panel->superDelegate(), window);
    // Attached below (x + 444 - 3, y) at 5 before the move: side 1 kept.
    EXPECT_EQ(window->side(), 1);
    EXPECT_EQ(window->point(), (Point{741, 200}));

    main->setFrameOrigin({320, 180});
    EXPECT_EQ(window->frame().origin, (Point{320, 180}));

    panel->closeWindow(nullptr);
    EXPECT_TRUE(main->childWindows().empty());
    EXPECT_EQ(window->parentWindow(), nullptr);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(panel->superDelegate(), nullptr) << "the panel lets go of its window on close";
    main->setFrameOrigin({0, 0});
    EXPECT_EQ(window->frame().origin, (Point{320, 180}));
}

TEST_F(UiTest, APanelThatNobodyKeepsClosesOnItsButtonAndLeavesNothingBehind) {
    auto main = mainLike();
    std::weak_ptr<ErrorWindowController> weakPanel;
    std::weak_ptr<StatusAttachedWindow> weakWindow;
    {
        auto panel = std::make_shared<ErrorWindowController>();
        weakPanel = panel;
        weakWindow = showStatusPanel(panel, *main);
        panel->changeErrorLabelStr("Please select the files to copy.");
    }
    ASSERT_FALSE(weakPanel.expired()) << "the window keeps its panel";
    ASSERT_FALSE(weakWindow.expired());
    ErrorWindowController* panel = weakPanel.lock().get();
    EXPECT_EQ(panel->errorLabel()->stringValue(), "Please select the files to copy.");
    ASSERT_NE(panel->okButton(), nullptr);
    EXPECT_TRUE(panel->okButton()->isUsable());
    EXPECT_EQ(panel->okButton()->textField()->stringValue(), "Done");
    EXPECT_EQ(panel->okButton()->normalImage()->name(), "btn_sec");

    weakWindow.lock()->makeKeyWindow();
    uitest::clickView(*panel->okButton());
    EXPECT_TRUE(main->childWindows().empty());
    kit::runUntil([&] { return weakPanel.expired() && weakWindow.expired(); }, 2.0);
    EXPECT_TRUE(weakPanel.expired()) << "the panel goes once its window closed";
    EXPECT_TRUE(weakWindow.expired()) << "and the window with it";
}

TEST_F(UiTest, ClosingAPanelTwiceIsHarmless) {
    auto main = mainLike();
    auto window = showStatusPanel(std::make_shared<ErrorWindowController>(), *main);
    window->close();
    window->close();
    EXPECT_TRUE(main->childWindows().empty());
    EXPECT_FALSE(window->isVisible());
    kit::runFor(0.05);
}

TEST_F(UiTest, ClosingAPanelEndsNoOtherWindowsModalRun) {
    auto& app = kit::Application::shared();
    auto main = mainLike();
    auto chooser = std::make_shared<kit::Window>(Rect(400, 300, 300, 200), kit::TitledWindowMask | kit::ClosableWindowMask);
    std::string seen;
    QObject guard;   // the timers go with the test
    QTimer::singleShot(0, &guard, [&] {
        // A busy panel over the main window closes while the file choice runs modally.
        auto window = showStatusPanel(std::make_shared<ErrorWindowController>(), *main);
        window->close();
        QTimer::singleShot(20, &guard, [&] {
            seen = app.modalWindow() == chooser.get() ? "still running" : "stopped";
            app.stopModalWithCode(7);
        });
    });
    QTimer::singleShot(3000, &guard, [&] { app.abortModal(); });
    long code = app.runModalForWindow(*chooser);
    EXPECT_EQ(seen, "still running");
    EXPECT_EQ(code, 7);

    // A panel that itself runs modally ends its own run when it closes.
    auto window = showStatusPanel(std::make_shared<ErrorWindowController>(), *main);
    QTimer::singleShot(0, &guard, [&] { window->close(); });
    EXPECT_EQ(app.runModalForWindow(*window), kit::ModalResponseStop);
}

TEST_F(UiTest, AMessageGivenBeforeTheViewLoadsStillShows) {
    auto panel = std::make_shared<ErrorWindowController>();
    panel->changeErrorLabelStr("Insufficient disk space on this destination drive, please select another drive.");
    panel->view();
    EXPECT_EQ(panel->errorLabel()->stringValue(),
              "Insufficient disk space on this destination drive, please select another drive.");
    panel->closeWindow(nullptr);   // no window yet: nothing happens
    panel->changeErrorLabelStr("The source drive cannot be the destination.");
    EXPECT_EQ(panel->errorLabel()->stringValue(), "The source drive cannot be the destination.");
}

}  // namespace
