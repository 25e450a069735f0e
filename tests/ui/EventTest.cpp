// Qt input turned into the kit's events: keys reach the first responder with
// the platform's modifier flags, pointer moves drive tracking areas by their
// options, and clicks carry their count.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include "UiTest.h"
#include "kit/Notification.h"
#include "kit/ui/ProgressIndicator.h"
#include "kit/ui/RepeatingAnimation.h"
#include "kit/RunLoop.h"
#include "kit/ui/QtBridge.h"
#include "kit/ui/TextField.h"

namespace {

using kit::Rect;
using uitest::UiTest;

class KeyView : public kit::View {
public:
    using kit::View::View;
    bool acceptsFirstResponder() override { return true; }
    void keyDown(kit::Event& e) override { keys.push_back(e); }
    void mouseDown(kit::Event& e) override { clicks.push_back(e.clickCount); }
    void mouseUp(kit::Event& e) override { ups.push_back(e.clickCount); }
    std::vector<kit::Event> keys;
    std::vector<int> clicks, ups;
};

TEST_F(UiTest, KeysReachTheFirstResponderWithPlatformFlags) {
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 200, 100), kit::TitledWindowMask);
    auto v = std::make_shared<KeyView>(Rect(10, 10, 50, 50));
    w->contentView()->addSubview(v);
    w->makeKeyAndOrderFront();
    ASSERT_TRUE(w->makeFirstResponder(v.get()));
    QWidget* top = kit::widgetOf(*w);
    QKeyEvent ctrlC(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, QString(QChar(3)));
    QApplication::sendEvent(top, &ctrlC);
    QKeyEvent shiftZ(QEvent::KeyPress, Qt::Key_Z, Qt::ShiftModifier | Qt::ControlModifier, "Z");
    QApplication::sendEvent(top, &shiftZ);
    ASSERT_EQ(v->keys.size(), 2u);
    EXPECT_EQ(v->keys[0].modifierFlags & kit::DeviceIndependentModifierFlagsMask, uint64_t(kit::CommandKeyMask));
    EXPECT_EQ(v->keys[0].charactersIgnoringModifiers, "c");
    EXPECT_EQ(v->keys[0].keyCode, 8);
    EXPECT_EQ(v->keys[1].charactersIgnoringModifiers, "Z");
    EXPECT_EQ(v->keys[1].modifierFlags, uint64_t(kit::CommandKeyMask | kit::ShiftKeyMask));

    // Esc with no taker becomes the window's cancel operation.
    int cancelled = 0;
    w->registerAction("cancelOperation:", [&](kit::Object*) { ++cancelled; });
    w->makeFirstResponder(nullptr);
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(top, &esc);
    EXPECT_EQ(cancelled, 1);
}

TEST_F(UiTest, QtClicksCarryTheirCountAndLocation) {
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 200, 100), kit::TitledWindowMask);
    auto v = std::make_shared<KeyView>(Rect(10, 10, 50, 50));
    w->contentView()->addSubview(v);
    w->makeKeyAndOrderFront();
    QWidget* vw = kit::widgetOf(*v);
    QPointF local(5, 5), global = vw->mapToGlobal(local);
    auto sendMouse = [&](QEvent::Type t, Qt::MouseButtons held) {
        QMouseEvent e(t, local, global, Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(vw, &e);
    };
    sendMouse(QEvent::MouseButtonPress, Qt::LeftButton);
    sendMouse(QEvent::MouseButtonRelease, Qt::NoButton);
    sendMouse(QEvent::MouseButtonDblClick, Qt::LeftButton);
    sendMouse(QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_EQ(v->clicks, (std::vector<int>{1, 2}));
    EXPECT_EQ(v->ups, (std::vector<int>{1, 2}));
}

class Tracker : public kit::Responder {
public:
    void mouseEntered(kit::Event& e) override { log += "in:" + std::to_string(reinterpret_cast<intptr_t>(e.userData)) + " "; }
    void mouseExited(kit::Event& e) override { log += "out:" + std::to_string(reinterpret_cast<intptr_t>(e.userData)) + " "; }
    void mouseMoved(kit::Event&) override { ++moves; }
    std::string log;
    int moves = 0;
};

TEST_F(UiTest, TrackingAreasFollowTheirOptions) {
    auto key = std::make_shared<kit::Window>(Rect(100, 100, 300, 200), kit::TitledWindowMask);
    auto other = std::make_shared<kit::Window>(Rect(500, 100, 100, 100), kit::TitledWindowMask);
    auto v = std::make_shared<kit::View>(Rect(0, 0, 100, 100));
    key->contentView()->addSubview(v);
    Tracker t;
    v->addTrackingRect(Rect(0, 0, 50, 50), &t, reinterpret_cast<void*>(1), false);
    v->addTrackingArea(std::make_shared<kit::TrackingArea>(
        Rect(0, 0, 100, 100), kit::TrackingMouseEnteredAndExited | kit::TrackingMouseMoved | kit::TrackingActiveInKeyWindow,
        &t, reinterpret_cast<void*>(2)));
    other->makeKeyAndOrderFront();
    key->orderFront();
    uitest::send(*key, kit::EventType::MouseMoved, {20, 20});
    EXPECT_EQ(t.log, "in:1 ");   // the key-window area sleeps while the window is not key
    key->makeKeyWindow();
    uitest::send(*key, kit::EventType::MouseMoved, {70, 70});
    uitest::send(*key, kit::EventType::MouseMoved, {75, 70});
    EXPECT_EQ(t.log, "in:1 out:1 in:2 ");
    EXPECT_EQ(t.moves, 1);
    kit::Event leave;
    leave.type = kit::EventType::MouseExited;
    leave.window = key.get();
    kit::Application::shared().sendEvent(leave);
    EXPECT_EQ(t.log, "in:1 out:1 in:2 out:2 ");
}

TEST_F(UiTest, EditableFieldTakesTypingAndKeepsItsValue) {
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 300, 100), kit::TitledWindowMask);
    auto field = std::make_shared<kit::TextField>(Rect(10, 10, 200, 22));
    field->setBezeled(true);
    field->setEditable(true);
    field->setStringValue("ab");
    w->contentView()->addSubview(field);
    w->makeKeyAndOrderFront();
    EXPECT_TRUE(w->makeFirstResponder(field.get()));
    auto* editor = kit::widgetOf(*field)->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "ab");
    editor->setCursorPosition(2);
    QKeyEvent c(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, "c");
    QApplication::sendEvent(editor, &c);
    EXPECT_EQ(field->stringValue(), "abc");
    // A label takes no first-responder status.
    auto label = kit::TextField::label("x", Rect(0, 0, 10, 10));
    w->contentView()->addSubview(label);
    EXPECT_FALSE(w->makeFirstResponder(label.get()));
}

TEST_F(UiTest, ApplicationActivationIsNotifiedOncePerChange) {
    int became = 0, resigned = 0;
    auto& nc = kit::NotificationCenter::defaultCenter();
    auto t1 = nc.addObserver(kit::ApplicationDidBecomeActiveNotification, nullptr, [&](const kit::Notification&) { ++became; });
    auto t2 = nc.addObserver(kit::ApplicationDidResignActiveNotification, nullptr, [&](const kit::Notification&) { ++resigned; });
    kit::Application::shared().setActive(false);
    kit::Application::shared().setActive(false);
    kit::Application::shared().setActive(true);
    nc.removeObserver(t1);
    nc.removeObserver(t2);
    EXPECT_EQ(became, 1);
    EXPECT_EQ(resigned, 1);
}

TEST_F(UiTest, SpinnerDrawsOnlyWhileTurningUnlessAskedToStay) {
    auto spin = std::make_shared<kit::ProgressIndicator>(Rect(0, 0, 32, 32));
    auto inked = [&] {
        kit::Bitmap b = kit::renderView(*spin);
        int n = 0;
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x) n += b.pixel(x, y).alpha > 0.1;
        return n;
    };
    EXPECT_EQ(inked(), 0);
    spin->startAnimation();
    EXPECT_TRUE(spin->isAnimating());
    EXPECT_GT(inked(), 20);
    spin->stopAnimation();
    EXPECT_EQ(inked(), 0);
    spin->setDisplayedWhenStopped(true);
    EXPECT_GT(inked(), 20);
}

TEST_F(UiTest, ASpinnerTurnsOnlyWhileItCanBeSeen) {
    auto window = std::make_shared<kit::Window>(Rect(100, 100, 100, 100), kit::BorderlessWindowMask);
    auto page = std::make_shared<kit::View>(Rect(0, 0, 100, 100));
    auto spin = std::make_shared<kit::ProgressIndicator>(Rect(30, 30, 32, 32));
    page->addSubview(spin);
    window->contentView()->addSubview(page);
    window->orderFront();
    spin->startAnimation();
    const auto turns = [&] {
        const int from = spin->phase();
        return kit::runUntil([&] { return spin->phase() != from; }, 2.0);
    };
    EXPECT_TRUE(turns());

    page->setHidden(true);
    const unsigned long ticks = kit::RepeatingAnimation::tickCount();
    kit::runFor(0.3);
    EXPECT_EQ(kit::RepeatingAnimation::tickCount(), ticks) << "hidden under its page";
    page->setHidden(false);
    EXPECT_TRUE(turns());
}

}  // namespace
