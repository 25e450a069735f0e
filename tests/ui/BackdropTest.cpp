// The frosted backdrop a translucent panel draws: what its parent window shows
// beneath it, washed out.
#include "UiTest.h"

#include "kit/ui/Graphics.h"

using namespace uitest;
using kit::Rect;

namespace {

// A window that draws only the backdrop, so its pixels are the backdrop's.
class Frosted : public kit::Window {
public:
    Frosted(const Rect& frame, double radius) : kit::Window(frame, kit::BorderlessWindowMask), radius_(radius) {
        setOpaque(false);
    }

protected:
    void drawFrame(const Rect&) override { drawBackdrop(radius_); }

private:
    double radius_;
};

// The parent's content: white with a black bar down its middle, red on its right.
class Striped : public kit::View {
public:
    using View::View;
    void drawRect(const Rect&) override {
        kit::Color::white().setFill();
        kit::BezierPath::fillRect(bounds());
        kit::Color::black().setFill();
        kit::BezierPath::fillRect(Rect(199, 0, 2, bounds().height()));
        kit::Color::rgb255(255, 0, 0).setFill();
        kit::BezierPath::fillRect(Rect(300, 0, 100, bounds().height()));
    }
};

std::shared_ptr<kit::Window> stripedParent() {
    auto parent = std::make_shared<kit::Window>(Rect(100, 100, 400, 300), kit::BorderlessWindowMask);
    parent->setContentView(std::make_shared<Striped>(Rect(0, 0, 400, 300)));
    parent->orderFront();
    return parent;
}

}  // namespace

TEST_F(UiTest, TheBackdropIsWhatLiesBeneathWashedOut) {
    auto parent = stripedParent();
    auto panel = std::make_shared<Frosted>(Rect(200, 150, 200, 100), 400);
    parent->addChildWindow(panel, kit::WindowOrderingMode::Above);
    panel->orderFront();
    kit::Bitmap shot = kit::renderWindow(*panel, false);
    ASSERT_EQ(shot.width(), 200);
    // Opaque everywhere; the thin black bar (at x 99 of the panel) is spread
    // into its white surroundings, not shown sharp.
    for (int x : {0, 99, 100, 199})
        EXPECT_DOUBLE_EQ(shot.pixel(x, 50).alpha, 1.0) << x;
    EXPECT_GT(shot.pixel(99, 50).red, 0.6);
    EXPECT_GT(shot.pixel(99, 50).green, 0.6);

    // Over the red part, red leads.
    auto over = std::make_shared<Frosted>(Rect(400, 150, 100, 100), 12);
    parent->addChildWindow(over, kit::WindowOrderingMode::Above);
    over->orderFront();
    kit::Color c = kit::renderWindow(*over, false).pixel(50, 50);
    EXPECT_GT(c.red, 0.9);
    EXPECT_LT(c.green, 0.2);

    // Moved over the white part, the picture is made anew.
    over->setFrameOrigin({150, 150});
    over->display();
    c = kit::renderWindow(*over, false).pixel(50, 50);
    EXPECT_GT(c.green, 0.9);
}

TEST_F(UiTest, TheBackdropSpreadsTheParentsBackgroundPastItsEdgesAndNeedsAParent) {
    auto parent = std::make_shared<kit::Window>(Rect(100, 100, 200, 200), kit::BorderlessWindowMask);
    parent->setBackgroundColor(kit::Color::rgb255(0, 0, 255));
    parent->orderFront();
    // Half outside the parent, on its left.
    auto panel = std::make_shared<Frosted>(Rect(50, 150, 100, 100), 12);
    parent->addChildWindow(panel, kit::WindowOrderingMode::Above);
    panel->orderFront();
    kit::Color outside = kit::renderWindow(*panel, false).pixel(5, 50);
    EXPECT_GT(outside.blue, 0.9);
    EXPECT_LT(outside.red, 0.1);

    // On its own a panel has nothing beneath to blur and draws nothing.
    auto alone = std::make_shared<Frosted>(Rect(600, 600, 50, 50), 400);
    alone->orderFront();
    EXPECT_EQ(kit::renderWindow(*alone, false).pixel(25, 25).alpha, 0.0);
}
