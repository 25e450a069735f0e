#include "DiskTool/FormatingViewController.h"

#include <functional>

#include "kit/ui/ProgressIndicator.h"
#include "kit/ui/Window.h"

FormatingViewController::FormatingViewController(const std::string& layoutName) : StatusPanelController(layoutName) {}

void FormatingViewController::awakeFromNib() {
    std::function<void(kit::View&)> startSpinners = [&](kit::View& v) {
        if (auto* spinner = dynamic_cast<kit::ProgressIndicator*>(&v)) spinner->startAnimation(this);
        for (const auto& s : v.subviews()) startSpinners(*s);
    };
    if (kit::View* v = view()) startSpinners(*v);
}

void FormatingViewController::closeWindow() {
    std::shared_ptr<kit::Window> window = superDelegate();
    if (window) window->close();
}
