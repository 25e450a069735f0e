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

    // Depth of Qt event dispatch into kit widgets; while above 0, a destroyed
    // view's widget is deleted later instead of at once.
    static int dispatchDepth;
    // True while a mouse event that came from the window system (not one a
    // test or the kit made up) is being handed to the kit.
    static bool spontaneousMouseInDispatch;

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
    Window* windowForEvents() const;
    void dispatchMouse(int type, QMouseEvent* e, int clickCount);
    View* view_;
    int lastClickCount_ = 1;
};

}  // namespace kit
