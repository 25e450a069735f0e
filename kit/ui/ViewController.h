#pragma once
// Controllers of a layout file. A view controller's view is the file's
// (first) top-level view, a window controller's window the file's (first)
// window; both are loaded on first use, outlets bound and awakeFromNib()
// called, then viewDidLoad()/windowDidLoad(). Loading errors throw
// LayoutError: a screen without its layout is a broken installation.
#include <memory>
#include <string>

#include "kit/ui/Layout.h"

namespace kit {

class View;
class Window;

class ViewController : public LayoutOwner {
public:
    // The layout file is named like the controller's class.
    explicit ViewController(std::string layoutName);
    ~ViewController() override;

    const std::string& nibName() const { return layoutName_; }
    View* view();
    std::shared_ptr<View> viewPtr();
    bool isViewLoaded() const { return view_ != nullptr; }
    void setView(std::shared_ptr<View> v);

    virtual void loadView();
    virtual void viewDidLoad() {}
    void layoutDidLoad(const LayoutContents& contents) override;

private:
    std::string layoutName_;
    std::shared_ptr<View> view_;
    bool loading_ = false;
};

class WindowController : public LayoutOwner {
public:
    explicit WindowController(std::string layoutName);
    ~WindowController() override;

    const std::string& windowNibName() const { return layoutName_; }
    Window* window();
    std::shared_ptr<Window> windowPtr();
    bool isWindowLoaded() const { return window_ != nullptr; }
    void setWindow(std::shared_ptr<Window> w);

    virtual void loadWindow();
    virtual void windowDidLoad() {}
    void layoutDidLoad(const LayoutContents& contents) override;
    // Orders the window front and makes it key.
    void showWindow(Object* sender = nullptr);
    void close();

private:
    std::string layoutName_;
    std::shared_ptr<Window> window_;
    bool loading_ = false;
};

}  // namespace kit
