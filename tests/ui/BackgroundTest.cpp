// Pixels of the drawn backgrounds: half-point insets, the rectangle each
// class draws around (bounds, frame or the area being redrawn), dashes, and
// what a window shows of them while a view over them redraws alone.
#include <QBackingStore>
#include <QImage>

#include "Comm/AboutVersionBgView.h"
#include "Comm/BGMView.h"
#include "Comm/EndViewTipBgView.h"
#include "Comm/LeftBgView.h"
#include "Comm/PopInView.h"
#include "Comm/TextFiledBgView.h"
#include "Comm/TopBgView.h"
#include "UiTest.h"
#include "kit/RunLoop.h"
#include "kit/ui/ProgressIndicator.h"
#include "kit/ui/QtBridge.h"
#include "kit/ui/RepeatingAnimation.h"
#include "support/EnvGuard.h"

namespace {

using kit::Color;
using kit::Rect;
using uitest::UiTest;

TEST_F(UiTest, HalfPointInsetLeavesTheOuterPixelsHalfCovered) {
    auto v = std::make_shared<BGMView>(Rect(0, 0, 40, 20));
    kit::Bitmap b = kit::renderView(*v);
    EXPECT_NEAR(b.pixel(0, 10).alpha, 0.5, 0.1);
    EXPECT_NEAR(b.pixel(39, 10).alpha, 0.5, 0.1);
    EXPECT_NEAR(b.pixel(20, 0).alpha, 0.5, 0.1);
    EXPECT_COLOR_NEAR(b.pixel(1, 1), Color::rgb255(249, 250, 251), 1);
    EXPECT_COLOR_NEAR(b.pixel(20, 10), Color::rgb255(249, 250, 251), 1);
}

TEST_F(UiTest, DashedTipOutlineAlternatesFivePointDashes) {
    auto v = std::make_shared<EndViewTipBgView>(Rect(0, 0, 100, 40));
    kit::Bitmap b = kit::renderView(*v);
    // Along the top edge (a 2-point line centred on the edge: one pixel row
    // inside), dashes of 5 alternate with gaps of 5 once past the corner.
    std::string pattern;
    for (int x = 20; x < 60; ++x) pattern += b.pixel(x, 0).alpha > 0.3 ? '#' : '.';
    int runs = 0;
    for (size_t i = 1; i < pattern.size(); ++i) runs += pattern[i] != pattern[i - 1];
    EXPECT_GE(runs, 6) << pattern;
    EXPECT_EQ(pattern.find("######"), std::string::npos) << pattern;
    EXPECT_EQ(pattern.find("......"), std::string::npos) << pattern;
    EXPECT_EQ(b.pixel(50, 20).alpha, 0);   // an outline, no fill
    EXPECT_COLOR_NEAR(b.pixel(pattern.find('#') + 20 + 1, 0).withAlpha(1), Color::rgb255(226, 231, 238), 2);
}

TEST_F(UiTest, PartialRedrawDrawsAroundTheRedrawnArea) {
    auto v = std::make_shared<AboutVersionBgView>(Rect(0, 0, 100, 60));
    kit::Bitmap whole = kit::renderView(*v);
    EXPECT_COLOR_NEAR(whole.pixel(50, 30), Color::rgb255(211, 231, 255), 1);
    // The rounded corners of the shape sit at the corners of the redrawn area.
    kit::Bitmap part = kit::renderView(*v, Rect(20, 20, 40, 20));
    EXPECT_COLOR_NEAR(part.pixel(40, 30), Color::rgb255(211, 231, 255), 1);
    EXPECT_LT(part.pixel(20, 39).alpha, 0.7);   // the corner at (20, 20) is rounded off
    EXPECT_EQ(part.pixel(10, 30).alpha, 0);     // outside the redrawn area nothing is drawn

    auto field = std::make_shared<TextFiledBgView>(Rect(0, 0, 100, 60));
    kit::Bitmap f = kit::renderView(*field, Rect(20, 20, 40, 20));
    // The outline runs along the redrawn area's edge, the fill inside it.
    EXPECT_COLOR_NEAR(f.pixel(40, 39).withAlpha(1), Color::rgb255(216, 224, 233), 12);
    EXPECT_COLOR_NEAR(f.pixel(40, 30), Color::white(), 1);
}

TEST_F(UiTest, TopBackgroundHangsItsShapesFromTheTopOfTheRedrawnArea) {
    auto v = std::make_shared<TopBgView>(Rect(0, 0, 888, 150));
    kit::Bitmap b = kit::renderView(*v);
    // Full redraw: the blue block spans the top 100 points at the left.
    EXPECT_COLOR_NEAR(b.pixel(50, 50), Color::rgb255(65, 98, 255), 1);
    EXPECT_COLOR_NEAR(b.pixel(400, 50), Color::rgb255(242, 247, 255), 1);
    EXPECT_EQ(b.pixel(400, 120).alpha, 0);
    // The small block at the bottom-left corner of the view.
    EXPECT_COLOR_NEAR(b.pixel(40, 140), Color::rgb255(65, 98, 255), 1);
}

TEST_F(UiTest, FrameBasedShapesUseTheFrameOrigin) {
    // Drawn in the view's own coordinates from its frame: a view away from
    // its superview's origin draws its shape shifted by that offset.
    auto parent = std::make_shared<kit::View>(Rect(0, 0, 200, 200));
    auto v = std::make_shared<LeftBgView>(Rect(30, 0, 100, 100));
    parent->addSubview(v);
    kit::Bitmap b = kit::renderView(*v);
    EXPECT_EQ(b.pixel(10, 50).alpha, 0);
    EXPECT_COLOR_NEAR(b.pixel(60, 50), Color::rgb255(225, 231, 239), 1);
}

TEST_F(UiTest, InnerCardHasASoftShadowedOutline) {
    auto v = std::make_shared<PopInView>(Rect(0, 0, 120, 80));
    kit::Bitmap b = kit::renderView(*v);
    Color inside = b.pixel(60, 40);
    EXPECT_NEAR(inside.alpha, 0.9, 0.02);
    // The shadow reaches a few points outside the card's edge (6 points in).
    EXPECT_GT(b.pixel(60, 2).alpha, 0.0);
}

// What the window system is shown of a window's area: its backing store.
QImage shownPixels(kit::Window& w, const QRect& area) {
    QBackingStore* store = kit::widgetOf(w)->backingStore();
    auto* image = store ? dynamic_cast<QImage*>(store->paintDevice()) : nullptr;
    return image ? image->copy(area) : QImage();
}

// Runs until views have drawn again (a whole repaint is one event).
bool drawnAgain() {
    const unsigned long before = kit::View::drawCount();
    return kit::runUntil([&] { return kit::View::drawCount() > before; }, 10);
}

TEST_F(UiTest, ACardBeneathATurningSpinnerLooksTheSameWhileTheSpinnerRedrawsAlone) {
    EnvGuard fast("PELORIN_TIME_SCALE", "0.2");
    // The busy panel's make-up: a card inset from its view, a spinner over
    // it, on a wash of colour.
    auto window = std::make_shared<kit::Window>(Rect(100, 100, 200, 120), kit::BorderlessWindowMask);
    window->setBackgroundColor(Color::rgb255(200, 215, 235));
    auto card = std::make_shared<PopInView>(Rect(0, 0, 200, 120));
    auto spinner = std::make_shared<kit::ProgressIndicator>(Rect(84, 44, 32, 32));
    window->contentView()->addSubview(card);
    window->contentView()->addSubview(spinner);
    window->orderFront();
    ASSERT_TRUE(drawnAgain());
    const QRect underSpinner(84, 120 - 76, 32, 32);
    const QImage wholeDrawing = shownPixels(*window, underSpinner);
    ASSERT_FALSE(wholeDrawing.isNull());
    // The card, not the wash, lies under the spinner's corner.
    ASSERT_GT(qRed(wholeDrawing.pixel(2, 30)), 245);

    // Each step of the spinner repaints only its own square; once it stops
    // (and draws nothing) the card shows there as in the whole drawing.
    const unsigned long ticks = kit::RepeatingAnimation::tickCount();
    spinner->startAnimation();
    ASSERT_TRUE(kit::runUntil([&] { return kit::RepeatingAnimation::tickCount() > ticks + 6; }, 10));
    ASSERT_TRUE(drawnAgain());
    spinner->stopAnimation();
    ASSERT_TRUE(drawnAgain());
    const QImage afterSteps = shownPixels(*window, underSpinner);
    for (int y = 0; y < afterSteps.height(); ++y)
        for (int x = 0; x < afterSteps.width(); ++x)
            ASSERT_EQ(afterSteps.pixel(x, y), wholeDrawing.pixel(x, y)) << "at " << x << "," << y;
}

}  // namespace

