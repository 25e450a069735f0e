#include "kit/ui/ViewWidget.h"

#include <QApplication>
#include <QBackingStore>
#include <QImage>
#include <QPaintEngine>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QStyleHints>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <algorithm>
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
int ViewWidget::qtEventDepth = 0;

bool ViewWidget::insideEventDispatch() {
    if (dispatchDepth > 0 || qtEventDepth > 0) return true;
    // Under an application object that does not count (not the kit's own),
    // any running loop may hold a handler.
    return !detail::countsEvents() && QCoreApplication::instance() && QThread::currentThread()->loopLevel() > 0;
}
bool ViewWidget::spontaneousMouseInDispatch = false;

ViewWidget::ViewWidget(View* view) : view_(view) {
    setMouseTracking(true);
    setAttribute(Qt::WA_NoSystemBackground, true);
    setAutoFillBackground(false);
}

namespace {

// Lies over all of a top widget's children and is painted after them: it
// turns the partly transparent pixels that the window's shape keeps into
// opaque ones of their own colour, in the window system's copy of the window
// only (a render of the window keeps its true alpha).
class EdgeOverlay : public QWidget {
public:
    explicit EdgeOverlay(QWidget* top) : QWidget(top) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(top->rect());
    }

protected:
    void paintEvent(QPaintEvent* e) override {
        QBackingStore* store = window()->backingStore();
        auto* image = store ? dynamic_cast<QImage*>(store->paintDevice()) : nullptr;
        if (!image || image->format() != QImage::Format_ARGB32_Premultiplied) return;
        {
            // Only the window system's copy: a render paints elsewhere.
            QPainter probe(this);
            if (!probe.paintEngine() || probe.paintEngine()->paintDevice() != image) return;
        }
        const qreal dpr = image->devicePixelRatio();
        for (const QRect& r : e->region()) {
            const QRect px = QRect(QPointF(r.topLeft() * dpr).toPoint(), QSizeF(r.size() * dpr).toSize())
                                 .intersected(image->rect());
            for (int y = px.top(); y <= px.bottom(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(image->scanLine(y));
                for (int x = px.left(); x <= px.right(); ++x) {
                    const int a = qAlpha(line[x]);
                    if (a >= ViewWidget::kShapeAlpha && a < 255) line[x] = qUnpremultiply(line[x]) | 0xff000000u;
                }
            }
        }
    }
};

}  // namespace

void ViewWidget::setShowsEdgesOpaque(bool on) {
    if (on == (edgeOverlay_ != nullptr)) return;
    if (!on) {
        delete edgeOverlay_;
        edgeOverlay_ = nullptr;
        return;
    }
    edgeOverlay_ = new EdgeOverlay(this);
    edgeOverlay_->show();
    edgeOverlay_->raise();
}

bool ViewWidget::event(QEvent* e) {
    ++dispatchDepth;
    bool r = QWidget::event(e);
    --dispatchDepth;
    // The overlay stays above every other child of its top widget.
    if (e->type() == QEvent::ChildAdded || e->type() == QEvent::ZOrderChange) {
        ViewWidget* top = e->type() == QEvent::ChildAdded ? this : dynamic_cast<ViewWidget*>(parentWidget());
        if (top && top->edgeOverlay_) top->edgeOverlay_->raise();
    }
    return r;
}

void ViewWidget::paintEvent(QPaintEvent* e) {
    if (!view_) return;
    QPainter p(this);
    // A view that asked to redraw a part of itself draws that part. Painted
    // again for anything else (a view over it changed, the window was
    // uncovered) it draws as for a redraw of all it shows, clipped to what
    // is painted: a drawing placed from the area being redrawn (a card
    // inset from it, say) then lands where the view's whole drawing put it,
    // instead of leaving what lies beneath showing through under the
    // changed view. (A long list in a scroll view still draws only what is
    // in sight.)
    const QRect shown = isVisible() ? visibleRegion().boundingRect() : rect();
    const QRect q = asked_.contains(e->rect()) ? e->rect() : shown.united(e->rect());
    asked_ = QRect();
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

namespace {
// Hands a pointer event at a point of the window's top widget to the kit.
void sendMouse(Window& w, EventType type, QPointF inTop, const QSinglePointEvent& e, int clickCount) {
    Event ev;
    ev.type = type;
    ev.locationInWindow = Point{inTop.x(), w.frame().height() - inTop.y()};
    ev.screenLocation = screenPoint(e.globalPosition());
    ev.clickCount = clickCount;
    ev.modifierFlags = modifiersFrom(e.modifiers());
    ev.timestamp = e.timestamp() / 1000.0;
    ev.window = &w;
    const bool outer = ViewWidget::spontaneousMouseInDispatch;
    ViewWidget::spontaneousMouseInDispatch = e.spontaneous();
    Application::shared().sendEvent(ev);
    ViewWidget::spontaneousMouseInDispatch = outer;
}
}  // namespace

void ViewWidget::dispatchMouse(int type, QMouseEvent* e, int clickCount) {
    Window* w = windowForEvents();
    if (!w) return;
    QWidget* top = window();
    QPointF inTop = mapTo(top, e->position().toPoint()) + (e->position() - e->position().toPoint());
    sendMouse(*w, EventType(type), inTop, *e, clickCount);
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
    if (edgeOverlay_) edgeOverlay_->setGeometry(rect());
    if (!kitWindow || !isVisible()) return;
    const double sh = Screen::main().frame.height();
    QRect g = geometry();
    kitWindow->qtGeometryChanged(Rect(g.x(), sh - g.y() - g.height(), g.width(), g.height()));
}

void ViewWidget::closeEvent(QCloseEvent* e) {
    // The kit decides about closing: the window manager's close acts as the
    // window's close button, or as its Cancel for a panel.
    e->ignore();
    if (kitWindow) kitWindow->windowManagerClose();
}

void ViewWidget::changeEvent(QEvent* e) {
    // Key status is the kit's own: a click makes its window key (and asks Qt
    // to activate it). Following Qt's activation back would let two windows
    // hand the activation to each other for ever.
    QWidget::changeEvent(e);
}

}  // namespace kit

// ---- pointer events at the window ----

namespace kit {

namespace {

std::vector<QPointer<QWidget>>& nativeInputWidgets() {
    static std::vector<QPointer<QWidget>> list;
    return list;
}

// The native Qt widget of `top` under `p` (top's coordinates), if any.
QWidget* nativeInputAt(QWidget* top, QPoint p) {
    auto& list = nativeInputWidgets();
    list.erase(std::remove_if(list.begin(), list.end(), [](const QPointer<QWidget>& w) { return w.isNull(); }),
               list.end());
    for (auto& n : list) {
        if (n->window() != top || !n->isVisible()) continue;
        if (QRect(n->mapTo(top, QPoint(0, 0)), n->size()).contains(p)) return n.data();
    }
    return nullptr;
}

ViewWidget* kitTopWidget(QObject* obj) {
    auto* qwin = qobject_cast<QWindow*>(obj);
    if (!qwin || !qwin->handle()) return nullptr;
    auto* top = dynamic_cast<ViewWidget*>(QWidget::find(qwin->winId()));
    return top && top->kitWindow ? top : nullptr;
}

}  // namespace

class PointerFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* obj, QEvent* e) override {
        switch (e->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::Leave:
            break;
        default:
            return false;
        }
        ViewWidget* top = kitTopWidget(obj);
        if (!top) return false;
        if (e->type() == QEvent::Leave) {
            top->lastPointer_ = QPointF(-1, -1);
            if (top->toolTipTimer_) top->toolTipTimer_->stop();
            Event ev;
            ev.type = EventType::MouseExited;
            ev.window = top->kitWindow;
            Application::shared().sendEvent(ev);
            return false;   // Qt's own leave bookkeeping goes on
        }
        if (e->type() == QEvent::Wheel) {
            auto* we = static_cast<QWheelEvent*>(e);
            if (nativeInputAt(top, we->position().toPoint())) return false;
            Window* w = top->kitWindow;
            Event ev;
            ev.type = EventType::ScrollWheel;
            ev.locationInWindow = Point{we->position().x(), w->frame().height() - we->position().y()};
            ev.screenLocation = screenPoint(we->globalPosition());
            ev.deltaX = we->angleDelta().x() / 8.0;
            ev.deltaY = we->angleDelta().y() / 8.0;
            ev.modifierFlags = modifiersFrom(we->modifiers());
            ev.window = w;
            Application::shared().sendEvent(ev);
            return true;
        }
        return mouse(top, static_cast<QMouseEvent*>(e));
    }

private:
    bool mouse(ViewWidget* top, QMouseEvent* e) {
        const QEvent::Type t = e->type();
        const QPointF p = e->position();
        // A press that a native widget took keeps going there until the
        // buttons are up, as Qt's own grab would have it.
        if (top->nativeGrab_) {
            if (t == QEvent::MouseButtonRelease && e->buttons() == Qt::NoButton) top->nativeGrab_ = false;
            return false;
        }
        if (nativeInputAt(top, p.toPoint())) {
            if (t == QEvent::MouseButtonPress || t == QEvent::MouseButtonDblClick) top->nativeGrab_ = true;
            top->overNative_ = true;
            return false;
        }
        if (top->overNative_) {
            // Leaving a native widget: this one move goes through Qt, which
            // tells the widget it lost the pointer (and hands the move on to
            // the view beneath through its widget).
            top->overNative_ = false;
            if (t == QEvent::MouseMove) return false;
        }
        Window* w = top->kitWindow;
        if (!w) return false;
        QToolTip::hideText();
        switch (t) {
        case QEvent::MouseButtonPress: {
            if (top->toolTipTimer_) top->toolTipTimer_->stop();
            // The click count, as the platform counts it: presses of the
            // same button close in time and place.
            const QStyleHints* hints = QGuiApplication::styleHints();
            const bool again = e->button() == top->lastPressButton_ &&
                               e->timestamp() - top->lastPressTime_ <= ulong(hints->mouseDoubleClickInterval()) &&
                               (p - top->lastPress_).manhattanLength() <= hints->mouseDoubleClickDistance();
            top->lastClickCount_ = again ? top->lastClickCount_ + 1 : 1;
            top->lastPress_ = p;
            top->lastPressTime_ = e->timestamp();
            top->lastPressButton_ = e->button();
            // A click in the window takes Qt's keyboard focus from a native
            // editor, as a click on a kit view did through Qt.
            if (QWidget* f = QApplication::focusWidget(); f && f->window() == top && f != top)
                top->setFocus(Qt::MouseFocusReason);
            if (e->button() == Qt::LeftButton) sendMouse(*w, EventType::LeftMouseDown, p, *e, top->lastClickCount_);
            else if (e->button() == Qt::RightButton) sendMouse(*w, EventType::RightMouseDown, p, *e, top->lastClickCount_);
            return true;
        }
        case QEvent::MouseButtonDblClick:
            return true;   // counted with its press
        case QEvent::MouseButtonRelease:
            if (e->button() == Qt::LeftButton) sendMouse(*w, EventType::LeftMouseUp, p, *e, top->lastClickCount_);
            else if (e->button() == Qt::RightButton) sendMouse(*w, EventType::RightMouseUp, p, *e, top->lastClickCount_);
            return true;
        case QEvent::MouseMove: {
            Weak<Window> alive(w);
            if (e->buttons() & Qt::LeftButton) sendMouse(*w, EventType::LeftMouseDragged, p, *e, top->lastClickCount_);
            if (!alive) return true;
            sendMouse(*w, EventType::MouseMoved, p, *e, 0);
            if (!alive || e->buttons() != Qt::NoButton) return true;
            armToolTip(top, p);
            return true;
        }
        default:
            return false;
        }
    }

    // Tool tips: Qt finds them on the widget under a resting pointer, which
    // no longer sees the moves; the kit looks for the view's own tip once
    // the pointer rests.
    void armToolTip(ViewWidget* top, QPointF p) {
        top->lastPointer_ = p;
        if (!top->toolTipTimer_) {
            top->toolTipTimer_ = new QTimer(top);
            top->toolTipTimer_->setSingleShot(true);
            QPointer<ViewWidget> guard(top);
            QObject::connect(top->toolTipTimer_, &QTimer::timeout, top, [guard] {
                ViewWidget* t = guard.data();
                if (!t || !t->kitWindow || t->lastPointer_.x() < 0) return;
                Window* w = t->kitWindow;
                View* v = w->hitTest(Point{t->lastPointer_.x(), w->frame().height() - t->lastPointer_.y()});
                for (; v; v = v->superview())
                    if (!v->toolTip().empty()) {
                        QToolTip::showText(t->mapToGlobal(t->lastPointer_.toPoint()),
                                           QString::fromStdString(v->toolTip()), t);
                        return;
                    }
            });
        }
        top->toolTipTimer_->start(700);
    }
};

void detail::installPointerFilter() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    ensureUiApp();
    QCoreApplication::instance()->installEventFilter(new PointerFilter(QCoreApplication::instance()));
}

void detail::registerNativeInputWidget(QWidget* w) {
    if (w) nativeInputWidgets().emplace_back(w);
}

}  // namespace kit
