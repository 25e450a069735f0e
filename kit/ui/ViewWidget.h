#pragma once
// kit internal: the Qt widget behind every view. It paints through the view's
// drawRect and turns Qt's input into kit events for the view's window. The
// widget outlives its view when the view goes away inside one of the widget's
// own event handlers; it then only waits for its deferred deletion.
#include <QWidget>

namespace kit {

class View;
class Window;

class ViewWidget : public QWidget {
public:
    explicit ViewWidget(View* view);
    View* view() const { return view_; }
    void detachView() { view_ = nullptr; }
    Window* kitWindow = nullptr;   // set on a window's top widget

    // Notes a part of the widget (its pixels) that its view asked to redraw;
    // the view draws only that part next time. A paint of anything else
    // draws all of the view in sight (see paintEvent).
    void askToRedraw(const QRect& r) { asked_ |= r; }

    // Depth of Qt event dispatch into kit widgets; while above 0, a destroyed
    // view's widget is deleted later instead of at once.
    static int dispatchDepth;
    // Depth of every Qt event delivery (the application object counts them),
    // a child's signal included: a text field's editor, a menu action.
    static int qtEventDepth;
    // True while some event is being delivered: a widget must not be deleted
    // now, as its own handler (or its child's) may still be on the stack.
    static bool insideEventDispatch();
    // True while a mouse event that came from the window system (not one a
    // test or the kit made up) is being handed to the kit.
    static bool spontaneousMouseInDispatch;

    // On a window's top widget: whether the pixels of the window's shape that
    // are drawn partly transparent (a rim half covered by an outline on the
    // half pixel) are shown at full strength on screen. Without a compositor
    // the window system shows such a pixel darkened, not blended with what
    // lies beneath: a dark seam along a translucent window's edges.
    void setShowsEdgesOpaque(bool on);
    // A pixel at least this opaque (0–255) belongs to a translucent window's
    // shape: it is at least half covered, so its centre lies inside what the
    // window draws. Fainter ones are cut out (Window::invalidateShadow).
    static constexpr int kShapeAlpha = 128;

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    friend class PointerFilter;
    Window* windowForEvents() const;
    void dispatchMouse(int type, QMouseEvent* e, int clickCount);
    View* view_;
    QRect asked_;   // see askToRedraw
    int lastClickCount_ = 1;
    // A window's top widget: where the pointer events of its Qt window go
    // (see PointerFilter).
    bool nativeGrab_ = false;     // a press went to a native Qt widget
    bool overNative_ = false;     // the pointer is over one
    QPointF lastPress_;
    ulong lastPressTime_ = 0;
    Qt::MouseButton lastPressButton_ = Qt::NoButton;
    class QTimer* toolTipTimer_ = nullptr;
    QPointF lastPointer_;
    QWidget* edgeOverlay_ = nullptr;   // see setShowsEdgesOpaque
};

namespace detail {
// The kit's views take the pointer from their window, not from Qt's widget
// tree: one filter takes every pointer event of a kit window's Qt window,
// hit-tests and tracks in the kit, and leaves Qt to deliver only to the
// native Qt widgets that take input themselves (registered here: a text
// field's editor, the menu bar).
void installPointerFilter();
void registerNativeInputWidget(QWidget* w);
// True when the application object is the kit's own, which counts every
// event delivery in ViewWidget::qtEventDepth.
bool countsEvents();
}  // namespace detail

}  // namespace kit
