// Drawing in the platform's coordinates: images and text upright in flipped
// and unflipped views, arcs turning the right way, gradients by angle, clips.
#include "UiTest.h"
#include "kit/ui/Graphics.h"
#include "kit/ui/Image.h"
#include "kit/ui/TextField.h"

namespace {

using kit::Color;
using kit::Rect;
using uitest::UiTest;

// An image whose upper half is red and lower half blue.
std::shared_ptr<kit::Image> redOverBlue() {
    auto img = kit::Image::withSize({20, 20});
    img->drawInto([] {
        Color::rgb255(255, 0, 0).setFill();
        kit::BezierPath::fillRect(Rect(0, 10, 20, 10));   // y up: the upper half
        Color::rgb255(0, 0, 255).setFill();
        kit::BezierPath::fillRect(Rect(0, 0, 20, 10));
    });
    return img;
}

class ImageHolder : public kit::View {
public:
    ImageHolder(const Rect& f, bool flipped, std::shared_ptr<kit::Image> img) : kit::View(f), flipped_(flipped), img_(std::move(img)) {}
    bool isFlipped() const override { return flipped_; }
    void drawRect(const Rect&) override { img_->drawInRect(Rect(0, 0, 20, 20)); }
private:
    bool flipped_;
    std::shared_ptr<kit::Image> img_;
};

TEST_F(UiTest, ImagesComeOutUprightInFlippedAndUnflippedViews) {
    auto img = redOverBlue();
    for (bool flipped : {false, true}) {
        SCOPED_TRACE(flipped ? "flipped" : "unflipped");
        auto v = std::make_shared<ImageHolder>(Rect(0, 0, 20, 40), flipped, img);
        kit::Bitmap b = kit::renderView(*v);
        // Flipped: the image sits at the top of the view; unflipped: at the bottom.
        int top = flipped ? 0 : 20;
        EXPECT_COLOR_NEAR(b.pixel(10, top + 2), Color::rgb255(255, 0, 0), 2);
        EXPECT_COLOR_NEAR(b.pixel(10, top + 17), Color::rgb255(0, 0, 255), 2);
    }
    // A source rectangle picks a part of the image in its own y-up points.
    struct Part : kit::View {
        std::shared_ptr<kit::Image> img;
        using kit::View::View;
        void drawRect(const Rect&) override { img->drawInRect(Rect(0, 0, 20, 20), Rect(0, 10, 20, 10)); }
    };
    auto p = std::make_shared<Part>(Rect(0, 0, 20, 20));
    p->img = img;
    kit::Bitmap b = kit::renderView(*p);
    EXPECT_COLOR_NEAR(b.pixel(10, 15), Color::rgb255(255, 0, 0), 2);
}

class FlippedBox : public kit::View {
public:
    using kit::View::View;
    bool isFlipped() const override { return true; }
};

TEST_F(UiTest, TextHangsFromTheTopOfItsFrameInBothOrientations) {
    for (bool flippedParent : {false, true}) {
        SCOPED_TRACE(flippedParent ? "flipped parent" : "unflipped parent");
        std::shared_ptr<kit::View> parent = flippedParent ? std::make_shared<FlippedBox>(Rect(0, 0, 100, 100))
                                                          : std::make_shared<kit::View>(Rect(0, 0, 100, 100));
        // Either way the label covers rows 20 to 80 of the parent.
        auto label = kit::TextField::label("MMMM", Rect(0, 20, 100, 60));
        label->setFont(kit::Font::boldSystemFont(20));
        label->setTextColor(Color::black());
        parent->addSubview(label);
        kit::Bitmap b = kit::renderView(*parent);
        int firstInk = -1, lastInk = -1;
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x)
                if (b.pixel(x, y).alpha > 0.5) {
                    if (firstInk < 0) firstInk = y;
                    lastInk = y;
                }
        ASSERT_GE(firstInk, 0);
        EXPECT_GE(firstInk, 20);
        EXPECT_LT(firstInk, 32);    // near the label's top edge
        EXPECT_LT(lastInk, 50);     // and not mirrored to its bottom
    }
}

TEST_F(UiTest, ArcsTurnCounterClockwiseInYUpSpace) {
    kit::BezierPath p;
    p.appendArc({50, 50}, 10, 0, 90);
    EXPECT_NEAR(p.currentPoint().x, 50, 1e-6);
    EXPECT_NEAR(p.currentPoint().y, 60, 1e-6);
    kit::BezierPath q;
    q.appendArc({50, 50}, 10, 0, 90, true);   // clockwise: the long way round
    EXPECT_NEAR(q.currentPoint().y, 60, 1e-6);
    EXPECT_LT(q.bounds().minY(), 41);
    // A tangent arc rounds the corner it is aimed at.
    kit::BezierPath t;
    t.moveTo({0, 0});
    t.appendArcFromPoint({20, 0}, {20, 20}, 5);
    EXPECT_NEAR(t.currentPoint().x, 20, 1e-6);
    EXPECT_NEAR(t.currentPoint().y, 5, 1e-6);
    EXPECT_LT(t.bounds().maxX(), 20.01);
    // Radii larger than half a side are limited to it.
    kit::BezierPath r = kit::BezierPath::roundedRect(Rect(0, 0, 20, 10), 30, 30);
    EXPECT_EQ(r.bounds(), Rect(0, 0, 20, 10));
}

class GradientView : public kit::View {
public:
    GradientView(const Rect& f, double angle) : kit::View(f), angle_(angle) {}
    void drawRect(const Rect&) override {
        kit::Gradient(Color::rgb255(255, 0, 0), Color::rgb255(0, 0, 255)).drawInRect(bounds(), angle_);
    }
    double angle_;
};

TEST_F(UiTest, GradientAnglesRunInYUpSpace) {
    auto up = std::make_shared<GradientView>(Rect(0, 0, 40, 40), 90);
    kit::Bitmap b = kit::renderView(*up);
    EXPECT_GT(b.pixel(20, 39).red, 0.9);    // the start colour at the bottom
    EXPECT_GT(b.pixel(20, 0).blue, 0.9);    // the end colour at the top
    auto right = std::make_shared<GradientView>(Rect(0, 0, 40, 40), 0);
    kit::Bitmap c = kit::renderView(*right);
    EXPECT_GT(c.pixel(0, 20).red, 0.9);
    EXPECT_GT(c.pixel(39, 20).blue, 0.9);
}

class ClipView : public kit::View {
public:
    using kit::View::View;
    void drawRect(const Rect&) override {
        kit::GraphicsContext::saveGraphicsState();
        kit::BezierPath::rect(Rect(0, 0, 10, 10)).addClip();
        Color::black().setFill();
        kit::BezierPath::fillRect(bounds());
        kit::GraphicsContext::restoreGraphicsState();
        Color::rgb255(0, 255, 0).setFill();   // after the restore: no clip, the old colour state
        kit::BezierPath::fillRect(Rect(30, 30, 10, 10));
    }
};

TEST_F(UiTest, SavedStatesRestoreClipAndColours) {
    auto v = std::make_shared<ClipView>(Rect(0, 0, 40, 40));
    kit::Bitmap b = kit::renderView(*v);
    EXPECT_COLOR_NEAR(b.pixel(5, 35), Color::black(), 1);      // inside the clip (lower left)
    EXPECT_EQ(b.pixel(20, 20).alpha, 0);                        // clipped away
    EXPECT_COLOR_NEAR(b.pixel(35, 5), Color::rgb255(0, 255, 0), 1);
}

// A white square with a black shadow blurred about it, in the middle of the view.
class ShadowedSquare : public kit::View {
public:
    using kit::View::View;
    void drawRect(const Rect&) override {
        kit::GraphicsContext::saveGraphicsState();
        kit::Shadow shadow;
        shadow.color = Color::black();
        shadow.blurRadius = 12;
        shadow.set();
        Color::white().setFill();
        kit::BezierPath::fillRect(Rect(35, 35, 10, 10));
        kit::GraphicsContext::restoreGraphicsState();
    }
};

// The shadow spreads the same way on every side of the shape, fades with the
// distance and ends a few radii out.
TEST_F(UiTest, AShadowSpreadsEvenlyAndFadesAroundItsShape) {
    auto v = std::make_shared<ShadowedSquare>(Rect(0, 0, 80, 80));
    kit::Bitmap b = kit::renderView(*v);
    EXPECT_COLOR_NEAR(b.pixel(40, 40), Color::white(), 1);
    // The square covers columns and rows 35 to 44.
    double nearer = 1;
    for (int d : {1, 3, 6, 9, 12}) {
        SCOPED_TRACE(d);
        const double left = b.pixel(35 - d, 40).alpha;
        EXPECT_NEAR(b.pixel(44 + d, 40).alpha, left, 0.01);
        EXPECT_NEAR(b.pixel(40, 35 - d).alpha, left, 0.01);
        EXPECT_NEAR(b.pixel(40, 44 + d).alpha, left, 0.01);
        EXPECT_GT(left, 0);
        EXPECT_LT(left, nearer);
        nearer = left;
    }
    EXPECT_EQ(b.pixel(35 - 20, 40).alpha, 0);
    EXPECT_EQ(b.pixel(40, 44 + 20).alpha, 0);
    EXPECT_EQ(b.pixel(2, 2).alpha, 0);
}

}  // namespace
