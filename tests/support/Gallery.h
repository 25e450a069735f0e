#pragma once
// Pictures of screens for the galleries: rendered off screen and written as
// PNG files to <build>/ui-render/<screen>/<name>.png.
#include <string>

#include "kit/ui/Render.h"
#include "kit/ui/Window.h"

namespace gallery {

// <build>/ui-render/<screen>, made if it is missing.
std::string dir(const std::string& screen);

// The window with what lies over it (its panels and menus, popovers of other
// windows), each window's content painted where that window sits on the
// screen. The overlays are borderless, so their content and frame coincide.
kit::Bitmap renderWithOverlays(kit::Window& w);

// Writes the picture to <build>/ui-render/<screen>/<name>.png; a failed write
// fails the test.
void save(const kit::Bitmap& picture, const std::string& screen, const std::string& name);

}  // namespace gallery
