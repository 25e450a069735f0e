#pragma once
// Windows. A window's frame is in screen coordinates with the origin at the
// lower left of the main screen (y up). Every window is a frameless Qt window:
// the kit draws the frame view itself, and for a titled window it draws the
// title band and the standard close, minimise and zoom buttons, which are
// ordinary views of the frame view (standardWindowButton()).
//
// The frame view is the window's top view; the content view is its subview,
// filling the content rectangle (the frame less the title bar). Windows are
// created with std::make_shared and kept by their controllers; the
// application lists the windows that exist without keeping them.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/Plist.h"
#include "kit/ui/Animation.h"
#include "kit/ui/Color.h"
#include "kit/ui/Geometry.h"
#include "kit/ui/Responder.h"
#include "kit/ui/View.h"

class QWidget;

namespace kit {

class View;
class Button;
class Window;
class ViewWidget;
class Image;

enum WindowStyleMask : unsigned {
    BorderlessWindowMask = 0,
    TitledWindowMask = 1 << 0,
    ClosableWindowMask = 1 << 1,
    MiniaturizableWindowMask = 1 << 2,
    ResizableWindowMask = 1 << 3,
    UtilityWindowMask = 1 << 4,
    NonactivatingPanelMask = 1 << 7,
    FullScreenWindowMask = 1 << 14,
};

enum class WindowButtonKind { Close = 0, Miniaturize = 1, Zoom = 2, Toolbar = 3, DocumentIcon = 4, DocumentVersions = 6, FullScreen = 7 };

// Window levels (the platform's values); above Normal a window floats over
// normal windows.
enum WindowLevel : int { NormalWindowLevel = 0, FloatingWindowLevel = 3, ModalPanelWindowLevel = 8,
                         StatusWindowLevel = 25, PopUpMenuWindowLevel = 101 };

// Modal responses.
enum ModalResponse : long { ModalResponseStop = -1000, ModalResponseAbort = -1001, ModalResponseContinue = -1002,
                            ModalResponseOK = 1, ModalResponseCancel = 0 };

// Notifications, posted on the default notification centre with the window
// as sender (the application's with a null sender).
inline constexpr const char* WindowDidResizeNotification = "WindowDidResizeNotification";
inline constexpr const char* WindowDidMoveNotification = "WindowDidMoveNotification";
inline constexpr const char* WindowDidBecomeKeyNotification = "WindowDidBecomeKeyNotification";
inline constexpr const char* WindowDidResignKeyNotification = "WindowDidResignKeyNotification";
inline constexpr const char* WindowDidBecomeMainNotification = "WindowDidBecomeMainNotification";
inline constexpr const char* WindowDidResignMainNotification = "WindowDidResignMainNotification";
inline constexpr const char* WindowWillCloseNotification = "WindowWillCloseNotification";
inline constexpr const char* WindowDidMiniaturizeNotification = "WindowDidMiniaturizeNotification";
inline constexpr const char* WindowDidDeminiaturizeNotification = "WindowDidDeminiaturizeNotification";
inline constexpr const char* WindowWillEnterFullScreenNotification = "WindowWillEnterFullScreenNotification";
inline constexpr const char* WindowDidEnterFullScreenNotification = "WindowDidEnterFullScreenNotification";
inline constexpr const char* WindowWillExitFullScreenNotification = "WindowWillExitFullScreenNotification";
inline constexpr const char* WindowDidExitFullScreenNotification = "WindowDidExitFullScreenNotification";
inline constexpr const char* WindowDidEndSheetNotification = "WindowDidEndSheetNotification";

// The action that the window manager's close request (Alt+F4, a taskbar's
// close) sends along the responder chain of a borderless window (a panel,
// a menu, a popover). Whoever answers it dismisses the window the way its
// Cancel or close button does, so its owner is left as that button leaves
// it. Unanswered, the request is refused and the window stays: closed
// behind its owner's back, it would leave the owner waiting for an answer.
inline constexpr const char* WindowManagerCloseAction = "windowManagerClose:";

// The window delegate. Every operation is optional: the default bodies are
// what the window does without a delegate.
class WindowDelegate {
public:
    virtual ~WindowDelegate() = default;
    virtual bool windowShouldClose(Window& w) { return true; }
    virtual void windowWillClose(Window& w) {}
    virtual void windowDidResize(Window& w) {}
    virtual void windowDidMove(Window& w) {}
    virtual void windowDidBecomeKey(Window& w) {}
    virtual void windowDidResignKey(Window& w) {}
    virtual void windowDidBecomeMain(Window& w) {}
    virtual void windowDidResignMain(Window& w) {}
    virtual void windowDidMiniaturize(Window& w) {}
    virtual void windowWillEnterFullScreen(Window& w) {}
    virtual void windowWillExitFullScreen(Window& w) {}
    virtual void windowDidEndSheet(Window& w) {}
    // Where a sheet attaches: `rect` comes in with the window's default (its
    // y is the top edge of the content area, in window coordinates); the
    // sheet's top edge goes to the returned rectangle's y.
    virtual Rect willPositionSheet(Window& w, Window& sheet, Rect rect) { return rect; }
};

// The screens. With one screen, main() is the screen of every window.
struct Screen {
    Rect frame;          // y up, origin at the lower left of the main screen
    Rect visibleFrame;
    double backingScaleFactor = 1.0;
    static Screen main();
};

class Window : public Responder, public std::enable_shared_from_this<Window> {
public:
    Window(const Rect& contentRect, unsigned styleMask);
    ~Window() override;

    // The frame rectangle for a content rectangle and back (the title bar of
    // a titled window is kStandardTitleBarHeight high).
    static constexpr double kStandardTitleBarHeight = 22;
    static Rect frameRectForContentRect(const Rect& content, unsigned styleMask);
    static Rect contentRectForFrameRect(const Rect& frame, unsigned styleMask);
    Rect contentRectForFrameRect(const Rect& frame) const { return contentRectForFrameRect(frame, styleMask_); }

    unsigned styleMask() const { return styleMask_; }
    const std::string& title() const { return title_; }
    virtual void setTitle(const std::string& t);

    // ---- geometry ----
    const Rect& frame() const { return frame_; }
    virtual void setFrame(const Rect& frame, bool display = true, bool animate = false);
    void setFrameOrigin(Point p);
    void setFrameTopLeftPoint(Point p);
    void setContentSize(Size s);
    void center();
    Screen screen() const;
    Point convertPointToScreen(Point inWindow) const;
    Point convertPointFromScreen(Point onScreen) const;
    Rect convertRectToScreen(const Rect& r) const;
    Rect convertRectFromScreen(const Rect& r) const;

    // ---- views ----
    View* contentView() const { return contentView_.get(); }
    std::shared_ptr<View> contentViewPtr() const { return contentView_; }
    virtual void setContentView(std::shared_ptr<View> v);
    // The top view: the content view's superview.
    View* frameView() const { return frameView_.get(); }
    // nullptr for kinds the window has none of (every titled window has the
    // close, minimise and zoom buttons; none has a separate full-screen one).
    Button* standardWindowButton(WindowButtonKind kind) const;

    // ---- look ----
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool o);
    const Color& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const Color& c);
    double alphaValue() const { return alpha_; }
    void setAlphaValue(double a);
    // Kept for the callers; the window system draws no shadow for the kit's
    // frameless windows.
    bool hasShadow() const { return hasShadow_; }
    void setHasShadow(bool s) { hasShadow_ = s; }
    // Recomputes the window's shape from what it draws. A window that is not
    // opaque takes the shape of its pixels that are at least half covered, so
    // its clear rounded corners are cut out of the window instead of showing
    // black on a screen without a compositor (and what is drawn fainter than
    // that lets the windows beneath show); the pixels it keeps are shown at
    // full strength, not darkened. The kit does this once the window has been
    // shown and whenever its size changes; call it after changing the outline
    // a window draws.
    void invalidateShadow();
    // Draws into the current drawing of this window what its parent window
    // shows beneath it, blurred by about `radius` points: the frosted backdrop
    // a translucent panel is meant to sit on, which the window system here
    // doesn't draw. The blurred picture is made once for a given place and
    // size of the two windows. Nothing is drawn without a parent window.
    void drawBackdrop(double radius);
    int level() const { return level_; }
    void setLevel(int level);
    bool isMovableByWindowBackground() const { return movableByBackground_; }
    void setMovableByWindowBackground(bool m) { movableByBackground_ = m; }
    bool isMovable() const { return movable_; }
    void setMovable(bool m) { movable_ = m; }
    void display();
    // Redraws every view that asked for it (the kit redraws on its own; this
    // forces it, for tests and for code that reads pixels back).
    void displayIfNeeded();
    WindowAnimator animator() { return WindowAnimator(this); }

    // ---- ordering, key and main ----
    bool isVisible() const { return visible_; }
    void orderFront();
    void orderBack();
    void orderOut();
    void orderWindow(WindowOrderingMode place, Window* relativeTo);
    void makeKeyWindow();
    void makeMainWindow();
    void makeKeyAndOrderFront();
    bool isKeyWindow() const;
    bool isMainWindow() const;
    virtual bool canBecomeKeyWindow() const;
    virtual bool canBecomeMainWindow() const;
    virtual void becomeKeyWindow();
    virtual void resignKeyWindow();
    virtual void becomeMainWindow();
    virtual void resignMainWindow();

    // ---- first responder and events ----
    Responder* firstResponder() const { return firstResponder_.get(); }
    bool makeFirstResponder(Responder* r);
    // Dispatches an event as the window server would: mouse-downs to the view
    // under the pointer, drags and ups to the view that took the down, keys to
    // the first responder, pointer moves to the tracking areas.
    virtual void sendEvent(Event& e);
    // The view under a point of the window's base coordinates.
    View* hitTest(Point inWindow) const;
    // Moves the window with the pointer from the press `mouseDown` on, once
    // the pointer has gone kWindowDragThreshold points with the button down
    // (a click never moves it): each drag from then on (reaching
    // mouseDragged()) puts the window where it was at the press plus the
    // pointer's travel since the press, so no movement is lost. Under a
    // window manager a real drag is handed to the manager's own move at that
    // point instead (the window keeps that small distance to the pointer).
    // Does nothing in full screen or when the window is not movable.
    static constexpr double kWindowDragThreshold = 3;
    void performWindowDragWithEvent(const Event& mouseDown);
    // End of the responder chain.
    void mouseDown(Event& e) override;
    void mouseDragged(Event& e) override;
    void mouseUp(Event& e) override;
    void keyDown(Event& e) override;

    // A layout-file property the kit does not know (see View).
    virtual bool setLayoutProperty(const std::string& key, const Value& value) { return false; }

    // ---- delegate ----
    virtual WindowDelegate* delegate() const { return delegate_; }
    virtual void setDelegate(WindowDelegate* d) { delegate_ = d; }

    // ---- closing, miniaturising, zooming, full screen ----
    // The close button and Command-W come here: the delegate may refuse.
    // The window manager's close request: a titled window performs its
    // close (performClose); a borderless one gets WindowManagerCloseAction
    // sent along its responder chain instead.
    void windowManagerClose();
    void performClose(Object* sender = nullptr);
    // Tells the delegate and the observers, leaves the parent, orders the
    // window out, ends its own modal run (and no other window's), and lets
    // go of what retainUntilClosed() holds. Closing twice is harmless.
    virtual void close();
    // Keeps `object` (typically the controller that made this window and that
    // nobody else references, such as a panel made "fresh each time") alive
    // until the window closes. At the close `onClose` runs first, so the
    // object can drop its own reference back to the window; the object itself
    // is let go only after the event that closed the window has ended, so a
    // controller whose own button closed the window is never destroyed under
    // its own feet. A window that never closes keeps the object for its life.
    void retainUntilClosed(std::shared_ptr<void> object, std::function<void()> onClose = nullptr);
    bool isReleasedWhenClosed() const { return false; }
    void performMiniaturize(Object* sender = nullptr) { miniaturize(); }
    void miniaturize();
    void deminiaturize();
    bool isMiniaturized() const { return miniaturized_; }
    void performZoom(Object* sender = nullptr) { zoom(); }
    void zoom();
    bool isZoomed() const;
    void toggleFullScreen(Object* sender = nullptr);
    bool isFullScreen() const { return (styleMask_ & FullScreenWindowMask) != 0; }

    // ---- child windows and sheets ----
    // A child stays above (or below) its parent and moves with it; under a
    // window manager it is the parent's transient window, so the manager
    // keeps it above the parent as well.
    void addChildWindow(std::shared_ptr<Window> child, WindowOrderingMode place);
    void removeChildWindow(Window* child);
    const std::vector<std::shared_ptr<Window>>& childWindows() const { return children_; }
    Window* parentWindow() const { return parent_.get(); }
    // Shows `sheet` attached to the top of the content area (or where the
    // delegate says); endSheet() closes it and calls the handler with the code.
    void beginSheet(std::shared_ptr<Window> sheet, std::function<void(long)> completion = nullptr);
    void endSheet(Window* sheet, long returnCode = ModalResponseStop);
    Window* attachedSheet() const { return sheet_.get(); }
    Window* sheetParent() const { return sheetParent_.get(); }
    bool isSheet() const { return sheetParent_.get() != nullptr; }

protected:
    // The title band and background of the frame view; titled windows get the
    // standard look, borderless ones only their background colour.
    virtual void drawFrame(const Rect& dirty);

private:
    friend class FrameView;
    friend class Application;
    friend class View;
    friend class ViewWidget;
    friend QWidget* widgetOf(const Window& w);
    // The Qt side, for the kit alone (the top widget is reached through
    // widgetOf() in kit/ui/QtBridge.h).
    ViewWidget* topWidget() const { return topWidget_; }
    void qtGeometryChanged(const Rect& newFrame);   // the window system moved us
    void pointerLeftWindow();
    void updateTrackingAreas(Point inWindow, bool inside);
    // Ends the hover of every tracking area of `root`'s subtree that has the
    // pointer (the view hides or leaves the window): their owners get their
    // exit now rather than never.
    void endHover(View* root);
    // The tracking areas of the window's visible views with their rectangles
    // in window coordinates, so that a pointer move looks at rectangles
    // instead of walking the view tree. Rebuilt after the tree or a frame
    // changed.
    struct TrackedArea {
        Weak<View> view;
        std::shared_ptr<TrackingArea> area;
        Rect inWindow;
    };
    void invalidateTrackingCache() { trackingCacheValid_ = false; }
    const std::vector<TrackedArea>& trackedAreas();
    std::vector<TrackedArea> trackingCache_;
    bool trackingCacheValid_ = false;
    void applyQtFrame();
    // The window system's side of modality and of child windows. A window
    // running modally is shown on behalf of the main window (the one before
    // it when it is main itself): the window manager is told it belongs to
    // that window, so it stays above it whatever raises the main window.
    void setQtModal(bool modal);
    void applyTransientParent();
    void scheduleShapeUpdate();
    bool shapeUpdatePending_ = false;
    void postNotification(const char* name);

    unsigned styleMask_;
    std::string title_;
    Rect frame_;
    Rect unzoomedFrame_;
    Rect preFullScreenFrame_;
    std::shared_ptr<View> frameView_;
    std::shared_ptr<View> contentView_;
    std::shared_ptr<Button> closeButton_, miniButton_, zoomButton_;
    ViewWidget* topWidget_ = nullptr;
    bool opaque_ = true;
    Color backgroundColor_ = Color::windowBackgroundColor();
    double alpha_ = 1.0;
    bool hasShadow_ = true;
    int level_ = NormalWindowLevel;
    bool movableByBackground_ = false;
    bool movable_ = true;
    bool visible_ = false;
    bool miniaturized_ = false;
    WindowDelegate* delegate_ = nullptr;
    Weak<Responder> firstResponder_;
    Weak<View> mouseDownView_;
    bool draggingWindow_ = false;
    bool windowMoveBegun_ = false;
    Point dragStartScreen_;
    Point dragStartOrigin_;
    std::vector<std::shared_ptr<Window>> children_;
    Weak<Window> parent_;
    Weak<Window> modalFor_;   // the window a modal run is on behalf of
    std::shared_ptr<Window> sheet_;
    Weak<Window> sheetParent_;
    std::function<void(long)> sheetCompletion_;
    bool settingFrame_ = false;
    struct Retained {
        std::shared_ptr<void> object;
        std::function<void()> onClose;
    };
    std::vector<Retained> retained_;
    struct Backdrop {
        std::shared_ptr<Image> image;
        Rect frame, parentFrame;
        double radius = 0;
    } backdrop_;
};

}  // namespace kit
