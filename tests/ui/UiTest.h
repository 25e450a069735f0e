#pragma once
// Shared set-up of the interface tests: the application object on the
// offscreen screen, synthetic events and pixel helpers.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kit/ui/Application.h"
#include "kit/ui/Menu.h"
#include "kit/ui/Render.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

namespace uitest {

class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        kit::ensureUiApp();
        kit::Application::shared().setActive(true);
    }
    void TearDown() override {
        for (kit::Window* w : kit::Application::shared().windows()) w->orderOut();
    }
};

// A mouse event at a point of the window's base coordinates.
inline kit::Event mouseEvent(kit::Window& w, kit::EventType type, kit::Point inWindow, int clicks = 1) {
    kit::Event e;
    e.type = type;
    e.locationInWindow = inWindow;
    e.screenLocation = w.convertPointToScreen(inWindow);
    e.clickCount = clicks;
    e.window = &w;
    return e;
}

// Sends a whole event to the window as the application would.
inline void send(kit::Window& w, kit::EventType type, kit::Point inWindow, int clicks = 1) {
    kit::Event e = mouseEvent(w, type, inWindow, clicks);
    kit::Application::shared().sendEvent(e);
}

// A click at the centre of a view: move there, press, release.
inline void clickView(kit::View& v, int clicks = 1) {
    kit::Window* w = v.window();
    ASSERT_NE(w, nullptr);
    kit::Rect b = v.bounds();
    kit::Point p = v.convertPointToView(kit::Point{b.midX(), b.midY()}, nullptr);
    send(*w, kit::EventType::MouseMoved, p);
    send(*w, kit::EventType::LeftMouseDown, p, clicks);
    send(*w, kit::EventType::LeftMouseUp, p, clicks);
}

inline kit::Point centreInWindow(kit::View& v) {
    kit::Rect b = v.bounds();
    return v.convertPointToView(kit::Point{b.midX(), b.midY()}, nullptr);
}

// A main menu whose one menu, "File", holds these items.
inline std::shared_ptr<kit::Menu> mainMenuWithFile(const std::vector<std::shared_ptr<kit::MenuItem>>& items) {
    auto sub = std::make_shared<kit::Menu>("File");
    for (const auto& item : items) sub->addItem(item);
    auto holder = std::make_shared<kit::MenuItem>("File", "");
    holder->setSubmenu(sub);
    auto menu = std::make_shared<kit::Menu>("Main Menu");
    menu->addItem(holder);
    return menu;
}

// Colour distance on the 0–255 scale (largest component difference).
inline int colorDistance(const kit::Color& a, const kit::Color& b) {
    auto d = [](double x, double y) { return int(std::lround(std::abs(x - y) * 255)); };
    return std::max({d(a.red, b.red), d(a.green, b.green), d(a.blue, b.blue), d(a.alpha, b.alpha)});
}

#define EXPECT_COLOR_NEAR(actual, expected, tolerance)                                                        \
    do {                                                                                                      \
        kit::Color a_ = (actual), e_ = (expected);                                                            \
        EXPECT_LE(uitest::colorDistance(a_, e_), (tolerance))                                                 \
            << "got " << a_.red * 255 << "," << a_.green * 255 << "," << a_.blue * 255 << "," << a_.alpha     \
            << " expected " << e_.red * 255 << "," << e_.green * 255 << "," << e_.blue * 255 << "," << e_.alpha; \
    } while (0)

// Where rendered images of the interface go.
std::string renderDir();

}  // namespace uitest
