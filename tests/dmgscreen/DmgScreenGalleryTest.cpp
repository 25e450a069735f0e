// Pictures of the "Disk Image Create" tab on the demo machine, rendered off
// screen to ui-render/dmg-screen/ under the build folder: both slots chosen
// with each output, the confirmation, the run page, and the success, failure
// and stop panes.
#include "DmgScreenTestUtil.h"
#include "Comm/PopWindow/RMAAttachedWindow.h"
#include "kit/ui/Render.h"

#include <cmath>

using namespace dmgscreen;

namespace {

std::string galleryDir() {
    const std::string dir = std::string(PELORIN_BUILD_DIR) + "/ui-render/dmg-screen";
    fs::create_directories(dir);
    return dir;
}

// The main window with what lies over it (its panels and menu, and the drive
// picker's popover), each window's content painted where the window sits on
// the screen. The overlays are all borderless, so content and frame coincide.
void shoot(MainWindowController& main, const std::string& name, bool settle = true) {
    if (settle) kit::runFor(0.6);   // animations settle
    kit::Window& w = *main.window();
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
        kit::Bitmap over = kit::renderView(*other->contentView());
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
    const std::string path = galleryDir() + "/" + name + ".png";
    ASSERT_TRUE(base.savePNG(path)) << path;
}

}  // namespace

TEST_F(DmgScreenTest, Gallery) {
    choose(1, volume("USB"));
    choose(2, volume("Backup"));
    shoot(*main, "01-both-slots-image");
    click(screen->makeZipBut());
    shoot(*main, "02-both-slots-zip");
    click(screen->makeDmgBut());

    click(screen->cloneButton());
    ASSERT_TRUE(kit::runUntil([&] { return confirmation() != nullptr; }, 20));
    shoot(*main, "03-confirmation");

    // A slow create: the page stands at "Creating disk image…" while it is drawn.
    sim.setKnob("hdiutil create", "slow:8");
    click(confirmation()->doneButton());
    ASSERT_TRUE(kit::runUntil([&] { return screen->rogressView()->floatValue() >= 0.19; }, 20));
    kit::runFor(1.0);
    shoot(*main, "04-run-page", false);
    click(screen->cancelButton());
    EXPECT_TRUE(stopShown());
    shoot(*main, "05-stop-pane");
    click(screen->failCancelButton());

    sim.setKnob("hdiutil create", "ok");
    choose(1, volume("USB"));
    choose(2, volume("Backup"));
    ASSERT_TRUE(startRun());
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(successShown());
    shoot(*main, "06-success");
    click(screen->succCancelButton());

    sim.setKnob("hdiutil create", "fail");
    choose(1, volume("USB"));
    choose(2, volume("Backup"));
    ASSERT_TRUE(startRun());
    ASSERT_TRUE(waitForEndView());
    EXPECT_TRUE(failureShown());
    shoot(*main, "07-failure");
}
