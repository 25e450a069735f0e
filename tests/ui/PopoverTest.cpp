// The anchored popover: where the panel goes for each side, which side it
// takes, how it shows, follows and closes, what its delegate hears, and that
// a popover destroyed at any moment leaves nothing behind.
#include <string>
#include <vector>

#include "Comm/Lib/YLPopoverController.h"
#include "Comm/Lib/YLPopoverParentWindow.h"
#include "UiTest.h"
#include "kit/Notification.h"
#include "kit/RunLoop.h"

namespace {

using kit::Rect;
using uitest::UiTest;

// A content controller with a plain view of the given size.
class PlainContent : public kit::ViewController {
public:
    explicit PlainContent(kit::Size s) : ViewController("PlainContent"), size_(s) {}
    void loadView() override { setView(std::make_shared<kit::View>(Rect(0, 0, size_.width, size_.height))); }

private:
    kit::Size size_;
};

class Recorder : public kit::Object, public YLPopoverControllerDelegate {
public:
    bool popoverShouldClose(YLPopoverController&) override {
        calls.push_back("shouldClose");
        return allowClose;
    }
    void popoverWillShow(YLPopoverController&) override { calls.push_back("willShow"); }
    void popoverDidShow(YLPopoverController&) override { calls.push_back("didShow"); }
    void popoverWillClose(YLPopoverController&) override { calls.push_back("willClose"); }
    void popoverDidClose(YLPopoverController&) override { calls.push_back("didClose"); }
    std::vector<std::string> calls;
    bool allowClose = true;
};

// A main window whose content origin lies at screen (400, 200), with an
// anchor of 100 × 30 at (100, 100) of its content: screen (500, 300).
struct Scene {
    std::shared_ptr<kit::Window> main;
    std::shared_ptr<kit::View> holder;
    std::shared_ptr<kit::View> anchor;
    std::shared_ptr<YLPopoverController> pop;
    Recorder rec;

    explicit Scene(kit::Size content = {392, 400}, Rect anchorFrame = Rect(100, 100, 100, 30),
                   Rect contentRect = Rect(400, 200, 600, 400)) {
        main = std::make_shared<kit::Window>(contentRect, kit::TitledWindowMask | kit::ClosableWindowMask);
        holder = std::make_shared<kit::View>(Rect(0, 0, contentRect.width(), contentRect.height()));
        main->contentView()->addSubview(holder);
        anchor = std::make_shared<kit::View>(anchorFrame);
        holder->addSubview(anchor);
        main->makeKeyAndOrderFront();
        pop = std::make_shared<YLPopoverController>(std::make_shared<PlainContent>(content));
        pop->setAnimates(false);
        pop->setDelegate(&rec);
    }
    void present(PopoverArrowSide side = PopoverArrowLeft, bool anchors = true) {
        pop->presentPopoverFromRect(anchor->bounds(), anchor.get(), side, anchors);
    }
    bool isChild() const {
        for (auto& c : main->childWindows())
            if (c.get() == pop->popoverWindow()) return true;
        return false;
    }
};

TEST_F(UiTest, PopoverPanelFrameForEachSide) {
    Scene s;
    EXPECT_EQ(s.pop->contentSize(), (kit::Size{392, 400}));
    s.present(PopoverArrowLeft);
    ASSERT_TRUE(s.pop->popoverIsVisible());
    EXPECT_EQ(s.pop->screenRect(), Rect(500, 300, 100, 30));
    // 392 × 400 content: a 416 × 424 panel, centred on the anchor's middle.
    EXPECT_EQ(s.pop->popoverWindow()->frame(), Rect(600, 103, 416, 424));
    EXPECT_EQ(s.pop->arrowDirection(), PopoverArrowLeft);
    const kit::Size size{392, 400};
    EXPECT_EQ(s.pop->popoverFrameWithSize(size, PopoverArrowRight), Rect(84, 103, 416, 424));
    EXPECT_EQ(s.pop->popoverFrameWithSize(size, PopoverArrowUp), Rect(352, -124, 416, 424));
    EXPECT_EQ(s.pop->popoverFrameWithSize(size, PopoverArrowDown), Rect(342, 330, 416, 424));
    EXPECT_EQ(s.pop->popoverFrameWithSize(size, PopoverArrowNone), Rect());
    // The content sits inside the arrow margin.
    EXPECT_EQ(s.pop->contentView()->frame(), Rect(12, 12, 392, 400));
}

TEST_F(UiTest, PopoverSideChoice) {
    {   // A right-hand popover would leave the screen on the left: the left-hand one fits.
        Scene s({392, 400}, Rect(20, 100, 100, 30), Rect(10, 200, 600, 400));
        s.present(PopoverArrowRight);
        EXPECT_EQ(s.pop->arrowDirection(), PopoverArrowLeft);
    }
    {   // Neither side fits a wide panel; there is more room below the anchor: below it is.
        Scene s({900, 200}, Rect(300, 500, 100, 30), Rect(400, 200, 800, 600));
        s.present(PopoverArrowLeft);
        EXPECT_EQ(s.pop->arrowDirection(), PopoverArrowUp);
        EXPECT_EQ(s.pop->popoverWindow()->frame().maxY(), s.pop->screenRect().y());
    }
    {   // More room above: above it is.
        Scene s({900, 200}, Rect(300, 40, 100, 30), Rect(400, 200, 800, 600));
        s.present(PopoverArrowRight);
        EXPECT_EQ(s.pop->arrowDirection(), PopoverArrowDown);
    }
    {   // Nothing fits: the preferred side after all.
        Scene s({1700, 200}, Rect(300, 300, 100, 30), Rect(100, 100, 800, 600));
        s.present(PopoverArrowRight);
        EXPECT_EQ(s.pop->arrowDirection(), PopoverArrowRight);
    }
}

TEST_F(UiTest, PopoverShowsAsKeyChildAndIgnoresASecondPresent) {
    Scene s;
    s.present();
    EXPECT_TRUE(s.isChild());
    EXPECT_TRUE(s.pop->popoverWindow()->isKeyWindow());
    EXPECT_EQ(s.pop->positionView(), s.anchor.get());
    const Rect before = s.pop->popoverWindow()->frame();
    s.anchor->setFrameOrigin({150, 150});   // followed: the panel moves by 50, 50
    EXPECT_EQ(s.pop->popoverWindow()->frame(), offsetRect(before, 50, 50));
    s.pop->presentPopoverFromRect(s.anchor->bounds(), s.holder.get(), PopoverArrowRight, true);
    EXPECT_EQ(s.rec.calls, (std::vector<std::string>{"willShow", "didShow"}));
    EXPECT_EQ(s.pop->positionView(), s.anchor.get());

    // A view in no window is no anchor.
    Scene t;
    auto loose = std::make_shared<kit::View>(Rect(0, 0, 10, 10));
    t.pop->presentPopoverFromRect(loose->bounds(), loose.get(), PopoverArrowLeft, true);
    EXPECT_FALSE(t.pop->popoverIsVisible());
    EXPECT_TRUE(t.rec.calls.empty());
}

TEST_F(UiTest, PopoverClosesOnEscClickElsewhereAndAnchorLeavingItsSuperview) {
    Scene s;
    s.present();
    kit::Event esc;
    esc.type = kit::EventType::KeyDown;
    esc.keyCode = kit::KeyCodeEscape;
    esc.window = s.pop->popoverWindow();
    kit::Application::shared().sendEvent(esc);
    EXPECT_FALSE(s.pop->popoverIsVisible());
    EXPECT_FALSE(s.isChild());
    EXPECT_TRUE(s.main->isKeyWindow());
    EXPECT_EQ(s.pop->positionView(), nullptr);
    EXPECT_EQ(s.pop->arrowDirection(), PopoverArrowNone);

    // A click in the main window takes key status from the panel.
    s.present();
    ASSERT_TRUE(s.pop->popoverWindow()->isKeyWindow());
    uitest::send(*s.main, kit::EventType::LeftMouseDown, {300, 300});
    uitest::send(*s.main, kit::EventType::LeftMouseUp, {300, 300});
    EXPECT_FALSE(s.pop->popoverIsVisible());

    // The anchor slides out of its superview: closed without asking.
    s.rec.calls.clear();
    s.rec.allowClose = false;
    s.present();
    s.anchor->setFrameOrigin({560, 100});
    EXPECT_FALSE(s.pop->popoverIsVisible());
    EXPECT_EQ(s.rec.calls, (std::vector<std::string>{"willShow", "didShow", "willClose", "didClose"}));

    // Esc does nothing when told so.
    s.rec.allowClose = true;
    s.anchor->setFrameOrigin({100, 100});
    s.pop->setClosesWhenEscapeKeyPressed(false);
    s.present();
    esc.window = s.pop->popoverWindow();
    kit::Application::shared().sendEvent(esc);
    EXPECT_TRUE(s.pop->popoverIsVisible());
}

TEST_F(UiTest, PopoverStaysOpenWhileTheApplicationIsInactive) {
    Scene s;
    s.present();
    kit::Application::shared().setActive(false);
    // Another window taking key status while the application is in the back
    // (what the window server does on a switch) does not close it.
    s.main->makeKeyWindow();
    EXPECT_TRUE(s.pop->popoverIsVisible());
    kit::Application::shared().setActive(true);
    EXPECT_FALSE(s.pop->popoverWindow()->isKeyWindow());   // checked on the next turn
    EXPECT_TRUE(kit::runUntil([&] { return s.pop->popoverWindow()->isKeyWindow(); }, 2));
    EXPECT_TRUE(s.pop->popoverIsVisible());

    // A parent that answers isReallyKeyWindow is asked that instead.
    auto parent = std::make_shared<YLPopoverParentWindow>(Rect(300, 300, 200, 100), kit::TitledWindowMask);
    auto a = std::make_shared<kit::View>(Rect(10, 10, 20, 20));
    parent->contentView()->addSubview(a);
    parent->makeKeyAndOrderFront();
    auto pop = std::make_shared<YLPopoverController>(std::make_shared<PlainContent>(kit::Size{100, 100}));
    pop->setAnimates(false);
    pop->presentPopoverFromRect(a->bounds(), a.get(), PopoverArrowLeft, false);
    EXPECT_FALSE(parent->isReallyKeyWindow());
    EXPECT_TRUE(parent->isKeyWindow());   // its popover is key and the application active
    kit::Application::shared().setActive(false);
    EXPECT_FALSE(parent->isKeyWindow());
    kit::Application::shared().setActive(true);
}

TEST_F(UiTest, PopoverDelegateOrderAndVeto) {
    Scene s;
    s.present();
    s.rec.allowClose = false;
    s.pop->closePopover(nullptr);
    EXPECT_TRUE(s.pop->popoverIsVisible());
    s.pop->forceClosePopover(nullptr);   // not asked
    EXPECT_FALSE(s.pop->popoverIsVisible());
    EXPECT_EQ(s.rec.calls,
              (std::vector<std::string>{"willShow", "didShow", "shouldClose", "willClose", "didClose"}));
    s.pop->closePopover(nullptr);        // hidden: nothing
    EXPECT_EQ(s.rec.calls.size(), 5u);
}

TEST_F(UiTest, PopoverPopsAndFadesThenCloseDuringFadeIsIgnored) {
    Scene s;
    s.pop->setAnimates(true);
    s.present(PopoverArrowLeft, false);
    YLPopoverWindow* panel = s.pop->popoverWindow();
    // The pop: a snapshot grows from a 44 × 44 frame; the panel waits.
    ASSERT_NE(panel->zoomWindow(), nullptr);
    EXPECT_TRUE(s.pop->popoverIsVisible());
    EXPECT_FALSE(s.isChild());
    // The snapshot belongs to the window too, or a window manager would let
    // the window cover it.
    EXPECT_EQ(panel->zoomWindow()->parentWindow(), s.main.get());
    EXPECT_EQ(s.rec.calls, (std::vector<std::string>{"willShow"}));
    ASSERT_TRUE(kit::runUntil([&] { return s.isChild(); }, 3));
    EXPECT_EQ(panel->zoomWindow(), nullptr);
    EXPECT_EQ(s.main->childWindows().size(), 1u) << "the snapshot stays a child";
    EXPECT_EQ(panel->alphaValue(), 1.0);
    EXPECT_TRUE(panel->isKeyWindow());
    EXPECT_EQ(s.rec.calls, (std::vector<std::string>{"willShow", "didShow"}));

    s.pop->closePopover(nullptr);
    EXPECT_TRUE(s.pop->popoverIsVisible());    // fading
    s.pop->closePopover(nullptr);
    s.pop->forceClosePopover(nullptr);
    s.pop->presentPopoverFromRect(s.anchor->bounds(), s.anchor.get(), PopoverArrowLeft, false);
    ASSERT_TRUE(kit::runUntil([&] { return !s.pop->popoverIsVisible(); }, 3));
    EXPECT_EQ(s.rec.calls, (std::vector<std::string>{"willShow", "didShow", "shouldClose", "willClose", "didClose"}));
    EXPECT_FALSE(s.isChild());

    // Shown again after closing, with a plain fade.
    s.pop->setAnimationType(PopoverAnimationFade);
    s.present(PopoverArrowLeft, false);
    EXPECT_EQ(panel->zoomWindow(), nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(s.isChild()) << "a fading panel is a child from its first showing";
    EXPECT_TRUE(kit::runUntil([&] { return s.rec.calls.back() == "didShow"; }, 3));
}

TEST_F(UiTest, PopoverDestroyedAtAnyMomentLeavesNothingBehind) {
    // Shown, anchored, with observers: gone with the controller.
    {
        Scene s;
        s.present();
        ASSERT_TRUE(s.isChild());
        s.pop.reset();
        EXPECT_TRUE(s.main->childWindows().empty());
        s.anchor->setFrameOrigin({120, 120});                      // no frame observer left
        kit::Application::shared().setActive(false);
        kit::Application::shared().setActive(true);                // no activation observer left
        kit::runFor(0.05);
    }
    // Mid-pop and mid-fade: the animation ends reach no one.
    for (int phase = 0; phase < 2; ++phase) {
        Scene s;
        s.pop->setAnimates(true);
        s.present(PopoverArrowLeft, false);
        if (phase == 1) {
            ASSERT_TRUE(kit::runUntil([&] { return s.isChild(); }, 3));
            s.pop->closePopover(nullptr);
        }
        s.pop.reset();
        kit::runUntil([&] { return s.main->childWindows().empty(); }, 5);
        EXPECT_TRUE(s.main->childWindows().empty());
        EXPECT_EQ(s.rec.calls.back(), phase == 0 ? "willShow" : "willClose");
    }
    // A deferred key check pending: dropped with its owner.
    {
        Scene s;
        s.present();
        kit::Application::shared().setActive(false);
        kit::Application::shared().setActive(true);
        s.pop.reset();
        kit::runFor(0.05);
        EXPECT_TRUE(s.main->isKeyWindow() || !kit::Application::shared().keyWindow());
    }
}

TEST_F(UiTest, PopoverFrameViewOutlineAndFill) {
    YLPopoverWindowFrame f(Rect(0, 0, 100, 80));
    EXPECT_EQ(f.cornerRadius(), 12);
    EXPECT_EQ(f.arrowSize(), (kit::Size{23, 12}));
    EXPECT_EQ(f.arrowDirection(), PopoverArrowLeft);
    EXPECT_EQ(f.borderWidth(), 0);
    EXPECT_FALSE(f.borderColor().has_value());
    // The arrow's tip touches the middle of its edge; the body keeps the arrow
    // height free on the other edges.
    const Rect b = f.bounds();
    struct Case { PopoverArrowSide side; kit::Point tip; Rect bounds; };
    const Case cases[] = {
        {PopoverArrowLeft, {0, 40}, Rect(0, 12, 88, 56)},
        {PopoverArrowRight, {100, 40}, Rect(12, 12, 88, 56)},
        {PopoverArrowUp, {50, 80}, Rect(12, 12, 76, 68)},
        {PopoverArrowDown, {50, 0}, Rect(12, 0, 76, 68)},
    };
    for (const Case& c : cases) {
        f.setArrowDirection(c.side);
        kit::BezierPath p = f.popoverBezierPathWithRect(b);
        EXPECT_EQ(p.lineJoinStyle(), kit::LineJoin::Round);
        EXPECT_EQ(p.bounds(), c.bounds) << c.side;
        const double dx = c.tip.x == 0 ? 1 : c.tip.x == 100 ? -1 : 0;
        const double dy = c.tip.y == 0 ? 1 : c.tip.y == 80 ? -1 : 0;
        EXPECT_TRUE(p.containsPoint({c.tip.x + dx, c.tip.y + dy})) << c.side;
    }

    // A dark fill colour still gives a white body, outlined in light blue-grey.
    auto holder = std::make_shared<kit::View>(Rect(0, 0, 100, 80));
    auto frame = std::make_shared<YLPopoverWindowFrame>(Rect(0, 0, 100, 80));
    holder->addSubview(frame);
    frame->setColor(kit::Color::rgb255(66, 66, 88));
    frame->setBorderColor(kit::Color::rgb255(66, 66, 88));
    frame->setBorderWidth(1);
    kit::Bitmap bmp = kit::renderView(*holder);
    EXPECT_COLOR_NEAR(bmp.pixelAtPoint({50, 40}, false), kit::Color::white(), 2);
    EXPECT_EQ(bmp.pixelAtPoint({5, 5}, false).alpha, 0);           // outside the body
    EXPECT_GT(bmp.pixelAtPoint({2, 40}, false).alpha, 0.5);        // the arrow
    // The outline runs half a point inside the body's edge at x = 12.5.
    // The outline: the first opaque column of the body's left edge is light
    // blue-grey, not white; with width 1 the body is inset by half a point
    // (half a column less coverage than with width 2).
    auto edgeCoverage = [&](double width, kit::Color* firstOpaque) {
        frame->setBorderWidth(width);
        kit::Bitmap b = kit::renderView(*holder);
        double sum = 0;
        bool found = false;
        for (int x = 8; x < 18; ++x) {
            kit::Color c = b.pixelAtPoint({x + 0.5, 20.5}, false);
            sum += c.alpha;
            if (!found && c.alpha > 0.9) {
                found = true;
                if (firstOpaque) *firstOpaque = c;
            }
        }
        return sum;
    };
    kit::Color edge;
    const double one = edgeCoverage(1, &edge);
    EXPECT_LT(edge.red * 255, 251);
    EXPECT_GT(edge.red * 255, 215);
    EXPECT_GT(edge.blue, edge.red);
    const double two = edgeCoverage(2, nullptr);
    const double half = edgeCoverage(0.5, nullptr);
    EXPECT_NEAR(two - one, 0.5, 0.2);
    EXPECT_NEAR(half, two, 0.05);
    // Without a fill colour nothing is filled.
    frame->setColor(std::nullopt);
    frame->setBorderColor(std::nullopt);
    EXPECT_EQ(kit::renderView(*holder).pixelAtPoint({50, 40}, false).alpha, 0);
}

}  // namespace
