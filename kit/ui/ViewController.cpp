#include "kit/ui/ViewController.h"

#include "kit/ui/Application.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

namespace kit {

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
        loading_ = true;
        try {
            loadView();
        } catch (...) {
            loading_ = false;
            throw;
        }
        loading_ = false;
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
        loading_ = true;
        try {
            loadWindow();
        } catch (...) {
            loading_ = false;
            throw;
        }
        loading_ = false;
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
