#include "kit/ui/ViewController.h"

#include "kit/ui/Application.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

namespace kit {

namespace {

// Set while a layout loads, so that asking for the view or window from inside
// the load does not start a second one; cleared even when the load throws, so a
// failed load can be tried again.
class LoadingFlag {
public:
    explicit LoadingFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~LoadingFlag() { flag_ = false; }
    LoadingFlag(const LoadingFlag&) = delete;
    LoadingFlag& operator=(const LoadingFlag&) = delete;

private:
    bool& flag_;
};

}  // namespace

ViewController::ViewController(std::string layoutName) : layoutName_(std::move(layoutName)) { ensureUiApp(); }
ViewController::~ViewController() {
    if (view_ && view_->viewController() == this) view_->setViewController(nullptr);
}

void ViewController::setView(std::shared_ptr<View> v) {
    if (view_ && view_->viewController() == this) view_->setViewController(nullptr);
    view_ = std::move(v);
    if (view_) view_->setViewController(this);
}

void ViewController::layoutDidLoad(const LayoutContents& c) {
    if (c.views.empty()) throw LayoutError("layout \"" + layoutName_ + "\": no top-level view");
    if (!view_) setView(c.views.front());
}

void ViewController::loadView() { loadLayout(layoutName_, *this); }

View* ViewController::view() { return viewPtr().get(); }

std::shared_ptr<View> ViewController::viewPtr() {
    if (!view_ && !loading_) {
        {
            LoadingFlag flag(loading_);
            loadView();
        }
        viewDidLoad();
    }
    return view_;
}

WindowController::WindowController(std::string layoutName) : layoutName_(std::move(layoutName)) { ensureUiApp(); }
WindowController::~WindowController() {
    if (window_ && window_->nextResponder() == this) window_->setNextResponder(nullptr);
}

void WindowController::setWindow(std::shared_ptr<Window> w) {
    window_ = std::move(w);
    if (window_) window_->setNextResponder(this);
}

void WindowController::layoutDidLoad(const LayoutContents& c) {
    if (c.windows.empty()) throw LayoutError("layout \"" + layoutName_ + "\": no window");
    if (!window_) setWindow(c.windows.front());
}

void WindowController::loadWindow() { loadLayout(layoutName_, *this); }

Window* WindowController::window() { return windowPtr().get(); }

std::shared_ptr<Window> WindowController::windowPtr() {
    if (!window_ && !loading_) {
        {
            LoadingFlag flag(loading_);
            loadWindow();
        }
        windowDidLoad();
    }
    return window_;
}

void WindowController::showWindow(Object*) {
    if (Window* w = window()) w->makeKeyAndOrderFront();
}

void WindowController::close() {
    if (window_) window_->close();
}

}  // namespace kit
