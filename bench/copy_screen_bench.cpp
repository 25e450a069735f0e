// A whole-volume copy of 20,000 small files (in 200 top-level folders, then
// all at the top level) started from the "Disk Copy" tab
// the way a user starts it (both slots chosen, "Copy Now", the listing, the
// confirmation), with the screen as the engine's delegate: reports the worst
// gap between two turns of the main loop while the copy runs (goal: none over
// 50 ms), the run's time, and `cp -a` of the same tree run once before and
// once after it for comparison; the copy is checked against the source.
//
//   copy_screen_bench [work folder]
//
// The work folder defaults to $TMPDIR, else bench-tmp beside the build.
#include "FileCopy/CopyMakeSureWC.h"
#include "FileCopy/DiskCopyViewController.h"
#include "ScreenBench.h"

using namespace screenbench;

int main(int argc, char** argv) {
    bool allRight = true;
    bool started = false;
    for (const bool topLevelFiles : {false, true}) {
        const Work work = prepareWork(argc, argv, "copy-screen-bench", topLevelFiles);
        if (!started) startApp(argv[0]);
        started = true;
        ScreenInWindow<DiskCopyViewController, DiskCopyVCDelegate> tab("DiskCopyViewController");
        auto& screen = tab.screen;
        chooseBoth(*screen, work);
        kit::runFor(0.3);

        const std::string loadBefore = loadAverage();
        const ToolRun before = timeTool({"cp", "-a", work.source, work.folder + "/cp-before"});
        Timings t;
        if (!runFromTab(*screen, "copy_screen_bench", "copy", t)) return 2;
        const ToolRun after = timeTool({"cp", "-a", work.source, work.folder + "/cp-after"});
        const std::string loadAfter = loadAverage();

        // The run's copy folder, the only entry of the destination, holds the source.
        const std::string copied = onlyEntry(work.dest);
        std::string wrong = copied.empty() ? "no copy folder" : sameContents(work.source, copied);
        if (wrong.empty() && sameContents(work.source, work.folder + "/cp-after").size())
            wrong = "cp -a's copy differs as well";

        print({"copy", "engine run", "engine", "view", "cp -a", treeName(topLevelFiles)}, t, before, after, wrong,
              loadBefore, loadAfter);
        fs::remove_all(work.folder);
        allRight = allRight && t.success && wrong.empty();
    }
    return allRight ? 0 : 1;
}
