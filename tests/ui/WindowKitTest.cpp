// What panels and screens build on: the order of hover changes, modal runs
// that end only for their own window, windows that keep their controller until
// they close, child windows tied to their parent in the window system, and
// renders that show the child windows over their parent.
#include <QAction>
#include <QPainter>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QCloseEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "UiTest.h"
#include "kit/Dispatch.h"
#include "kit/RunLoop.h"
#include "kit/ui/Control.h"
#include "kit/ui/Menu.h"
#include "kit/ui/QtBridge.h"

namespace {

using kit::Rect;
using uitest::UiTest;

class HoverLog : public kit::Responder {
public:
    void mouseEntered(kit::Event& e) override { log += "in:" + name(e) + " "; }
    void mouseExited(kit::Event& e) override { log += "out:" + name(e) + " "; }
    static std::string name(kit::Event& e) { return static_cast<const char*>(e.userData); }
    std::string log;
};

TEST_F(UiTest, TheOldAreaEndsBeforeTheNewOneBeginsWhateverTheTreeOrder) {
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 300, 100), kit::TitledWindowMask);
    auto left = std::make_shared<kit::View>(Rect(0, 0, 100, 100));
    auto right = std::make_shared<kit::View>(Rect(100, 0, 100, 100));
    // The right view comes first in the tree, the left one after it, and a
    // nested one deeper than both.
    auto holder = std::make_shared<kit::View>(Rect(200, 0, 100, 100));
    auto nested = std::make_shared<kit::View>(Rect(0, 0, 100, 100));
    w->contentView()->addSubview(right);
    w->contentView()->addSubview(left);
    w->contentView()->addSubview(holder);
    holder->addSubview(nested);
    HoverLog log;
    const unsigned opts = kit::TrackingMouseEnteredAndExited | kit::TrackingActiveAlways;
    left->addTrackingArea(std::make_shared<kit::TrackingArea>(Rect(0, 0, 100, 100), opts, &log, (void*)"L"));
    right->addTrackingArea(std::make_shared<kit::TrackingArea>(Rect(0, 0, 100, 100), opts, &log, (void*)"R"));
    nested->addTrackingArea(std::make_shared<kit::TrackingArea>(Rect(0, 0, 100, 100), opts, &log, (void*)"N"));
    w->makeKeyAndOrderFront();
    for (kit::Point p : {kit::Point{50, 50}, kit::Point{150, 50}, kit::Point{50, 50}, kit::Point{250, 50},
                         kit::Point{150, 50}, kit::Point{250, 50}})
        uitest::send(*w, kit::EventType::MouseMoved, p);
    EXPECT_EQ(log.log, "in:L out:L in:R out:R in:L out:L in:N out:N in:R out:R in:N ");
}

TEST_F(UiTest, StoppingAModalRunEndsThatWindowsRunOnly) {
    auto& app = kit::Application::shared();
    auto outer = std::make_shared<kit::Window>(Rect(0, 0, 200, 200), kit::TitledWindowMask | kit::ClosableWindowMask);
    auto inner = std::make_shared<kit::Window>(Rect(0, 0, 100, 100), kit::TitledWindowMask | kit::ClosableWindowMask);
    auto bystander = std::make_shared<kit::Window>(Rect(0, 0, 50, 50), kit::BorderlessWindowMask);
    std::vector<std::string> seen;
    long innerCode = 0;
    QTimer::singleShot(0, [&] {
        // A window that runs no modal loop closes: the outer run goes on.
        bystander->orderFront();
        bystander->close();
        app.stopModalForWindow(bystander.get());
        seen.push_back(app.modalWindow() == outer.get() ? "outer still runs" : "outer stopped");
        QTimer::singleShot(0, [&] {
            seen.push_back(app.modalWindow() == inner.get() ? "inner runs" : "no inner");
            // Two stops in one turn (a panel's close and its will-close
            // handler) end the inner run, not the outer one under it.
            app.stopModalWithCode(3);
            app.stopModal();
        });
        innerCode = app.runModalForWindow(*inner);
        seen.push_back(app.modalWindow() == outer.get() ? "back to outer" : "outer lost");
        app.stopModalForWindow(inner.get());   // no longer runs: nothing happens
        seen.push_back(app.isRunningModal(outer.get()) ? "outer still runs" : "outer stopped");
        outer->close();   // closing the modal window ends its run
    });
    long outerCode = app.runModalForWindow(*outer);
    EXPECT_EQ(seen, (std::vector<std::string>{"outer still runs", "inner runs", "back to outer", "outer still runs"}));
    EXPECT_EQ(innerCode, 3);
    EXPECT_EQ(outerCode, kit::ModalResponseStop);
    EXPECT_EQ(app.modalWindow(), nullptr);
}

TEST_F(UiTest, TheWindowManagersCloseOnAModalWindowEndsItsRun) {
    auto& app = kit::Application::shared();
    auto main = std::make_shared<kit::Window>(Rect(0, 0, 300, 300), kit::TitledWindowMask | kit::ClosableWindowMask);
    auto modal = std::make_shared<kit::Window>(Rect(50, 50, 100, 100), kit::TitledWindowMask | kit::ClosableWindowMask);
    main->orderFront();
    bool blocked = false;
    QTimer::singleShot(0, [&] {
        // The window system itself keeps input from the other windows.
        blocked = kit::widgetOf(*modal)->windowModality() == Qt::ApplicationModal;
        QCloseEvent close;   // what Alt+F4 or a taskbar's close delivers
        QApplication::sendEvent(kit::widgetOf(*modal), &close);
    });
    // Should the close not end the run, this does (the guard drops it afterwards).
    QObject guard;
    QTimer::singleShot(3000, &guard, [&] { app.abortModal(); });
    long code = app.runModalForWindow(*modal);
    EXPECT_TRUE(blocked);
    EXPECT_EQ(code, kit::ModalResponseStop);
    EXPECT_FALSE(modal->isVisible());
    EXPECT_EQ(kit::widgetOf(*modal)->windowModality(), Qt::NonModal);
}

TEST_F(UiTest, AModalWindowDestroyedDuringItsRunEndsIt) {
    auto modal = std::make_shared<kit::Window>(Rect(0, 0, 100, 100), kit::TitledWindowMask);
    kit::Window* raw = modal.get();
    QTimer::singleShot(0, [&] { modal.reset(); });
    EXPECT_EQ(kit::Application::shared().runModalForWindow(*raw), kit::ModalResponseAbort);
}

// A panel's controller that nobody else keeps: its window keeps it, and its
// "Done" button closes that window.
class PanelController : public kit::Responder {
public:
    std::shared_ptr<kit::Window> window;
    std::shared_ptr<kit::Button> done;
    static std::weak_ptr<PanelController> make(kit::Window& parent) {
        auto c = std::make_shared<PanelController>();
        c->window = std::make_shared<kit::Window>(Rect(10, 10, 120, 60), kit::BorderlessWindowMask);
        c->done = std::make_shared<kit::Button>(Rect(10, 10, 80, 30));
        c->window->contentView()->addSubview(c->done);
        c->done->setTarget(c.get());
        c->done->setAction("done:");
        c->registerAction("done:", [raw = c.get()](kit::Object*) {
            std::shared_ptr<kit::Window> w = raw->window;
            w->close();
            w->close();   // twice is harmless
            raw->closedWhileAlive = true;
        });
        kit::Window* w = c->window.get();
        w->retainUntilClosed(c, [raw = c.get()] { raw->window.reset(); });
        parent.addChildWindow(c->window, kit::WindowOrderingMode::Above);
        return c;
    }
    bool closedWhileAlive = false;
};

TEST_F(UiTest, AWindowKeepsItsControllerUntilItClosesAndThenLetsGo) {
    auto main = std::make_shared<kit::Window>(Rect(100, 100, 400, 300), kit::TitledWindowMask);
    main->orderFront();
    std::weak_ptr<PanelController> panel = PanelController::make(*main);
    kit::runFor(0.05);
    ASSERT_FALSE(panel.expired());   // nobody but its window keeps it
    std::weak_ptr<kit::Window> panelWindow = panel.lock()->window;
    ASSERT_EQ(main->childWindows().size(), 1u);
    EXPECT_TRUE(panelWindow.lock()->isVisible());

    kit::Button* done = panel.lock()->done.get();
    uitest::clickView(*done);
    ASSERT_FALSE(panel.expired());   // still inside the click's turn
    EXPECT_TRUE(panel.lock()->closedWhileAlive);
    EXPECT_EQ(panel.lock()->window, nullptr);   // its reference to the window went at the close
    EXPECT_TRUE(main->childWindows().empty());
    kit::runUntil([&] { return panel.expired() && panelWindow.expired(); }, 2);
    EXPECT_TRUE(panel.expired());
    EXPECT_TRUE(panelWindow.expired());
}

TEST_F(UiTest, ChildWindowsAreTheirParentsTransientWindows) {
    auto parent = std::make_shared<kit::Window>(Rect(100, 100, 400, 300), kit::TitledWindowMask);
    auto child = std::make_shared<kit::Window>(Rect(150, 120, 100, 50), kit::BorderlessWindowMask);
    parent->orderFront();
    parent->addChildWindow(child, kit::WindowOrderingMode::Above);
    QWindow* parentHandle = kit::widgetOf(*parent)->windowHandle();
    ASSERT_NE(parentHandle, nullptr);
    ASSERT_NE(kit::widgetOf(*child)->windowHandle(), nullptr);
    EXPECT_EQ(kit::widgetOf(*child)->windowHandle()->transientParent(), parentHandle);
    child->orderOut();
    child->orderFront();   // showing again keeps the link
    EXPECT_EQ(kit::widgetOf(*child)->windowHandle()->transientParent(), parentHandle);
    parent->removeChildWindow(child.get());
    EXPECT_EQ(kit::widgetOf(*child)->windowHandle()->transientParent(), nullptr);
}

// The window system is told a child's kind, for which alone it keeps the
// child above its parent: a child that may become main is a dialog, one that
// never does (a status panel, a menu, a popover) a tool window, a parentless
// window a plain one.
TEST_F(UiTest, ChildWindowsAreDialogsOrToolWindowsAndStayFrameless) {
    struct Panel : kit::Window {
        using kit::Window::Window;
        bool canBecomeMainWindow() const override { return true; }
    };
    auto parent = std::make_shared<kit::Window>(Rect(100, 100, 400, 300), kit::TitledWindowMask);
    auto panel = std::make_shared<Panel>(Rect(100, 100, 300, 200), kit::BorderlessWindowMask);
    auto menu = std::make_shared<kit::Window>(Rect(150, 120, 100, 50), kit::BorderlessWindowMask);
    auto popover = std::make_shared<kit::Window>(Rect(150, 120, 100, 50),
                                                 kit::BorderlessWindowMask | kit::UtilityWindowMask);
    parent->orderFront();
    EXPECT_EQ(kit::widgetOf(*parent)->windowType(), Qt::Window);
    parent->addChildWindow(panel, kit::WindowOrderingMode::Above);
    panel->addChildWindow(menu, kit::WindowOrderingMode::Above);
    EXPECT_EQ(kit::widgetOf(*panel)->windowType(), Qt::Dialog);
    EXPECT_EQ(kit::widgetOf(*menu)->windowType(), Qt::Tool);
    EXPECT_EQ(kit::widgetOf(*menu)->windowHandle()->transientParent(), kit::widgetOf(*panel)->windowHandle());
    // A popover is on screen before it becomes a child: shown again, linked.
    popover->orderFront();
    EXPECT_EQ(kit::widgetOf(*popover)->windowType(), Qt::Tool);
    parent->addChildWindow(popover, kit::WindowOrderingMode::Above);
    EXPECT_TRUE(kit::widgetOf(*popover)->isVisible());
    EXPECT_EQ(kit::widgetOf(*popover)->windowHandle()->transientParent(), kit::widgetOf(*parent)->windowHandle());
    for (kit::Window* w : {static_cast<kit::Window*>(panel.get()), menu.get(), popover.get()})
        EXPECT_TRUE(kit::widgetOf(*w)->windowFlags() & Qt::FramelessWindowHint);
    // Closed and shown again without a parent, the panel is a plain window.
    panel->close();
    panel->orderFront();
    EXPECT_EQ(kit::widgetOf(*panel)->windowType(), Qt::Window);
    EXPECT_EQ(kit::widgetOf(*panel)->windowHandle()->transientParent(), nullptr);
}

class Fill : public kit::View {
public:
    Fill(const Rect& r, kit::Color c) : kit::View(r), color_(c) {}
    void drawRect(const Rect&) override {
        color_.setFill();
        kit::BezierPath::fillRect(bounds());
    }
    kit::Color color_;
};

// A translucent window whose background is inset half a pixel (as the main
// window's is, just below its title bar): its half-covered rim belongs to its
// shape (the X test sees it shown at full strength), the quarter-covered
// corner does not, and a render keeps the true alpha.
TEST_F(UiTest, ATranslucentWindowsShapeHoldsItsHalfCoveredRim) {
    struct Inset : kit::View {
        using kit::View::View;
        void drawRect(const Rect&) override {
            kit::Color::rgb255(242, 247, 255).setFill();
            kit::BezierPath::fillRect(kit::insetRect(bounds(), 0.5, 0.5));
        }
    };
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 60, 40), kit::BorderlessWindowMask);
    w->setOpaque(false);
    w->setBackgroundColor(kit::Color::clear());
    w->setContentView(std::make_shared<Inset>(Rect()));
    w->orderFront();
    kit::runFor(0.05);
    const QRegion shape = kit::widgetOf(*w)->mask();
    for (QPoint p : {QPoint(30, 0), QPoint(0, 20), QPoint(59, 20), QPoint(30, 39), QPoint(30, 20)})
        EXPECT_TRUE(shape.contains(p)) << p.x() << "," << p.y();
    for (QPoint p : {QPoint(0, 0), QPoint(59, 39)}) EXPECT_FALSE(shape.contains(p)) << p.x() << "," << p.y();
    // A render of the window keeps the half-covered rim.
    kit::Bitmap r = kit::renderWindow(*w);
    EXPECT_NEAR(r.pixel(30, 0).alpha, 0.5, 0.02);
    EXPECT_NEAR(r.pixel(30, 20).alpha, 1.0, 0.01);
}

TEST_F(UiTest, ARenderOfAWindowShowsItsChildWindowsWhereTheySit) {
    auto parent = std::make_shared<kit::Window>(Rect(100, 100, 200, 150), kit::BorderlessWindowMask);
    parent->setContentView(std::make_shared<Fill>(Rect(), kit::Color::rgb255(255, 0, 0)));
    auto child = std::make_shared<kit::Window>(Rect(110, 120, 50, 40), kit::BorderlessWindowMask);
    child->setContentView(std::make_shared<Fill>(Rect(), kit::Color::rgb255(0, 0, 255)));
    auto hidden = std::make_shared<kit::Window>(Rect(200, 200, 40, 40), kit::BorderlessWindowMask);
    hidden->setContentView(std::make_shared<Fill>(Rect(), kit::Color::rgb255(0, 255, 0)));
    parent->orderFront();
    parent->addChildWindow(child, kit::WindowOrderingMode::Above);
    parent->addChildWindow(hidden, kit::WindowOrderingMode::Above);
    hidden->orderOut();

    kit::Bitmap b = kit::renderWindow(*parent);
    ASSERT_EQ(b.width(), 200);
    ASSERT_EQ(b.height(), 150);
    // The child covers x 10..60 and y 20..60 of the parent (y up).
    EXPECT_COLOR_NEAR(b.pixelAtPoint({35, 40}, false), kit::Color::rgb255(0, 0, 255), 1);
    EXPECT_COLOR_NEAR(b.pixelAtPoint({10.5, 59.5}, false), kit::Color::rgb255(0, 0, 255), 1);
    EXPECT_COLOR_NEAR(b.pixelAtPoint({9.5, 40}, false), kit::Color::rgb255(255, 0, 0), 1);
    EXPECT_COLOR_NEAR(b.pixelAtPoint({35, 60.5}, false), kit::Color::rgb255(255, 0, 0), 1);
    EXPECT_COLOR_NEAR(b.pixelAtPoint({120, 120}, false), kit::Color::rgb255(255, 0, 0), 1);   // hidden child
    kit::Bitmap alone = kit::renderWindow(*parent, false);
    EXPECT_COLOR_NEAR(alone.pixelAtPoint({35, 40}, false), kit::Color::rgb255(255, 0, 0), 1);
}

}  // namespace

namespace {

TEST_F(UiTest, MenuItemsAreDisabledWhileAModalWindowRuns) {
    auto main = std::make_shared<kit::Window>(Rect(0, 0, 400, 300), kit::TitledWindowMask);
    auto modal = std::make_shared<kit::Window>(Rect(50, 50, 100, 100), kit::TitledWindowMask);
    int opened = 0, linked = 0;
    kit::Responder target;
    target.registerAction("open:", [&](kit::Object*) { ++opened; });
    target.registerAction("link:", [&](kit::Object*) { ++linked; });
    auto open = std::make_shared<kit::MenuItem>("Open", "open:");
    auto link = std::make_shared<kit::MenuItem>("Link", "link:");
    open->setTarget(&target);
    link->setTarget(&target);
    link->setWorksWhenModal(true);
    auto menu = uitest::mainMenuWithFile({open, link});
    auto saved = kit::mainMenu();
    kit::setMainMenu(menu);
    main->makeKeyAndOrderFront();
    kit::attachMainMenu(*main, 80, 22);
    ASSERT_NE(kit::mainMenuBar(), nullptr);
    QList<QAction*> actions = kit::mainMenuBar()->actions().front()->menu()->actions();
    ASSERT_EQ(actions.size(), 2);

    bool openEnabled = true, actionEnabled = true, linkEnabled = false, openRan = true;
    QTimer::singleShot(0, [&] {
        openEnabled = open->isEnabled();
        actionEnabled = actions[0]->isEnabled();
        linkEnabled = link->isEnabled() && actions[1]->isEnabled();
        actions[0]->trigger();   // a shortcut that slipped through does nothing either
        openRan = open->performAction() || opened > 0;
        link->performAction();
        modal->close();
    });
    kit::Application::shared().runModalForWindow(*modal);
    EXPECT_FALSE(openEnabled);
    EXPECT_FALSE(actionEnabled);
    EXPECT_TRUE(linkEnabled);
    EXPECT_FALSE(openRan);
    EXPECT_EQ(linked, 1);
    // After the run everything is as it was.
    EXPECT_TRUE(open->isEnabled());
    EXPECT_TRUE(actions[0]->isEnabled());
    EXPECT_TRUE(open->performAction());
    EXPECT_EQ(opened, 1);
    kit::setMainMenu(saved);
}

}  // namespace

#include "Comm/OVHandButton.h"

namespace {

TEST_F(UiTest, HidingRemovingOrOrderingOutEndsHoverAndGivesTheCursorBack) {
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 300, 200), kit::TitledWindowMask);
    auto box = std::make_shared<kit::View>(Rect(10, 10, 200, 100));
    auto link = std::make_shared<OVHandButton>(Rect(10, 10, 100, 30));
    w->contentView()->addSubview(box);
    box->addSubview(link);
    HoverLog log;
    box->addTrackingArea(std::make_shared<kit::TrackingArea>(
        Rect(0, 0, 200, 100), kit::TrackingMouseEnteredAndExited | kit::TrackingActiveAlways, &log, (void*)"B"));
    w->makeKeyAndOrderFront();
    const kit::Point overLink = uitest::centreInWindow(*link);
    auto hover = [&] { uitest::send(*w, kit::EventType::MouseMoved, overLink); };

    hover();
    EXPECT_EQ(kit::Cursor::current(), kit::Cursor::pointingHand());
    box->setHidden(true);   // the link hides with its superview
    EXPECT_EQ(log.log, "in:B out:B ");
    EXPECT_EQ(kit::Cursor::current(), kit::Cursor::arrow());
    box->setHidden(false);
    hover();
    EXPECT_EQ(kit::Cursor::current(), kit::Cursor::pointingHand());

    link->removeFromSuperview();
    EXPECT_EQ(kit::Cursor::current(), kit::Cursor::arrow());
    box->addSubview(link);
    hover();
    EXPECT_EQ(kit::Cursor::current(), kit::Cursor::pointingHand());
    EXPECT_EQ(log.log, "in:B out:B in:B ");

    w->orderOut();   // the About window closing under the pointer
    EXPECT_EQ(log.log, "in:B out:B in:B out:B ");
    EXPECT_EQ(kit::Cursor::current(), kit::Cursor::arrow());
}

}  // namespace

namespace {

TEST_F(UiTest, HoveringAnyWindowButtonShowsTheGlyphsOnAllThree) {
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 300, 200), kit::TitledWindowMask | kit::ClosableWindowMask |
                                                                          kit::MiniaturizableWindowMask | kit::ResizableWindowMask);
    w->makeKeyAndOrderFront();
    kit::Button* buttons[3] = {w->standardWindowButton(kit::WindowButtonKind::Close),
                               w->standardWindowButton(kit::WindowButtonKind::Miniaturize),
                               w->standardWindowButton(kit::WindowButtonKind::Zoom)};
    // Every glyph crosses its button's centre; without it the centre is the
    // circle's colour.
    auto centreInk = [&] {
        kit::Bitmap b = kit::renderWindow(*w);
        std::vector<bool> inked;
        for (kit::Button* button : buttons) {
            kit::Point c = uitest::centreInWindow(*button);
            kit::Color px = b.pixelAtPoint({c.x, c.y}, false);
            inked.push_back(std::max({px.red, px.green, px.blue}) < 0.75);
        }
        return inked;
    };
    EXPECT_EQ(centreInk(), (std::vector<bool>{false, false, false}));
    uitest::send(*w, kit::EventType::MouseMoved, uitest::centreInWindow(*buttons[0]));
    EXPECT_EQ(centreInk(), (std::vector<bool>{true, true, true}));
    // Moving along the group keeps them; leaving it takes them away.
    uitest::send(*w, kit::EventType::MouseMoved, uitest::centreInWindow(*buttons[2]));
    EXPECT_EQ(centreInk(), (std::vector<bool>{true, true, true}));
    uitest::send(*w, kit::EventType::MouseMoved, {200, 50});
    EXPECT_EQ(centreInk(), (std::vector<bool>{false, false, false}));
}

}  // namespace

namespace {

TEST_F(UiTest, ClosingTheWindowInFrontGivesKeyAndMainBackToTheOneBefore) {
    auto& app = kit::Application::shared();
    auto main = std::make_shared<kit::Window>(Rect(0, 0, 300, 300), kit::TitledWindowMask | kit::ClosableWindowMask);
    auto about = std::make_shared<kit::Window>(Rect(50, 50, 100, 100), kit::TitledWindowMask | kit::ClosableWindowMask);
    main->makeKeyAndOrderFront();
    about->makeKeyAndOrderFront();
    EXPECT_TRUE(about->isKeyWindow());
    EXPECT_TRUE(about->isMainWindow());
    about->close();
    EXPECT_TRUE(main->isKeyWindow());
    EXPECT_TRUE(main->isMainWindow());
    // With nothing left to take it, nobody is key.
    main->orderOut();
    EXPECT_EQ(app.keyWindow(), nullptr);
    EXPECT_EQ(app.mainWindow(), nullptr);
}

}  // namespace

#include <thread>

namespace {

TEST_F(UiTest, ViewAndWindowMutatorsRefuseOtherThreads) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto w = std::make_shared<kit::Window>(Rect(0, 0, 100, 100), kit::TitledWindowMask);
    auto v = std::make_shared<kit::View>(Rect(0, 0, 10, 10));
    auto offMain = [](auto&& fn) { std::thread(fn).join(); };
    EXPECT_DEATH(offMain([&] { v->setFrame(Rect(1, 1, 5, 5)); }), "View::setFrame.*off the main thread");
    EXPECT_DEATH(offMain([&] { w->contentView()->addSubview(v); }), "View::addSubview.*off the main thread");
    EXPECT_DEATH(offMain([&] { v->setNeedsDisplay(true); }), "off the main thread");
    EXPECT_DEATH(offMain([&] { w->orderFront(); }), "Window::orderFront.*off the main thread");
    EXPECT_DEATH(offMain([&] { w->close(); }), "Window::close.*off the main thread");
    // On the main thread all is well.
    w->contentView()->addSubview(v);
    v->setFrame(Rect(1, 1, 5, 5));
    EXPECT_EQ(v->frame(), Rect(1, 1, 5, 5));
}

}  // namespace

namespace {

// The Qt side of views and windows, the hover state and the animation groups
// are the kit's own: the system's code cannot reach them (the kit and its
// tests reach the widgets through kit/ui/QtBridge.h).
template <class T> concept ReachesWidget = requires(T& v) { v.widget(); };
template <class T> concept ReachesPainting = requires(T& v, QPainter& p) { v.paint(p, kit::Rect()); };
template <class T> concept ReachesTopWidget = requires(T& w) { w.topWidget(); };
template <class T> concept ReachesTracking = requires(T& w) { w.updateTrackingAreas(kit::Point(), true); };
template <class T> concept ReachesHoverState = requires(T& a) { a.inside_; };
template <class T> concept ReachesGroup = requires(T& c) { c.group_; };
template <class T> concept ReachesWindowList = requires(T& a, kit::Window* w) { a.windowCreated(w); };
static_assert(!ReachesWidget<kit::View> && !ReachesPainting<kit::View>);
static_assert(!ReachesTopWidget<kit::Window> && !ReachesTracking<kit::Window>);
static_assert(!ReachesHoverState<kit::TrackingArea>);
static_assert(!ReachesGroup<kit::AnimationContext>);
static_assert(!ReachesWindowList<kit::Application>);

TEST_F(UiTest, TheQtSideIsReachedThroughTheBridgeOnly) {
    auto w = std::make_shared<kit::Window>(Rect(0, 0, 100, 100), kit::TitledWindowMask);
    EXPECT_NE(kit::widgetOf(*w), nullptr);
    EXPECT_EQ(kit::widgetOf(*w->contentView())->window(), kit::widgetOf(*w));
}

}  // namespace

namespace {

// What the window manager's close request (Alt+F4, a taskbar's close) delivers.
void windowManagerClose(kit::Window& w) {
    QCloseEvent close;
    QApplication::sendEvent(kit::widgetOf(w), &close);
}

}  // namespace

// A panel closed by the window manager is dismissed by whoever answers for
// it, as its Cancel would; one nobody answers for stays, so its owner is
// never left waiting for an answer that will not come.
TEST_F(UiTest, TheWindowManagersCloseOfAPanelIsItsCancelOrNothing) {
    auto main = std::make_shared<kit::Window>(Rect(100, 100, 400, 300), kit::TitledWindowMask);
    main->orderFront();
    auto busy = std::make_shared<kit::Window>(Rect(100, 100, 400, 300), kit::BorderlessWindowMask);
    auto question = std::make_shared<kit::Window>(Rect(100, 100, 400, 300), kit::BorderlessWindowMask);
    main->addChildWindow(busy, kit::WindowOrderingMode::Above);
    main->addChildWindow(question, kit::WindowOrderingMode::Above);
    int cancelled = 0;
    question->registerAction(kit::WindowManagerCloseAction, [&](kit::Object*) {
        ++cancelled;
        question->close();
    });

    windowManagerClose(*busy);
    EXPECT_TRUE(busy->isVisible());
    windowManagerClose(*question);
    EXPECT_EQ(cancelled, 1);
    EXPECT_FALSE(question->isVisible());
    EXPECT_EQ(main->childWindows().size(), 1u);

    // A titled window closes as its close button closes it: its delegate may refuse.
    struct Refuse : kit::WindowDelegate {
        bool windowShouldClose(kit::Window&) override { return false; }
    } refuse;
    auto titled = std::make_shared<kit::Window>(Rect(0, 0, 200, 100), kit::TitledWindowMask | kit::ClosableWindowMask);
    titled->orderFront();
    titled->setDelegate(&refuse);
    windowManagerClose(*titled);
    EXPECT_TRUE(titled->isVisible());
    titled->setDelegate(nullptr);
    windowManagerClose(*titled);
    EXPECT_FALSE(titled->isVisible());
}

// A window run modally is a dialog of the main window to the window system
// (which keeps it above that window), even when it was main itself, and only
// while it runs.
TEST_F(UiTest, AModalWindowIsADialogOfTheMainWindow) {
    auto& app = kit::Application::shared();
    auto main = std::make_shared<kit::Window>(Rect(100, 100, 400, 300), kit::TitledWindowMask);
    auto about = std::make_shared<kit::Window>(Rect(150, 150, 200, 100), kit::TitledWindowMask | kit::ClosableWindowMask);
    main->makeKeyAndOrderFront();
    QWindow* mainHandle = kit::widgetOf(*main)->windowHandle();
    for (bool alreadyMain : {false, true}) {
        if (alreadyMain) about->makeKeyAndOrderFront();
        Qt::WindowType kind = Qt::Window;
        QWindow* owner = nullptr;
        QTimer::singleShot(0, [&] {
            QWidget* top = kit::widgetOf(*about);
            kind = top->windowType();
            owner = top->windowHandle() ? top->windowHandle()->transientParent() : nullptr;
            about->close();
        });
        app.runModalForWindow(*about);
        EXPECT_EQ(kind, Qt::Dialog) << alreadyMain;
        EXPECT_EQ(owner, mainHandle) << alreadyMain;
        main->makeKeyAndOrderFront();
    }
    about->orderFront();   // shown again without a run: a window of its own
    EXPECT_EQ(kit::widgetOf(*about)->windowType(), Qt::Window);
    EXPECT_EQ(kit::widgetOf(*about)->windowHandle()->transientParent(), nullptr);
}
