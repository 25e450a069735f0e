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

    std::printf("copy from the tab, 20000 files in 200 top-level folders\n");
    std::printf("  listing the top level   %8.3f s\n", t.listing);
    std::printf("  engine run              %8.3f s  (%s)\n", t.engine, t.success ? "success view" : "NOT the success view");
    std::printf("  cp -a                   %8.3f s  (status %d)\n", cp, cpStatus);
    std::printf("  engine / cp -a          %8.2f\n", cp > 0 ? t.engine / cp : 0.0);
    std::printf("  worst main-thread gap   %8.1f ms  (goal: 50 ms or less)\n", t.worstGap);
    fs::remove_all(work.folder);
    return t.success ? 0 : 1;
}
