#include "support/Gallery.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "kit/ui/Application.h"

namespace gallery {

std::string dir(const std::string& screen) {
    const std::string d = std::string(PELORIN_BUILD_DIR) + "/ui-render/" + screen;
    std::filesystem::create_directories(d);
    return d;
}

kit::Bitmap renderWithOverlays(kit::Window& w) {
    kit::Bitmap base = kit::renderWindow(w, false);
    const kit::Rect frame = w.frame();
    std::vector<kit::Window*> overlays;
    for (const auto& child : w.childWindows()) overlays.push_back(child.get());
    for (kit::Window* other : kit::Application::shared().windows())
        if (other != &w && other->parentWindow() != &w) overlays.push_back(other);
    for (kit::Window* other : overlays) {
        if (!other->isVisible() || !other->contentView()) continue;
        const kit::Rect f = other->frame();
        if (!kit::rectsIntersect(f, frame)) continue;
        kit::Bitmap over = kit::renderWindow(*other, false);
        // Rows count from the top in bitmaps; frames are y-up on screen.
        const int left = int(f.x() - frame.x());
        const int top = int((frame.y() + frame.height()) - (f.y() + f.height()));
        for (int r = 0; r < over.height(); ++r)
            for (int c = 0; c < over.width(); ++c) {
                const int x = left + c, y = top + r;
                if (x < 0 || y < 0 || x >= base.width() || y >= base.height()) continue;
                const uint32_t src = over.argb(c, r);
                const uint32_t a = uint32_t(std::lround((src >> 24) * other->alphaValue()));
                if (a == 0) continue;
                uint32_t& dst = base.data()[size_t(y) * base.width() + x];
                auto mix = [&](int shift) {
                    const uint32_t s = (src >> shift) & 0xff, d = (dst >> shift) & 0xff;
                    return ((s * a + d * (255 - a)) / 255) << shift;
                };
                dst = 0xff000000u | mix(16) | mix(8) | mix(0);
            }
    }
    return base;
}

void save(const kit::Bitmap& picture, const std::string& screen, const std::string& name) {
    const std::string path = dir(screen) + "/" + name + ".png";
    ASSERT_TRUE(picture.savePNG(path)) << path;
}

}  // namespace gallery
