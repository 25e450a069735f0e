#include "kit/ui/TableCells.h"

#include <cmath>
#include <map>
#include <mutex>

#include "kit/ui/Graphics.h"
#include "kit/ui/Image.h"

namespace kit {

// ---- header cell ----

TableHeaderCell::TableHeaderCell() {
    setFont(Font::systemFont(11));
    setTextColor(Color(0, 0, 0, 0.7));
    setLineBreakMode(LineBreakMode::TruncatingTail);
}

void TableHeaderCell::drawWithFrame(const Rect& frame, View& view) {
    Color::white(0.97).setFill();
    BezierPath::fillRect(frame);
    Color::white(0.85).setFill();
    BezierPath::fillRect(Rect(frame.x(), frame.maxY() - 1, frame.width(), 1));
    BezierPath::fillRect(Rect(frame.maxX() - 1, frame.y() + 3, 1, std::max(0.0, frame.height() - 6)));
    // The title sits in the middle of the band, 4 points from the left edge.
    double h = std::min(frame.height(), font().lineHeight() + 2);
    drawInteriorWithFrame(Rect(frame.x() + 2, frame.y() + (frame.height() - h) / 2, frame.width() - 4, h), view);
}

void TableHeaderCell::drawSortIndicatorWithFrame(const Rect& frame, View&, bool ascending, long) {
    double x0 = frame.maxX() - 12, mid = frame.midY();
    BezierPath p;
    if (ascending) {
        p.moveTo(Point{x0, mid + 2});
        p.lineTo(Point{x0 + 4, mid - 2});
        p.lineTo(Point{x0 + 8, mid + 2});
    } else {
        p.moveTo(Point{x0, mid - 2});
        p.lineTo(Point{x0 + 4, mid + 2});
        p.lineTo(Point{x0 + 8, mid - 2});
    }
    p.closePath();
    Color(0, 0, 0, 0.5).setFill();
    p.fill();
}

// ---- check box ----

CheckBoxCell::CheckBoxCell() {
    setButtonType(ButtonType::Switch);
    setBordered(false);
    setImagePosition(ImagePosition::ImageOnly);
}

Rect CheckBoxCell::boxRectForFrame(const Rect& frame) const {
    const double s = 14;
    return Rect(std::floor(frame.midX() - s / 2), std::floor(frame.midY() - s / 2), s, s);
}

void CheckBoxCell::drawWithFrame(const Rect& frame, View& view) {
    if (isTransparent()) return;
    if (std::shared_ptr<Image> img = image()) {
        Size s = img->size();
        Rect r(frame.midX() - s.width / 2, frame.midY() - s.height / 2, s.width, s.height);
        drawImage(*img, integralRect(r), view);
        return;
    }
    Rect box = boxRectForFrame(frame);
    const bool on = state() != CellState::Off;
    BezierPath outline = BezierPath::roundedRect(insetRect(box, 0.5, 0.5), 3, 3);
    (on ? Color::rgb255(0, 113, 255) : Color::white()).setFill();
    outline.fill();
    (on ? Color::rgb255(0, 100, 230) : Color::rgb255(170, 170, 180)).setStroke();
    outline.stroke();
    if (!isEnabled()) {
        Color(1, 1, 1, 0.5).setFill();
        outline.fill();
    }
    if (!on) return;
    Color::white().setStroke();
    Color::white().setFill();
    // Coordinates of the tick and the dash, from the box's top-left corner
    // whichever way the view runs.
    auto* ctx = GraphicsContext::current();
    const bool flipped = ctx && ctx->isFlipped();
    auto at = [&](double dx, double dyFromTop) {
        return Point{box.x() + dx, flipped ? box.y() + dyFromTop : box.maxY() - dyFromTop};
    };
    if (state() == CellState::Mixed) {
        BezierPath::fillRect(Rect(box.x() + 3.5, box.midY() - 1, box.width() - 7, 2));
        return;
    }
    BezierPath tick;
    tick.moveTo(at(3.5, 7.5));
    tick.lineTo(at(6, 10));
    tick.lineTo(at(10.5, 4));
    tick.setLineWidth(2);
    tick.setLineCapStyle(LineCap::Round);
    tick.setLineJoinStyle(LineJoin::Round);
    tick.stroke();
}

// ---- object values ----

void setCellObjectValue(Cell& cell, const Value& value) {
    if (dynamic_cast<ButtonCell*>(&cell)) {
        int64_t n = value.asInt().value_or(0);
        cell.setState(n == 1 ? CellState::On : (n == -1 || n == 2) ? CellState::Mixed : CellState::Off);
        return;
    }
    if (value.isString()) cell.setStringValue(*value.asString());
    else if (value.isInteger()) cell.setStringValue(std::to_string(*value.asInt()));
    else if (value.isReal()) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%g", *value.asReal());
        cell.setStringValue(buf);
    } else if (value.isBool()) cell.setStringValue(*value.asBool() ? "1" : "0");
    else cell.setStringValue("");
}

Value cellObjectValue(const Cell& cell) {
    if (dynamic_cast<const ButtonCell*>(&cell)) {
        CellState s = cell.state();
        return Value(int64_t(s == CellState::On ? 1 : s == CellState::Mixed ? -1 : 0));
    }
    return Value(cell.stringValue());
}

// ---- registry ----

namespace {
struct CellRegistry {
    std::mutex mutex;
    std::map<std::string, CellFactory> factories;
};
CellRegistry& cellRegistry() {
    static CellRegistry r;
    return r;
}
const bool kitCells = [] {
    auto& r = cellRegistry();
    r.factories["TextFieldCell"] = [] { return std::make_shared<TextFieldCell>(); };
    r.factories["ImageCell"] = [] { return std::make_shared<ImageCell>(); };
    r.factories["CheckBoxCell"] = [] { return std::make_shared<CheckBoxCell>(); };
    r.factories["TableHeaderCell"] = [] { return std::make_shared<TableHeaderCell>(); };
    return true;
}();
}  // namespace

bool registerCellClass(const std::string& name, CellFactory factory) {
    (void)kitCells;
    std::lock_guard<std::mutex> lock(cellRegistry().mutex);
    cellRegistry().factories[name] = std::move(factory);
    return true;
}

std::shared_ptr<Cell> makeCellOfClass(const std::string& name) {
    (void)kitCells;
    CellFactory f;
    {
        std::lock_guard<std::mutex> lock(cellRegistry().mutex);
        auto it = cellRegistry().factories.find(name);
        if (it == cellRegistry().factories.end()) return nullptr;
        f = it->second;
    }
    return f();
}

}  // namespace kit
