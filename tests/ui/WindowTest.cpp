// Windows on the screen: coordinates, child windows, sheets, key state,
// modal runs and their notifications.
#include <QTimer>
#include <QWidget>

#include "UiTest.h"
#include "kit/Notification.h"
#include "kit/ui/Control.h"
#include "kit/ui/QtBridge.h"

namespace {

using kit::Rect;
using uitest::UiTest;

TEST_F(UiTest, WindowFramesAreScreenCoordinatesFromTheLowerLeft) {
    const double sh = kit::Screen::main().frame.height();
    ASSERT_EQ(sh, 1000);   // the offscreen test screen
    auto w = std::make_shared<kit::Window>(Rect(100, 200, 300, 150), kit::BorderlessWindowMask);
    EXPECT_EQ(w->frame(), Rect(100, 200, 300, 150));
    EXPECT_EQ(kit::widgetOf(*w)->geometry(), QRect(100, 1000 - 200 - 150, 300, 150));

    auto titled = std::make_shared<kit::Window>(Rect(100, 200, 300, 150), kit::TitledWindowMask | kit::ClosableWindowMask);
    EXPECT_EQ(titled->frame(), Rect(100, 200, 300, 150 + kit::Window::kStandardTitleBarHeight));
    EXPECT_EQ(titled->contentView()->frame(), Rect(0, 0, 300, 150));
    ASSERT_NE(titled->standardWindowButton(kit::WindowButtonKind::Close), nullptr);
    EXPECT_EQ(titled->standardWindowButton(kit::WindowButtonKind::FullScreen), nullptr);

    w->setFrameOrigin({10, 20});
    EXPECT_EQ(kit::widgetOf(*w)->geometry().topLeft(), QPoint(10, 1000 - 20 - 150));
    EXPECT_EQ(w->convertPointToScreen({5, 5}), (kit::Point{15, 25}));
    EXPECT_EQ(w->convertPointFromScreen({15, 25}), (kit::Point{5, 5}));
}

TEST_F(UiTest, ResizingTheWindowResizesTheContentAndNotifies) {
    auto w = std::make_shared<kit::Window>(Rect(0, 0, 300, 200), kit::TitledWindowMask);
    int resized = 0, moved = 0;
    auto& nc = kit::NotificationCenter::defaultCenter();
    auto t1 = nc.addObserver(kit::WindowDidResizeNotification, w.get(), [&](const kit::Notification&) { ++resized; });
    auto t2 = nc.addObserver(kit::WindowDidMoveNotification, w.get(), [&](const kit::Notification&) { ++moved; });
    w->setFrame(Rect(0, 0, 400, 322));
    w->setFrame(Rect(5, 0, 400, 322));
    nc.removeObserver(t1);
    nc.removeObserver(t2);
    EXPECT_EQ(resized, 1);
    EXPECT_EQ(moved, 1);
    EXPECT_EQ(w->contentView()->frame(), Rect(0, 0, 400, 300));
    // The standard buttons keep their place under the top edge.
    EXPECT_EQ(w->standardWindowButton(kit::WindowButtonKind::Close)->frame().maxY(), 322 - 3);
}

TEST_F(UiTest, ChildWindowsMoveWithTheirParentAndLeaveWithIt) {
    auto parent = std::make_shared<kit::Window>(Rect(100, 100, 400, 300), kit::TitledWindowMask);
    auto child = std::make_shared<kit::Window>(Rect(150, 120, 100, 50), kit::BorderlessWindowMask);
    parent->orderFront();
    parent->addChildWindow(child, kit::WindowOrderingMode::Above);
    EXPECT_TRUE(child->isVisible());
    EXPECT_EQ(child->parentWindow(), parent.get());

    parent->setFrameOrigin({130, 90});
    EXPECT_EQ(child->frame().origin, (kit::Point{180, 110}));
    EXPECT_EQ(kit::widgetOf(*child)->geometry().topLeft(), QPoint(180, 1000 - 110 - 50));

    parent->removeChildWindow(child.get());
    parent->setFrameOrigin({0, 0});
    EXPECT_EQ(child->frame().origin, (kit::Point{180, 110}));
    EXPECT_EQ(child->parentWindow(), nullptr);

    // A child that outlives its parent forgets it.
    auto child2 = std::make_shared<kit::Window>(Rect(0, 0, 10, 10), kit::BorderlessWindowMask);
    {
        auto p2 = std::make_shared<kit::Window>(Rect(0, 0, 50, 50), kit::BorderlessWindowMask);
        p2->addChildWindow(child2, kit::WindowOrderingMode::Above);
    }
    EXPECT_EQ(child2->parentWindow(), nullptr);
}

class SheetDelegate : public kit::WindowDelegate {
public:
    kit::Rect willPositionSheet(kit::Window& w, kit::Window&, kit::Rect rect) override {
        rect.origin.y = 100;
        return rect;
    }
    void windowDidEndSheet(kit::Window&) override { ++ended; }
    int ended = 0;
};

TEST_F(UiTest, SheetsHangFromTheContentTopOrWhereTheDelegateSays) {
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 400, 300), kit::TitledWindowMask);
    auto sheet = std::make_shared<kit::Window>(Rect(0, 0, 200, 80), kit::BorderlessWindowMask);
    w->orderFront();
    long code = 0;
    w->beginSheet(sheet, [&](long c) { code = c; });
    // Centred, its top at the content view's top (300 above the window's bottom).
    EXPECT_EQ(sheet->frame(), Rect(200, 100 + 300 - 80, 200, 80));
    EXPECT_EQ(w->attachedSheet(), sheet.get());
    EXPECT_TRUE(sheet->isSheet());
    w->endSheet(sheet.get(), kit::ModalResponseOK);
    EXPECT_EQ(code, kit::ModalResponseOK);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(w->attachedSheet(), nullptr);

    SheetDelegate d;
    w->setDelegate(&d);
    w->beginSheet(sheet);
    EXPECT_EQ(sheet->frame().maxY(), 100 + 100);
    w->endSheet(sheet.get());
    EXPECT_EQ(d.ended, 1);
    w->setDelegate(nullptr);
}

TEST_F(UiTest, KeyAndMainFollowTheWindowsAndNotify) {
    auto a = std::make_shared<kit::Window>(Rect(0, 0, 100, 100), kit::TitledWindowMask);
    auto b = std::make_shared<kit::Window>(Rect(0, 0, 100, 100), kit::TitledWindowMask);
    auto panel = std::make_shared<kit::Window>(Rect(0, 0, 100, 100), kit::BorderlessWindowMask);
    int becameKey = 0, resignedKey = 0;
    auto& nc = kit::NotificationCenter::defaultCenter();
    auto t1 = nc.addObserver(kit::WindowDidBecomeKeyNotification, a.get(), [&](const kit::Notification&) { ++becameKey; });
    auto t2 = nc.addObserver(kit::WindowDidResignKeyNotification, a.get(), [&](const kit::Notification&) { ++resignedKey; });
    a->makeKeyAndOrderFront();
    EXPECT_TRUE(a->isKeyWindow());
    EXPECT_TRUE(a->isMainWindow());
    b->makeKeyAndOrderFront();
    EXPECT_FALSE(a->isKeyWindow());
    EXPECT_TRUE(b->isMainWindow());
    panel->makeKeyAndOrderFront();   // a borderless window does not take key status
    EXPECT_TRUE(b->isKeyWindow());
    nc.removeObserver(t1);
    nc.removeObserver(t2);
    EXPECT_EQ(becameKey, 1);
    EXPECT_EQ(resignedKey, 1);
    b.reset();
    EXPECT_EQ(kit::Application::shared().keyWindow(), nullptr);
}

TEST_F(UiTest, ModalRunTakesInputOnlyForItsWindowAndReturnsTheStopCode) {
    auto main = std::make_shared<kit::Window>(Rect(0, 0, 300, 300), kit::TitledWindowMask);
    auto modal = std::make_shared<kit::Window>(Rect(0, 0, 100, 100), kit::TitledWindowMask);
    auto mainButton = std::make_shared<kit::Button>(Rect(10, 10, 80, 30));
    main->contentView()->addSubview(mainButton);
    int pressed = 0;
    main->registerAction("press:", [&](kit::Object*) { ++pressed; });
    mainButton->setTarget(main.get());
    mainButton->setAction("press:");
    main->orderFront();
    bool inModal = false;
    QTimer::singleShot(0, [&] {
        inModal = kit::Application::shared().modalWindow() == modal.get();
        uitest::clickView(*mainButton);   // blocked while the modal run lasts
        kit::Application::shared().stopModalWithCode(7);
    });
    long code = kit::Application::shared().runModalForWindow(*modal);
    EXPECT_TRUE(inModal);
    EXPECT_EQ(code, 7);
    EXPECT_EQ(pressed, 0);
    EXPECT_EQ(kit::Application::shared().modalWindow(), nullptr);
    uitest::clickView(*mainButton);
    EXPECT_EQ(pressed, 1);
}

TEST_F(UiTest, CloseAsksTheDelegateAndFullScreenTogglesTheFrame) {
    struct D : kit::WindowDelegate {
        bool allow = false;
        int willClose = 0;
        bool windowShouldClose(kit::Window&) override { return allow; }
        void windowWillClose(kit::Window&) override { ++willClose; }
    } d;
    auto w = std::make_shared<kit::Window>(Rect(10, 10, 200, 100), kit::TitledWindowMask | kit::ClosableWindowMask);
    w->setDelegate(&d);
    w->makeKeyAndOrderFront();
    w->performClose();
    EXPECT_TRUE(w->isVisible());
    d.allow = true;
    uitest::clickView(*w->standardWindowButton(kit::WindowButtonKind::Close));
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(d.willClose, 1);
    w->setDelegate(nullptr);

    Rect before = w->frame();
    w->toggleFullScreen();
    EXPECT_TRUE(w->isFullScreen());
    EXPECT_EQ(w->frame(), kit::Screen::main().frame);
    w->toggleFullScreen();
    EXPECT_FALSE(w->isFullScreen());
    EXPECT_EQ(w->frame(), before);
}

TEST_F(UiTest, MovableByBackgroundDragsTheWindowButNotThroughControls) {
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 300, 200), kit::TitledWindowMask);
    w->setMovableByWindowBackground(true);
    auto button = std::make_shared<kit::Button>(Rect(200, 10, 80, 30));
    w->contentView()->addSubview(button);
    w->makeKeyAndOrderFront();
    uitest::send(*w, kit::EventType::LeftMouseDown, {20, 20});
    uitest::send(*w, kit::EventType::LeftMouseDragged, {50, 10});   // the window follows: +30, -10
    EXPECT_EQ(w->frame().origin, (kit::Point{130, 90}));
    uitest::send(*w, kit::EventType::LeftMouseUp, {20, 20});

    kit::Point inButton = uitest::centreInWindow(*button);
    uitest::send(*w, kit::EventType::LeftMouseDown, inButton);
    uitest::send(*w, kit::EventType::LeftMouseDragged, {inButton.x + 40, inButton.y});
    uitest::send(*w, kit::EventType::LeftMouseUp, inButton);
    EXPECT_EQ(w->frame().origin, (kit::Point{130, 90}));
}

TEST_F(UiTest, AClickOrATwitchOnTheBackgroundLeavesTheWindowWhereItIs) {
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 300, 200), kit::TitledWindowMask);
    w->setMovableByWindowBackground(true);
    w->makeKeyAndOrderFront();
    uitest::send(*w, kit::EventType::LeftMouseDown, {20, 20});
    uitest::send(*w, kit::EventType::LeftMouseUp, {20, 20});
    EXPECT_EQ(w->frame().origin, (kit::Point{100, 100}));
    // Under 3 points of travel with the button down: still a click.
    uitest::send(*w, kit::EventType::LeftMouseDown, {20, 20});
    uitest::send(*w, kit::EventType::LeftMouseDragged, {22, 21});
    EXPECT_EQ(w->frame().origin, (kit::Point{100, 100}));
    // Past it, the window follows from the press, the first points included.
    uitest::send(*w, kit::EventType::LeftMouseDragged, {23, 18});
    EXPECT_EQ(w->frame().origin, (kit::Point{103, 98}));
    uitest::send(*w, kit::EventType::LeftMouseUp, {20, 20});
    // The next press starts afresh.
    uitest::send(*w, kit::EventType::LeftMouseDown, {20, 20});
    uitest::send(*w, kit::EventType::LeftMouseDragged, {21, 21});
    uitest::send(*w, kit::EventType::LeftMouseUp, {21, 21});
    EXPECT_EQ(w->frame().origin, (kit::Point{103, 98}));
}

// The move begins once the pointer is 3 points from the press, whichever way
// it went: straight up or down as much as sideways. Exactly 3 points begin
// it; 2, or 2 each way (about 2.8), are still a click.
TEST_F(UiTest, ADragOfThreePointsInAnyDirectionMovesTheWindow) {
    using kit::EventType;
    for (kit::Point way : {kit::Point{0, 1}, kit::Point{0, -1}, kit::Point{1, 0}, kit::Point{-1, 0}}) {
        auto w = std::make_shared<kit::Window>(Rect(100, 100, 300, 200), kit::TitledWindowMask);
        w->setMovableByWindowBackground(true);
        w->makeKeyAndOrderFront();
        auto expectAt = [&](double x, double y) {
            EXPECT_EQ(w->frame().x(), x) << "dragged towards " << way.x << "," << way.y;
            EXPECT_EQ(w->frame().y(), y) << "dragged towards " << way.x << "," << way.y;
        };
        uitest::send(*w, EventType::LeftMouseDown, {20, 20});
        uitest::send(*w, EventType::LeftMouseDragged, {20 + 2 * way.x, 20 + 2 * way.y});
        expectAt(100, 100);
        uitest::send(*w, EventType::LeftMouseDragged, {20 + 3 * way.x, 20 + 3 * way.y});
        expectAt(100 + 3 * way.x, 100 + 3 * way.y);
        uitest::send(*w, EventType::LeftMouseUp, {20, 20});

        uitest::send(*w, EventType::LeftMouseDown, {20, 20});
        uitest::send(*w, EventType::LeftMouseDragged, {22, 22});
        uitest::send(*w, EventType::LeftMouseUp, {22, 22});
        expectAt(100 + 3 * way.x, 100 + 3 * way.y);
    }
}

}  // namespace
