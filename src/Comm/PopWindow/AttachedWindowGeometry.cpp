#include "Comm/PopWindow/AttachedWindowGeometry.h"

#include <cmath>

namespace attached {

namespace {

bool onLeft(int32_t side) { return side == 0 || side == 4 || side == 5; }
bool onRight(int32_t side) { return side == 2 || side == 6 || side == 7; }
bool below(int32_t side) { return side == 1 || side == 10 || side == 11; }
bool above(int32_t side) { return side == 3 || side == 8 || side == 9; }

}  // namespace

double userSpaceScaleFactor() { return 1.0; }

float arrowInset(const AttachedWindowMetrics& m, double s) {
    const double half = m.arrowBaseWidth / 2.0;
    return float(s * (m.drawsRoundCornerBesideArrow ? half + m.cornerRadius : half));
}

int32_t bestSide(const AttachedWindowMetrics& m, kit::Size viewSize, kit::Point p, float distance,
                 const kit::Rect& v, const kit::Rect& f, double s) {
    const double w = viewSize.width + 2 * m.viewMargin * s;
    const double h = viewSize.height + 2 * m.viewMargin * s;
    const float g = float(distance + m.arrowHeight * s);

    int32_t side;
    if (p.y - h - g >= v.minY()) side = 1;
    else if (p.x + w + g < v.maxX()) side = 2;
    else if (p.x - w - g >= v.minX()) side = 0;
    else if (p.y + h + g < v.maxY()) side = 3;
    else side = 1;

    // A centred window that would stick out of the parent is shifted to
    // extend from the point instead, when the shifted one fits the screen.
    const double i = arrowInset(m, s);
    if (side == 0 || side == 2) {
        const float k = float(h / 2);
        if (p.y - k < f.minY()) {
            if (p.y + h - i < v.maxY()) side = side == 0 ? 4 : 6;
        } else if (p.y + k >= f.maxY()) {
            if (p.y - h + i >= v.minY()) side = side == 0 ? 5 : 7;
        }
    } else {
        const float k = float(w / 2);
        if (p.x - k < f.minX()) {
            if (p.x + w - i < v.maxX()) side = side == 1 ? 11 : 9;
        } else if (p.x + k >= f.maxX()) {
            if (p.x - w + i >= v.minX()) side = side == 1 ? 10 : 8;
        }
    }
    return side;
}

Frames frames(const AttachedWindowMetrics& m, kit::Size viewSize, kit::Point p, int32_t side, float distance,
              double s) {
    Frames out;
    const double margin = m.viewMargin * s;
    kit::Rect vf(margin, margin, viewSize.width, viewSize.height);
    double W = viewSize.width + 2 * margin, H = viewSize.height + 2 * margin;

    // The arrow lies inside the window, between the body and the facing edge.
    const float a = float(m.arrowHeight * s);
    if (onLeft(side)) {
        W += a;
    } else if (onRight(side)) {
        vf.origin.x += a;
        W += a;
    } else if (below(side)) {
        H += a;
    } else if (above(side)) {
        vf.origin.y += a;
        H += a;
    }

    const double i = arrowInset(m, s), d = distance;
    const float hw = float(W / 2), hh = float(H / 2);
    double x = p.x, y = p.y;
    switch (side) {
    case 0: x = p.x - W - d; y = p.y - hh; break;
    case 4: x = p.x - W - d; y = p.y - i; break;
    case 5: x = p.x - W - d; y = p.y - (H - i); break;
    case 2: x = p.x + d; y = p.y - hh; break;
    case 6: x = p.x + d; y = p.y - i; break;
    case 7: x = p.x + d; y = p.y - (H - i); break;
    case 1: x = p.x - hw; y = p.y - H - d; break;
    case 10: x = p.x - (W - i); y = p.y - H - d; break;
    case 11: x = p.x - i; y = p.y - H - d; break;
    case 3: x = p.x - hw; y = p.y + d; break;
    case 8: x = p.x - (W - i); y = p.y + d; break;
    case 9: x = p.x - i; y = p.y + d; break;
    default: break;
    }
    out.window = kit::Rect(x, y, W, H);
    out.view = vf;
    return out;
}

void appendArrowToPath(const AttachedWindowMetrics& m, kit::BezierPath& path, int32_t side, double s) {
    if (!m.hasArrow) return;
    const float sf = float(s);
    const float a = m.arrowBaseWidth * sf, ha = a / 2, A = m.arrowHeight * sf;
    const kit::Point o = path.currentPoint();
    if (below(side)) {   // the top edge, running right
        path.lineTo({o.x + ha, o.y + A});
        path.lineTo({o.x + a, o.y});
    } else if (onLeft(side)) {   // the right edge, running down
        path.lineTo({o.x + A, o.y - ha});
        path.lineTo({o.x, o.y - a});
    } else if (above(side)) {   // the bottom edge, running left
        path.lineTo({o.x - ha, o.y - A});
        path.lineTo({o.x - a, o.y});
    } else if (onRight(side)) {   // the left edge, running up
        path.lineTo({o.x - A, o.y + ha});
        path.lineTo({o.x, o.y + a});
    }
}

kit::BezierPath backgroundPath(const AttachedWindowMetrics& m, const kit::Rect& viewFrame, int32_t side, double s) {
    const float sf = float(s);
    const float r = m.cornerRadius * sf, a = m.arrowBaseWidth * sf, ha = a / 2;
    const double grow = m.viewMargin * sf;
    const kit::Rect body = kit::insetRect(viewFrame, -grow, -grow);
    const double x = body.x(), y = body.y(), w = body.width(), h = body.height();

    // Edges on whole numbers move one point inward, so the outline's stroke
    // lies on whole pixels inside the window.
    const float L = float(std::ceil(x * s + 0.5)), R = float(std::floor((x + w) * s - 0.5));
    const float B = float(std::ceil(y * s + 0.5)), T = float(std::floor((y + h) * s - 0.5));
    const float mx = float((x + w / 2) * s), my = float((y + h / 2) * s);

    const bool square = !m.drawsRoundCornerBesideArrow;
    const bool roundTL = r > 0 && !(square && (side == 7 || side == 11));
    const bool roundTR = r > 0 && !(square && (side == 5 || side == 10));
    const bool roundBR = r > 0 && !(square && (side == 4 || side == 8));
    const bool roundBL = r > 0 && !(square && (side == 6 || side == 9));

    kit::BezierPath path;
    path.setLineJoinStyle(kit::LineJoin::Round);
    auto arrow = [&] { appendArrowToPath(m, path, side, s); };

    // Clockwise from the top-left corner.
    path.moveTo({roundTL ? L + r : L, T});

    float e = roundTR ? R - r : R;
    if (side == 11) arrow();
    else if (side == 10) { path.lineTo({e - a, T}); arrow(); }
    else if (side == 1) { path.lineTo({mx - ha, T}); arrow(); }
    path.lineTo({e, T});
    if (roundTR) path.appendArcFromPoint({R, T}, {R, T - r}, r);

    e = roundBR ? B + r : B;
    if (side == 5) arrow();
    else if (side == 4) { path.lineTo({R, e + a}); arrow(); }
    else if (side == 0) { path.lineTo({R, my + ha}); arrow(); }
    path.lineTo({R, e});
    if (roundBR) path.appendArcFromPoint({R, B}, {R - r, B}, r);

    e = roundBL ? L + r : L;
    if (side == 8) arrow();
    else if (side == 9) { path.lineTo({e + a, B}); arrow(); }
    else if (side == 3) { path.lineTo({mx + ha, B}); arrow(); }
    path.lineTo({e, B});
    if (roundBL) path.appendArcFromPoint({L, B}, {L, B + r}, r);

    e = roundTL ? T - r : T;
    if (side == 6) arrow();
    else if (side == 7) { path.lineTo({L, e - a}); arrow(); }
    else if (side == 2) { path.lineTo({L, my - ha}); arrow(); }
    path.lineTo({L, e});
    if (roundTL) path.appendArcFromPoint({L, T}, {L + r, T}, r);

    path.closePath();
    return path;
}

}  // namespace attached
