// Times the image engine against the tools a user would otherwise run:
//   - the zip route (MakeDmg::doZipWithPath, as the screen starts it) against
//     "zip -r -y <archive> <items>" run directly, output to /dev/null, and with
//     its output on a pipe (what any reader of zip's progress pays);
//   - the image route's copy step (from the engine's beginToCopyDmg to its end,
//     which comes once the volume is ejected) against "cp -a <items> <folder>"
//     on the same file system.
//
//   dmg_bench [-r rounds] [--settle seconds] [work folder] [--tools <folder of sim-* tools>]
//
// Fairness, as in copy_bench: each round runs every side once, in the order
// A B C, then C B A; before each timed run the disk is synced and the items
// read again; every run writes a fresh output, which is checked (the archive's
// entries and its integrity; the image's and the folder's contents) and removed
// outside the timed windows, followed by a sync and a pause. Prints min /
// median / max per side, the median (min-max) of each round's ratio to the
// tool's run of the same round, and the load average before and after.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Stats.h"
#include "Disk/FileNode.h"
#include "ZipDmg/MakeDmg.h"
#include "kit/RunLoop.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"
#include "sim/DiskImage.h"
#include "sim/Scenario.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Content that compresses about as well as ordinary documents do.
void writeData(const std::string& path, size_t bytes, std::mt19937_64& rng) {
    std::string data(bytes, '\0');
    static const char words[] = "the quick brown fox jumps over a lazy dog while numbers 0123456789 ";
    for (size_t i = 0; i < bytes; i += 8) {
        uint64_t r = rng();
        for (size_t k = 0; k < 8 && i + k < bytes; ++k)
            data[i + k] = (r & 0x300) ? words[(i + k + (r & 7)) % (sizeof words - 1)] : static_cast<char>(r >> (k * 8));
    }
    std::ofstream(path, std::ios::binary).write(data.data(), data.size());
}

// Top-level items of a generated tree.
std::vector<std::string> makeTree(const std::string& dir, int smallFiles, int bigFiles, size_t bigBytes) {
    std::mt19937_64 rng(42);
    fs::create_directories(dir);
    std::vector<std::string> items;
    if (smallFiles) {
        for (int top = 0; top < 4; ++top) {
            std::string t = dir + "/folder" + std::to_string(top);
            items.push_back(t);
            for (int i = 0; i < smallFiles / 4; ++i) {
                std::string sub = t + "/d" + std::to_string(i % 25) + "/e" + std::to_string(i % 7);
                fs::create_directories(sub);
                writeData(sub + "/file" + std::to_string(i) + ".txt", 200 + rng() % 6000, rng);
            }
        }
    }
    for (int i = 0; i < bigFiles; ++i) {
        std::string f = dir + "/big" + std::to_string(i) + ".bin";
        writeData(f, bigBytes, rng);
        items.push_back(f);
    }
    return items;
}

struct Output {
    int status = -1;
    std::string text;
};

Output shell(const std::string& line) {
    Output out;
    FILE* p = ::popen(line.c_str(), "r");
    if (!p) return out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.text.append(buf, n);
    int st = ::pclose(p);
    out.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}

std::string quoteAll(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& i : items) {
        out += ' ';
        out += kit::shellQuote(i);
    }
    return out;
}

void readAll(const std::string& path) {
    std::error_code ec;
    auto st = fs::symlink_status(path, ec);
    if (fs::is_directory(st)) {
        for (const auto& e : fs::directory_iterator(path, ec)) readAll(e.path().string());
    } else if (fs::is_regular_file(st)) {
        static std::vector<char> buf(1 << 20);
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        while (::read(fd, buf.data(), buf.size()) > 0) {
        }
        ::close(fd);
    }
}

void syncAndRead(const std::vector<std::string>& items) {
    ::sync();
    for (const auto& i : items) readAll(i);
}

void settle(double seconds) {
    ::sync();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Every entry below a folder, relative, folders with a trailing "/", with the
// bytes of each file.
std::set<std::string> treeOf(const std::string& dir) {
    std::set<std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::string rel = fs::relative(it->path(), dir).string();
        if (it->is_symlink()) out.insert(rel + " -> " + fs::read_symlink(it->path()).string());
        else if (it->is_directory()) out.insert(rel + "/");
        else {
            std::ifstream in(it->path(), std::ios::binary);
            std::string data((std::istreambuf_iterator<char>(in)), {});
            out.insert(rel + " " + std::to_string(std::hash<std::string>()(data)));
        }
    }
    return out;
}

// The folder's trees of the items, as they are laid out at a copy's top level.
std::set<std::string> itemsTree(const std::vector<std::string>& items) {
    std::set<std::string> out;
    for (const auto& i : items) {
        const std::string name = fs::path(i).filename().string();
        if (fs::is_directory(fs::symlink_status(i))) {
            out.insert(name + "/");
            for (const auto& e : treeOf(i)) out.insert(name + "/" + e);
        } else {
            std::ifstream in(i, std::ios::binary);
            std::string data((std::istreambuf_iterator<char>(in)), {});
            out.insert(name + " " + std::to_string(std::hash<std::string>()(data)));
        }
    }
    return out;
}

// The entry names zip stores for the items: absolute paths less the leading "/".
std::set<std::string> expectedZipEntries(const std::vector<std::string>& items) {
    std::set<std::string> out;
    for (const auto& i : items) {
        const std::string top = i.substr(1);
        if (fs::is_directory(fs::symlink_status(i))) {
            out.insert(top + "/");
            for (auto it = fs::recursive_directory_iterator(i); it != fs::recursive_directory_iterator(); ++it) {
                std::string rel = fs::relative(it->path(), i).string();
                out.insert(top + "/" + rel + (it->is_directory() && !it->is_symlink() ? "/" : ""));
            }
        } else {
            out.insert(top);
        }
    }
    return out;
}

std::string checkArchive(const std::string& archive, const std::set<std::string>& expected) {
    if (shell("unzip -tq " + kit::shellQuote(archive) + " > /dev/null 2>&1").status != 0) return "fails its test";
    Output list = shell("unzip -Z1 " + kit::shellQuote(archive));
    std::set<std::string> got;
    size_t start = 0;
    while (start < list.text.size()) {
        size_t end = list.text.find('\n', start);
        if (end == std::string::npos) end = list.text.size();
        if (end > start) got.insert(list.text.substr(start, end - start));
        start = end + 1;
    }
    if (got != expected)
        return "holds " + std::to_string(got.size()) + " entries, " + std::to_string(expected.size()) + " expected";
    return "";
}

class Waiter : public MakeDmgDelegate {
public:
    void copyFileToDmgWithFileName(const std::string&, float p) override {
        if (p >= 100) done = true;
    }
    void makeDmgFailWithError(const std::optional<std::string>&) override { failed = true; }
    void beginToCopyDmg() override {
        if (onBegin) onBegin();
    }
    bool done = false, failed = false;
    std::function<void()> onBegin;
};

struct Side {
    Side(std::string l, std::function<double(const std::string&)> r, std::function<std::string(const std::string&)> c)
        : label(std::move(l)), run(std::move(r)), check(std::move(c)) {}
    std::string label;
    // One timed run into a fresh output named by `tag`; returns its time, or a
    // negative value when it failed. `check` then says what is wrong ("" when
    // the output is right) and removes it.
    std::function<double(const std::string& tag)> run;
    std::function<std::string(const std::string& tag)> check;
    Stats times;
};

bool runRounds(const std::string& name, std::vector<Side>& sides, int rounds, double settleSeconds) {
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        std::vector<std::pair<Side*, std::string>> made;
        for (size_t k = 0; k < sides.size(); ++k) {
            const size_t which = round % 2 ? sides.size() - 1 - k : k;
            Side& side = sides[which];
            const std::string tag = std::to_string(round) + "-" + std::to_string(which);
            double t = side.run(tag);
            if (t < 0) {
                std::printf("  %s, %s, round %d: FAILED\n", name.c_str(), side.label.c_str(), round);
                ok = false;
            }
            side.times.values.push_back(t);
            made.emplace_back(&side, tag);
        }
        for (auto& [side, tag] : made) {
            std::string why = side->check(tag);
            if (!why.empty()) {
                std::printf("  %s, %s, round %d: WRONG OUTPUT: %s\n", name.c_str(), side->label.c_str(), round,
                            why.c_str());
                ok = false;
            }
        }
        settle(settleSeconds);
    }
    return ok;
}

// A failed run's time is negative: its round gives no ratio, its time no figure.
void print(const std::string& title, const std::vector<Side>& sides, size_t reference, const std::string& loadBefore) {
    std::printf("%s\n", title.c_str());
    for (const auto& s : sides) {
        Stats times;
        for (double t : s.times.values)
            if (t >= 0) times.values.push_back(t);
        if (times.values.empty()) continue;
        const Stats ratios = pairedRatios(s.times, sides[reference].times);
        std::printf("  %-16s min %8.3f  median %8.3f  max %8.3f s", s.label.c_str(), times.min(), times.median(),
                    times.max());
        if (&s != &sides[reference] && !ratios.values.empty())
            std::printf("   ratio %6.3f (%.3f-%.3f)", ratios.median(), ratios.min(), ratios.max());
        std::printf("\n");
    }
    std::printf("  load average: before %s, after %s\n", loadBefore.c_str(), loadAverage().c_str());
    std::fflush(stdout);
}

bool zipBench(const std::string& name, const std::vector<std::string>& items, const std::string& out, int rounds,
              double settleSeconds) {
    auto engine = std::make_shared<MakeDmg>();
    Waiter waiter;
    engine->setMakeDmgDelegate(&waiter);
    const std::set<std::string> expected = expectedZipEntries(items);
    auto archive = [&](const std::string& tag) { return out + "/bench-" + tag + ".zip"; };
    auto check = [&](const std::string& tag) {
        std::string why = checkArchive(archive(tag), expected);
        fs::remove(archive(tag));
        return why;
    };
    auto direct = [&](const std::string& pipe) {
        return [&, pipe](const std::string& tag) {
            syncAndRead(items);
            const auto t0 = Clock::now();
            int status = shell("/usr/bin/zip -r -y " + kit::shellQuote(archive(tag)) + quoteAll(items) + pipe).status;
            const double t = since(t0);
            return status == 0 ? t : -1;
        };
    };
    std::vector<Side> sides;
    sides.emplace_back("engine",
                     [&](const std::string& tag) {
                         std::vector<FileNode::Ptr> nodes;
                         for (const auto& i : items)
                             nodes.push_back(FileNode::initWithPath(i, fs::path(i).filename().string(),
                                                                    fs::is_directory(fs::symlink_status(i)), nullptr));
                         waiter = Waiter();
                         syncAndRead(items);
                         const auto t0 = Clock::now();
                         engine->doZipWithPath(archive(tag), nodes);
                         kit::runUntil([&] { return waiter.done || waiter.failed; }, 3600);
                         const double t = since(t0);
                         return waiter.done ? t : -1;
                     },
                     check);
    sides.emplace_back("zip -r -y", direct(" > /dev/null"), check);
    sides.emplace_back("zip -r -y | cat", direct(" | cat > /dev/null"), check);
    const std::string load = loadAverage();
    bool ok = runRounds("zip " + name, sides, rounds, settleSeconds);
    print("zip route, " + name + " (ratio against zip -r -y)", sides, 1, load);
    engine->setMakeDmgDelegate(nullptr);
    return ok;
}

bool copyBench(const std::string& name, const std::vector<std::string>& items, const std::string& out, int rounds,
               double settleSeconds) {
    auto engine = std::make_shared<MakeDmg>();
    Waiter waiter;
    engine->setMakeDmgDelegate(&waiter);
    const std::string dest = kit::sysPath("/Volumes/USB");
    const std::set<std::string> expected = itemsTree(items);
    auto image = [&](const std::string& tag) { return dest + "/bench" + tag + ".dmg"; };
    auto folder = [&](const std::string& tag) { return out + "/cp-" + tag; };

    std::vector<Side> sides;
    sides.emplace_back("engine",
                     [&](const std::string& tag) {
                         waiter = Waiter();
                         Clock::time_point t0;
                         waiter.onBegin = [&] {
                             // Made and mounted: the copy step starts here.
                             syncAndRead(items);
                             t0 = Clock::now();
                             engine->doCopyFilesToDmgWithDmg(items);
                         };
                         engine->makeTmpDmgWithPath(dest, "bench" + tag, 0);
                         kit::runUntil([&] { return waiter.done || waiter.failed; }, 3600);
                         const double t = since(t0);
                         return waiter.done ? t : -1;
                     },
                     [&](const std::string& tag) {
                         std::string contents = sim::diskImageContents(kit::sysRoot(), image(tag));
                         std::string why;
                         if (contents.empty()) why = "no image contents";
                         else if (treeOf(contents) != expected) why = "the image does not hold the items";
                         if (!contents.empty()) fs::remove_all(contents);
                         fs::remove(image(tag));
                         return why;
                     });
    sides.emplace_back("cp -a",
                     [&](const std::string& tag) {
                         fs::create_directories(folder(tag));
                         syncAndRead(items);
                         const auto t0 = Clock::now();
                         int status = shell("cp -a" + quoteAll(items) + " " + kit::shellQuote(folder(tag))).status;
                         const double t = since(t0);
                         return status == 0 ? t : -1;
                     },
                     [&](const std::string& tag) {
                         std::string why = treeOf(folder(tag)) == expected ? "" : "the folder does not hold the items";
                         fs::remove_all(folder(tag));
                         return why;
                     });
    const std::string load = loadAverage();
    bool ok = runRounds("copy " + name, sides, rounds, settleSeconds);
    print("image route copy step, " + name + " (ratio against cp -a; the engine's time includes the eject)", sides,
          1, load);
    engine->setMakeDmgDelegate(nullptr);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    std::string base, tools = fs::path(argv[0]).parent_path().parent_path().string();
    int rounds = 5;
    double settleSeconds = 2;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--tools" && i + 1 < argc) tools = argv[++i];
        else if (a == "-r" && i + 1 < argc) rounds = std::max(1, std::atoi(argv[++i]));
        else if (a == "--settle" && i + 1 < argc) settleSeconds = std::max(0.0, std::atof(argv[++i]));
        else if (a[0] != '-' && base.empty()) base = a;
        else {
            std::fprintf(stderr, "usage: %s [-r rounds] [--settle seconds] [--tools folder] [work-folder]\n", argv[0]);
            return 2;
        }
    }
    if (base.empty()) base = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    std::string work = base + "/pelorin-dmg-bench-" + std::to_string(::getpid());
    std::string root = work + "/root";
    fs::create_directories(root);
    kit::ensureMainThreadApp();
    std::printf("%d rounds, each side in turn (A B C, then C B A); ratio = the median (min-max) of the rounds' ratios "
                "to the tool run in the same round; under 1 means the engine is faster\n",
                rounds);
    bool ok = true;

    // The zip route runs the host's zip directly; the image route needs the
    // simulated machine for its disk-image tool and disk tool.
    {
        auto small = makeTree(work + "/zip-small", 20000, 0, 0);
        auto large = makeTree(work + "/zip-large", 0, 2, 40 << 20);
        auto mixed = makeTree(work + "/zip-mixed", 1000, 1, 20 << 20);
        settle(settleSeconds);
        ok = zipBench("20000 small files", small, work, rounds, settleSeconds) && ok;
        ok = zipBench("2 x 40 MB", large, work, rounds, settleSeconds) && ok;
        ok = zipBench("mixed", mixed, work, rounds, settleSeconds) && ok;
    }

    std::string error;
    if (!fs::exists(tools + "/sim-hdiutil")) {
        std::fprintf(stderr, "no stand-in tools in %s (give --tools)\n", tools.c_str());
        return 1;
    }
    if (!sim::createRoot("demo", root, tools, &error)) {
        std::fprintf(stderr, "can't make the simulated machine: %s\n", error.c_str());
        return 1;
    }
    ::setenv("PELORIN_SYSROOT", root.c_str(), 1);
    std::string src = kit::sysPath("/Volumes/Photos/bench");
    auto small = makeTree(src + "/small", 20000, 0, 0);
    auto large = makeTree(src + "/large", 0, 3, 200 << 20);
    auto mixed = makeTree(src + "/mixed", 5000, 2, 50 << 20);
    settle(settleSeconds);
    ok = copyBench("20000 small files", small, work, rounds, settleSeconds) && ok;
    ok = copyBench("3 x 200 MB", large, work, rounds, settleSeconds) && ok;
    ok = copyBench("mixed", mixed, work, rounds, settleSeconds) && ok;

    ::unsetenv("PELORIN_SYSROOT");
    fs::remove_all(work);
    return ok ? 0 : 1;
}
