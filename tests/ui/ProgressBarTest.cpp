// Progress bars: the animated bar's fill, colours, stripes and fades, and the flat
// bars' fill widths, with the values callers really send (100 % as 1.0001,
// NaN from a 0-byte volume).
#include <cmath>
#include <limits>

#include "Comm/DiskSizeProgress.h"
#include "Comm/ITProgressBar.h"
#include "Comm/OVProgressView.h"
#include "Comm/ProgressView.h"
#include "Comm/SizeView.h"
#include "Comm/WipeDiskProView.h"
#include "UiTest.h"
#include "kit/RunLoop.h"
#include "support/EnvGuard.h"

namespace {

using kit::Rect;
using uitest::UiTest;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// A 402 x 20 bar: with the border of 1 its inner width is 400.
struct BarInWindow {
    std::shared_ptr<kit::Window> window;
    std::shared_ptr<ITProgressBar> bar;
    BarInWindow() {
        window = std::make_shared<kit::Window>(Rect(100, 100, 440, 40), kit::BorderlessWindowMask);
        bar = std::make_shared<ITProgressBar>(Rect(10, 10, 402, 20));
        window->contentView()->addSubview(bar);
        window->orderFront();
    }
};

TEST_F(UiTest, TheFillEndsWhereTheValueSays) {
    BarInWindow w;
    ITProgressBar& bar = *w.bar;
    bar.setAnimates(false);
    kit::runUntil([&] { return !bar.hasStripesAnimation(); }, 5);   // the stripes fade out
    const kit::Color fillMid = kit::Color::rgb255(2, 159, 255), track = kit::Color::rgb255(207, 222, 250);
    const double midY = 10;

    bar.setFloatValue(0);
    kit::Bitmap empty = kit::renderView(bar);
    EXPECT_EQ(bar.innerClipLayer().frame, Rect(1, 1, 0, 18));
    for (double x : {2.5, 100.5, 200.5, 399.5}) {
        SCOPED_TRACE(x);
        EXPECT_COLOR_NEAR(empty.pixelAtPoint({x, midY}, false), track, 10);
    }

    bar.setFloatValue(0.5);
    kit::Bitmap half = kit::renderView(bar);
    EXPECT_EQ(bar.innerClipLayer().frame, Rect(1, 1, 200, 18));
    EXPECT_COLOR_NEAR(half.pixelAtPoint({100.5, midY}, false), fillMid, 16);
    EXPECT_COLOR_NEAR(half.pixelAtPoint({199.5, midY}, false), fillMid, 16);
    EXPECT_COLOR_NEAR(half.pixelAtPoint({202.5, midY}, false), track, 10);
    EXPECT_COLOR_NEAR(half.pixelAtPoint({300.5, midY}, false), track, 10);

    bar.setFloatValue(1);
    kit::Bitmap full = kit::renderView(bar);
    EXPECT_EQ(bar.innerClipLayer().frame, Rect(1, 1, 400, 18));
    EXPECT_COLOR_NEAR(full.pixelAtPoint({2.5, midY}, false), fillMid, 16);
    EXPECT_COLOR_NEAR(full.pixelAtPoint({399.5, midY}, false), fillMid, 16);
    EXPECT_COLOR_NEAR(full.pixelAtPoint({401.5, midY}, false), kit::Color::white(), 40);   // the border
}

TEST_F(UiTest, TrackColoursAndTintShowAtOnceAndTheTintCoversOnlyTheFill) {
    BarInWindow w;
    ITProgressBar& bar = *w.bar;
    bar.setAnimates(false);
    kit::runUntil([&] { return !bar.hasStripesAnimation(); }, 5);   // the stripes fade out
    bar.setFloatValue(0.5);
    const kit::Color fillMid = kit::Color::rgb255(2, 159, 255), red = kit::Color::rgb255(200, 0, 0),
                     green = kit::Color::rgb255(0, 255, 0);
    const kit::Point onFill{100.5, 10}, onTrack{300.5, 10};

    bar.setBackgroundColors({red, red});
    kit::Bitmap b = kit::renderView(bar);
    EXPECT_COLOR_NEAR(b.pixelAtPoint(onTrack, false), red, 10);
    EXPECT_COLOR_NEAR(b.pixelAtPoint(onFill, false), fillMid, 16);

    bar.setColorTint(green);
    bar.setColorTintOpacity(1.0);
    b = kit::renderView(bar);
    EXPECT_COLOR_NEAR(b.pixelAtPoint(onFill, false), green, 10);
    EXPECT_COLOR_NEAR(b.pixelAtPoint(onTrack, false), red, 10);

    // At the usual opacity the tint only shades the fill.
    bar.setColorTintOpacity(0.2);
    b = kit::renderView(bar);
    EXPECT_COLOR_NEAR(b.pixelAtPoint(onFill, false), kit::Color::rgb255(2, 178, 204), 16);

    bar.setColorTint(std::nullopt);
    b = kit::renderView(bar);
    EXPECT_COLOR_NEAR(b.pixelAtPoint(onFill, false), fillMid, 16);
}

TEST_F(UiTest, ValuesOutsideTheRangeAreLimitedAndNaNIsIgnored) {
    BarInWindow w;
    ITProgressBar& bar = *w.bar;
    bar.setFloatValue(1.0001);   // 100 % as callers send it
    EXPECT_EQ(bar.floatValue(), 1.0);
    bar.setFloatValue(-0.2);
    EXPECT_EQ(bar.floatValue(), 0.0);
    bar.setFloatValue(0.4);
    bar.setFloatValue(kNaN);
    EXPECT_EQ(bar.floatValue(), 0.4);
    bar.setFloatValue(kInf);
    EXPECT_EQ(bar.floatValue(), 1.0);
    EXPECT_EQ(bar.innerClipLayer().frame.width(), 400);

    // Through the animator the value glides (0.25 s) and lands within the range too.
    bar.setFloatValue(0);
    bar.animator().setFloatValue(1.5);
    kit::runUntil([&] { return bar.floatValue() > 0.0; }, 2.0);
    EXPECT_GT(bar.floatValue(), 0.0);
    EXPECT_LT(bar.floatValue(), 1.0) << "still on its way";
    kit::runUntil([&] { return bar.floatValue() == 1.0; }, 2.0);
    EXPECT_EQ(bar.floatValue(), 1.0);
    bar.animator().setFloatValue(kNaN);
    kit::runFor(0.1);
    EXPECT_EQ(bar.floatValue(), 1.0);
    ASSERT_TRUE(ITProgressBar::defaultAnimationForKey("floatValue").has_value());
    EXPECT_EQ(ITProgressBar::defaultAnimationForKey("floatValue")->timing, kit::TimingFunction::EaseInEaseOut);
    EXPECT_FALSE(ITProgressBar::defaultAnimationForKey("frame").has_value());
}

TEST_F(UiTest, TheStripesLayerIsOneImageWiderAndSlidesOneImageWidthPerPeriod) {
    auto window = std::make_shared<kit::Window>(Rect(100, 100, 520, 40), kit::BorderlessWindowMask);
    auto bar = std::make_shared<ITProgressBar>(Rect(0, 0, 500, 18));
    window->contentView()->addSubview(bar);
    window->orderFront();
    EXPECT_EQ(bar->stripesImage()->size(), (kit::Size{30, 10}));
    EXPECT_EQ(bar->stripesLayer().frame, Rect(-30, 0, 540, 18));
    EXPECT_TRUE(bar->animates());
    EXPECT_TRUE(bar->hasStripesAnimation());
    EXPECT_DOUBLE_EQ(bar->stripesLayer().opacity, 0.04);
    const ITBasicAnimation a = bar->stripesAnimation();
    EXPECT_EQ(a.keyPath, "position.x");
    EXPECT_EQ(a.fromValue, -30);
    EXPECT_EQ(a.toValue - a.fromValue, 30);
    EXPECT_TRUE(a.repeatsForever);
    EXPECT_EQ(a.duration, 0.5);

    EnvGuard fast("PELORIN_TIME_SCALE", "0.2");
    bar->setAnimationDuration(0.5);   // restarts at the new (scaled) speed
    double maxOffset = 0;
    bool wrapped = false;
    double last = 0;
    kit::runUntil([&] {
        const double o = bar->stripesOffset();
        maxOffset = std::max(maxOffset, o);
        if (o < last) wrapped = true;
        last = o;
        return wrapped;
    }, 3.0);
    EXPECT_TRUE(wrapped);
    EXPECT_LT(maxOffset, 30.0);
    EXPECT_GT(maxOffset, 15.0);

    // A resize lays the layers out again.
    bar->setFrameSize({100, 18});
    EXPECT_EQ(bar->stripesLayer().frame, Rect(-30, 0, 30 * (4 + 1), 18));
}

TEST_F(UiTest, AStripesImageWithoutWidthMeansNoStripes) {
    auto bar = std::make_shared<ITProgressBar>(Rect(0, 0, 300, 18));
    bar->setStripesImage(kit::Image::withSize({0, 10}));
    bar->resizeLayers();
    EXPECT_EQ(bar->stripesLayer().frame.width(), 0);
    bar->setAnimationDuration(0.3);   // restarts the stripes: none to move
    EXPECT_FALSE(bar->hasStripesAnimation());
    kit::renderView(*bar);
    bar->setStripesImage(nullptr);
    bar->resizeLayers();
    EXPECT_EQ(bar->stripesLayer().frame.width(), 0);
}

TEST_F(UiTest, StripesFadeOutWhenAnimationStopsAndWaitForAHiddenBar) {
    EnvGuard fast("PELORIN_TIME_SCALE", "0.2");
    BarInWindow w;
    ITProgressBar& bar = *w.bar;
    bar.setAnimates(false);
    EXPECT_TRUE(bar.hasStripesAnimation()) << "they move on while they fade";
    kit::runUntil([&] { return !bar.hasStripesAnimation(); }, 2.0);
    EXPECT_FALSE(bar.hasStripesAnimation());
    EXPECT_EQ(bar.stripesLayer().opacity, 0);

    bar.setHidden(true);
    kit::runUntil([&] { return bar.isHidden(); }, 2.0);
    ASSERT_TRUE(bar.isHidden());
    bar.setAnimates(true);
    EXPECT_FALSE(bar.hasStripesAnimation()) << "not while hidden";
    bar.setHidden(false);
    EXPECT_TRUE(bar.hasStripesAnimation());
    kit::runUntil([&] { return bar.alphaValue() == 1.0; }, 2.0);
    EXPECT_EQ(bar.alphaValue(), 1.0);
}

TEST_F(UiTest, AShowDuringTheHideFadeEndsVisibleWithItsStripes) {
    // Slow fades, so a busy machine's late loop pass still lands inside one.
    EnvGuard slow("PELORIN_TIME_SCALE", "4");
    BarInWindow w;
    ITProgressBar& bar = *w.bar;
    bar.setHidden(true);
    kit::runFor(0.05);
    EXPECT_FALSE(bar.isHidden()) << "still fading";
    EXPECT_LT(bar.alphaValue(), 1.0);
    bar.setHidden(false);
    kit::runUntil([&] { return bar.alphaValue() == 1.0; }, 10.0);
    EXPECT_FALSE(bar.isHidden());
    EXPECT_FALSE(bar.it_isHidden());
    EXPECT_EQ(bar.alphaValue(), 1.0);
    EXPECT_TRUE(bar.hasStripesAnimation());

    // A plain hide ends hidden, without stripes.
    bar.setHidden(true);
    kit::runUntil([&] { return bar.isHidden(); }, 10.0);
    EXPECT_TRUE(bar.isHidden());
    EXPECT_FALSE(bar.hasStripesAnimation());
}

// Stripes that nobody can see stand still: under a hidden page, in a window
// ordered out, or in no window at all. They go on when the bar shows again.
TEST_F(UiTest, TheStripesMoveOnlyWhileTheBarCanBeSeen) {
    EnvGuard fast("PELORIN_TIME_SCALE", "0.2");   // a 0.5 s period lasts 0.1 s
    auto loose = std::make_shared<ITProgressBar>(Rect(0, 0, 300, 18));
    EXPECT_TRUE(loose->hasStripesAnimation());
    EXPECT_TRUE(loose->stripesAnimationPaused()) << "not in a window";

    auto window = std::make_shared<kit::Window>(Rect(100, 100, 440, 60), kit::BorderlessWindowMask);
    auto page = std::make_shared<kit::View>(Rect(0, 0, 440, 60));
    auto bar = std::make_shared<ITProgressBar>(Rect(10, 10, 402, 20));
    page->addSubview(bar);
    window->contentView()->addSubview(page);
    window->orderFront();
    ASSERT_FALSE(bar->stripesAnimationPaused());
    const auto moves = [&] {
        const unsigned long before = kit::RepeatingAnimation::tickCount();
        const double at = bar->stripesOffset();
        return kit::runUntil([&] { return kit::RepeatingAnimation::tickCount() > before && bar->stripesOffset() != at; },
                             2.0);
    };
    EXPECT_TRUE(moves());

    page->setHidden(true);
    EXPECT_TRUE(bar->stripesAnimationPaused()) << "the page above it is hidden";
    EXPECT_TRUE(bar->hasStripesAnimation()) << "still on, only waiting";
    const unsigned long whileHidden = kit::RepeatingAnimation::tickCount();
    loose.reset();
    kit::runFor(0.3);   // three periods
    EXPECT_EQ(kit::RepeatingAnimation::tickCount(), whileHidden);

    page->setHidden(false);
    EXPECT_FALSE(bar->stripesAnimationPaused());
    EXPECT_TRUE(moves());

    window->orderOut();
    EXPECT_TRUE(bar->stripesAnimationPaused()) << "its window is off screen";
    window->orderFront();
    EXPECT_TRUE(moves());

    bar->removeFromSuperview();
    kit::runFor(0.05);
    EXPECT_TRUE(bar->stripesAnimationPaused()) << "taken out of the window";
}

TEST_F(UiTest, TheShadowWidthNeverExceedsTheBorderWidth) {
    auto bar = std::make_shared<ITProgressBar>(Rect(0, 0, 100, 18));
    bar->setShadowWidth(3);
    EXPECT_EQ(bar->shadowWidth(), 1);
    bar->setBorderWidth(0.5);
    EXPECT_EQ(bar->shadowWidth(), 0.5);
    EXPECT_EQ(bar->borderImageForSize({0, 10}, false), nullptr);
    EXPECT_EQ(bar->borderImageForSize({10, -1}, true), nullptr);
}

// ---- flat bars ----

TEST_F(UiTest, FlatBarsFillTheirShareAndTakeTheWholeWidthNearTheEnd) {
    auto tile = std::make_shared<DiskSizeProgress>(Rect(0, 0, 240, 4));
    tile->changeProgressValue(99.9f);
    EXPECT_EQ(tile->used(), 240);
    tile->changeProgressValue(50);
    EXPECT_EQ(tile->used(), 120);
    tile->changeProgressValue(0);
    EXPECT_EQ(tile->used(), 0);

    auto row = std::make_shared<WipeDiskProView>(Rect(0, 0, 100, 4));
    row->changeProgressValue(25);
    EXPECT_EQ(row->value(), 25);
    auto plain = std::make_shared<ProgressView>(Rect(0, 0, 300, 6));
    plain->changeProgressValue(100);
    EXPECT_EQ(plain->used(), 300);

    auto ov = std::make_shared<OVProgressView>(Rect(0, 0, 436, 22));
    EXPECT_EQ(ov->bgProgress()->frame(), Rect(0, 0, 436, 22));
    EXPECT_EQ(ov->pProgress1()->frame(), Rect(0, 0, 0, 22));
    ov->changeProgressValue(50);
    EXPECT_EQ(ov->pProgress1()->frame(), Rect(0, 0, 218, 22));
}

TEST_F(UiTest, FlatBarsLimitOutOfRangeValuesAndTreatNaNAsZero) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    auto tile = std::make_shared<DiskSizeProgress>(Rect(0, 0, 240, 4));
    auto row = std::make_shared<WipeDiskProView>(Rect(0, 0, 240, 4));
    auto plain = std::make_shared<ProgressView>(Rect(0, 0, 240, 6));
    auto ov = std::make_shared<OVProgressView>(Rect(0, 0, 240, 22));
    auto size = std::make_shared<SizeView>(Rect(0, 0, 240, 6));
    auto widths = [&](float p) {
        tile->changeProgressValue(p);
        row->changeProgressValue(p);
        plain->changeProgressValue(p);
        ov->changeProgressValue(p);
        size->setSizeFloat(p);
        return std::vector<double>{tile->used(), row->value(), plain->used(), ov->pProgress1()->frame().width(),
                                   size->pointSize()};
    };
    EXPECT_EQ(widths(150), std::vector<double>(5, 240));
    EXPECT_EQ(widths(-20), std::vector<double>(5, 0));
    EXPECT_EQ(widths(nan), std::vector<double>(5, 0)) << "a 0-byte volume's share";
    EXPECT_EQ(widths(inf), std::vector<double>(5, 0));
    EXPECT_EQ(widths(-inf), std::vector<double>(5, 0));
}

TEST_F(UiTest, TheSizeBarRedrawsWhenItsValueChanges) {
    auto w = std::make_shared<kit::Window>(Rect(0, 0, 300, 40), kit::BorderlessWindowMask);
    auto size = std::make_shared<SizeView>(Rect(10, 10, 200, 6));
    w->contentView()->addSubview(size);
    w->orderFront();
    w->displayIfNeeded();
    size->setSizeFloat(50);
    EXPECT_TRUE(size->needsDisplay());
    EXPECT_EQ(size->pointSize(), 100);
    kit::Bitmap b = kit::renderView(*size);
    EXPECT_COLOR_NEAR(b.pixelAtPoint({50.5, 3}, false), kit::Color::rgb255(107, 146, 242), 8);
    EXPECT_COLOR_NEAR(b.pixelAtPoint({150.5, 3}, false), kit::Color::rgb255(215, 220, 231), 8);
}

TEST_F(UiTest, TheTileBarDrawsItsFillOverItsTrack) {
    auto tile = std::make_shared<DiskSizeProgress>(Rect(0, 0, 240, 4));
    tile->changeProgressValue(50);
    kit::Bitmap b = kit::renderView(*tile);
    EXPECT_COLOR_NEAR(b.pixelAtPoint({60.5, 2}, false), kit::Color::rgb255(85, 129, 203), 8);
    EXPECT_COLOR_NEAR(b.pixelAtPoint({180.5, 2}, false), kit::Color::rgb255(217, 226, 241), 8);
}

}  // namespace
