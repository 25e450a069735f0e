#include "kit/ui/ViewWidget.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>

#include "kit/ui/Application.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

namespace kit {

int ViewWidget::dispatchDepth = 0;
bool ViewWidget::spontaneousMouseInDispatch = false;

ViewWidget::ViewWidget(View* view) : view_(view) {
    setMouseTracking(true);
    setAttribute(Qt::WA_NoSystemBackground, true);
    setAutoFillBackground(false);
}

bool ViewWidget::event(QEvent* e) {
    ++dispatchDepth;
    bool r = QWidget::event(e);
    --dispatchDepth;
    return r;
}

void ViewWidget::paintEvent(QPaintEvent* e) {
    if (!view_) return;
    QPainter p(this);
    QRect q = e->rect();
    Rect b = view_->bounds();
    double y = view_->isFlipped() ? q.y() + b.y() : b.height() - (q.y() + q.height()) + b.y();
    view_->paint(p, Rect(q.x() + b.x(), y, q.width(), q.height()));
}

Window* ViewWidget::windowForEvents() const { return view_ ? view_->window() : nullptr; }

namespace {
uint64_t modifiersFrom(Qt::KeyboardModifiers m) {
    uint64_t f = 0;
    if (m & Qt::ShiftModifier) f |= ShiftKeyMask;
    if (m & Qt::ControlModifier) f |= CommandKeyMask;
    if (m & Qt::MetaModifier) f |= ControlKeyMask;
    if (m & Qt::AltModifier) f |= AlternateKeyMask;
    return f;
}

Point screenPoint(QPointF global) {
    const double sh = Screen::main().frame.height();
    return Point{global.x(), sh - global.y()};
}

// The platform's key codes of an ANSI keyboard, for the keys Qt names.
uint16_t keyCodeFor(int key) {
    static const char* letters = "asdfhgzxcv?bqweryt";   // codes 0..17 ('?' is 10, unused)
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        char c = char('a' + (key - Qt::Key_A));
        for (int i = 0; letters[i]; ++i)
            if (letters[i] == c) return uint16_t(i);
        switch (c) {
        case 'o': return 31; case 'u': return 32; case 'i': return 34; case 'p': return 35;
        case 'l': return 37; case 'j': return 38; case 'k': return 40; case 'n': return 45; case 'm': return 46;
        default: return 0xffff;
        }
    }
    switch (key) {
    case Qt::Key_Return: case Qt::Key_Enter: return KeyCodeReturn;
    case Qt::Key_Tab: return KeyCodeTab;
    case Qt::Key_Space: return KeyCodeSpace;
    case Qt::Key_Backspace: return KeyCodeDelete;
    case Qt::Key_Escape: return KeyCodeEscape;
    case Qt::Key_Left: return 123; case Qt::Key_Right: return 124; case Qt::Key_Down: return 125; case Qt::Key_Up: return 126;
    default: return 0xffff;
    }
}
}  // namespace

void ViewWidget::dispatchMouse(int type, QMouseEvent* e, int clickCount) {
    Window* w = windowForEvents();
    if (!w) return;
    QWidget* top = window();
    QPointF inTop = mapTo(top, e->position().toPoint()) + (e->position() - e->position().toPoint());
    Event ev;
    ev.type = EventType(type);
    ev.locationInWindow = Point{inTop.x(), w->frame().height() - inTop.y()};
    ev.screenLocation = screenPoint(e->globalPosition());
    ev.clickCount = clickCount;
    ev.modifierFlags = modifiersFrom(e->modifiers());
    ev.timestamp = e->timestamp() / 1000.0;
    ev.window = w;
    const bool outer = spontaneousMouseInDispatch;
    spontaneousMouseInDispatch = e->spontaneous();
    Application::shared().sendEvent(ev);
    spontaneousMouseInDispatch = outer;
}

void ViewWidget::mousePressEvent(QMouseEvent* e) {
    lastClickCount_ = 1;
    if (e->button() == Qt::LeftButton) dispatchMouse(int(EventType::LeftMouseDown), e, 1);
    else if (e->button() == Qt::RightButton) dispatchMouse(int(EventType::RightMouseDown), e, 1);
}

void ViewWidget::mouseDoubleClickEvent(QMouseEvent* e) {
    // Qt reports the second press of a double click instead of a press.
    lastClickCount_ = 2;
    if (e->button() == Qt::LeftButton) dispatchMouse(int(EventType::LeftMouseDown), e, 2);
    else if (e->button() == Qt::RightButton) dispatchMouse(int(EventType::RightMouseDown), e, 2);
}

void ViewWidget::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) dispatchMouse(int(EventType::LeftMouseUp), e, lastClickCount_);
    else if (e->button() == Qt::RightButton) dispatchMouse(int(EventType::RightMouseUp), e, lastClickCount_);
}

void ViewWidget::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() & Qt::LeftButton) dispatchMouse(int(EventType::LeftMouseDragged), e, lastClickCount_);
    dispatchMouse(int(EventType::MouseMoved), e, 0);
}

void ViewWidget::leaveEvent(QEvent*) {
    // Only the window's own edge counts; moving between views stays inside.
    if (!kitWindow) return;
    Event ev;
    ev.type = EventType::MouseExited;
    ev.window = kitWindow;
    Application::shared().sendEvent(ev);
}

void ViewWidget::keyPressEvent(QKeyEvent* e) {
    Window* w = windowForEvents();
    if (!w) return;
    Event ev;
    ev.type = EventType::KeyDown;
    ev.keyCode = keyCodeFor(e->key());
    ev.modifierFlags = modifiersFrom(e->modifiers());
    ev.characters = e->text().toStdString();
    QString plain = (e->key() >= Qt::Key_A && e->key() <= Qt::Key_Z)
                        ? QString(QChar('a' + (e->key() - Qt::Key_A)))
                        : e->text();
    if (e->modifiers() & Qt::ShiftModifier) plain = plain.toUpper();
    ev.charactersIgnoringModifiers = plain.toStdString();
    ev.window = w;
    Application::shared().sendEvent(ev);
}

void ViewWidget::keyReleaseEvent(QKeyEvent* e) {
    Window* w = windowForEvents();
    if (!w) return;
    Event ev;
    ev.type = EventType::KeyUp;
    ev.keyCode = keyCodeFor(e->key());
    ev.modifierFlags = modifiersFrom(e->modifiers());
    ev.characters = e->text().toStdString();
    ev.window = w;
    Application::shared().sendEvent(ev);
}

void ViewWidget::wheelEvent(QWheelEvent* e) {
    Window* w = windowForEvents();
    if (!w) return;
    QPointF inTop = mapTo(window(), e->position().toPoint());
    Event ev;
    ev.type = EventType::ScrollWheel;
    ev.locationInWindow = Point{inTop.x(), w->frame().height() - inTop.y()};
    ev.screenLocation = screenPoint(e->globalPosition());
    ev.deltaX = e->angleDelta().x() / 8.0;
    ev.deltaY = e->angleDelta().y() / 8.0;
    ev.window = w;
    Application::shared().sendEvent(ev);
}

void ViewWidget::moveEvent(QMoveEvent* e) {
    QWidget::moveEvent(e);
    if (!kitWindow || !isVisible()) return;
    const double sh = Screen::main().frame.height();
    QRect g = geometry();
    kitWindow->qtGeometryChanged(Rect(g.x(), sh - g.y() - g.height(), g.width(), g.height()));
}

void ViewWidget::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (!kitWindow || !isVisible()) return;
    const double sh = Screen::main().frame.height();
    QRect g = geometry();
    kitWindow->qtGeometryChanged(Rect(g.x(), sh - g.y() - g.height(), g.width(), g.height()));
}

void ViewWidget::closeEvent(QCloseEvent* e) {
    // The kit decides about closing (the window manager's close asks the
    // delegate like the close button does).
    e->ignore();
    if (kitWindow) kitWindow->performClose(nullptr);
}

void ViewWidget::changeEvent(QEvent* e) {
    // Key status is the kit's own: a click makes its window key (and asks Qt
    // to activate it). Following Qt's activation back would let two windows
    // hand the activation to each other for ever.
    QWidget::changeEvent(e);
}

}  // namespace kit
