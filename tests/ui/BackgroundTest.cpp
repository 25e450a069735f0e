// Pixels of the drawn backgrounds: half-point insets, the rectangle each
// class draws around (bounds, frame or the area being redrawn), dashes.
#include "Comm/AboutVersionBgView.h"
#include "Comm/BGMView.h"
#include "Comm/EndViewTipBgView.h"
#include "Comm/LeftBgView.h"
#include "Comm/PopInView.h"
#include "Comm/TextFiledBgView.h"
#include "Comm/TopBgView.h"
#include "UiTest.h"

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

}  // namespace
