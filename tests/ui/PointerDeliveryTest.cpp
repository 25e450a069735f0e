// Pointer events as the window system delivers them: to the window's Qt
// window, from where the kit hit-tests and tracks on its own; native Qt input
// widgets (a text field's editor, the menu bar) still get theirs from Qt.
// And views destroyed from inside a Qt signal of one of their children.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QToolTip>
#include <QWidget>
#include <QWindow>

#include "UiTest.h"
#include "kit/RunLoop.h"
#include "kit/ui/Menu.h"
#include "kit/ui/QtBridge.h"
#include "kit/ui/TextField.h"

namespace {

using kit::Rect;
using uitest::UiTest;

class Recorder : public kit::View {
public:
    using kit::View::View;
    void mouseDown(kit::Event& e) override { log.push_back("down" + std::to_string(e.clickCount) + at(e)); }
    void mouseUp(kit::Event& e) override { log.push_back("up" + std::to_string(e.clickCount)); }
    void mouseDragged(kit::Event& e) override { log.push_back("drag" + at(e)); }
    void mouseEntered(kit::Event&) override { log.push_back("in"); }
    void mouseExited(kit::Event&) override { log.push_back("out"); }
    std::string at(kit::Event& e) {
        kit::Point p = convertPointFromView(e.locationInWindow, nullptr);
        return "@" + std::to_string(int(p.x)) + "," + std::to_string(int(p.y));
    }
    std::vector<std::string> log;
};

// What the window system hands the window: a pointer event at a point of
// the window (Qt's coordinates, y down).
void systemMouse(kit::Window& w, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held,
                 ulong time) {
    QWindow* handle = kit::widgetOf(w)->windowHandle();
    QMouseEvent e(type, at, handle->mapToGlobal(at), button, held, Qt::NoModifier);
    e.setTimestamp(time);
    QApplication::sendEvent(handle, &e);
}

TEST_F(UiTest, TheWindowTakesThePointerAndTheKitFindsTheView) {
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 300, 200), kit::TitledWindowMask);
    auto v = std::make_shared<Recorder>(Rect(20, 30, 100, 50));
    v->addTrackingArea(std::make_shared<kit::TrackingArea>(
        Rect(), kit::TrackingMouseEnteredAndExited | kit::TrackingActiveAlways | kit::TrackingInVisibleRect, v.get()));
    w->contentView()->addSubview(v);
    w->makeKeyAndOrderFront();
    kit::runFor(0.05);
    const double h = w->frame().height();
    // The view's point (10, 20) is the window's (30, 50), Qt's (30, h - 50).
    const QPointF inView(30, h - 50), outside(250, 20);
    systemMouse(*w, QEvent::MouseMove, inView, Qt::NoButton, Qt::NoButton, 1000);
    systemMouse(*w, QEvent::MouseButtonPress, inView, Qt::LeftButton, Qt::LeftButton, 1010);
    systemMouse(*w, QEvent::MouseButtonRelease, inView, Qt::LeftButton, Qt::NoButton, 1050);
    // The second press of a double click comes with Qt's double-click event;
    // the kit counts it once, as the click's second press.
    systemMouse(*w, QEvent::MouseButtonPress, inView, Qt::LeftButton, Qt::LeftButton, 1150);
    systemMouse(*w, QEvent::MouseButtonDblClick, inView, Qt::LeftButton, Qt::LeftButton, 1150);
    systemMouse(*w, QEvent::MouseButtonRelease, inView, Qt::LeftButton, Qt::NoButton, 1200);
    // Much later: a click of its own, dragged out of the view.
    systemMouse(*w, QEvent::MouseButtonPress, inView, Qt::LeftButton, Qt::LeftButton, 9000);
    systemMouse(*w, QEvent::MouseMove, inView + QPointF(5, 0), Qt::NoButton, Qt::LeftButton, 9010);
    systemMouse(*w, QEvent::MouseButtonRelease, inView + QPointF(5, 0), Qt::LeftButton, Qt::NoButton, 9020);
    systemMouse(*w, QEvent::MouseMove, outside, Qt::NoButton, Qt::NoButton, 9100);
    EXPECT_EQ(v->log, (std::vector<std::string>{"in", "down1@10,20", "up1", "down2@10,20", "up2", "down1@10,20",
                                                "drag@15,20", "up1", "out"}));
}

TEST_F(UiTest, NativeInputWidgetsStillGetThePointerFromQt) {
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 300, 200), kit::TitledWindowMask);
    auto field = std::make_shared<kit::TextField>(Rect(20, 20, 200, 24));
    field->setBezeled(true);
    field->setEditable(true);
    field->setStringValue("hello world");
    auto other = std::make_shared<Recorder>(Rect(20, 100, 100, 40));
    w->contentView()->addSubview(field);
    w->contentView()->addSubview(other);
    w->makeKeyAndOrderFront();
    kit::runFor(0.05);
    auto* editor = kit::widgetOf(*field)->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setCursorPosition(0);
    const double h = w->frame().height();
    // A click near the end of the text puts the editor's cursor there.
    const QPointF inText(20 + 190, h - 32);
    systemMouse(*w, QEvent::MouseButtonPress, inText, Qt::LeftButton, Qt::LeftButton, 100);
    systemMouse(*w, QEvent::MouseButtonRelease, inText, Qt::LeftButton, Qt::NoButton, 120);
    EXPECT_EQ(editor->cursorPosition(), 11);
    EXPECT_EQ(QApplication::focusWidget(), editor);
    // A click on a kit view goes to the kit, not to the editor.
    const QPointF inOther(40, h - 120);
    systemMouse(*w, QEvent::MouseButtonPress, inOther, Qt::LeftButton, Qt::LeftButton, 5000);
    systemMouse(*w, QEvent::MouseButtonRelease, inOther, Qt::LeftButton, Qt::NoButton, 5020);
    EXPECT_EQ(other->log, (std::vector<std::string>{"down1@20,20", "up1"}));
    EXPECT_NE(QApplication::focusWidget(), editor);
}

TEST_F(UiTest, AToolTipShowsWhenThePointerRestsOnItsView) {
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 300, 200), kit::TitledWindowMask);
    auto holder = std::make_shared<kit::View>(Rect(20, 20, 200, 100));
    auto inner = std::make_shared<kit::View>(Rect(10, 10, 50, 30));
    holder->setToolTip("The whole feature line");
    holder->addSubview(inner);
    w->contentView()->addSubview(holder);
    w->makeKeyAndOrderFront();
    kit::runFor(0.05);
    const double h = w->frame().height();
    systemMouse(*w, QEvent::MouseMove, QPointF(40, h - 40), Qt::NoButton, Qt::NoButton, 100);
    // Over a view without a tip of its own: the tip of the view that holds it.
    EXPECT_TRUE(kit::runUntil([] { return QToolTip::isVisible(); }, 3));
    EXPECT_EQ(QToolTip::text(), "The whole feature line");
    systemMouse(*w, QEvent::MouseButtonPress, QPointF(40, h - 40), Qt::LeftButton, Qt::LeftButton, 200);
    systemMouse(*w, QEvent::MouseButtonRelease, QPointF(40, h - 40), Qt::LeftButton, Qt::NoButton, 220);
    kit::runUntil([] { return !QToolTip::isVisible(); }, 3);
    EXPECT_FALSE(QToolTip::isVisible());
}

TEST_F(UiTest, AWindowDestroyedFromAMenuActionOfItsOwnBarIsDeletedAfterTheEvent) {
    auto w = std::make_shared<kit::Window>(Rect(100, 100, 300, 200), kit::TitledWindowMask);
    w->makeKeyAndOrderFront();
    kit::Responder target;
    int closed = 0;
    target.registerAction("closeAll:", [&](kit::Object*) {
        ++closed;
        w->close();
        w.reset();   // the window and the bar holding this menu go away here
    });
    auto item = std::make_shared<kit::MenuItem>("Close All", "closeAll:");
    item->setTarget(&target);
    auto menu = uitest::mainMenuWithFile({item});
    auto saved = kit::mainMenu();
    kit::setMainMenu(menu);
    kit::attachMainMenu(*w, 80, 22);
    QPointer<QMenuBar> bar = kit::mainMenuBar();
    ASSERT_FALSE(bar.isNull());
    QPointer<QMenu> qmenu = bar->actions().front()->menu();
    ASSERT_FALSE(qmenu.isNull());
    qmenu->setActiveAction(qmenu->actions().front());
    // Return in the open menu triggers the action from inside the menu's own
    // key handler; the sanitizer sees any use of the freed menu.
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(qmenu.data(), &enter);
    EXPECT_EQ(closed, 1);
    kit::runUntil([&] { return bar.isNull(); }, 3);
    EXPECT_TRUE(bar.isNull());
    kit::setMainMenu(saved);
}

}  // namespace
