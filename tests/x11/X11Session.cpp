#include "x11/X11Session.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <cstdio>
#include <filesystem>
#include <regex>

#include "kit/RunLoop.h"
#include "kit/ui/QtBridge.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

namespace x11 {

namespace {

// What a command prints on its standard output.
std::string output(const std::string& command) {
    std::string out;
    if (FILE* f = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
        ::pclose(f);
    }
    return out;
}

// The window ids that follow "window id #" in xprop's answer.
std::vector<WindowId> windowIds(const std::string& text) {
    std::vector<WindowId> ids;
    const auto at = text.find("window id #");
    if (at == std::string::npos) return ids;
    static const std::regex hex("0x[0-9a-fA-F]+");
    const std::string rest = text.substr(at);
    for (std::sregex_iterator i(rest.begin(), rest.end(), hex), end; i != end; ++i)
        ids.push_back(std::stoul(i->str(), nullptr, 16));
    return ids;
}

std::string hexId(WindowId id) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%lx", id);
    return buf;
}

void settle(double seconds = 0.15) { kit::runFor(seconds); }

}  // namespace

WindowId idOf(const kit::Window& w) {
    QWidget* top = kit::widgetOf(w);
    return top ? WindowId(top->winId()) : 0;
}

std::vector<WindowId> stacking() { return windowIds(output("xprop -root _NET_CLIENT_LIST_STACKING")); }

int stackIndex(WindowId id) {
    const auto list = stacking();
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == id) return int(i);
    return -1;
}

WindowId transientFor(WindowId id) {
    const auto ids = windowIds(output("xprop -id " + hexId(id) + " WM_TRANSIENT_FOR"));
    return ids.empty() ? 0 : ids.front();
}

WindowId activeWindow() {
    const auto ids = windowIds(output("xprop -root _NET_ACTIVE_WINDOW"));
    return ids.empty() ? 0 : ids.front();
}

std::string windowType(WindowId id) {
    std::string t = output("xprop -id " + hexId(id) + " _NET_WM_WINDOW_TYPE");
    while (!t.empty() && t.back() == '\n') t.pop_back();
    return t;
}

kit::Point xPosition(WindowId id) {
    const std::string info = output("xwininfo -id " + hexId(id));
    std::smatch mx, my;
    static const std::regex ax("Absolute upper-left X:\\s+(-?[0-9]+)"), ay("Absolute upper-left Y:\\s+(-?[0-9]+)");
    if (!std::regex_search(info, mx, ax) || !std::regex_search(info, my, ay)) return kit::Point{-1e9, -1e9};
    return kit::Point{std::stod(mx[1].str()), std::stod(my[1].str())};
}

bool activate(WindowId id) {
    output("xdotool windowactivate " + std::to_string(id));
    const bool ok = kit::runUntil([&] { return activeWindow() == id; }, 15);
    settle(0.3);
    return ok;
}

bool raise(WindowId id) {
    output("xdotool windowraise " + std::to_string(id));
    settle(0.3);
    return stackIndex(id) >= 0;
}

bool closeFromWindowManager(WindowId id) {
    // The window manager closes the window that has the focus: the keys go
    // only once the window still has it after a moment (on a loaded machine
    // a late activation request of another window can take it back).
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!activate(id) || activeWindow() != id) continue;
        output("xdotool key alt+F4");
        settle(0.3);
        return true;
    }
    return false;
}

void pointerTo(kit::Point p, double settleSeconds) {
    // xdotool's --sync waits for a motion, which never comes when the
    // pointer is already there.
    output("xdotool mousemove " + std::to_string(long(p.x) + 1) + " " + std::to_string(long(p.y)));
    output("xdotool mousemove --sync " + std::to_string(long(p.x)) + " " + std::to_string(long(p.y)));
    settle(settleSeconds);
}
void click() {
    output("xdotool click 1");
    settle();
}
void press() {
    output("xdotool mousedown 1");
    settle();
}
void release() {
    output("xdotool mouseup 1");
    settle();
}

kit::Point xPointOf(const kit::View& v, kit::Point inView) {
    const kit::Window* w = v.window();
    if (!w) return kit::Point{-1, -1};
    const kit::Point s = w->convertPointToScreen(v.convertPointToView(inView, nullptr));
    return kit::Point{s.x, kit::Screen::main().frame.height() - s.y};
}
kit::Point xPointOf(const kit::View& v) {
    const kit::Rect b = v.bounds();
    return xPointOf(v, kit::Point{b.midX(), b.midY()});
}

QImage grabScreen() {
    settle(0.3);
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

std::string screenshot(const std::string& name) {
    const std::string dir = std::string(PELORIN_BUILD_DIR) + "/ui-render";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/" + name;
    grabScreen().save(QString::fromStdString(path), "PNG");
    return path;
}

bool waitUntilManaged(WindowId id) {
    // A loaded machine can keep the window manager from answering for a while.
    const bool ok = kit::runUntil([&] { return stackIndex(id) >= 0; }, 15);
    if (!ok)
        std::fprintf(stderr, "window %s is not managed; stacking: %s\n", hexId(id).c_str(),
                     output("xprop -root _NET_CLIENT_LIST_STACKING").c_str());
    settle(0.3);
    return ok;
}

}  // namespace x11
