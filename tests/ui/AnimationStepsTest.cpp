// Animations in steps and images of views: a window carried through key
// frames, groups run one after another, a view's drawing kept as an image,
// and encoded image data read back.
#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <string>
#include <vector>

#include "UiTest.h"
#include "kit/Notification.h"
#include "kit/RunLoop.h"
#include "kit/ui/AnimationSteps.h"
#include "kit/ui/Graphics.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/ViewImage.h"

namespace {

using kit::Rect;
using uitest::UiTest;

TEST_F(UiTest, WindowFrameGoesThroughItsKeyFrames) {
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 50, 50), kit::BorderlessWindowMask);
    w->orderFront();
    const std::vector<Rect> path = {Rect(100, 100, 20, 20), Rect(90, 90, 400, 400), Rect(100, 100, 300, 300)};
    std::vector<double> widths;
    kit::NotificationCenter::Token t = kit::NotificationCenter::defaultCenter().addObserver(
        kit::WindowDidResizeNotification, w.get(), [&](const kit::Notification&) { widths.push_back(w->frame().width()); });
    int calls = 0;
    bool finished = false;
    kit::AnimationContext::runAnimationGroup([&](kit::AnimationContext& ctx) {
        ctx.setDuration(0.3);
        ctx.setTimingFunction(kit::TimingFunction::Linear);
        kit::animateWindowFrameThrough(*w, path, [&](bool f) { ++calls; finished = f; });
    });
    EXPECT_EQ(w->frame(), path[0]);   // starts at the first frame at once
    ASSERT_TRUE(kit::runUntil([&] { return calls > 0; }, 3));
    kit::NotificationCenter::defaultCenter().removeObserver(t);
    EXPECT_TRUE(finished);
    EXPECT_EQ(w->frame(), path[2]);
    // It went past the last frame's size (the overshoot) before settling.
    ASSERT_FALSE(widths.empty());
    EXPECT_GT(*std::max_element(widths.begin(), widths.end()), 300);

    // Replaced by another frame animation: over, unfinished.
    calls = 0;
    kit::animateWindowFrameThrough(*w, {Rect(0, 0, 10, 10), Rect(0, 0, 100, 100)}, [&](bool f) { ++calls; finished = f; });
    w->animator().setFrame(Rect(10, 10, 60, 60));
    // The replaced animation goes away through a deferred delete, which the
    // application's loop runs and a bare processEvents() from the top does not.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(kit::runUntil([&] { return calls > 0; }, 3));
    EXPECT_FALSE(finished);
    kit::runUntil([&] { return w->frame() == Rect(10, 10, 60, 60); }, 5);
    EXPECT_EQ(w->frame(), Rect(10, 10, 60, 60));

    // The owner gone first: no word.
    calls = 0;
    {
        auto owner = std::make_unique<kit::Object>();
        kit::animateWindowFrameThrough(*w, {Rect(0, 0, 10, 10), Rect(0, 0, 20, 20)}, [&](bool) { ++calls; }, owner.get());
    }
    kit::runFor(0.5);
    EXPECT_EQ(calls, 0);
}

TEST_F(UiTest, AnimationStepsRunOneAfterAnother) {
    auto v = std::make_shared<kit::View>(Rect(0, 0, 10, 10));
    std::vector<std::string> log;
    bool done = false;
    kit::runAnimationSteps(
        {
            [&](kit::AnimationContext& c) {
                log.push_back("one");
                c.setDuration(0.1);
                v->animator().setAlphaValue(0.5);
            },
            [&](kit::AnimationContext& c) {
                log.push_back("two at " + std::to_string(v->alphaValue()));
                c.setDuration(0.1);
                v->animator().setFrame(Rect(0, 0, 30, 30));
            },
        },
        [&] {
            log.push_back("done at " + std::to_string(int(v->frame().width())));
            done = true;
        });
    EXPECT_EQ(log, (std::vector<std::string>{"one"}));
    ASSERT_TRUE(kit::runUntil([&] { return done; }, 3));
    EXPECT_EQ(log, (std::vector<std::string>{"one", "two at 0.500000", "done at 30"}));

    // An owner that goes away stops the chain between steps.
    log.clear();
    auto owner = std::make_unique<kit::Object>();
    kit::runAnimationSteps({[&](kit::AnimationContext& c) { c.setDuration(0.1); v->animator().setAlphaValue(1); },
                            [&](kit::AnimationContext&) { log.push_back("second"); }},
                           [&] { log.push_back("end"); }, owner.get());
    owner.reset();
    kit::runFor(0.4);
    EXPECT_TRUE(log.empty());
}

class Painted : public kit::View {
public:
    using View::View;
    void drawRect(const Rect&) override {
        kit::Color::rgb255(200, 0, 0).setFill();
        kit::BezierPath::fillRect(Rect(0, 0, 20, 10));   // the lower half
    }
};

TEST_F(UiTest, ViewDrawingKeptAsAnImage) {
    auto v = std::make_shared<Painted>(Rect(0, 0, 20, 20));
    auto img = kit::imageOfView(*v);
    ASSERT_TRUE(img);
    EXPECT_EQ(img->size(), (kit::Size{20, 20}));
    // Drawn back into a view of the same size, it looks the same: red below, clear above.
    auto iv = std::make_shared<kit::ImageView>(Rect(0, 0, 20, 20));
    iv->setImage(img);
    iv->setImageScaling(kit::ImageScaling::AxesIndependently);
    kit::Bitmap b = kit::renderView(*iv);
    EXPECT_COLOR_NEAR(b.pixelAtPoint({10, 5}, false), kit::Color::rgb255(200, 0, 0), 2);
    EXPECT_EQ(b.pixelAtPoint({10, 15}, false).alpha, 0);
    // A part of the view: only the red half.
    auto lower = kit::imageOfView(*v, Rect(0, 0, 20, 10));
    ASSERT_TRUE(lower);
    EXPECT_EQ(lower->size(), (kit::Size{20, 10}));
    iv->setImage(lower);
    EXPECT_COLOR_NEAR(kit::renderView(*iv).pixelAtPoint({10, 18}, false), kit::Color::rgb255(200, 0, 0), 2);
}

TEST_F(UiTest, ImageDataReadIntoAnImage) {
    QImage q(6, 4, QImage::Format_ARGB32);
    q.fill(QColor(0, 0, 255));
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    q.save(&buf, "PNG");
    auto img = kit::imageFromData(png.toStdString());
    ASSERT_TRUE(img);
    EXPECT_EQ(img->size(), (kit::Size{6, 4}));
    EXPECT_EQ(kit::imageFromData("not an image"), nullptr);
    EXPECT_EQ(kit::imageFromData(""), nullptr);
}

}  // namespace
