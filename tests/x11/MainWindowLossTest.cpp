// The main window destroyed by another client (a window tool, a crashed
// window manager's clean-up) while a copy runs: the program takes the loss of
// its window as a close. The copy is stopped as its Stop does, its partial
// file removed, and the program ends with status 0.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "copyscreen/CopyScreenTestUtil.h"
#include "kit/RunLoop.h"
#include "shell/CloseTestUtil.h"
#include "x11/X11Session.h"

namespace {

using namespace closetest;
namespace fs = std::filesystem;

class MainWindowLossTest : public copyscreen::CopyScreenTest {};

TEST_F(MainWindowLossTest, TheWindowDestroyedDuringACopyStopsItAndEndsTheProgram) {
    EnvGuard realTime("PELORIN_TIME_SCALE", "1");
    makeLargeFile(sim.path("/Volumes/USB/big.bin"), kLarge);
    main->window()->center();
    main->window()->makeKeyAndOrderFront();
    const x11::WindowId id = x11::idOf(*main->window());
    ASSERT_TRUE(x11::waitUntilManaged(id));
    chooseUsbToBackup();
    ExitWatch exitWatch;
    ASSERT_TRUE(startCopy());
    const std::string target = screen->openUrl() + "/big.bin";
    ASSERT_TRUE(kit::runUntil([&] { return bigFileBegun(screen->openUrl()); }, 60));

    ASSERT_EQ(std::system(("xdotool windowclose " + std::to_string(id)).c_str()), 0);
    ASSERT_TRUE(kit::runUntil([] { return gExitStatus.has_value(); }, 60)) << "the program lives on with no window";
    EXPECT_EQ(gExitStatus, std::optional<int>(0));
    EXPECT_FALSE(main->jobsWorking());
    EXPECT_FALSE(screen->doCopy()->isRunning());
    EXPECT_FALSE(fs::exists(target)) << "a partial copy stays under the file's name";
    EXPECT_TRUE(screentest::filesEndingIn(screen->openUrl(), ".part").empty()) << "the part file stays";
}

}  // namespace
