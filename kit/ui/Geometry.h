#pragma once
// Points, sizes and rectangles in points, in the platform's convention: a
// frame is given in its superview's coordinates with the origin at the lower
// left (y grows upward) unless the superview is flipped. All arithmetic is
// done on these y-up values; only the kit converts them to Qt's y-down pixels.
#include <algorithm>
#include <cmath>

namespace kit {

struct Point {
    double x = 0, y = 0;
    bool operator==(const Point& o) const { return x == o.x && y == o.y; }
    bool operator!=(const Point& o) const { return !(*this == o); }
};

struct Size {
    double width = 0, height = 0;
    bool operator==(const Size& o) const { return width == o.width && height == o.height; }
    bool operator!=(const Size& o) const { return !(*this == o); }
};

struct Rect {
    Point origin;
    Size size;

    Rect() = default;
    Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}
    Rect(Point o, Size s) : origin(o), size(s) {}

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }
    double minX() const { return origin.x; }
    double minY() const { return origin.y; }
    double midX() const { return origin.x + size.width / 2; }
    double midY() const { return origin.y + size.height / 2; }
    double maxX() const { return origin.x + size.width; }
    double maxY() const { return origin.y + size.height; }
    bool isEmpty() const { return size.width <= 0 || size.height <= 0; }

    bool operator==(const Rect& o) const { return origin == o.origin && size == o.size; }
    bool operator!=(const Rect& o) const { return !(*this == o); }
};

inline const Rect kZeroRect{};

// Shrinks (positive d) or grows (negative d) the rectangle on every side.
inline Rect insetRect(const Rect& r, double dx, double dy) {
    return Rect(r.x() + dx, r.y() + dy, r.width() - 2 * dx, r.height() - 2 * dy);
}
inline Rect offsetRect(const Rect& r, double dx, double dy) {
    return Rect(r.x() + dx, r.y() + dy, r.width(), r.height());
}
// Half-open containment, like the platform's: the max edges are outside.
inline bool pointInRect(const Point& p, const Rect& r) {
    return p.x >= r.minX() && p.x < r.maxX() && p.y >= r.minY() && p.y < r.maxY();
}
inline bool rectContainsRect(const Rect& outer, const Rect& inner) {
    return !inner.isEmpty() && inner.minX() >= outer.minX() && inner.maxX() <= outer.maxX() &&
           inner.minY() >= outer.minY() && inner.maxY() <= outer.maxY();
}
inline bool rectsIntersect(const Rect& a, const Rect& b) {
    return a.minX() < b.maxX() && b.minX() < a.maxX() && a.minY() < b.maxY() && b.minY() < a.maxY();
}
inline Rect intersectionRect(const Rect& a, const Rect& b) {
    if (!rectsIntersect(a, b)) return Rect();
    double x0 = std::max(a.minX(), b.minX()), y0 = std::max(a.minY(), b.minY());
    double x1 = std::min(a.maxX(), b.maxX()), y1 = std::min(a.maxY(), b.maxY());
    return Rect(x0, y0, x1 - x0, y1 - y0);
}
inline Rect unionRect(const Rect& a, const Rect& b) {
    if (a.isEmpty()) return b;
    if (b.isEmpty()) return a;
    double x0 = std::min(a.minX(), b.minX()), y0 = std::min(a.minY(), b.minY());
    double x1 = std::max(a.maxX(), b.maxX()), y1 = std::max(a.maxY(), b.maxY());
    return Rect(x0, y0, x1 - x0, y1 - y0);
}
// The smallest rectangle with whole-number edges that holds r.
inline Rect integralRect(const Rect& r) {
    if (r.isEmpty()) return Rect();
    double x0 = std::floor(r.minX()), y0 = std::floor(r.minY());
    double x1 = std::ceil(r.maxX()), y1 = std::ceil(r.maxY());
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

}  // namespace kit
