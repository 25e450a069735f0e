#pragma once
// What the benches of the two-slot tabs share: a tree of 20,000 small files,
// volume records for a source and a destination folder, the tab's screen in a
// window of its own, and a run started the way a user starts it (both slots
// chosen, the start button, the listing, the confirmation) with the worst gap
// between two turns of the main loop noted while it goes.
#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Comm/SelectValueView.h"
#include "Stats.h"
#include "Disk/VolumeObj.h"
#include "kit/Dispatch.h"
#include "kit/RunLoop.h"
#include "kit/Shell.h"
#include "kit/ui/Application.h"
#include "kit/ui/Window.h"

extern char** environ;

namespace screenbench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs a program found on the PATH with these arguments, never through a
// shell, and waits for it; its standard output is dropped when quiet, and
// read into *output when that is given.
inline int run(const std::vector<std::string>& args, bool quiet = false, std::string* output = nullptr) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int fds[2] = {-1, -1};
    if (output && pipe2(fds, O_CLOEXEC) != 0) return 127;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output) posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    else if (quiet) posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (output) {
        close(fds[1]);
        char buf[65536];
        ssize_t n;
        while ((n = read(fds[0], buf, sizeof buf)) > 0) output->append(buf, static_cast<size_t>(n));
        close(fds[0]);
    }
    if (spawned != 0) return 127;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// "" when the folder b holds what a holds (kinds, permission bits,
// modification times, bytes, link targets; a and b themselves not compared),
// else what differs first.
inline std::string sameContents(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    std::vector<fs::path> names, others;
    for (const auto& e : fs::directory_iterator(a, ec)) names.push_back(e.path().filename());
    for (const auto& e : fs::directory_iterator(b, ec)) others.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    std::sort(others.begin(), others.end());
    if (names != others) return "the entries of " + b.string();
    for (const auto& n : names) {
        struct stat sa, sb;
        const fs::path pa = a / n, pb = b / n;
        if (lstat(pa.c_str(), &sa) != 0 || lstat(pb.c_str(), &sb) != 0) return "missing " + pb.string();
        if ((sa.st_mode & S_IFMT) != (sb.st_mode & S_IFMT)) return "the kind of " + pb.string();
        if (S_ISLNK(sa.st_mode)) {
            if (fs::read_symlink(pa, ec) != fs::read_symlink(pb, ec)) return "the target of " + pb.string();
            continue;
        }
        if ((sa.st_mode & 07777) != (sb.st_mode & 07777)) return "the modes of " + pb.string();
        if (sa.st_mtim.tv_sec != sb.st_mtim.tv_sec || sa.st_mtim.tv_nsec != sb.st_mtim.tv_nsec)
            return "the time of " + pb.string();
        if (S_ISDIR(sa.st_mode)) {
            const std::string why = sameContents(pa, pb);
            if (!why.empty()) return why;
        } else if (S_ISREG(sa.st_mode)) {
            std::ifstream ia(pa, std::ios::binary), ib(pb, std::ios::binary);
            const std::string da((std::istreambuf_iterator<char>(ia)), {});
            const std::string db((std::istreambuf_iterator<char>(ib)), {});
            if (da != db) return "the bytes of " + pb.string();
        }
    }
    return "";
}

// The entry names of an archive that passes unzip's test; empty when it fails it.
inline std::vector<std::string> zipEntries(const std::string& archive) {
    std::vector<std::string> entries;
    if (run({"unzip", "-tq", archive}, true) != 0) return entries;
    std::string list;
    run({"unzip", "-Z1", archive}, false, &list);
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find('\n', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) entries.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// The only entry of a folder the run wrote into ("" when there is not exactly one).
inline std::string onlyEntry(const std::string& folder) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) found.push_back(e.path().string());
    return found.size() == 1 ? found[0] : std::string();
}

// Reads every file below path to its end, so each side of a round starts
// from the same warm cache.
inline void readTree(const fs::path& path) {
    std::error_code ec;
    static std::vector<char> buf(1 << 20);
    for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!it->is_regular_file(ec) || it->is_symlink(ec)) continue;
        const int fd = ::open(it->path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        while (::read(fd, buf.data(), buf.size()) > 0) {
        }
        ::close(fd);
    }
}

// A small task posted to the main queue from another thread every
// millisecond, each noting how long it waited to run: what a click or a
// redraw waits for while the probe runs. Each also notes the processor time
// the main thread used meanwhile: a wait much longer than that is the machine
// giving the thread no processor, not the program keeping it busy. Start and
// stop it on the main thread.
class MainQueueProbe {
public:
    ~MainQueueProbe() { stop(); }
    void start() {
        stop();
        state_ = std::make_shared<State>();
        stopping_ = false;
        clockid_t mainClock;
        if (::pthread_getcpuclockid(::pthread_self(), &mainClock) != 0) mainClock = CLOCK_THREAD_CPUTIME_ID;
        poster_ = std::thread([this, state = state_, mainClock] {
            const auto busy = [mainClock] {
                timespec ts{};
                ::clock_gettime(mainClock, &ts);
                return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
            };
            while (!stopping_.load()) {
                const Clock::time_point posted = Clock::now();
                const double busyAtPost = busy();
                kit::dispatch::async(kit::dispatch::mainQueue(), [state, posted, busyAtPost, busy] {
                    if (!state->on) return;
                    const double waited = std::chrono::duration<double, std::milli>(Clock::now() - posted).count();
                    if (waited > state->worst) {
                        state->worst = waited;
                        state->worstBusy = busy() - busyAtPost;
                    }
                    if (!state->marked || posted < state->mark)
                        state->worstBeforeMark = std::max(state->worstBeforeMark, waited);
                });
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    void stop() {
        if (!poster_.joinable()) return;
        stopping_ = true;
        poster_.join();
        state_->on = false;
    }
    // The longest wait, in ms, and the main thread's processor time during it.
    double worst() const { return state_ ? state_->worst : 0; }
    double worstBusy() const { return state_ ? state_->worstBusy : 0; }
    // Marks a moment (main thread): worstBeforeMark() is the longest wait of
    // the tasks posted before it, however late they ran.
    void mark() {
        state_->marked = true;
        state_->mark = Clock::now();
    }
    double worstBeforeMark() const { return state_ ? state_->worstBeforeMark : 0; }

private:
    struct State {
        bool on = true;  // main thread only
        double worst = 0;
        double worstBusy = 0;
        bool marked = false;
        Clock::time_point mark{};
        double worstBeforeMark = 0;
    };
    std::shared_ptr<State> state_;
    std::atomic<bool> stopping_{false};
    std::thread poster_;
};

// An X display of the bench's own: Xvfb under openbox, as the window-manager
// tests run, so the figures are those of a real display with a window
// manager. Both end with the object. start() sets DISPLAY and makes the
// application use it; false (after saying why) when a tool is missing.
class OwnDisplay {
public:
    ~OwnDisplay() {
        for (pid_t pid : {wm_, xvfb_}) {
            if (pid <= 0) continue;
            ::kill(pid, SIGTERM);
            int status = 0;
            ::waitpid(pid, &status, 0);
        }
        std::error_code ec;
        if (!home_.empty()) fs::remove_all(home_, ec);
    }
    bool start() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> args{"Xvfb", "-displayfd", "3", "-screen", "0", "1600x1000x24", "-dpi", "72",
                                      "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int spawned = posix_spawnp(&xvfb_, "Xvfb", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        std::string number;
        char c;
        while (spawned == 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (spawned != 0 || number.empty()) {
            std::fprintf(stderr, "Xvfb did not start\n");
            return false;
        }
        const std::string display = ":" + number;
        ::setenv("DISPLAY", display.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        char home[] = "/tmp/pelorin-bench-wm-XXXXXX";
        if (!::mkdtemp(home)) return false;
        home_ = home;
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "HOME=", 5) != 0) env.push_back(*e);
        env.push_back("HOME=" + home_);
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<std::string> wmArgs{"openbox", "--sm-disable"};
        std::vector<char*> wmArgv{wmArgs[0].data(), wmArgs[1].data(), nullptr};
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int wmSpawned = posix_spawnp(&wm_, "openbox", &actions, nullptr, wmArgv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (wmSpawned != 0) {
            wm_ = -1;
            std::fprintf(stderr, "openbox did not start\n");
            return false;
        }
        // A loaded machine may take a while to start it.
        for (int i = 0; i < 600; ++i) {
            std::string out;
            run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, true, &out);
            if (out.find("window id") != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        std::fprintf(stderr, "openbox did not take the display\n");
        return false;
    }

private:
    pid_t xvfb_ = -1, wm_ = -1;
    std::string home_;
};

// 20,000 files of 0 to 4 KiB: 200 top-level folders of 100 files each, or
// all of them at the top level (a camera card).
inline void makeTree(const std::string& root, bool topLevelFiles) {
    std::vector<char> bytes(4096, 'p');
    for (int d = 0; d < 200; ++d) {
        const std::string dir = topLevelFiles ? root : root + "/folder" + std::to_string(d);
        fs::create_directories(dir);
        for (int f = 0; f < 100; ++f) {
            std::ofstream out(dir + "/file" + std::to_string(d * 100 + f) + ".dat", std::ios::binary);
            out.write(bytes.data(), std::streamsize((d * 100 + f) * 37 % 4096));
        }
    }
}
inline const char* treeName(bool topLevelFiles) {
    return topLevelFiles ? "20000 files at the top level" : "20000 files in 200 top-level folders";
}

inline std::shared_ptr<VolumeObj> volumeAt(const std::string& name, const std::string& mountPoint,
                                           const std::string& node) {
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

// A fresh folder `name` in the work folder (the first argument, else $TMPDIR,
// else bench-tmp beside the program) with the tree in Source and an empty Dest.
struct Work {
    std::string folder, source, dest;
};
inline Work prepareWork(int argc, char** argv, const std::string& name, bool topLevelFiles = false) {
    std::string work = argc > 1 ? argv[1] : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "");
    if (work.empty()) work = fs::path(argv[0]).parent_path().string() + "/bench-tmp";
    work += "/" + name;
    fs::remove_all(work);
    Work w{work, work + "/Source", work + "/Dest"};
    fs::create_directories(w.source);
    fs::create_directories(w.dest);
    makeTree(w.source, topLevelFiles);
    return w;
}

// The bundle beside the build's bench folder, and an off-screen display
// unless one is given.
inline void startApp(const char* argv0) {
    // Normalised first: "./x" would otherwise give "bench/." as the program's folder.
    const fs::path program = fs::absolute(argv0).lexically_normal();
    const std::string bundle = (program.parent_path().parent_path() / "Pelorin.app").string();
    setenv("PELORIN_BUNDLE", bundle.c_str(), 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    kit::ensureUiApp();
}

// The tab's screen in a window of its own, with a host that lets it lock the tabs.
template <class Screen, class Delegate>
struct ScreenInWindow {
    struct Host : Delegate {
        void canChangeTab(bool) override {}
    } host;
    std::shared_ptr<kit::Window> window;
    std::shared_ptr<Screen> screen;

    explicit ScreenInWindow(const std::string& nibName) {
        window = std::make_shared<kit::Window>(kit::Rect(100, 100, 888, 561), kit::BorderlessWindowMask);
        screen = std::make_shared<Screen>(nibName);
        screen->setDelegate(&host);
        window->contentView()->addSubview(screen->viewPtr());
        window->orderFront();
    }
};

// A disk tool on the PATH (in bin of the work folder) that answers for the
// two volumes chooseBoth() picks: a run checks both with it before it starts,
// as it does with the system's tool, so that cost stays in what is timed.
inline void installDiskTool(const Work& work) {
    const std::string bin = work.folder + "/bin";
    fs::create_directories(bin);
    std::ofstream(bin + "/diskutil")
        << "#!/bin/sh\n"
        << "case \"$3\" in " << kit::shellQuote(work.source) << ") node=/dev/bench1 ;; " << kit::shellQuote(work.dest)
        << ") node=/dev/bench2 ;; *) exit 1 ;; esac\n"
        << "printf '<?xml version=\"1.0\" encoding=\"UTF-8\"?>\\n<plist version=\"1.0\"><dict>"
           "<key>MountPoint</key><string>%s</string><key>DeviceNode</key><string>%s</string>"
           "<key>FreeSpace</key><integer>900000000000</integer></dict></plist>\\n' \"$3\" \"$node\"\n";
    fs::permissions(bin + "/diskutil", fs::perms::owner_all);
    const char* path = std::getenv("PATH");
    const std::string was = path ? path : "/usr/bin:/bin";
    if (was.rfind(bin + ":", 0) != 0) ::setenv("PATH", (bin + ":" + was).c_str(), 1);
}

// Both slots as the drive picker fills them.
template <class Screen>
void chooseBoth(Screen& screen, const Work& work) {
    installDiskTool(work);
    auto choose = [&](int slot, std::shared_ptr<VolumeObj> v) {
        SelectValueView* s = slot == 1 ? screen.selectFromVC() : screen.selectToVC();
        screen.selectDiskButton(slot, s->selectDiskBut());
        screen.doSelectDiskWithVolume(v);
        kit::runUntil([&] { return !screen.popoverController()->popoverIsVisible(); }, 5);
    };
    choose(1, volumeAt("Source", work.source, "/dev/bench1"));
    choose(2, volumeAt("Dest", work.dest, "/dev/bench2"));
}

struct Timings {
    double listing = 0;    // the start button to the confirmation
    double engine = 0;     // the confirmation to the end of the run
    double worstGap = 0;   // ms between two turns of the main loop during the run
    bool success = false;  // the end shows the success view
};

// The start button, then the confirmation's; false (after saying why on
// stderr) when no confirmation comes or the run does not end.
template <class Screen>
bool runFromTab(Screen& screen, const char* program, const char* what, Timings& out) {
    // Turns of the main loop: a 5 ms timer notes the longest wait between two.
    Clock::time_point last = Clock::now();
    bool measuring = false;
    auto tick = kit::Timer::scheduled(0.005, true, [&](kit::Timer&) {
        const Clock::time_point now = Clock::now();
        if (measuring) out.worstGap = std::max(out.worstGap, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    });

    const Clock::time_point start = Clock::now();
    screen.cloneButtonAction(nullptr);
    if (!kit::runUntil([&] { return screen.makeSureWC() != nullptr; }, 120)) {
        std::fprintf(stderr, "%s: no confirmation\n", program);
        tick->invalidate();
        return false;
    }
    out.listing = secondsSince(start);
    last = Clock::now();
    measuring = true;
    const Clock::time_point runStart = Clock::now();
    screen.makeSureWC()->doneButtonAction(nullptr);
    if (!kit::runUntil([&] { return !screen.isRunning(); }, 600)) {
        std::fprintf(stderr, "%s: the %s did not end\n", program, what);
        tick->invalidate();
        return false;
    }
    out.engine = secondsSince(runStart);
    measuring = false;
    tick->invalidate();
    out.success = !screen.sussView()->isHidden();
    return true;
}

// One run the way a user waits for it: from the click on the start button
// (the top-level listing, the confirmation, its start button) to the end view,
// with the main queue probed all the way.
struct ButtonRun {
    double total = 0;      // the click to the end view
    double listing = 0;    // the click to the confirmation
    double worstWait = 0;  // ms, the longest a task posted to the main queue waited
    double worstWaitListing = 0;  // the same, of the tasks posted before the confirmation showed
    double worstWaitBusy = 0;  // ms of the main thread's processor time during the longest wait
    bool success = false;  // the end shows the success view
};
template <class Screen>
bool runFromButton(Screen& screen, ButtonRun& out) {
    MainQueueProbe probe;
    probe.start();
    const Clock::time_point start = Clock::now();
    screen.cloneButtonAction(nullptr);
    bool ended = kit::runUntil([&] { return screen.makeSureWC() != nullptr; }, 120);
    if (ended) {
        out.listing = secondsSince(start);
        probe.mark();
        screen.makeSureWC()->doneButtonAction(nullptr);
        ended = kit::runUntil([&] { return !screen.isRunning(); }, 600);
        out.total = secondsSince(start);
    }
    probe.stop();
    out.worstWait = probe.worst();
    out.worstWaitBusy = probe.worstBusy();
    out.worstWaitListing = probe.worstBeforeMark();
    out.success = ended && !screen.sussView()->isHidden();
    return ended;
}

// The plain tool over the same tree, once before the run and once after it.
struct ToolRun {
    double seconds = 0;
    int status = -1;
};
inline ToolRun timeTool(const std::vector<std::string>& args) {
    const Clock::time_point start = Clock::now();
    ToolRun r;
    r.status = run(args, true);
    r.seconds = secondsSince(start);
    return r;
}

// The times of the run beside those of the plain tool over the same tree.
struct Report {
    const char* what;       // "copy": the title's first word
    const char* runLabel;   // the run's line
    const char* runShort;   // the run in the ratio's line
    const char* endName;    // what the success is shown in: "view", "pane"
    const char* tool;       // the plain tool's command
    const char* tree;       // what was copied (treeName)
};
// outputWrong: "" when the run's output holds what the tool's does, else why.
inline void print(const Report& r, const Timings& t, const ToolRun& before, const ToolRun& after,
                  const std::string& outputWrong, const std::string& loadBefore, const std::string& loadAfter) {
    const std::string success = std::string("success ") + r.endName;
    const std::string ratio = std::string(r.runShort) + " / " + r.tool;
    const double tool = (before.seconds + after.seconds) / 2;
    std::printf("%s from the tab, %s\n", r.what, r.tree);
    std::printf("  %-24s%8.3f s\n", "listing the top level", t.listing);
    std::printf("  %-24s%8.3f s  (%s; output %s)\n", r.runLabel, t.engine,
                (t.success ? success : "NOT the " + success).c_str(),
                outputWrong.empty() ? "right" : ("WRONG: " + outputWrong).c_str());
    std::printf("  %-24s%8.3f s before, %.3f s after  (status %d, %d)\n", r.tool, before.seconds, after.seconds,
                before.status, after.status);
    std::printf("  %-24s%8.2f  (against the mean of the two; %.2f-%.2f)\n", ratio.c_str(),
                tool > 0 ? t.engine / tool : 0.0, t.engine / std::max(before.seconds, after.seconds),
                t.engine / std::max(1e-9, std::min(before.seconds, after.seconds)));
    std::printf("  %-24s%8.1f ms  (goal: 50 ms or less)\n", "worst main-thread gap", t.worstGap);
    std::printf("  load average: before %s, after %s\n", loadBefore.c_str(), loadAfter.c_str());
}

}  // namespace screenbench
