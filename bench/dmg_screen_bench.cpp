// A whole-volume zip of 20,000 small files started from the "Disk Image
// Create" tab the way a user starts it (both slots chosen, the zip output,
// "Create Now", the listing, the confirmation), with the screen as the
// engine's delegate: reports the worst gap between two turns of the main loop
// while the run goes (goal: none over 50 ms), the run's time, and `zip -r` of
// the same tree for comparison.
//
//   dmg_screen_bench [work folder]
//
// The work folder defaults to $TMPDIR, else bench-tmp beside the build.
#include "ScreenBench.h"
#include "ZipDmg/DMGMakeSureWC.h"
#include "ZipDmg/DmgViewController.h"

using namespace screenbench;

int main(int argc, char** argv) {
    const Work work = prepareWork(argc, argv, "dmg-screen-bench");
    startApp(argv[0]);
    ScreenInWindow<DmgViewController, DmgVCDelegate> tab("DmgViewController");
    auto& screen = tab.screen;
    chooseBoth(*screen, work);
    screen->makeZipButAction(nullptr);
    kit::runFor(0.3);

    Timings t;
    if (!runFromTab(*screen, "dmg_screen_bench", "zip", t)) return 2;

    // zip itself over the same tree, its output dropped; the paths go to it as
    // they are, whatever characters the work folder's name holds.
    const Clock::time_point zipStart = Clock::now();
    const int zipStatus = run({"zip", "-r", "-y", work.folder + "/plain.zip", work.source}, true);
    const double zip = secondsSince(zipStart);

    print({"zip", "run (0.3 s delay incl.)", "run", "pane", "zip -r"}, t, zip, zipStatus);
    fs::remove_all(work.folder);
    return t.success ? 0 : 1;
}
