// A whole-volume copy of 20,000 small files (in 200 top-level folders, then
// all at the top level) started from the "Disk Copy" tab the way a user
// starts it: both slots chosen, a click on "Copy Now", the top-level listing,
// the confirmation and its start button, up to the success view. Each round
// runs the tab and `cp -a` of the same tree once, in an order that turns round
// from one round to the next (A B, then B A), each from the same warm cache;
// every copy is checked against the source. Prints the median (min-max) of
// the rounds' ratios to `cp -a` (goal: 0.8 or less), of the listing's share
// and of the rest, and the longest wait of a task posted to the main queue
// every millisecond from the click to the end (goal: none over 50 ms), with
// the load average.
//
//   copy_screen_bench [-r rounds] [--display offscreen|x11|both] [work folder]
//
// The display defaults to both: the off-screen platform, then an X display of
// the bench's own (Xvfb under openbox), each in a process of its own. 5 rounds
// unless -r says otherwise. The work folder defaults to $TMPDIR, else
// bench-tmp beside the build; one in RAM (/dev/shm) shows the program's own cost.
#include <cstring>

#include "FileCopy/CopyMakeSureWC.h"
#include "FileCopy/DiskCopyViewController.h"
#include "ScreenBench.h"

using namespace screenbench;

namespace {

int usage(const char* program) {
    std::fprintf(stderr, "usage: %s [-r rounds] [--display offscreen|x11|both] [work folder]\n", program);
    return 2;
}

// The tree copied from the tab and by cp -a, round by round.
bool measureTree(int argc, char** argv, int rounds, bool topLevelFiles, const char* display) {
    const Work work = prepareWork(argc, argv, "copy-screen-bench", topLevelFiles);
    ScreenInWindow<DiskCopyViewController, DiskCopyVCDelegate> tab("DiskCopyViewController");
    auto& screen = *tab.screen;
    Stats tabTimes, cpTimes, listingShare, afterListing, waits, listingWaits;
    double worstBusy = 0;  // the main thread's processor time during the worst wait
    bool allRight = true;
    const std::string loadBefore = loadAverage();
    for (int round = 0; round < rounds; ++round) {
        double tabSeconds = -1, cpSeconds = -1;
        for (int side = 0; side < 2; ++side) {
            ::sync();
            readTree(work.source);
            if ((side == 0) == (round % 2 == 0)) {
                const std::string out = work.folder + "/cp-" + std::to_string(round);
                const ToolRun cp = timeTool({"cp", "-a", work.source, out});
                cpSeconds = cp.status == 0 ? cp.seconds : -1;
                const std::string wrong = cp.status == 0 ? sameContents(work.source, out) : "cp -a failed";
                if (!wrong.empty()) std::printf("  round %d, cp -a: WRONG: %s\n", round, wrong.c_str());
                fs::remove_all(out);
                continue;
            }
            chooseBoth(screen, work);
            kit::runFor(0.2);
            ButtonRun run;
            if (!runFromButton(screen, run)) {
                std::fprintf(stderr, "copy_screen_bench: the run from the button did not end\n");
                return false;
            }
            kit::runUntil([&] { return !screen.isWorking(); }, 60);
            const std::string copied = onlyEntry(work.dest);
            std::string wrong = !run.success ? "no success view" : copied.empty() ? "no copy folder" : "";
            if (wrong.empty()) wrong = sameContents(work.source, copied);
            if (!wrong.empty()) {
                std::printf("  round %d, the tab: WRONG: %s\n", round, wrong.c_str());
                allRight = false;
            } else {
                tabSeconds = run.total;
            }
            listingShare.values.push_back(run.listing);
            afterListing.values.push_back(run.total - run.listing);
            waits.values.push_back(run.worstWait);
            if (run.worstWait >= waits.max()) worstBusy = run.worstWaitBusy;
            listingWaits.values.push_back(run.worstWaitListing);
            screen.succCancelButtonAction(nullptr);
            for (const auto& e : fs::directory_iterator(work.dest)) fs::remove_all(e.path());
        }
        tabTimes.values.push_back(tabSeconds);
        cpTimes.values.push_back(cpSeconds);
        ::sync();
    }
    const std::string loadAfter = loadAverage();
    const Stats ratio = pairedRatios(tabTimes, cpTimes);
    const Stats listing = pairedRatios(listingShare, cpTimes);
    const Stats rest = pairedRatios(afterListing, cpTimes);
    std::printf("copy from the tab's button, %s, %s display, %d rounds\n", treeName(topLevelFiles), display, rounds);
    if (ratio.values.empty()) {
        std::printf("  no round gave a right copy\n");
        return false;
    }
    std::printf("  %-34s median %7.3f s   cp -a median %7.3f s\n", "click to success view", tabTimes.median(),
                cpTimes.median());
    std::printf("  %-34s %6.3f (%.3f-%.3f)   (goal: 0.8 or less)\n", "ratio to cp -a", ratio.median(), ratio.min(),
                ratio.max());
    std::printf("  %-34s %6.3f (%.3f-%.3f)\n", "  of which the listing", listing.median(), listing.min(),
                listing.max());
    std::printf("  %-34s %6.3f (%.3f-%.3f)\n", "  and confirmation to the end", rest.median(), rest.min(), rest.max());
    std::printf("  %-34s %6.1f ms (median of the rounds' %.1f; goal: 50 ms or less)\n", "worst main-queue wait",
                waits.max(), waits.median());
    std::printf("  %-34s %6.1f ms\n", "  the main thread's processor time in it", worstBusy);
    std::printf("  %-34s %6.1f ms (median %.1f)\n", "  of tasks posted before the confirmation", listingWaits.max(),
                listingWaits.median());
    std::printf("  load average: before %s, after %s\n", loadBefore.c_str(), loadAfter.c_str());
    std::fflush(stdout);
    fs::remove_all(work.folder);
    return allRight;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    std::string display = "both";
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-r") == 0 && i + 1 < argc) rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--display") == 0 && i + 1 < argc) display = argv[++i];
        else if (argv[i][0] == '-') return usage(argv[0]);
        else rest.push_back(argv[i]);
    }
    if (display == "both") {
        // A process for each display: a program's display is chosen once.
        int status = 0;
        for (const char* d : {"offscreen", "x11"}) {
            std::vector<std::string> args{fs::read_symlink("/proc/self/exe").string(), "-r", std::to_string(rounds), "--display", d};
            for (std::size_t i = 1; i < rest.size(); ++i) args.push_back(rest[i]);
            std::fflush(stdout);
            status = std::max(status, run(args));
        }
        return status;
    }
    if (display != "offscreen" && display != "x11") return usage(argv[0]);
    OwnDisplay x;
    if (display == "x11" && !x.start()) return 2;
    if (display == "offscreen") ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    startApp(argv[0]);
    bool allRight = true;
    for (const bool topLevelFiles : {false, true})
        allRight = measureTree(int(rest.size()), rest.data(), rounds, topLevelFiles, display.c_str()) && allRight;
    return allRight ? 0 : 1;
}
