#pragma once
// Renders views and windows into bitmaps, off screen: for looking at the
// interface (PNG files) and for tests that check pixels.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kit/ui/Color.h"
#include "kit/ui/Geometry.h"

namespace kit {

class View;
class Window;

class Bitmap {
public:
    Bitmap() = default;
    Bitmap(int w, int h) : width_(w), height_(h), argb_(size_t(w) * h, 0) {}
    int width() const { return width_; }
    int height() const { return height_; }
    // Pixels by column and row, rows counted from the top (as image files are).
    uint32_t argb(int col, int row) const { return argb_[size_t(row) * width_ + col]; }
    Color pixel(int col, int row) const;
    // The pixel under a point of the rendered view's bounds (y up unless the
    // view is flipped): the pixel whose square holds the point.
    Color pixelAtPoint(Point p, bool flipped) const;
    bool savePNG(const std::string& path) const;
    std::vector<uint32_t>& data() { return argb_; }

private:
    int width_ = 0, height_ = 0;
    std::vector<uint32_t> argb_;
};

// Draws the view and its subviews on a transparent background; with `dirty`
// (in bounds coordinates) only that area is redrawn, the rest stays clear.
Bitmap renderView(View& v, std::optional<Rect> dirty = std::nullopt);
// The whole window: its frame view, title bar and content, with its visible
// child windows (panels, menus, sheets) drawn over it where they sit on the
// screen, clipped to the window's frame. `withChildren` false leaves them out.
Bitmap renderWindow(Window& w, bool withChildren = true);

}  // namespace kit
