// Times the file browser on generated trees of 100,000 files and prints:
//   - the top-level listing of a folder of 100,000 entries ÷ `find DIR -maxdepth 1
//     -printf '%s %y %p\n'` (which, like the listing, reads each entry's size and
//     kind; its output read through a pipe), and the same folder opened as a child;
//   - the selection count of a nested tree of files that hold real data (every
//     top-level item selected but one file, so each of the ten top-level
//     folders is measured with its own `du -sh`) ÷ one `du -s DIR`, and the
//     count of one chosen folder ÷ one `du -s` of that folder;
//   - the count checked against the real size of what it counts (`du -s -B1`):
//     it may differ only by what the `du -sh` texts it reads round away (up to
//     a tenth of their last unit, and their units read as 1000 rather than
//     1024); the difference is printed;
//   - the worst gap of the main thread (the longest stretch in which it ran no
//     event-loop pass) while each listing ran, and the load average.
//
//   list_bench [-r rounds] [work folder]
//
// The work folder defaults to $TMPDIR, else /tmp. Each measure runs `rounds`
// times (default 5) beside its baseline, in turn (A B, then B A); both sides
// are timed alike, from their start until their whole result is in the
// caller's hands. Prints the median times, the median (min-max) of the
// rounds' ratios and the load average.
#include <fcntl.h>
#include <time.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "Stats.h"
#include "DiskList/Controller.h"
#include "DiskList/GetFilesSize.h"
#include "kit/RunLoop.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::mt19937_64 rng(20240611);

void die(const std::string& what) {
    std::fprintf(stderr, "list_bench: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(2);
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Runs a command with its standard output read to the end through a pipe;
// returns the wall time (and the output in *out).
double timeCommand(const std::vector<std::string>& args, std::string* out = nullptr) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) die("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) die("spawn " + args[0]);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    char buf[65536];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
        if (out) out->append(buf, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const double t = seconds(Clock::now() - start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "list_bench: %s failed\n", args[0].c_str());
        std::exit(2);
    }
    return t;
}

// A file of the given size. Sparse (no data written) for the listing, which
// reads only sizes; with its data for the count, since a disk-usage count
// counts the blocks that hold data and a sparse file has none.
void makeFile(const std::string& path, off_t size, bool withData = false) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) die("create " + path);
    if (withData) {
        static const std::vector<char> bytes(1 << 16, 'l');
        if (size > 0 && ::write(fd, bytes.data(), static_cast<size_t>(size)) != size) die("write " + path);
    } else if (size > 0 && ::ftruncate(fd, size) != 0) {
        die("size " + path);
    }
    ::close(fd);
}

void makeDir(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) die("mkdir " + path);
}

// 100,000 files in one folder, plus 100 empty folders among them.
void makeWide(const std::string& dir) {
    makeDir(dir);
    for (int i = 0; i < 100000; ++i) makeFile(dir + "/file" + std::to_string(i), static_cast<off_t>(rng() % 65536));
    for (int i = 0; i < 100; ++i) makeDir(dir + "/folder" + std::to_string(i));
}

// 100,000 files: 10 top-level folders of 100 folders of 100 files, and two
// files at the top.
void makeNested(const std::string& dir) {
    makeDir(dir);
    for (int a = 0; a < 10; ++a) {
        const std::string top = dir + "/top" + std::to_string(a);
        makeDir(top);
        for (int b = 0; b < 100; ++b) {
            const std::string mid = top + "/mid" + std::to_string(b);
            makeDir(mid);
            for (int c = 0; c < 100; ++c)
                makeFile(mid + "/f" + std::to_string(c), static_cast<off_t>(1 + rng() % 8192), true);
        }
    }
    makeFile(dir + "/a.txt", 1000, true);
    makeFile(dir + "/b.txt", 2000, true);
}

double threadCpuSeconds() {
    timespec ts {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Runs the main loop until done() holds and notes the longest time between
// two event-loop passes (the loop wakes itself at least every 5 ms): on the
// wall clock, and in the main thread's own processor time, which a busy
// machine's preemption does not inflate.
struct Gaps {
    double wall = 0, cpu = 0;
};
Gaps runWatchingGaps(const std::function<bool()>& done, double limit) {
    Clock::time_point last = Clock::now();
    double lastCpu = threadCpuSeconds();
    Gaps worst;
    const bool ok = kit::runUntil(
        [&] {
            const Clock::time_point now = Clock::now();
            const double cpu = threadCpuSeconds();
            worst.wall = std::max(worst.wall, seconds(now - last));
            worst.cpu = std::max(worst.cpu, cpu - lastCpu);
            last = now;
            lastCpu = cpu;
            return done();
        },
        limit);
    if (!ok) {
        std::fprintf(stderr, "list_bench: timed out\n");
        std::exit(2);
    }
    return worst;
}

struct Ends : ControllerDelegate, GetFilesSizeDelegate {
    std::atomic<int> reloads{0};
    std::atomic<int64_t> size{-1};
    std::atomic<bool> listed{false};
    // A whole-volume listing's end: every entry is in the list by then.
    void copyFileScanFiles() override { listed.store(true); }
    void reloadTreeList() override { reloads.fetch_add(1); }
    void allCopyFilesSize(int64_t bytes) override { size.store(bytes); }
};

// The top-level listing through the tree controller (the whole-volume route,
// whose end is reported once every entry is in the list).
struct Listed {
    double time = 0;
    Gaps gap;
    FileNodeArray arr;
};
Listed listTop(const std::string& dir, std::size_t expect) {
    Controller controller;
    Ends ends;
    controller.setADelegate(&ends);
    Listed r;
    r.arr = makeFileNodeArray();
    const auto start = Clock::now();
    controller.eumeAllRootFileNodeWithRootArr(r.arr, dir, true, true);
    r.gap = runWatchingGaps([&] { return ends.listed.load(); }, 120);
    r.time = seconds(Clock::now() - start);
    if (r.arr->size() != expect) {
        std::fprintf(stderr, "list_bench: listed %zu of %zu\n", r.arr->size(), expect);
        std::exit(2);
    }
    return r;
}

// The folder opened as a child of a node.
Listed listChild(const std::string& dir, std::size_t expect) {
    Controller controller;
    Ends ends;
    controller.setADelegate(&ends);
    FileNode::Ptr folder = FileNode::initWithPath(dir, fs::path(dir).filename().string(), true, nullptr);
    Listed r;
    const auto start = Clock::now();
    controller.getNodeListWithFaterNode(folder);
    r.gap = runWatchingGaps([&] { return ends.reloads.load() > 0; }, 120);
    r.time = seconds(Clock::now() - start);
    if (folder->children().size() != expect) {
        std::fprintf(stderr, "list_bench: opened %zu of %zu\n", folder->children().size(), expect);
        std::exit(2);
    }
    return r;
}

double countSelection(const FileNodeList& top, int64_t* bytes) {
    Ends ends;
    GetFilesSize counter;
    counter.setDelegate(&ends);
    const auto start = Clock::now();
    counter.getAllFilesSizeWithArr(top);
    runWatchingGaps([&] { return ends.size.load() >= 0; }, 300);
    *bytes = ends.size.load();
    return seconds(Clock::now() - start);
}

// The paired ratios of two measures, and the line that shows them.
struct Paired {
    Stats ours, theirs;
    void add(double o, double t) {
        ours.values.push_back(o);
        theirs.values.push_back(t);
    }
};
void line(const char* what, const Paired& p, const char* baseline) {
    const Stats r = pairedRatios(p.ours, p.theirs);
    std::printf("%-40s %8.1f ms   %-32s %8.1f ms   ratio %.3f (%.3f-%.3f)\n", what, p.ours.median() * 1000, baseline,
                p.theirs.median() * 1000, r.median(), r.min(), r.max());
}

// The bytes of a folder's blocks, as du counts them.
long long duBytes(const std::string& dir) {
    std::string out;
    timeCommand({"du", "-s", "-B1", dir}, &out);
    return std::atoll(out.c_str());
}

// What the count can make of a folder of `bytes` bytes: `du -sh` shows it in
// the largest unit that keeps it under 1024, rounded up to a tenth below 10
// and to a whole number above, and the count reads that unit as a power of
// 1000. The least and the most it can come to.
void countRange(long long bytes, double& least, double& most) {
    double value = static_cast<double>(bytes), unit = 1;
    while (value >= 1024) {
        value /= 1024;
        unit *= 1000;
    }
    least = value * unit;
    // Rounded up, possibly into the next unit ("1.0M" for 1023.5K).
    most = std::max((value + (value < 10 ? 0.1 : 1)) * unit, value + 1 >= 1024 ? unit * 1000 : 0);
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    std::string base;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-r") == 0 && i + 1 < argc) rounds = std::max(1, std::atoi(argv[++i]));
        else base = argv[i];
    }
    if (base.empty()) base = std::getenv("TMPDIR") && *std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    const std::string work = base + "/pelorin-list-bench-" + std::to_string(::getpid());
    fs::create_directories(work);
    ::unsetenv("PELORIN_SYSROOT");  // the host's own du
    kit::ensureMainThreadApp();

    const std::string wide = work + "/wide", nested = work + "/nested";
    std::printf("making the trees in %s ...\n", work.c_str());
    makeWide(wide);
    makeNested(nested);
    const std::vector<std::string> find{"find", wide, "-maxdepth", "1", "-printf", "%s %y %p\n"};
    // Warm the caches the same way for both sides.
    timeCommand(find);
    timeCommand({"du", "-s", nested});
    const std::string loadBefore = loadAverage();

    Paired top, child;
    Gaps topGap, childGap;
    for (int r = 0; r < rounds; ++r) {
        const bool toolFirst = r % 2 == 0;
        double findTime = toolFirst ? timeCommand(find) : 0;
        Listed listed = listTop(wide, 100100);
        Listed opened = listChild(wide, 100100);
        if (!toolFirst) findTime = timeCommand(find);
        top.add(listed.time, findTime);
        child.add(opened.time, findTime);
        topGap.wall = std::max(topGap.wall, listed.gap.wall);
        topGap.cpu = std::max(topGap.cpu, listed.gap.cpu);
        childGap.wall = std::max(childGap.wall, opened.gap.wall);
        childGap.cpu = std::max(childGap.cpu, opened.gap.cpu);
    }

    // The nested tree: every top-level item selected but one file, so the ten
    // folders are each measured with du.
    Listed nestedTop = listTop(nested, 12);
    for (const auto& n : *nestedTop.arr)
        if (n->name() == "a.txt") n->setState(FileNodeSelectStateOff);
    Paired count, one;
    int64_t bytes = 0, oneBytes = 0;
    // One folder chosen: top0 alone.
    const FileNodeList chosen = [&] {
        FileNodeList c;
        for (const auto& n : *nestedTop.arr) {
            auto copy = FileNode::initWithPath(n->path(), n->name(), n->isDirectory(), nullptr);
            copy->setSize(n->size());
            copy->setState(n->name() == "top0" ? FileNodeSelectStateOn : FileNodeSelectStateOff);
            c.push_back(copy);
        }
        return c;
    }();
    const std::string top0 = nested + "/top0";
    for (int r = 0; r < rounds; ++r) {
        const bool toolFirst = r % 2 == 0;
        double duTime = toolFirst ? timeCommand({"du", "-s", nested}) : 0;
        const double ours = countSelection(*nestedTop.arr, &bytes);
        if (!toolFirst) duTime = timeCommand({"du", "-s", nested});
        count.add(ours, duTime);
        double duOne = toolFirst ? timeCommand({"du", "-s", top0}) : 0;
        const double oursOne = countSelection(chosen, &oneBytes);
        if (!toolFirst) duOne = timeCommand({"du", "-s", top0});
        one.add(oursOne, duOne);
    }
    // The real size of what is counted: the selected folders' blocks and
    // b.txt's 2000 bytes, against what du -sh's texts allow the count to be.
    long long real = 2000;
    double least = 2000, most = 2000;
    for (int a = 0; a < 10; ++a) {
        const long long b = duBytes(nested + "/top" + std::to_string(a));
        double l = 0, m = 0;
        countRange(b, l, m);
        real += b;
        least += l;
        most += m;
    }
    const double counted = static_cast<double>(bytes);
    const bool countRight = counted >= least && counted <= most;
    const long long realOne = duBytes(top0);
    double leastOne = 0, mostOne = 0;
    countRange(realOne, leastOne, mostOne);
    const bool oneRight = oneBytes >= leastOne && oneBytes <= mostOne;
    const auto percentOff = [](double got, double want) { return want > 0 ? (got - want) / want * 100 : 100.0; };

    std::printf("\nmedian of %d paired rounds\n", rounds);
    line("top-level listing, 100,100 entries", top, "find -maxdepth 1 -printf '%s %y %p'");
    line("folder opened, 100,100 entries", child, "find -maxdepth 1 -printf '%s %y %p'");
    line("selection count, nested 100,000 files", count, "du -s");
    line("selection count, one folder of 10,000", one, "du -s of that folder");
    std::printf("counted %lld bytes; real size (du -s -B1) %lld bytes; the count is %+.2f %% off, the du -sh texts "
                "allow %+.2f %% to %+.2f %%: %s\n",
                static_cast<long long>(bytes), real, percentOff(counted, double(real)), percentOff(least, double(real)),
                percentOff(most, double(real)), countRight ? "right" : "WRONG");
    std::printf("one folder: counted %lld bytes; real size %lld bytes; %+.2f %% off, allowed %+.2f %% to %+.2f %%: %s\n",
                static_cast<long long>(oneBytes), realOne, percentOff(double(oneBytes), double(realOne)),
                percentOff(leastOne, double(realOne)), percentOff(mostOne, double(realOne)),
                oneRight ? "right" : "WRONG");
    std::printf("worst main-thread gap, wall clock: top-level listing %.1f ms, folder opened %.1f ms\n",
                topGap.wall * 1000, childGap.wall * 1000);
    std::printf("worst main-thread gap, its own processor time: top-level listing %.1f ms, folder opened %.1f ms\n",
                topGap.cpu * 1000, childGap.cpu * 1000);
    std::printf("load average: before %s, after %s\n", loadBefore.c_str(), loadAverage().c_str());

    std::error_code ec;
    fs::remove_all(work, ec);
    return countRight && oneRight ? 0 : 1;
}
