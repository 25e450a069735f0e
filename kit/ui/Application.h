#pragma once
// The application object: the set of windows, the key, main and modal
// windows, the active state, modal runs, action dispatch and termination.
//
// ensureUiApp() creates the toolkit's application object (before the
// foundation's ensureMainThreadApp(), which then finds it) and must be called
// on the main thread before any view or window is made; the kit's entry
// points call it themselves.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kit/ui/Event.h"
#include "kit/ui/Responder.h"

namespace kit {

class Window;

void ensureUiApp();

// The interface kit's version, as the platform reports its own; full-screen
// windows are supported above 1038.
inline constexpr double AppKitVersionNumber = 2022.0;

inline constexpr const char* ApplicationDidBecomeActiveNotification = "ApplicationDidBecomeActiveNotification";
inline constexpr const char* ApplicationDidResignActiveNotification = "ApplicationDidResignActiveNotification";
inline constexpr const char* ApplicationWillTerminateNotification = "ApplicationWillTerminateNotification";

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual void applicationDidFinishLaunching() {}
    // Asked when the program is told to quit while its loop runs (the Quit
    // item, the session's request to end): false when the delegate ends the
    // program itself once it is ready to.
    virtual bool applicationShouldTerminate() { return true; }
    virtual void applicationWillTerminate() {}
};

class Application : public Responder {
public:
    // The process's application object. A subclass installs itself with
    // setShared() before first use; otherwise a plain one is made.
    static Application& shared();
    static void setShared(std::unique_ptr<Application> app);
    Application();
    ~Application() override;

    ApplicationDelegate* delegate() const { return delegate_; }
    void setDelegate(ApplicationDelegate* d) { delegate_ = d; }

    // Calls the delegate's didFinishLaunching, then runs the main loop until
    // terminate() or stop(); returns the loop's exit code.
    int run();
    // Ends run() (and any modal run inside it) with the code; does nothing
    // when run() is not running.
    void stop(int code = 0);
    bool isRunning() const { return running_; }
    // Tells the delegate, posts the will-terminate notification and ends the
    // program with status 0: inside run() by ending it (run() returns 0),
    // elsewhere by ending the process at once. Either way no static object
    // is torn down after the toolkit's globals. Inside run() a delegate that
    // answers applicationShouldTerminate() with false ends it later itself.
    void terminate(Object* sender = nullptr);

    bool isActive() const { return active_; }
    void activateIgnoringOtherApps(bool flag = true);
    // Follows the window system's activation; tests call it to play the user.
    void setActive(bool active);

    Window* keyWindow() const;
    Window* mainWindow() const;
    Window* modalWindow() const;
    std::vector<Window*> windows() const;

    // Runs a nested loop with `w` as the only window that takes input (the
    // window system blocks the others too, menu bar included), until the run
    // is stopped or `w` closes; returns the code.
    long runModalForWindow(Window& w);
    // Stop the innermost modal run. A run that has already been told to stop
    // keeps its first code, and a second stop in the same turn does not reach
    // the run beneath it. With no modal run these do nothing.
    void stopModal();
    void stopModalWithCode(long code);
    void abortModal();
    // Stops the modal run of `w` only: nothing happens when `w` runs none,
    // whatever other window runs one. Closing a window does this itself.
    void stopModalForWindow(const Window* w);   // with the stop code
    void stopModalForWindow(const Window* w, long code);
    // True while `w` has a modal run that has not been told to stop.
    bool isRunningModal(const Window* w) const;

    // All events of the kit's windows pass here; a subclass may take some
    // (return after handling) and give the rest to Application::sendEvent.
    virtual void sendEvent(Event& e);
    // Sends a named action: to `target` when given, else along the key
    // window's responder chain, then the main window's, then the
    // application's. True when some responder performed it.
    bool sendAction(const std::string& action, Responder* target, Object* sender);

private:
    // The windows tell the application what happens to them.
    friend class Window;
    void windowCreated(Window* w);
    void windowDestroyed(Window* w);
    void setKeyWindow(Window* w);
    void setMainWindow(Window* w);
    bool windowTakesInput(const Window* w) const;
    // The visible window other than `leaving` that was key most recently and
    // passes `fits`, or nullptr.
    Window* recentWindow(const Window* leaving, const std::function<bool(Window&)>& fits) const;

    ApplicationDelegate* delegate_ = nullptr;
    bool active_ = false;
    bool running_ = false;
    std::vector<Window*> windows_;
    Weak<Window> key_, main_;
    std::vector<Weak<Window>> keyOrder_;   // windows in the order they were last key
    struct ModalRun;
    std::vector<ModalRun*> modalRuns_;
};

// Mouse cursors.
class Cursor {
public:
    enum class Kind { Arrow, PointingHand, IBeam, DragCopy, ClosedHand };
    static Cursor arrow() { return Cursor(Kind::Arrow); }
    static Cursor pointingHand() { return Cursor(Kind::PointingHand); }
    static Cursor iBeam() { return Cursor(Kind::IBeam); }
    static Cursor dragCopy() { return Cursor(Kind::DragCopy); }
    static Cursor current();
    void set() const;
    Kind kind() const { return kind_; }
    bool operator==(const Cursor& o) const { return kind_ == o.kind_; }
private:
    explicit Cursor(Kind k) : kind_(k) {}
    Kind kind_;
};

}  // namespace kit
