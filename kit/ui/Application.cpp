#include "kit/ui/Application.h"

#include <unistd.h>

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "kit/Dispatch.h"
#include "kit/Notification.h"
#include "kit/RunLoop.h"
#include "kit/SysPath.h"
#include "kit/System.h"
#include "kit/ui/MainThreadCheck.h"
#include "kit/ui/Menu.h"
#include "kit/ui/QtBridge.h"
#include "kit/ui/ViewWidget.h"
#include "kit/ui/Window.h"

namespace kit {

namespace {
// The application object counts event deliveries, so that a view destroyed
// from inside any of them (its own, a child's, a signal a child emits while
// handling one) leaves its widget to be deleted once the delivery ended.
class KitApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* e) override {
        struct Depth {
            Depth() { ++ViewWidget::qtEventDepth; }
            ~Depth() { --ViewWidget::qtEventDepth; }
        } depth;
        return QApplication::notify(receiver, e);
    }
};

// A window of ours whose native window another client destroyed (a window
// tool, XDestroyWindow) is gone from the screen for good: it is closed as if
// the user had closed it, so its delegate ends what it stands for. Qt leaves
// such a widget believing it still has its window.
class LostWindowWatch : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_DESTROY_NOTIFY) return false;
        const xcb_window_t gone = reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window;
        for (Window* w : Application::shared().windows()) {
            // Qt's own destruction of a window changes or clears the widget's id first.
            const QWidget* widget = widgetOf(*w);
            if (!widget || widget->internalWinId() != gone) continue;
            systemLog("a window was destroyed by another program; closing it");
            Weak<Window> lost(w);
            dispatch::async(dispatch::mainQueue(), [lost] {
                // What the window manager's close would do first (a panel's
                // Cancel, the main window's quit), then the window is closed
                // whatever it answered: there is nothing left to show it in.
                if (Window* still = lost.get()) still->windowManagerClose();
                Window* still = lost.get();
                if (still && still->isVisible()) still->close();
            });
        }
        return false;
    }
};

}  // namespace

void detail::calledOffMainThread(const char* function) {
    std::fprintf(stderr, "kit: %s called off the main thread; views and windows belong to the main thread\n", function);
    std::fflush(stderr);
    std::abort();
}

bool detail::countsEvents() { return dynamic_cast<KitApplication*>(QCoreApplication::instance()) != nullptr; }

void ensureUiApp() {
    static bool hooked = false;
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "Pelorin";
        static char* argv[] = {name, nullptr};
        new KitApplication(argc, argv);
    } else if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "kit: a non-interface application object exists; call kit::ensureUiApp() first\n");
        std::abort();
    }
    ensureMainThreadApp();
    if (!hooked) {
        hooked = true;
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            qApp->installNativeEventFilter(new LostWindowWatch());
        QObject::connect(qApp, &QGuiApplication::applicationStateChanged, qApp, [](Qt::ApplicationState s) {
            Application::shared().setActive(s == Qt::ApplicationActive);
        });
    }
}

namespace {
// Never destroyed: windows held by static owners may go away during exit
// and still tell the application.
std::unique_ptr<Application>& sharedSlot() {
    static auto* app = new std::unique_ptr<Application>();
    return *app;
}
}  // namespace

Application& Application::shared() {
    auto& slot = sharedSlot();
    if (!slot) slot = std::make_unique<Application>();
    return *slot;
}

void Application::setShared(std::unique_ptr<Application> app) {
    auto& slot = sharedSlot();
    if (slot) {   // keep what the windows told the old one
        app->windows_ = slot->windows_;
        app->key_ = slot->key_;
        app->main_ = slot->main_;
        app->keyOrder_ = slot->keyOrder_;
        app->active_ = slot->active_;
        app->delegate_ = slot->delegate_;
    }
    slot = std::move(app);
}

Application::Application() = default;
Application::~Application() = default;

int Application::run() {
    ensureUiApp();
    running_ = true;
    if (delegate_) delegate_->applicationDidFinishLaunching();
    int code = runMainLoop();
    running_ = false;
    return code;
}

void Application::stop(int code) {
    // Outside run() there is no loop of ours to end (a quit request then
    // would only make the next modal run return at once).
    if (running_) quitMainLoop(code);
}

void Application::terminate(Object*) {
    if (running_ && delegate_ && !delegate_->applicationShouldTerminate()) return;
    if (delegate_) delegate_->applicationWillTerminate();
    NotificationCenter::defaultCenter().post(ApplicationWillTerminateNotification, nullptr);
    if (running_) {
        // run() returns 0, and its caller leaves with what it still holds
        // (the display-sleep assertion) released.
        stop(0);
        return;
    }
    // No loop of ours to return from. The process leaves without running
    // static destructors: windows and animations that statics hold would be
    // torn down after the toolkit's own globals.
    exitProcess(0);
}

void Application::activateIgnoringOtherApps(bool) {
    setActive(true);
    if (Window* k = keyWindow(); k && k->topWidget()) k->topWidget()->activateWindow();
}

void Application::setActive(bool active) {
    if (active == active_) return;
    active_ = active;
    NotificationCenter::defaultCenter().post(active ? ApplicationDidBecomeActiveNotification
                                                    : ApplicationDidResignActiveNotification,
                                             nullptr);
}

Window* Application::keyWindow() const { return key_.get(); }
Window* Application::mainWindow() const { return main_.get(); }
std::vector<Window*> Application::windows() const { return windows_; }

void Application::windowCreated(Window* w) { windows_.push_back(w); }
void Application::windowDestroyed(Window* w) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), w), windows_.end());
    if (key_.get() == w) key_ = Weak<Window>();
    if (main_.get() == w) main_ = Weak<Window>();
}

Window* Application::recentWindow(const Window* leaving, const std::function<bool(Window&)>& fits) const {
    for (auto it = keyOrder_.rbegin(); it != keyOrder_.rend(); ++it) {
        Window* w = it->get();
        if (w && w != leaving && w->isVisible() && !w->isMiniaturized() && fits(*w)) return w;
    }
    return nullptr;
}

void Application::setKeyWindow(Window* w) {
    Window* old = key_.get();
    if (old == w) return;
    key_ = Weak<Window>(w);
    if (w) {
        keyOrder_.erase(std::remove_if(keyOrder_.begin(), keyOrder_.end(),
                                       [&](const Weak<Window>& x) { return !x || x.get() == w; }),
                        keyOrder_.end());
        keyOrder_.emplace_back(w);
    }
    if (old) old->resignKeyWindow();
    // The new key window may have changed while the old one resigned.
    if (w && key_.get() == w) w->becomeKeyWindow();
}

void Application::setMainWindow(Window* w) {
    Window* old = main_.get();
    if (old == w) return;
    main_ = Weak<Window>(w);
    if (old) old->resignMainWindow();
    if (w && main_.get() == w) w->becomeMainWindow();
}

struct Application::ModalRun {
    Weak<Window> window;
    const Window* windowAddress = nullptr;   // to find the run while its window is being destroyed
    long code = ModalResponseContinue;
    bool stopping = false;
    QEventLoop loop;
};

Window* Application::modalWindow() const {
    for (auto it = modalRuns_.rbegin(); it != modalRuns_.rend(); ++it)
        if (!(*it)->stopping) return (*it)->window.get();
    return nullptr;
}

bool Application::windowTakesInput(const Window* w) const {
    const Window* m = modalWindow();
    if (!m) return true;
    // The modal window, its sheets and its child windows take input.
    for (const Window* x = w; x; x = x->parentWindow() ? x->parentWindow() : x->sheetParent())
        if (x == m) return true;
    return false;
}

long Application::runModalForWindow(Window& w) {
    ensureUiApp();
    ModalRun run;
    run.window = Weak<Window>(&w);
    run.windowAddress = &w;
    modalRuns_.push_back(&run);
    detail::refreshMenuEnabling();
    w.setQtModal(true);
    w.makeKeyAndOrderFront();
    if (run.code == ModalResponseContinue) run.loop.exec();
    modalRuns_.erase(std::remove(modalRuns_.begin(), modalRuns_.end(), &run), modalRuns_.end());
    if (Window* still = run.window.get()) still->setQtModal(false);
    detail::refreshMenuEnabling();
    return run.code;
}

namespace {
void stopRun(auto* r, long code) {
    if (r->stopping) return;
    r->stopping = true;
    r->code = code;
    r->loop.quit();
}
}  // namespace

void Application::stopModalWithCode(long code) {
    if (modalRuns_.empty()) return;
    stopRun(modalRuns_.back(), code);
    detail::refreshMenuEnabling();
}
void Application::stopModal() { stopModalWithCode(ModalResponseStop); }
void Application::abortModal() { stopModalWithCode(ModalResponseAbort); }

void Application::stopModalForWindow(const Window* w) { stopModalForWindow(w, ModalResponseStop); }

void Application::stopModalForWindow(const Window* w, long code) {
    if (!w) return;
    bool any = false;
    for (ModalRun* r : modalRuns_)
        if (r->windowAddress == w && !r->stopping) {
            stopRun(r, code);
            any = true;
        }
    if (any) detail::refreshMenuEnabling();
}

bool Application::isRunningModal(const Window* w) const {
    for (ModalRun* r : modalRuns_)
        if (r->windowAddress == w && !r->stopping) return true;
    return false;
}

void Application::sendEvent(Event& e) {
    if (e.window) e.window->sendEvent(e);
}

bool Application::sendAction(const std::string& action, Responder* target, Object* sender) {
    if (action.empty()) return false;
    if (target) return target->performAction(action, sender);
    for (Window* w : {keyWindow(), mainWindow()}) {
        if (!w) continue;
        Responder* r = w->firstResponder();
        if (r && r->tryToPerform(action, sender)) return true;
        if (w->tryToPerform(action, sender)) return true;
    }
    return tryToPerform(action, sender);
}

// ---- cursors ----

namespace {
Cursor::Kind gCursor = Cursor::Kind::Arrow;
}

Cursor Cursor::current() { return Cursor(gCursor); }

void Cursor::set() const {
    gCursor = kind_;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    Qt::CursorShape shape = Qt::ArrowCursor;
    switch (kind_) {
    case Kind::PointingHand: shape = Qt::PointingHandCursor; break;
    case Kind::IBeam: shape = Qt::IBeamCursor; break;
    case Kind::DragCopy: shape = Qt::DragCopyCursor; break;
    case Kind::ClosedHand: shape = Qt::ClosedHandCursor; break;
    default: break;
    }
    if (shape == Qt::ArrowCursor) {
        while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
    } else if (QGuiApplication::overrideCursor()) {
        QGuiApplication::changeOverrideCursor(QCursor(shape));
    } else {
        QGuiApplication::setOverrideCursor(QCursor(shape));
    }
}

}  // namespace kit
