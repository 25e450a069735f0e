#pragma once
// Drawing: the current graphics context, bezier paths, gradients, shadows and
// text. Everything is expressed in the coordinates of the view being drawn
// (y up unless the view is flipped); text and images always come out upright.
// Antialiasing is on.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/ui/Color.h"
#include "kit/ui/Font.h"
#include "kit/ui/Geometry.h"

class QPainter;
class QPainterPath;

namespace kit {

enum class LineJoin { Miter, Round, Bevel };
enum class LineCap { Butt, Round, Square };
enum class TextAlignment { Left, Right, Center, Justified, Natural };
enum class LineBreakMode { WordWrapping, CharWrapping, Clipping, TruncatingHead, TruncatingTail, TruncatingMiddle };

struct Shadow {
    Color color = Color(0, 0, 0, 1.0 / 3.0);
    Size offset;                // y up: a negative height falls below the shape
    double blurRadius = 0;
    // Makes this the shadow of everything drawn next in the current context,
    // until the graphics state is restored.
    void set() const;
};

struct TextAttributes {
    Font font = Font::systemFont(13);
    Color color = Color::black();
    TextAlignment alignment = TextAlignment::Left;
    LineBreakMode lineBreak = LineBreakMode::Clipping;
    std::optional<Shadow> shadow;
};

class BezierPath {
public:
    BezierPath();
    BezierPath(const BezierPath&);
    BezierPath& operator=(const BezierPath&);
    ~BezierPath();

    static BezierPath rect(const Rect& r);
    // Radii are limited to half the rectangle's sides, as the platform does.
    static BezierPath roundedRect(const Rect& r, double xRadius, double yRadius);
    static BezierPath oval(const Rect& r);
    static void fillRect(const Rect& r);
    static void strokeRect(const Rect& r);

    void moveTo(Point p);
    void lineTo(Point p);
    void curveTo(Point end, Point control1, Point control2);
    // An arc around `center` from startAngle to endAngle (degrees, counter-
    // clockwise in y-up coordinates unless `clockwise`), joined to the current
    // point by a line when there is one.
    void appendArc(Point center, double radius, double startAngle, double endAngle, bool clockwise = false);
    // The tangent arc of the platform: a line from the current point towards p1,
    // then an arc of `radius` that turns towards p2 (the path ends on the tangent
    // point of the line p1–p2).
    void appendArcFromPoint(Point p1, Point p2, double radius);
    void appendPath(const BezierPath& other);
    void appendRect(const Rect& r);
    void closePath();
    void removeAllPoints();

    bool isEmpty() const;
    Point currentPoint() const;
    Rect bounds() const;
    bool containsPoint(Point p) const;

    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double w) { lineWidth_ = w; }
    LineJoin lineJoinStyle() const { return join_; }
    void setLineJoinStyle(LineJoin j) { join_ = j; }
    LineCap lineCapStyle() const { return cap_; }
    void setLineCapStyle(LineCap c) { cap_ = c; }
    double miterLimit() const { return miterLimit_; }
    void setMiterLimit(double m) { miterLimit_ = m; }
    // Dash lengths in points, starting `phase` points into the pattern.
    void setLineDash(const std::vector<double>& pattern, double phase);
    const std::vector<double>& lineDash() const { return dash_; }
    double lineDashPhase() const { return dashPhase_; }

    // Paint with the current context's fill or stroke colour.
    void fill() const;
    void stroke() const;
    // Intersects the current context's clip with this path.
    void addClip() const;

    const QPainterPath& qtPath() const;   // kit internal

private:
    std::unique_ptr<QPainterPath> path_;
    double lineWidth_ = 1.0;
    LineJoin join_ = LineJoin::Miter;
    LineCap cap_ = LineCap::Butt;
    double miterLimit_ = 10.0;
    std::vector<double> dash_;
    double dashPhase_ = 0;
};

// A linear gradient through colour stops (locations 0..1).
class Gradient {
public:
    Gradient(Color start, Color end);
    Gradient(std::vector<Color> colors, std::vector<double> locations);

    // Angle in degrees, y up: 0 runs left to right, 90 bottom to top. The
    // gradient spans the shape's bounds so that its corners get the end colours.
    void drawInRect(const Rect& r, double angle) const;
    void drawInBezierPath(const BezierPath& path, double angle) const;
    // Between two points; beyond them the end colours extend.
    void drawFromPoint(Point start, Point end) const;

    const std::vector<Color>& colors() const { return colors_; }
    const std::vector<double>& locations() const { return locations_; }

private:
    std::vector<Color> colors_;
    std::vector<double> locations_;
};

// The drawing target of the view being drawn. current() is valid only inside a
// drawRect (or an image being drawn into); nullptr otherwise.
class GraphicsContext {
public:
    static GraphicsContext* current();
    static void saveGraphicsState();
    static void restoreGraphicsState();

    bool isFlipped() const { return flipped_; }
    void setShouldAntialias(bool on);

    struct State {
        Color fill = Color::black();
        Color stroke = Color::black();
        std::optional<Shadow> shadow;
    };
    State& state() { return states_.back(); }

    void clipToRect(const Rect& r);
    // Text drawn upright inside r (y up or down as the context is).
    void drawString(const std::string& text, const Rect& r, const TextAttributes& attrs);

    // kit internal
    GraphicsContext(QPainter* painter, bool flipped);
    ~GraphicsContext();
    QPainter* painter() const { return painter_; }
    void save();
    void restore();
    // Runs draw() once for the shadow (when one is set) and once for the shape.
    void paintWithShadow(const Rect& deviceBoundsHint, const std::function<void(QPainter&)>& draw);

private:
    QPainter* painter_;
    bool flipped_;
    std::vector<State> states_;
    GraphicsContext* previous_;
};

}  // namespace kit
