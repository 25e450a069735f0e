// Times the interface kit's event delivery on a window of many views (what a
// table with thousands of rows gives), offscreen:
//
//   ui_bench [-n views] [-m moves] [-r rounds]
//
//   add    adding n subviews to one view (n defaults to 5,000), as a table
//          fills its rows
//   move   one pointer move over the window through Qt, as the window system
//          delivers it (Qt finds the widget under the pointer, the kit turns
//          the move into tracking-area events); every view has a hover area,
//          and the pointer alternates between two rows so each move ends one
//          hover and begins another
//   idle   the same pointer move over views without hover areas
//
// Prints the median of the rounds (and the fastest and slowest) per case.
#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "kit/ui/Application.h"
#include "kit/ui/QtBridge.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

class Row : public kit::View {
public:
    using kit::View::View;
    void mouseEntered(kit::Event&) override { ++entered; }
    void mouseExited(kit::Event&) override { ++exited; }
    static inline long entered = 0, exited = 0;
};

// A column of rows, 20 points high, in a list view: 50 columns of n / 50.
std::vector<std::shared_ptr<kit::View>> makeRows(int n, bool hover) {
    std::vector<std::shared_ptr<kit::View>> rows;
    rows.reserve(n);
    const int columns = 50;
    for (int i = 0; i < n; ++i) {
        auto r = std::make_shared<Row>(kit::Rect((i % columns) * 24, (i / columns) * 8, 22, 7));
        if (hover)
            r->addTrackingArea(std::make_shared<kit::TrackingArea>(
                kit::Rect(), kit::TrackingMouseEnteredAndExited | kit::TrackingActiveAlways | kit::TrackingInVisibleRect,
                r.get()));
        rows.push_back(std::move(r));
    }
    return rows;
}

struct Stats {
    double min, median, max;
};
Stats stats(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v.front(), v[v.size() / 2], v.back()};
}

void print(const char* name, const char* unit, double scale, const Stats& s) {
    std::printf("%-6s median %10.3f %s   (min %.3f, max %.3f)\n", name, s.median * scale, unit, s.min * scale,
                s.max * scale);
}

// One pointer move as the window system hands it to the window.
void movePointer(QWindow* handle, QPointF at) {
    QMouseEvent move(QEvent::MouseMove, at, handle->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
}

}  // namespace

int main(int argc, char** argv) {
    int n = 5000, moves = 2000, rounds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "-n")) n = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "-m")) moves = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "-r")) rounds = std::atoi(argv[i + 1]);
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    kit::ensureUiApp();
    std::printf("ui_bench: %d views, %d pointer moves, %d rounds\n", n, moves, rounds);

    std::vector<double> adds;
    for (int r = 0; r < rounds; ++r) {
        auto w = std::make_shared<kit::Window>(kit::Rect(0, 0, 1200, 820), kit::TitledWindowMask);
        w->orderFront();
        auto list = std::make_shared<kit::View>(kit::Rect(0, 0, 1200, 800));
        w->contentView()->addSubview(list);
        auto rows = makeRows(n, true);
        auto t = Clock::now();
        for (auto& row : rows) list->addSubview(row);
        adds.push_back(since(t));
        w->orderOut();
    }
    print("add", "ms", 1e3, stats(adds));

    for (bool hover : {true, false}) {
        auto w = std::make_shared<kit::Window>(kit::Rect(0, 0, 1200, 820), kit::TitledWindowMask);
        auto list = std::make_shared<kit::View>(kit::Rect(0, 0, 1200, 800));
        w->contentView()->addSubview(list);
        auto rows = makeRows(n, hover);
        for (auto& row : rows) list->addSubview(row);
        w->makeKeyAndOrderFront();
        QApplication::processEvents();
        QWindow* handle = kit::widgetOf(*w)->windowHandle();
        // The middles of two rows far apart, in Qt's coordinates of the window (y down).
        auto middle = [&](kit::View& v) {
            kit::Point p = v.convertPointToView(kit::Point{v.bounds().midX(), v.bounds().midY()}, nullptr);
            return QPointF(p.x, w->frame().height() - p.y);
        };
        const QPointF a = middle(*rows[0]), b = middle(*rows[std::min(n - 1, n / 2 + 30)]);
        std::vector<double> perMove;
        Row::entered = Row::exited = 0;
        for (int r = 0; r < rounds; ++r) {
            auto t = Clock::now();
            for (int i = 0; i < moves; ++i) movePointer(handle, i % 2 ? b : a);
            perMove.push_back(since(t) / moves);
        }
        print(hover ? "move" : "idle", "us", 1e6, stats(perMove));
        if (hover && Row::entered < long(moves) * rounds - 1)
            std::printf("       (only %ld hover changes for %d moves: the moves did not reach the rows)\n", Row::entered,
                        moves * rounds);
        w->orderOut();
    }
    return 0;
}
