// Endless animations and tiled images: what the progress bar's stripes and
// the attached windows' bubbles are made of.
#include <chrono>
#include <vector>

#include "UiTest.h"
#include "kit/RunLoop.h"
#include "kit/ui/Graphics.h"
#include "kit/ui/Image.h"
#include "kit/ui/RepeatingAnimation.h"
#include "kit/ui/TiledImage.h"
#include "support/EnvGuard.h"

namespace {

using kit::Rect;
using uitest::UiTest;

TEST_F(UiTest, ARepeatingAnimationRunsPeriodAfterPeriodUntilStopped) {
    EnvGuard fast("PELORIN_TIME_SCALE", "0.2");   // a 0.25 s period lasts 50 ms
    auto owner = std::make_shared<kit::View>(Rect(0, 0, 10, 10));
    std::vector<double> seen;
    kit::RepeatingAnimation a(*owner, 0.25, [&](double t) { seen.push_back(t); });
    EXPECT_FALSE(a.isRunning());
    a.start();
    EXPECT_TRUE(a.isRunning());
    kit::runUntil([&] { return seen.size() > 40; }, 5.0);
    ASSERT_GT(seen.size(), 40u);
    int wraps = 0;
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_GE(seen[i], 0.0);
        EXPECT_LT(seen[i], 1.0);
        if (i > 0 && seen[i] < seen[i - 1]) ++wraps;
    }
    EXPECT_GE(wraps, 2) << "the value starts over at every period";

    a.stop();
    EXPECT_FALSE(a.isRunning());
    const size_t stoppedAt = seen.size();
    kit::runFor(0.3);
    EXPECT_EQ(seen.size(), stoppedAt);
}

TEST_F(UiTest, ARepeatingAnimationEndsWithItsOwnerOrItself) {
    EnvGuard fast("PELORIN_TIME_SCALE", "0.2");
    int calls = 0;
    auto owner = std::make_shared<kit::View>(Rect(0, 0, 10, 10));
    kit::RepeatingAnimation a(*owner, 0.25, [&](double) { ++calls; });
    a.start();
    kit::runUntil([&] { return calls > 3; }, 5.0);
    owner.reset();
    kit::runFor(0.2);   // the next frame notices and stops
    const int afterOwner = calls;
    kit::runFor(0.3);
    EXPECT_EQ(calls, afterOwner);
    EXPECT_FALSE(a.isRunning());

    // Destroying the animation object itself stops it as well.
    auto owner2 = std::make_shared<kit::View>(Rect(0, 0, 10, 10));
    int calls2 = 0;
    {
        kit::RepeatingAnimation b(*owner2, 0.25, [&](double) { ++calls2; });
        b.start();
        kit::runUntil([&] { return calls2 > 0; }, 5.0);
    }
    const int afterObject = calls2;
    kit::runFor(0.3);
    EXPECT_EQ(calls2, afterObject);

    // A period of 0 never runs.
    kit::RepeatingAnimation none(*owner2, 0, [&](double) { ++calls2; });
    none.start();
    EXPECT_FALSE(none.isRunning());
}

TEST_F(UiTest, TheRepeatingPeriodFollowsTheTimeScale) {
    EnvGuard g("PELORIN_TIME_SCALE", "0.1");
    auto owner = std::make_shared<kit::View>(Rect(0, 0, 10, 10));
    int wraps = 0;
    double last = 0;
    kit::RepeatingAnimation a(*owner, 0.5, [&](double t) {
        if (t < last) ++wraps;
        last = t;
    });
    a.start();
    const auto start = std::chrono::steady_clock::now();
    kit::runUntil([&] { return wraps >= 3; }, 5.0);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(wraps, 3);
    EXPECT_LT(took, 1.0) << "three 0.5 s periods at scale 0.1 take about 0.15 s, unscaled 1.5 s";
}

// A 4 x 2 image: red on the left half, blue on the right, upright.
std::shared_ptr<kit::Image> twoColourTile() {
    auto img = kit::Image::withSize({4, 2});
    img->drawInto([] {
        kit::Color(1, 0, 0, 1).setFill();
        kit::BezierPath::fillRect(Rect(0, 0, 2, 2));
        kit::Color(0, 0, 1, 1).setFill();
        kit::BezierPath::fillRect(Rect(2, 0, 2, 2));
        kit::Color(0, 1, 0, 1).setFill();   // a green top row tells up from down
        kit::BezierPath::fillRect(Rect(0, 1, 4, 1));
    });
    return img;
}

class TileView : public kit::View {
public:
    using kit::View::View;
    std::shared_ptr<kit::Image> image;
    kit::Rect area;
    kit::Point phase;
    void drawRect(const kit::Rect&) override { kit::drawTiledImage(*image, area, phase); }
};

TEST_F(UiTest, ATiledImageRepeatsUprightFromItsPhaseInsideTheRectangleOnly) {
    auto v = std::make_shared<TileView>(Rect(0, 0, 20, 10));
    v->image = twoColourTile();
    v->area = Rect(2, 2, 12, 6);
    v->phase = {2, 2};
    kit::Bitmap b = kit::renderView(*v);
    const kit::Color red(1, 0, 0, 1), blue(0, 0, 1, 1), green(0, 1, 0, 1);
    // Rows are counted from the bottom here (y up): tile rows at y 2, 4, 6.
    for (double y : {2.5, 4.5, 6.5}) {
        SCOPED_TRACE(y);
        EXPECT_COLOR_NEAR(b.pixelAtPoint({2.5, y}, false), red, 8);
        EXPECT_COLOR_NEAR(b.pixelAtPoint({4.5, y}, false), blue, 8);
        EXPECT_COLOR_NEAR(b.pixelAtPoint({10.5, y}, false), red, 8);
        EXPECT_COLOR_NEAR(b.pixelAtPoint({2.5, y + 1}, false), green, 8);
    }
    // Nothing outside the rectangle.
    EXPECT_EQ(b.pixelAtPoint({1.5, 4.5}, false).alpha, 0);
    EXPECT_EQ(b.pixelAtPoint({14.5, 4.5}, false).alpha, 0);
    EXPECT_EQ(b.pixelAtPoint({4.5, 8.5}, false).alpha, 0);

    // Moving the phase by one tile width leaves the picture; by half, swaps the colours.
    v->phase = {4, 2};
    kit::Bitmap shifted = kit::renderView(*v);
    EXPECT_COLOR_NEAR(shifted.pixelAtPoint({2.5, 2.5}, false), blue, 8);
    EXPECT_COLOR_NEAR(shifted.pixelAtPoint({4.5, 2.5}, false), red, 8);
}

TEST_F(UiTest, AnImageWithoutWidthTilesNothing) {
    auto v = std::make_shared<TileView>(Rect(0, 0, 20, 10));
    v->image = kit::Image::withSize({0, 10});
    v->area = Rect(0, 0, 20, 10);
    kit::Bitmap b = kit::renderView(*v);
    for (int x = 0; x < 20; x += 5) EXPECT_EQ(b.pixel(x, 5).alpha, 0);
}

}  // namespace
