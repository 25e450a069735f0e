// Objects that go away while something of theirs is still pending: a button
// whose action destroys its own window, delayed performs, animations and
// their completions, views destroyed inside their own Qt event handlers.
#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include "Comm/TextImageButton.h"
#include "UiTest.h"
#include "kit/Notification.h"
#include "kit/RunLoop.h"
#include "kit/ui/Animation.h"
#include "kit/ui/QtBridge.h"
#include "kit/ui/ViewController.h"

namespace {

using kit::Rect;
using uitest::UiTest;

// A window controller whose "Done" button drops the window it sits in.
class DoneController : public kit::Responder {
public:
    std::shared_ptr<kit::Window> window = std::make_shared<kit::Window>(Rect(100, 100, 300, 200), kit::TitledWindowMask);
    std::shared_ptr<TextImageButton> done = std::make_shared<TextImageButton>(Rect(100, 20, 120, 32));
    int closed = 0;
    DoneController() {
        done->setImageFromFileNormalName("btn_sec", "btn_sec_press", "btn_sec_hover", "btn_sec_disable");
        done->setTextWithName("Done");
        window->contentView()->addSubview(done);
        registerAction("done:", [this](kit::Object*) {
            ++closed;
            window->close();
            done.reset();
            window.reset();   // the button and its window go away inside the click
        });
        done->setTarget(this);
        done->setAction("done:");
        window->makeKeyAndOrderFront();
    }
};

TEST_F(UiTest, DoneButtonThatDestroysItsWindowTouchesNothingAfterwards) {
    DoneController c;
    kit::Window* w = c.window.get();
    kit::Point p = uitest::centreInWindow(*c.done);
    uitest::send(*w, kit::EventType::MouseMoved, p);
    uitest::send(*w, kit::EventType::LeftMouseDown, p);
    uitest::send(*w, kit::EventType::LeftMouseUp, p);   // the sanitizer catches any use after free
    EXPECT_EQ(c.closed, 1);
    EXPECT_EQ(c.window, nullptr);
}

TEST_F(UiTest, DoneButtonThroughQtEventsDefersTheWidgetDeletion) {
    DoneController c;
    QWidget* top = kit::widgetOf(*c.window);
    QWidget* buttonWidget = kit::widgetOf(*c.done);
    QPointF local(buttonWidget->width() / 2.0, buttonWidget->height() / 2.0);
    QPointF global = buttonWidget->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(buttonWidget, &press);
    QApplication::sendEvent(buttonWidget, &release);
    EXPECT_EQ(c.closed, 1);
    QPointer<QWidget> guard(top);
    EXPECT_FALSE(guard.isNull());   // still waiting for its deferred deletion
    kit::runUntil([&] { return guard.isNull(); }, 5);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
}

TEST_F(UiTest, DelayedPerformsDieWithTheirOwnerAndCanBeCancelled) {
    int ran = 0;
    {
        auto owner = std::make_unique<kit::Object>();
        owner->performAfterDelay(0.01, [&] { ++ran; });
    }
    kit::Object kept;
    kept.performAfterDelay(0.01, [&] { ran += 10; });
    kept.cancelPreviousPerformRequests();
    kept.performAfterDelay(0.01, [&] { ran += 100; });
    kit::runUntil([&] { return ran != 0; }, 2);
    kit::runFor(0.05);
    EXPECT_EQ(ran, 100);
}

TEST_F(UiTest, AnimatorGlidesToTheTargetAndCompletionsDieWithTheirOwner) {
    auto v = std::make_shared<kit::View>(Rect(0, 0, 10, 10));
    bool done = false;
    std::vector<double> xs;
    auto token = kit::NotificationCenter::defaultCenter().addObserver(
        kit::ViewFrameDidChangeNotification, v.get(), [&](const kit::Notification&) { xs.push_back(v->frame().x()); });
    kit::AnimationContext::runAnimationGroup(
        [&](kit::AnimationContext& ctx) {
            ctx.setDuration(0.2);
            v->animator().setFrame(Rect(100, 0, 10, 10));
        },
        [&] { done = true; });
    EXPECT_EQ(v->frame().x(), 0);   // nothing jumps
    EXPECT_TRUE(kit::runUntil([&] { return done; }, 5));
    kit::NotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_EQ(v->frame(), Rect(100, 0, 10, 10));
    ASSERT_GE(xs.size(), 3u);
    EXPECT_TRUE(std::is_sorted(xs.begin(), xs.end()));
    // Ease in and out: the first step is small.
    EXPECT_LT(xs.front(), 20);

    // An owner that goes away takes the completion with it; so does a view
    // that goes away mid-animation.
    bool ownerCompletion = false;
    bool sawEnd = false;
    {
        kit::Object owner;
        auto w = std::make_shared<kit::View>(Rect(0, 0, 10, 10));
        kit::AnimationContext::runAnimationGroup(
            [&](kit::AnimationContext& ctx) {
                ctx.setDuration(0.1);
                w->animator().setAlphaValue(0);
            },
            [&] { ownerCompletion = true; }, &owner);
        kit::AnimationContext::runAnimationGroup(
            [&](kit::AnimationContext& ctx) {
                ctx.setDuration(0.1);
                w->animator().setFrameOrigin({50, 50});
            },
            [&] { sawEnd = true; });
    }
    EXPECT_TRUE(kit::runUntil([&] { return sawEnd; }, 5));
    kit::runFor(0.2);
    EXPECT_FALSE(ownerCompletion);
}

TEST_F(UiTest, ZeroDurationAppliesAtOnceAndCompletesLater) {
    auto v = std::make_shared<kit::View>(Rect(0, 0, 10, 10));
    bool done = false;
    kit::AnimationContext::runAnimationGroup(
        [&](kit::AnimationContext& ctx) {
            ctx.setDuration(0);
            v->animator().setAlphaValue(0.25);
        },
        [&] { done = true; });
    EXPECT_DOUBLE_EQ(v->alphaValue(), 0.25);
    EXPECT_FALSE(done);   // never inside the caller
    EXPECT_TRUE(kit::runUntil([&] { return done; }, 2));
}

TEST_F(UiTest, SubviewKeptElsewhereSurvivesItsWindow) {
    std::shared_ptr<kit::View> kept = std::make_shared<kit::View>(Rect(0, 0, 10, 10));
    {
        auto w = std::make_shared<kit::Window>(Rect(0, 0, 100, 100), kit::TitledWindowMask);
        w->contentView()->addSubview(kept);
        EXPECT_EQ(kept->window(), w.get());
    }
    EXPECT_EQ(kept->window(), nullptr);
    EXPECT_EQ(kept->superview(), nullptr);
    kept->setFrame(Rect(1, 1, 20, 20));   // its widget is still its own
    kit::Bitmap b = kit::renderView(*kept);
    EXPECT_EQ(b.width(), 20);
}

}  // namespace
