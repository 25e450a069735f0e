#pragma once
// Images made from pixels: what a view draws, kept as an image (the platform's
// cached drawing of a view, for snapshots that stand in for a window while it
// animates), and encoded image data read into an image.
#include <memory>
#include <string>

#include "kit/ui/Geometry.h"
#include "kit/ui/Image.h"

namespace kit {

class View;

// The view and its subviews drawn into an image of rect's size; `rect` is in
// the view's bounds coordinates, an empty one means the bounds. Areas the
// view leaves undrawn stay transparent.
std::shared_ptr<Image> imageOfView(View& v, const Rect& rect = Rect());

// An image from encoded data (TIFF, PNG, JPEG, …: whatever the toolkit
// reads); nullptr when the data is not a readable image.
std::shared_ptr<Image> imageFromData(const std::string& bytes);

}  // namespace kit
