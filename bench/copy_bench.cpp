// Times the copy engine the way the copy screen drives it (DoCopyFiles on a
// worker, its reports delivered on a running main loop) against `cp -a`, on
// generated trees in one folder (same file system).
//
//   copy_bench [-r rounds] [--settle seconds] [work folder] [case ...]
//
// Cases (default all):
//   small  20,000 small files in a tree, the whole volume selected
//   large  3 x 200 MB
//   mix    small and middle-sized files, one large file, links, a sparse file
//   every  one folder of 20,000 files: copied as a whole folder, and with every
//          file checked on its own (what a large hand-picked selection gives)
//   top    a whole volume with 20,000 files at its top level (a camera card),
//          its nodes made by the tab's top-level listing inside the timed part
//   button the same volume copied from the "Disk Copy" tab: a click on "Copy
//          Now", the listing, the confirmation and its start button, up to the
//          success view (an off-screen display; copy_screen_bench has more)
//
// Fairness: every round runs each side once, in an order that turns round from
// one round to the next (A B, then B A), so that each engine run is compared
// with the tool run beside it; before each timed run the disk is synced and the
// whole source read again, so each side starts from the same warm cache; each
// run writes a fresh destination, and the outputs of a round are verified, then
// deleted outside the timed windows, followed by a sync and a pause (--settle,
// default 2 s) so no run follows a large deletion. Prints min / median / max of
// each side's times, and the median, min and max of the ratios of the rounds
// (each run against the tool's run of its own round); for the engine also the
// longest stall of the main loop during the run, for the every and top cases
// the memory per item (the peak resident size of a process that makes the
// nodes and runs the copy once, less its size before), and the load average
// before and after each case.
//
// The work folder defaults to $TMPDIR, else bench-tmp beside the build's bench
// folder. A folder in RAM (under /dev/shm) shows the engine's own cost; one on
// a real disk what a user waits for. 5 rounds unless -r says otherwise.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "DiskList/Controller.h"
#include "Disk/FileNode.h"
#include "FileCopy/CopyMakeSureWC.h"
#include "FileCopy/DiskCopyViewController.h"
#include "FileCopy/DoCopyFiles.h"
#include "ScreenBench.h"
#include "Stats.h"
#include "kit/RunLoop.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
std::mt19937_64 rng(20240601);

void die(const std::string& what) {
    std::fprintf(stderr, "copy_bench: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(2);
}

double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

int run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) die("spawn " + args[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void removeTree(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) run({"rm", "-rf", "--", path});
}

void writeFile(const std::string& path, std::size_t size, mode_t mode) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) die("create " + path);
    std::vector<std::uint64_t> buf((std::min<std::size_t>(size, 8 << 20) + 7) / 8);
    std::size_t left = size;
    while (left > 0) {
        for (auto& v : buf) v = rng();
        std::size_t n = std::min(left, buf.size() * 8);
        if (write(fd, buf.data(), n) != ssize_t(n)) die("write " + path);
        left -= n;
    }
    close(fd);
}

void mkdirs(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) die("mkdir " + path);
}

std::vector<std::string> names(const std::string& dir) {
    std::vector<std::string> out;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) out.push_back(e->d_name);
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// ---- trees ----

// 20,000 small files, 0 to 16 KiB, 100 to a folder, folders three deep.
void makeSmall(const std::string& root) {
    mkdirs(root);
    for (int a = 0; a < 10; ++a) {
        std::string pa = root + "/dir " + std::to_string(a);
        mkdirs(pa);
        for (int b = 0; b < 4; ++b) {
            std::string pb = pa + "/sub" + std::to_string(b);
            mkdirs(pb);
            for (int c = 0; c < 5; ++c) {
                std::string pc = pb + "/leaf." + std::to_string(c);
                mkdirs(pc);
                for (int f = 0; f < 100; ++f)
                    writeFile(pc + "/file " + std::to_string(f) + ".dat", rng() % 16385, f % 7 ? 0644 : 0600);
            }
        }
    }
}

void makeLarge(const std::string& root) {
    mkdirs(root);
    for (int i = 0; i < 3; ++i) writeFile(root + "/large" + std::to_string(i) + ".bin", 200u << 20, 0644);
}

// Small files, middle-sized ones, one large file, links and a sparse file.
void makeMix(const std::string& root) {
    mkdirs(root);
    for (int a = 0; a < 25; ++a) {
        std::string pa = root + "/folder" + std::to_string(a);
        mkdirs(pa);
        for (int f = 0; f < 200; ++f) writeFile(pa + "/f" + std::to_string(f), rng() % 65536, 0644);
        writeFile(pa + "/middle.bin", (1u << 20) + rng() % (8u << 20), 0644);
        if (symlink("middle.bin", (pa + "/link").c_str()) != 0) die("symlink");
    }
    writeFile(root + "/large.bin", 200u << 20, 0644);
    int fd = open((root + "/sparse.img").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || pwrite(fd, "data", 4, 100 << 20) != 4 || ftruncate(fd, 1ll << 30) != 0) die("sparse");
    close(fd);
}

// One folder of 20,000 small files.
void makeFlat(const std::string& root) {
    mkdirs(root);
    mkdirs(root + "/flat");
    for (int f = 0; f < 20000; ++f)
        writeFile(root + "/flat/file " + std::to_string(f) + ".dat", rng() % 16385, f % 7 ? 0644 : 0600);
}

// 20,000 small files at the top level of the volume.
void makeTop(const std::string& root) {
    mkdirs(root);
    for (int f = 0; f < 20000; ++f)
        writeFile(root + "/IMG_" + std::to_string(10000 + f) + ".dat", rng() % 16385, f % 7 ? 0644 : 0600);
}

// ---- checks ----

bool sameFileBytes(const std::string& a, const std::string& b) {
    int fa = open(a.c_str(), O_RDONLY), fb = open(b.c_str(), O_RDONLY);
    bool same = fa >= 0 && fb >= 0;
    static std::vector<char> ba(1 << 20), bb(1 << 20);
    while (same) {
        ssize_t na = read(fa, ba.data(), ba.size());
        ssize_t nb = read(fb, bb.data(), bb.size());
        if (na != nb || na < 0) same = false;
        else if (na == 0) break;
        else same = std::memcmp(ba.data(), bb.data(), std::size_t(na)) == 0;
    }
    if (fa >= 0) close(fa);
    if (fb >= 0) close(fb);
    return same;
}

bool sameContents(const std::string& a, const std::string& b, std::string& why);

// Same kinds, permission bits, modification times, bytes and link targets.
bool sameTree(const std::string& a, const std::string& b, std::string& why) {
    struct stat sa, sb;
    if (lstat(a.c_str(), &sa) != 0 || lstat(b.c_str(), &sb) != 0) return why = "missing " + b, false;
    if ((sa.st_mode & S_IFMT) != (sb.st_mode & S_IFMT)) return why = "kind of " + b, false;
    if (!S_ISLNK(sa.st_mode)) {
        if ((sa.st_mode & 07777) != (sb.st_mode & 07777)) return why = "modes of " + b, false;
        if (sa.st_mtim.tv_sec != sb.st_mtim.tv_sec || sa.st_mtim.tv_nsec != sb.st_mtim.tv_nsec)
            return why = "time of " + b, false;
    }
    if (S_ISREG(sa.st_mode)) {
        if (sa.st_size != sb.st_size || !sameFileBytes(a, b)) return why = "bytes of " + b, false;
    } else if (S_ISLNK(sa.st_mode)) {
        char la[4096], lb[4096];
        ssize_t na = readlink(a.c_str(), la, sizeof la), nb = readlink(b.c_str(), lb, sizeof lb);
        if (na != nb || std::memcmp(la, lb, std::size_t(na)) != 0) return why = "target of " + b, false;
    } else if (S_ISDIR(sa.st_mode)) {
        return sameContents(a, b, why);
    }
    return true;
}

// The entries of two folders, and everything below them (the folders' own
// attributes are not compared: the destination folder is made by the bench).
bool sameContents(const std::string& a, const std::string& b, std::string& why) {
    auto na = names(a), nb = names(b);
    if (na != nb) return why = "entries of " + b, false;
    for (const auto& n : na)
        if (!sameTree(a + "/" + n, b + "/" + n, why)) return false;
    return true;
}

// Reads every file below path to its end: the source is in the cache, for
// every side alike.
void readAll(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        for (const auto& n : names(path)) readAll(path + "/" + n);
    } else if (S_ISREG(st.st_mode)) {
        static std::vector<char> buf(1 << 20);
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        while (read(fd, buf.data(), buf.size()) > 0) {
        }
        close(fd);
    }
}

// ---- the engine as the screen drives it ----

struct Screen : DoCopyFilesDelegate {
    bool finished = false;
    int failed = 0;
    std::uint64_t reports = 0;
    void topCopyProgress(float) override { ++reports; }
    void topCopyFilePath(const std::string&) override { ++reports; }
    void copyFileError() override { ++reports; }
    void topCopyFinished(int failedCount) override {
        finished = true;
        failed = failedCount;
    }
};

struct EngineRun {
    double seconds = 0;
    double longestStall = 0;  // the longest time the main loop did not come round
    std::uint64_t reports = 0;
};

EngineRun runEngine(const DoCopyFiles::Nodes& nodes, const std::string& dest) {
    Screen screen;
    DoCopyFiles engine;
    engine.setDelegate(&screen);
    EngineRun r;
    auto last = Clock::now();
    const auto t0 = Clock::now();
    engine.doCopyFilesWithArr(nodes, dest);
    const bool ended = kit::runUntil(
        [&] {
            const auto now = Clock::now();
            r.longestStall = std::max(r.longestStall, std::chrono::duration<double>(now - last).count());
            last = now;
            return screen.finished;
        },
        3600);
    r.seconds = since(t0);
    if (!ended) die("the engine did not finish");
    if (screen.failed) die("the engine reported " + std::to_string(screen.failed) + " failed items");
    r.reports = screen.reports;
    engine.setDelegate(nullptr);
    return r;
}

FileNode::Ptr nodeFor(const std::string& path, const std::string& name, int64_t state) {
    struct stat st;
    lstat(path.c_str(), &st);
    auto n = FileNode::initWithPath(path, name, S_ISDIR(st.st_mode), nullptr);
    n->setState(state);
    return n;
}

// The whole volume: every top-level entry checked.
DoCopyFiles::Nodes wholeVolume(const std::string& src) {
    DoCopyFiles::Nodes nodes;
    for (const auto& n : names(src)) nodes.push_back(nodeFor(src + "/" + n, n, FileNodeSelectStateOn));
    return nodes;
}

// The whole volume as the tab lists it when nothing was chosen: its top level
// read by the tree controller into a list, every entry checked.
DoCopyFiles::Nodes listedLikeTheTab(const std::string& src) {
    struct Ends : ControllerDelegate {
        bool listed = false;
        void copyFileScanFiles() override { listed = true; }
    } ends;
    Controller controller;
    controller.setADelegate(&ends);
    FileNodeArray arr = makeFileNodeArray();
    controller.eumeAllRootFileNodeWithRootArr(arr, src, true, true);
    if (!kit::runUntil([&] { return ends.listed; }, 600)) die("the listing did not end");
    // The end is reported from the listing's queue; the list is complete on
    // the main thread once the controller no longer lists.
    kit::runUntil([&] { return !controller.isListing(); }, 60);
    controller.setADelegate(nullptr);
    return *arr;
}

// The one folder partly checked, each of its files checked on its own.
DoCopyFiles::Nodes everyFileChecked(const std::string& src) {
    auto folder = nodeFor(src + "/flat", "flat", FileNodeSelectStateMixed);
    for (const auto& n : names(src + "/flat")) {
        auto child = nodeFor(src + "/flat/" + n, n, FileNodeSelectStateOn);
        child->setFather(folder);
        folder->children().push_back(child);
    }
    return {folder};
}

// ---- rounds and figures ----

struct Side {
    Side(std::string l, std::function<double(const std::string&)> r, std::string e)
        : label(std::move(l)), run(std::move(r)), expected(std::move(e)) {}
    std::string label;
    // Runs once into the fresh destination and returns its time.
    std::function<double(const std::string& dest)> run;
    // What the destination must hold: the contents of this folder.
    std::string expected;
    // Where the run puts its copy in the destination (the destination itself
    // unless set).
    std::function<std::string(const std::string& dest)> outputOf;
    Stats times;
    double longestStall = 0;
};

std::string defaultWorkFolder() {
    if (const char* t = std::getenv("TMPDIR"); t && *t) return std::string(t) + "/pelorin-copy-bench";
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return "/tmp/pelorin-copy-bench";
    std::string p(exe, std::size_t(n));
    p = p.substr(0, p.rfind('/'));  // .../build-x/bench
    p = p.substr(0, p.rfind('/'));  // .../build-x
    return p + "/bench-tmp";
}

void settle(double seconds) {
    sync();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Runs every side once per round, in the order A B C, then C B A; verifies and
// removes each round's outputs outside the timed windows.
bool runRounds(const std::string& caseName, const std::string& work, const std::string& src, std::vector<Side>& sides,
               int rounds, double settleSeconds) {
    bool allEqual = true;
    for (int round = 0; round < rounds; ++round) {
        std::vector<std::string> outputs;
        for (std::size_t k = 0; k < sides.size(); ++k) {
            const std::size_t at = round % 2 ? sides.size() - 1 - k : k;
            Side& side = sides[at];
            const std::string dest =
                work + "/out-" + caseName + "-" + std::to_string(round) + "-" + std::to_string(at);
            mkdirs(dest);
            outputs.push_back(dest);
            sync();
            readAll(src);
            const double s = side.run(dest);
            side.times.values.push_back(s);
            std::string why;
            if (!sameContents(side.expected, side.outputOf ? side.outputOf(dest) : dest, why)) {
                std::printf("  %s, %s, round %d: DIFFERENT: %s\n", caseName.c_str(), side.label.c_str(), round,
                            why.c_str());
                allEqual = false;
            }
        }
        for (const auto& o : outputs) removeTree(o);
        settle(settleSeconds);
    }
    return allEqual;
}

void printSide(const Side& side, const Side& reference) {
    std::printf("  %-22s min %8.3f  median %8.3f  max %8.3f s", side.label.c_str(), side.times.min(),
                side.times.median(), side.times.max());
    if (&side != &reference) {
        const Stats r = pairedRatios(side.times, reference.times);
        std::printf("   ratio %6.3f (%.3f-%.3f)", r.median(), r.min(), r.max());
    }
    if (side.longestStall > 0) std::printf("   main loop stall max %5.1f ms", side.longestStall * 1000);
    std::printf("\n");
}

// A line of /proc/self/status ("VmRSS", "VmHWM"), in KiB.
long statusKiB(const char* key) {
    long value = 0;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        const std::size_t n = std::strlen(key);
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, key, n) == 0 && line[n] == ':') value = std::atol(line + n + 1);
        std::fclose(f);
    }
    return value;
}

// The memory one run takes per item, in a process of its own: its resident
// size before the nodes are made, and its peak once they were made and copied.
// Prints "items before peak" (KiB).
int memoryRun(const std::string& caseName, const std::string& src, const std::string& dest) {
    kit::ensureMainThreadApp();
    const long before = statusKiB("VmRSS");
    const bool every = caseName == "every";
    DoCopyFiles::Nodes nodes = every ? everyFileChecked(src) : wholeVolume(src);
    const std::size_t items = every ? nodes[0]->children().size() : nodes.size();
    runEngine(nodes, dest);
    std::printf("%zu %ld %ld\n", items, before, statusKiB("VmHWM"));
    return 0;
}

// Runs memoryRun in a new process of this program; KiB per item, or -1.
double memoryPerItem(const std::string& caseName, const std::string& src, const std::string& dest) {
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return -1;
    exe[n] = 0;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) die("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    const std::vector<std::string> args{exe, "--memory-run", caseName, src, dest};
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    const int spawned = posix_spawn(&pid, exe, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string out;
    char buf[256];
    ssize_t got;
    while ((got = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, std::size_t(got));
    close(fds[0]);
    if (spawned != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    unsigned long items = 0;
    long before = 0, peak = 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(out.c_str(), "%lu %ld %ld", &items, &before, &peak) != 3 || items == 0)
        return -1;
    return double(peak - before) / double(items);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--memory-run") == 0) return memoryRun(argv[2], argv[3], argv[4]);
    int rounds = 5;
    double settleSeconds = 2;
    int arg = 1;
    while (arg < argc && argv[arg][0] == '-') {
        const bool known = std::strcmp(argv[arg], "-r") == 0 || std::strcmp(argv[arg], "--settle") == 0;
        if (!known || arg + 1 >= argc) {
            std::fprintf(stderr,
                         "usage: %s [-r rounds] [--settle seconds] [work-folder [small|large|mix|every|top|button]...]\n",
                         argv[0]);
            return 2;
        }
        if (argv[arg][1] == 'r') rounds = std::max(1, std::atoi(argv[arg + 1]));
        else settleSeconds = std::max(0.0, std::atof(argv[arg + 1]));
        arg += 2;
    }
    std::string work = arg < argc ? argv[arg++] : defaultWorkFolder();
    std::vector<std::string> wanted;
    for (; arg < argc; ++arg) wanted.push_back(argv[arg]);
    mkdirs(work);
    // The button case needs the tab's window (off screen); the others run
    // the main loop alike either way.
    screenbench::startApp(argv[0]);

    struct Case {
        const char* name;
        const char* what;
        std::function<void(const std::string&)> make;
    };
    const std::vector<Case> cases = {{"small", "20,000 small files, whole volume", makeSmall},
                                     {"large", "3 x 200 MB", makeLarge},
                                     {"mix", "mixed tree", makeMix},
                                     {"every", "folder of 20,000 files", makeFlat},
                                     {"top", "whole volume, 20,000 files at its top level, listed as the tab does",
                                      makeTop},
                                     {"button", "the same volume from the tab's button to the success view", makeTop}};
    bool allEqual = true;
    std::printf("%d rounds, each side in turn (A B, then B A); ratio = the median (min-max) of the rounds' ratios "
                "to cp -a run in the same round; under 1 means the engine is faster\n",
                rounds);
    for (const auto& c : cases) {
        if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), c.name) == wanted.end()) continue;
        const std::string name = c.name;
        const std::string src = work + "/src-" + name;
        removeTree(src);
        c.make(src);
        settle(settleSeconds);

        std::vector<Side> sides;
        sides.emplace_back("cp -a", [&](const std::string& dest) {
            const auto t0 = Clock::now();
            if (run({"cp", "-a", "--", src + "/.", dest}) != 0) die("cp -a failed");
            return since(t0);
        }, src);
        if (name == "every") {
            sides.emplace_back("engine, whole folder", nullptr, src);
            sides.emplace_back("engine, every file", nullptr, src + "/flat");
        } else {
            sides.emplace_back("engine", nullptr, src);
        }
        for (auto& side : sides) {
            if (side.label == "cp -a") continue;
            const bool every = side.label == "engine, every file";
            Side* self = &side;
            side.run = [&, self, every](const std::string& dest) {
                // The top case's nodes come from the tab's top-level listing,
                // timed with the copy as the user waits for both.
                const auto t0 = Clock::now();
                DoCopyFiles::Nodes nodes =
                    every ? everyFileChecked(src) : name == "top" ? listedLikeTheTab(src) : wholeVolume(src);
                const double listing = since(t0);
                EngineRun r = runEngine(nodes, dest);
                self->longestStall = std::max(self->longestStall, r.longestStall);
                return name == "top" ? listing + r.seconds : r.seconds;
            };
        }
        if (name == "button") {
            Side& side = sides[1];
            side.label = "from the button";
            side.outputOf = [](const std::string& dest) { return screenbench::onlyEntry(dest); };
            side.run = [&](const std::string& dest) {
                screenbench::ScreenInWindow<DiskCopyViewController, DiskCopyVCDelegate> tab("DiskCopyViewController");
                screenbench::chooseBoth(*tab.screen, {work, src, dest});
                kit::runFor(0.2);
                screenbench::ButtonRun r;
                if (!screenbench::runFromButton(*tab.screen, r) || !r.success) die("the run from the button failed");
                kit::runUntil([&] { return !tab.screen->isWorking(); }, 60);
                side.longestStall = std::max(side.longestStall, r.worstWait / 1000);
                return r.total;
            };
        }
        const std::string loadBefore = loadAverage();
        allEqual = runRounds(name, work, src, sides, rounds, settleSeconds) && allEqual;
        const std::string loadAfter = loadAverage();

        std::printf("%s (%s)\n", c.name, c.what);
        for (const auto& side : sides) printSide(side, sides[0]);
        if (name == "every") {
            const Stats r = pairedRatios(sides[2].times, sides[1].times);
            std::printf("  every file / whole folder: %.3f (%.3f-%.3f)\n", r.median(), r.min(), r.max());
        }
        if (name == "every" || name == "top") {
            const std::string dest = work + "/out-" + name + "-memory";
            mkdirs(dest);
            const double perItem = memoryPerItem(name, src, dest);
            removeTree(dest);
            if (perItem < 0) std::printf("  memory per item: could not be measured\n");
            else std::printf("  memory per item: %.3f KiB (peak resident size of one run)\n", perItem);
        }
        std::printf("  load average: before %s, after %s\n", loadBefore.c_str(), loadAfter.c_str());
        std::fflush(stdout);
        removeTree(src);
    }
    return allEqual ? 0 : 1;
}
