// A whole-volume zip of 20,000 small files started from the "Disk Image
// Create" tab the way a user starts it (both slots chosen, the zip output,
// "Create Now", the listing, the confirmation), with the screen as the
// engine's delegate: reports the worst gap between two turns of the main loop
// while the run goes (goal: none over 50 ms), the run's time, and `zip -r -y`
// of the same tree run once before and once after it for comparison; the
// archive is tested and its entries compared with the tool's.
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

    // zip itself over the same tree, its output dropped; the paths go to it as
    // they are, whatever characters the work folder's name holds.
    const std::string loadBefore = loadAverage();
    const ToolRun before = timeTool({"zip", "-r", "-y", work.folder + "/before.zip", work.source});
    Timings t;
    if (!runFromTab(*screen, "dmg_screen_bench", "zip", t)) return 2;
    const ToolRun after = timeTool({"zip", "-r", "-y", work.folder + "/after.zip", work.source});
    const std::string loadAfter = loadAverage();

    // The run's archive holds the source's top-level items; the tool's holds
    // the source folder itself besides.
    std::string wrong;
    const std::string archive = onlyEntry(work.dest);
    std::vector<std::string> theirs = zipEntries(work.folder + "/after.zip");
    theirs.erase(std::remove(theirs.begin(), theirs.end(), work.source.substr(1) + "/"), theirs.end());
    if (archive.empty()) wrong = "no archive";
    else if (const auto ours = zipEntries(archive); ours.empty()) wrong = "the archive fails its test";
    else if (theirs.empty()) wrong = "zip's own archive fails its test";
    else if (ours != theirs)
        wrong = std::to_string(ours.size()) + " entries where zip stores " + std::to_string(theirs.size());

    print({"zip", "run (0.3 s delay incl.)", "run", "pane", "zip -r -y", treeName(false)}, t, before, after, wrong,
          loadBefore, loadAfter);
    fs::remove_all(work.folder);
    return t.success && wrong.empty() ? 0 : 1;
}
