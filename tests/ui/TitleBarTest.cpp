// The title-bar window: its bar, the moved standard buttons, the shortened
// content, the delegate proxy, dragging and double clicks in the bar.
#include "Comm/TCImageWindow.h"
#include "Comm/TCWindowButton.h"
#include "UiTest.h"
#include "kit/Defaults.h"

namespace {

using kit::Rect;
using uitest::UiTest;

constexpr unsigned kStyle = kit::TitledWindowMask | kit::ClosableWindowMask | kit::MiniaturizableWindowMask;

std::shared_ptr<TCImageWindow> makeWindow(double height, double margin, double moveUp, Rect content = Rect(200, 200, 888, 536)) {
    auto w = std::make_shared<TCImageWindow>(content, kStyle);
    w->setTitleBarHeight(height);
    w->setTrafficLightButtonsLeftMargin(margin);
    w->setTopButtonMoveUp(moveUp);
    return w;
}

kit::Rect buttonFrame(kit::Window& w, kit::WindowButtonKind k) { return w.standardWindowButton(k)->frame(); }

TEST_F(UiTest, DefaultsComeFromTheStandardWindow) {
    auto w = std::make_shared<TCImageWindow>(Rect(0, 0, 400, 300), kStyle);
    EXPECT_EQ(w->titleBarHeight(), kit::Window::kStandardTitleBarHeight);
    EXPECT_EQ(w->cachedTitleBarHeight(), w->titleBarHeight());
    EXPECT_EQ(w->trafficLightButtonsLeftMargin(), buttonFrame(*w, kit::WindowButtonKind::Close).x());
    EXPECT_EQ(w->trafficLightSeparation(), 6);
    EXPECT_EQ(w->trafficLightButtonsTopMargin(), 3);
    EXPECT_TRUE(w->centerTrafficLightButtons());
    EXPECT_TRUE(w->showsBaselineSeparator());
    EXPECT_FALSE(w->showsTitle());
    EXPECT_FALSE(w->isOpaque());
    EXPECT_EQ(w->backgroundColor().alpha, 0);
    EXPECT_TRUE(w->isMovableByWindowBackground());
    ASSERT_NE(w->titleBarContainer(), nullptr);
    EXPECT_NE(dynamic_cast<YLTitlebarView*>(w->titleBarView()), nullptr);
    EXPECT_EQ(w->titleBarView()->superview(), w->titleBarContainer());
    // The container lies beneath the content and the buttons, also once the
    // content view is replaced; the new content ends under the bar.
    EXPECT_EQ(w->themeFrameView()->subviews().front().get(), w->titleBarContainer());
    w->setTitleBarHeight(38);
    auto content = std::make_shared<kit::View>(Rect());
    w->setContentView(content);
    EXPECT_EQ(w->themeFrameView()->subviews().front().get(), w->titleBarContainer());
    EXPECT_EQ(w->themeFrameView()->subviews()[1], content);
    EXPECT_EQ(content->frame(), Rect(0, 0, 400, w->frame().height() - 38));
}

TEST_F(UiTest, MainWindowSettingsLayTheBarOut) {
    auto w = makeWindow(25, 16, -3);
    const double H = w->frame().height();
    EXPECT_EQ(w->titleBarContainer()->frame(), Rect(0, H - 25, w->frame().width(), 25));
    EXPECT_EQ(w->titleBarView()->frame(), Rect(0, 0, w->frame().width(), 25));
    EXPECT_EQ(w->contentView()->frame(), Rect(0, 0, w->frame().width(), H - 25));
    // Centred by the two layouts the height and margin ran; the move-up waits.
    const double centred = std::round(H - 25 + 12.5 - 8);
    Rect close = buttonFrame(*w, kit::WindowButtonKind::Close);
    EXPECT_EQ(close.origin, (kit::Point{16, centred}));
    EXPECT_EQ(buttonFrame(*w, kit::WindowButtonKind::Miniaturize).x(), 16 + 14 + 6);
    EXPECT_EQ(buttonFrame(*w, kit::WindowButtonKind::Zoom).x(), 16 + 2 * (14 + 6));
    // The next layout (here: becoming key) applies it: 3 points down.
    w->makeKeyAndOrderFront();
    for (auto k : {kit::WindowButtonKind::Close, kit::WindowButtonKind::Miniaturize, kit::WindowButtonKind::Zoom})
        EXPECT_EQ(buttonFrame(*w, k).y(), centred - 3);
}

TEST_F(UiTest, OtherWindowSettingsCentreTheButtonsInTheTallBar) {
    auto w = makeWindow(38, 15, 0, Rect(100, 100, 600, 400));
    w->makeKeyAndOrderFront();
    const double H = w->frame().height();
    EXPECT_EQ(w->contentView()->frame().height(), H - 38);
    Rect close = buttonFrame(*w, kit::WindowButtonKind::Close);
    EXPECT_EQ(close.origin, (kit::Point{15, std::round(H - 38 + 19 - 8)}));
    // A resize keeps the bar on top and the content under it.
    w->setFrame(Rect(100, 100, 700, 500));
    EXPECT_EQ(w->titleBarContainer()->frame(), Rect(0, 500 - 38, 700, 38));
    EXPECT_EQ(w->contentView()->frame(), Rect(0, 0, 700, 500 - 38));
    EXPECT_EQ(buttonFrame(*w, kit::WindowButtonKind::Close).y(), std::round(500 - 38 + 19 - 8));
}

TEST_F(UiTest, UnchangedHeightLaysNothingOutAndOtherLayoutsFollowTheirFlags) {
    auto w = makeWindow(38, 15, 0, Rect(0, 0, 400, 300));
    kit::Button* close = w->standardWindowButton(kit::WindowButtonKind::Close);
    close->setFrameOrigin({200, 5});
    w->setTitleBarHeight(38);
    EXPECT_EQ(close->frame().origin, (kit::Point{200, 5}));
    w->setCenterTrafficLightButtons(false);   // hangs from the top margin now
    EXPECT_EQ(close->frame().origin, (kit::Point{15, w->frame().height() - 16 - 3}));
    w->setVerticalTrafficLightButtons(true);
    const double total = 16 * 3 + 2 * (6 - 2);
    Rect zoom = buttonFrame(*w, kit::WindowButtonKind::Zoom);
    EXPECT_EQ(zoom.y(), w->frame().height() - total - 3);
    EXPECT_EQ(buttonFrame(*w, kit::WindowButtonKind::Miniaturize).y(), zoom.y() + 16 + 4);
    EXPECT_EQ(close->frame().y(), zoom.y() + 2 * (16 + 4));
}

TEST_F(UiTest, SheetsDropFromTheBarsLowerEdgeAndTheProxyForwards) {
    struct Real : kit::WindowDelegate {
        int resized = 0;
        bool allowClose = false;
        void windowDidResize(kit::Window&) override { ++resized; }
        bool windowShouldClose(kit::Window&) override { return allowClose; }
    } real;
    auto w = makeWindow(38, 15, 0, Rect(100, 100, 600, 400));
    w->setDelegate(&real);
    EXPECT_EQ(w->delegate(), &real);
    EXPECT_TRUE(w->delegateProxy()->isKindOf<Real>());
    w->setFrame(Rect(100, 100, 620, 400));
    EXPECT_EQ(real.resized, 1);
    w->orderFront();
    w->performClose();
    EXPECT_TRUE(w->isVisible());   // the real delegate said no through the proxy

    auto sheet = std::make_shared<kit::Window>(Rect(0, 0, 300, 120), kit::BorderlessWindowMask);
    w->beginSheet(sheet);
    EXPECT_EQ(sheet->frame().maxY(), w->frame().y() + w->frame().height() - 38);
    w->endSheet(sheet.get());
    kit::Rect r = w->delegateProxy()->willPositionSheet(*w, *sheet, Rect(0, 7, 620, 0));
    EXPECT_EQ(r, Rect(0, 400 - 38, 620, 0));
    w->setDelegate(nullptr);
    EXPECT_FALSE(w->delegateProxy()->isKindOf<Real>());
}

// A pointer event at a point of the screen, as the window under it gets it.
void sendAtScreen(kit::Window& w, kit::EventType type, kit::Point onScreen) {
    kit::Event e = uitest::mouseEvent(w, type, w.convertPointFromScreen(onScreen));
    e.screenLocation = onScreen;
    kit::Application::shared().sendEvent(e);
}

TEST_F(UiTest, DraggingInTheBarMovesTheWindowFromThePressExceptInFullScreen) {
    auto w = makeWindow(38, 15, 0, Rect(100, 100, 600, 400));
    w->makeKeyAndOrderFront();
    // Press in the bar, then move the pointer by 100, 50: the window follows
    // by exactly that, the first movement included.
    const kit::Point press = w->convertPointToScreen({300, w->frame().height() - 10});
    sendAtScreen(*w, kit::EventType::LeftMouseDown, press);
    sendAtScreen(*w, kit::EventType::LeftMouseDragged, {press.x + 30, press.y + 20});
    EXPECT_EQ(w->frame().origin, (kit::Point{130, 120}));
    sendAtScreen(*w, kit::EventType::LeftMouseDragged, {press.x + 100, press.y + 50});
    sendAtScreen(*w, kit::EventType::LeftMouseUp, {press.x + 100, press.y + 50});
    EXPECT_EQ(w->frame().origin, (kit::Point{200, 150}));
    // The pointer still sits on the same point of the bar.
    EXPECT_EQ(w->convertPointFromScreen({press.x + 100, press.y + 50}), (kit::Point{300, w->frame().height() - 10}));

    w->toggleFullScreen();
    kit::Point before = w->frame().origin;
    const kit::Point fpress = w->convertPointToScreen({300, w->frame().height() - 10});
    sendAtScreen(*w, kit::EventType::LeftMouseDown, fpress);
    sendAtScreen(*w, kit::EventType::LeftMouseDragged, {fpress.x + 5, fpress.y});
    sendAtScreen(*w, kit::EventType::LeftMouseDragged, {fpress.x + 45, fpress.y});
    sendAtScreen(*w, kit::EventType::LeftMouseUp, {fpress.x + 45, fpress.y});
    EXPECT_EQ(w->frame().origin, before);
    w->toggleFullScreen();
}

TEST_F(UiTest, DoubleClickInTheBarMiniaturisesOnlyWhenTheUserAskedForIt) {
    auto w = makeWindow(38, 15, 0, Rect(100, 100, 600, 400));
    w->makeKeyAndOrderFront();
    const kit::Point p{300, w->frame().height() - 10};
    auto doubleClick = [&] {
        uitest::send(*w, kit::EventType::LeftMouseDown, p, 1);
        uitest::send(*w, kit::EventType::LeftMouseUp, p, 1);
        uitest::send(*w, kit::EventType::LeftMouseDown, p, 2);
        uitest::send(*w, kit::EventType::LeftMouseUp, p, 2);
    };
    kit::UserDefaults::standard().setObject("AppleMiniaturizeOnDoubleClick", kit::Value(false));
    doubleClick();
    EXPECT_FALSE(w->isMiniaturized());
    kit::UserDefaults::standard().setObject("AppleMiniaturizeOnDoubleClick", kit::Value(true));
    doubleClick();
    EXPECT_TRUE(w->isMiniaturized());
    w->deminiaturize();
    kit::UserDefaults::standard().setObject("AppleMiniaturizeOnDoubleClick", kit::Value());
}

TEST_F(UiTest, TitleIsDrawnOnlyWhenAsked) {
    auto w = makeWindow(38, 15, 0, Rect(100, 100, 400, 200));
    w->setTitle("MMMMMMMM");
    w->makeKeyAndOrderFront();
    auto barPixels = [&] {
        kit::Bitmap b = kit::renderView(*w->titleBarView());
        int painted = 0;
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x) painted += b.pixel(x, y).alpha > 0.1;
        return painted;
    };
    EXPECT_EQ(barPixels(), 0);   // transparent: only what controllers add is seen
    w->setShowsTitle(true);
    EXPECT_GT(barPixels(), 20);
    bool blockRan = false;
    w->titleBarDrawingBlock = [&](bool, const Rect& f, const kit::BezierPath& clip) {
        blockRan = true;
        EXPECT_EQ(f, w->titleBarView()->frame());
        EXPECT_FALSE(clip.containsPoint({1, f.maxY() - 1}));   // rounded corner cut away
        EXPECT_TRUE(clip.containsPoint({f.midX(), f.midY()}));
    };
    barPixels();
    EXPECT_TRUE(blockRan);
}

TEST_F(UiTest, HiddenTitleBarInFullScreenCollapsesAndComesBack) {
    auto w = makeWindow(38, 15, 0, Rect(100, 100, 400, 200));
    w->setHideTitleBarInFullScreen(true);
    auto other = makeWindow(38, 15, 0, Rect(0, 0, 300, 200));
    other->setHideTitleBarInFullScreen(true);
    w->toggleFullScreen();
    EXPECT_EQ(w->titleBarHeight(), 0);
    EXPECT_TRUE(w->titleBarView()->isHidden());
    EXPECT_EQ(w->contentView()->frame().height(), w->frame().height());
    EXPECT_EQ(other->titleBarHeight(), 38);   // another window's full screen is not ours
    w->toggleFullScreen();
    EXPECT_EQ(w->titleBarHeight(), 38);
    EXPECT_FALSE(w->titleBarView()->isHidden());
}

TEST_F(UiTest, CustomWindowButtonsReplaceTheStandardOnes) {
    auto w = makeWindow(38, 15, 0, Rect(100, 100, 400, 200));
    auto close = TCWindowButton::windowButtonWithSize({14, 16}, std::string("custom-test"));
    w->setCloseButton(close);
    w->makeKeyAndOrderFront();
    EXPECT_TRUE(w->standardWindowButton(kit::WindowButtonKind::Close)->isHidden());
    EXPECT_EQ(close->superview(), w->themeFrameView());
    EXPECT_EQ(close->frame().x(), 15);
    EXPECT_EQ(close->action(), "performClose:");
    uitest::clickView(*close);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(UiTest, TitleColourFollowsMainStatusAndActivation) {
    auto w = makeWindow(38, 15, 0, Rect(100, 100, 400, 200));
    w->setTitle("Pelorin");
    w->makeKeyAndOrderFront();
    auto* bar = dynamic_cast<YLTitlebarView*>(w->titleBarView());
    ASSERT_NE(bar, nullptr);
    kit::TextAttributes a;
    kit::Rect r = bar->getTitleFrame(a, *w);
    EXPECT_COLOR_NEAR(a.color, kit::Color::white(56.0 / 255.0, 1.0), 1);
    EXPECT_EQ(r.y(), bar->bounds().height() - r.height() - 2);
    EXPECT_NEAR(r.midX(), bar->bounds().midX(), 0.01);
    kit::Application::shared().setActive(false);
    bar->getTitleFrame(a, *w);
    EXPECT_COLOR_NEAR(a.color, kit::Color::white(56.0 / 255.0, 0.5), 1);
    kit::Application::shared().setActive(true);
    w->titleTextColor = kit::Color::rgb255(255, 0, 0);
    bar->getTitleFrame(a, *w);
    EXPECT_COLOR_NEAR(a.color, kit::Color::rgb255(255, 0, 0), 1);
}

}  // namespace
