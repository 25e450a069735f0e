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
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Comm/PopWindow/StatusAttachedWindow.h"
#include "Comm/SelectValueView.h"
#include "Disk/VolumeObj.h"
#include "ZipDmg/DMGMakeSureWC.h"
#include "ZipDmg/DmgViewController.h"
#include "kit/RunLoop.h"
#include "kit/ui/Application.h"
#include "kit/ui/Window.h"

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

int run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return 127;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// 200 top-level folders of 100 files each, 0 to 4 KiB.
void makeTree(const std::string& root) {
    std::vector<char> bytes(4096, 'p');
    for (int d = 0; d < 200; ++d) {
        const std::string dir = root + "/folder" + std::to_string(d);
        fs::create_directories(dir);
        for (int f = 0; f < 100; ++f) {
            std::ofstream out(dir + "/file" + std::to_string(f) + ".dat", std::ios::binary);
            out.write(bytes.data(), std::streamsize((d * 100 + f) * 37 % 4096));
        }
    }
}

std::shared_ptr<VolumeObj> volumeAt(const std::string& name, const std::string& mountPoint, const std::string& node) {
    auto v = std::make_shared<VolumeObj>();
    v->setVolumeName(name);
    v->setVolumeMountPoint(mountPoint);
    v->setVolumePath(mountPoint);
    v->setVolRootDir(node);
    v->setVolumeTotalSizeNum(1000000000000);
    v->setVolumeFreeSizeNum(900000000000);
    v->setVolumeFreeSize("900.00 GB");
    return v;
}

class Host : public DmgVCDelegate {
public:
    void canChangeTab(bool) override {}
};

}  // namespace

int main(int argc, char** argv) {
    std::string work = argc > 1 ? argv[1] : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "");
    if (work.empty()) work = fs::path(argv[0]).parent_path().string() + "/bench-tmp";
    work += "/dmg-screen-bench";
    fs::remove_all(work);
    const std::string source = work + "/Source", dest = work + "/Dest";
    fs::create_directories(source);
    fs::create_directories(dest);
    makeTree(source);

    // The bundle beside the build's bench folder, and an off-screen display
    // unless one is given.
    const std::string bundle = (fs::absolute(argv[0]).parent_path().parent_path() / "Pelorin.app").string();
    setenv("PELORIN_BUNDLE", bundle.c_str(), 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    kit::ensureUiApp();
    auto window = std::make_shared<kit::Window>(kit::Rect(100, 100, 888, 561), kit::BorderlessWindowMask);
    Host host;
    auto screen = std::make_shared<DmgViewController>("DmgViewController");
    screen->setDelegate(&host);
    window->contentView()->addSubview(screen->viewPtr());
    window->orderFront();

    // Both slots as the drive picker fills them.
    auto choose = [&](int slot, std::shared_ptr<VolumeObj> v) {
        SelectValueView* s = slot == 1 ? screen->selectFromVC() : screen->selectToVC();
        screen->selectDiskButton(slot, s->selectDiskBut());
        screen->doSelectDiskWithVolume(v);
        kit::runUntil([&] { return !screen->popoverController()->popoverIsVisible(); }, 5);
    };
    choose(1, volumeAt("Source", source, "/dev/bench1"));
    choose(2, volumeAt("Dest", dest, "/dev/bench2"));
    screen->makeZipButAction(nullptr);
    kit::runFor(0.3);

    // Turns of the main loop: a 5 ms timer notes the longest wait between two.
    Clock::time_point last = Clock::now();
    double worst = 0;
    bool measuring = false;
    auto tick = kit::Timer::scheduled(0.005, true, [&](kit::Timer&) {
        const Clock::time_point now = Clock::now();
        if (measuring) worst = std::max(worst, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    });

    const Clock::time_point start = Clock::now();
    screen->cloneButtonAction(nullptr);
    if (!kit::runUntil([&] { return screen->makeSureWC() != nullptr; }, 120)) {
        std::fprintf(stderr, "dmg_screen_bench: no confirmation\n");
        return 2;
    }
    const double listing = std::chrono::duration<double>(Clock::now() - start).count();
    last = Clock::now();
    measuring = true;
    const Clock::time_point runStart = Clock::now();
    screen->makeSureWC()->doneButtonAction(nullptr);
    if (!kit::runUntil([&] { return !screen->isRunning(); }, 600)) {
        std::fprintf(stderr, "dmg_screen_bench: the zip did not end\n");
        return 2;
    }
    const double engine = std::chrono::duration<double>(Clock::now() - runStart).count();
    measuring = false;
    tick->invalidate();
    const bool ok = !screen->sussView()->isHidden();

    // zip itself over the same tree, its output read as the engine reads it.
    const std::string zipOut = work + "/plain.zip";
    const Clock::time_point zipStart = Clock::now();
    const int zipStatus = run({"sh", "-c", "zip -r -y '" + zipOut + "' '" + source + "' > /dev/null"});
    const double zip = std::chrono::duration<double>(Clock::now() - zipStart).count();

    std::printf("zip from the tab, 20000 files in 200 top-level folders\n");
    std::printf("  listing the top level   %8.3f s\n", listing);
    std::printf("  run (0.3 s delay incl.) %8.3f s  (%s)\n", engine, ok ? "success pane" : "NOT the success pane");
    std::printf("  zip -r                  %8.3f s  (status %d)\n", zip, zipStatus);
    std::printf("  run / zip -r            %8.2f\n", zip > 0 ? engine / zip : 0.0);
    std::printf("  worst main-thread gap   %8.1f ms  (goal: 50 ms or less)\n", worst);
    fs::remove_all(work);
    return ok ? 0 : 1;
}
