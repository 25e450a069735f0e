// A whole-volume copy of 20,000 small files started from the "Disk Copy" tab
// the way a user starts it (both slots chosen, "Copy Now", the listing, the
// confirmation), with the screen as the engine's delegate: reports the worst
// gap between two turns of the main loop while the copy runs (goal: none over
// 50 ms), the run's time, and `cp -a` of the same tree for comparison.
//
//   copy_screen_bench [work folder]
//
// The work folder defaults to $TMPDIR, else bench-tmp beside the build.
#include "FileCopy/CopyMakeSureWC.h"
#include "FileCopy/DiskCopyViewController.h"
#include "ScreenBench.h"

using namespace screenbench;

int main(int argc, char** argv) {
    const Work work = prepareWork(argc, argv, "copy-screen-bench");
    startApp(argv[0]);
    ScreenInWindow<DiskCopyViewController, DiskCopyVCDelegate> tab("DiskCopyViewController");
    auto& screen = tab.screen;
    chooseBoth(*screen, work);
    kit::runFor(0.3);

    Timings t;
    if (!runFromTab(*screen, "copy_screen_bench", "copy", t)) return 2;

    const Clock::time_point cpStart = Clock::now();
    const int cpStatus = run({"cp", "-a", work.source, work.folder + "/cp-copy"});
    const double cp = secondsSince(cpStart);

    print({"copy", "engine run", "engine", "view", "cp -a"}, t, cp, cpStatus);
    fs::remove_all(work.folder);
    return t.success ? 0 : 1;
}
