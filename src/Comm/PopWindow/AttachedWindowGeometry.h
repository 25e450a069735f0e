#pragma once
// The geometry of an attached window, shared by RMAAttachedWindow,
// StatusAttachedWindow and MAAttachedWindow: where the window goes beside its
// point, the frames of the window and of the hosted view, and the outline of
// the bubble (a rounded rectangle with an optional arrow on the edge that
// faces the point). Plain functions of the numbers, so that every window
// class computes exactly the same thing.
//
// Coordinates are the platform's (y up). s is the screen's user-space scale
// factor; margins, radii and arrow sizes are multiplied by it.
#include <cstdint>

#include "kit/ui/Geometry.h"
#include "kit/ui/Graphics.h"

// Where the window lies relative to its point. "Extends upward" means that the
// window's bottom is near the point and it grows upward from there, with the
// arrow near the lower end of the facing edge; the others read the same way.
enum AttachedWindowSide : int32_t {
    AttachedWindowSideLeft = 0,            // arrow on the right edge, centred
    AttachedWindowSideBottom = 1,          // below; arrow on the top edge, centred
    AttachedWindowSideRight = 2,           // arrow on the left edge, centred
    AttachedWindowSideTop = 3,             // above; arrow on the bottom edge, centred
    AttachedWindowSideLeftTop = 4,         // left, extends upward
    AttachedWindowSideLeftBottom = 5,      // left, extends downward
    AttachedWindowSideRightTop = 6,        // right, extends upward
    AttachedWindowSideRightBottom = 7,     // right, extends downward
    AttachedWindowSideTopLeft = 8,         // above, extends leftward
    AttachedWindowSideTopRight = 9,        // above, extends rightward
    AttachedWindowSideBottomLeft = 10,     // below, extends leftward
    AttachedWindowSideBottomRight = 11,    // below, extends rightward
    AttachedWindowSideAutomatic = 12,      // chosen once, when the window is made
};

// The numbers of a bubble (field values, unscaled).
struct AttachedWindowMetrics {
    float viewMargin = 2;
    float arrowBaseWidth = 0;
    float arrowHeight = 0;
    bool hasArrow = true;
    float cornerRadius = 0;
    bool drawsRoundCornerBesideArrow = true;
};

namespace attached {

// The screen's user-space scale factor. The kit works in points that are one
// pixel each at the scale the program runs, so this is 1.
double userSpaceScaleFactor();

// The side on which a window of the view's size fits beside `point` (screen
// coordinates): below, then right, left, above, else below; then moved to the
// extending sides near the parent's edges when the shifted window fits the
// screen. `visible` is the screen's visible frame, `parent` the parent
// window's frame (the visible frame when there is no parent).
int32_t bestSide(const AttachedWindowMetrics& m, kit::Size viewSize, kit::Point point, float distance,
                 const kit::Rect& visible, const kit::Rect& parent, double s);

// Distance from a corner at which an arrow that sits at that corner is centred.
float arrowInset(const AttachedWindowMetrics& m, double s);

struct Frames {
    kit::Rect window;   // screen coordinates
    kit::Rect view;     // the hosted view inside the window
};
// The window's frame for a view of `viewSize` on `side` of `point` (screen
// coordinates) at `distance`; sides outside 0..11 put the window's lower-left
// corner on the point and reserve no room for an arrow.
Frames frames(const AttachedWindowMetrics& m, kit::Size viewSize, kit::Point point, int32_t side, float distance,
              double s);

// The bubble's outline in window coordinates, around `viewFrame`. A body edge
// on a whole number is drawn one point further in.
kit::BezierPath backgroundPath(const AttachedWindowMetrics& m, const kit::Rect& viewFrame, int32_t side, double s);
// Appends the arrow at the path's current point, for an arrow on `side`'s
// facing edge; nothing when the metrics have no arrow.
void appendArrowToPath(const AttachedWindowMetrics& m, kit::BezierPath& path, int32_t side, double s);

}  // namespace attached
