#pragma once
// Tiling an image across a rectangle, as a pattern colour fills a shape: the
// image repeats at its own size in both directions, upright, with one tile's
// lower-left corner on `phase` (in the current context's coordinates), and
// only the part inside `rect` is painted. An image of zero width or height
// paints nothing. Draws into the current graphics context; outside a drawRect
// (or Image::drawInto) it does nothing.
#include "kit/ui/Geometry.h"
#include "kit/ui/Image.h"

namespace kit {

void drawTiledImage(const Image& image, const Rect& rect, Point phase = Point{}, double fraction = 1.0);

}  // namespace kit
