// Times the image engine against the tools a user would otherwise run:
//   - the zip route against "zip -r <archive> <items>" run directly (output to /dev/null);
//   - the image route's copy step against "cp -a <items> <folder>".
// Trees are generated under the folder given as the first argument (default
// $TMPDIR or /tmp); each side runs five times, alternating, and the best time
// counts. Prints wall times and ratios (engine / tool). The zip line is also
// timed with its output on a pipe, which is what reading zip's progress costs.
//
//   dmg_bench [work-folder] [--tools <folder holding sim and sim-* tools>]
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "Disk/FileNode.h"
#include "ZipDmg/MakeDmg.h"
#include "kit/RunLoop.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"
#include "sim/DiskImage.h"
#include "sim/Scenario.h"

namespace fs = std::filesystem;

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

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

int shell(const std::string& line) { return std::system(line.c_str()); }

std::string quoteAll(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& i : items) out += " " + kit::shellQuote(i);
    return out;
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

double best(int runs, const std::function<double()>& a, const std::function<double()>& b, double* bestB) {
    double ba = 1e99, bb = 1e99;
    for (int i = 0; i < runs; ++i) {
        if (i % 2 == 0) {
            ba = std::min(ba, a());
            bb = std::min(bb, b());
        } else {
            bb = std::min(bb, b());
            ba = std::min(ba, a());
        }
    }
    *bestB = bb;
    return ba;
}

void zipBench(const std::string& name, const std::vector<std::string>& items, const std::string& out) {
    auto engine = std::make_shared<MakeDmg>();
    Waiter waiter;
    engine->setMakeDmgDelegate(&waiter);
    std::vector<FileNode::Ptr> nodes;
    for (const auto& i : items) nodes.push_back(FileNode::initWithPath(i, fs::path(i).filename().string(), fs::is_directory(i), nullptr));
    std::string archive = out + "/bench.zip";

    auto viaEngine = [&] {
        fs::remove(archive);
        waiter = Waiter();
        double t0 = now();
        engine->doZipWithPath(archive, nodes);
        kit::runUntil([&] { return waiter.done || waiter.failed; }, 3600);
        double t = now() - t0;
        if (waiter.failed) std::cerr << "zip route failed\n";
        return t;
    };
    auto direct = [&] {
        fs::remove(archive);
        double t0 = now();
        if (shell("/usr/bin/zip -r " + kit::shellQuote(archive) + quoteAll(items) + " > /dev/null") != 0)
            std::cerr << "zip failed\n";
        return now() - t0;
    };
    // What any reader of zip's progress pays: the same line with its output on a pipe.
    auto piped = [&] {
        fs::remove(archive);
        double t0 = now();
        if (shell("/usr/bin/zip -r " + kit::shellQuote(archive) + quoteAll(items) + " | cat > /dev/null") != 0)
            std::cerr << "zip failed\n";
        return now() - t0;
    };
    double tool, pipeTool;
    double eng = best(5, viaEngine, direct, &tool);
    best(3, piped, piped, &pipeTool);
    std::printf("zip  %-24s engine %7.3f s   zip -r %7.3f s   ratio %.3f   (zip -r | cat %7.3f s, ratio %.3f)\n",
                name.c_str(), eng, tool, eng / tool, pipeTool, eng / pipeTool);
    fs::remove(archive);
    engine->setMakeDmgDelegate(nullptr);
}

void copyBench(const std::string& name, const std::vector<std::string>& items, int64_t bytes, const std::string& out) {
    auto engine = std::make_shared<MakeDmg>();
    Waiter waiter;
    engine->setMakeDmgDelegate(&waiter);
    std::string dest = kit::sysPath("/Volumes/USB");
    int job = 0;

    auto viaEngine = [&] {
        waiter = Waiter();
        double started = 0, t = 0;
        waiter.onBegin = [&] {
            started = now();
            engine->doCopyFilesToDmgWithDmg(items);
        };
        std::string name = "bench" + std::to_string(job++);
        engine->makeTmpDmgWithPath(dest, name, bytes);
        kit::runUntil([&] {
            if (waiter.done && t == 0) t = now() - started;
            return waiter.done || waiter.failed;
        }, 3600);
        if (waiter.failed) std::cerr << "image route failed\n";
        // Let the eject put the files back before the next round.
        kit::runUntil([&] { return !fs::exists(kit::sysPath("/Volumes/PelorinDmg")); }, 120);
        std::string image = dest + "/" + name + ".dmg";
        std::string contents = sim::diskImageContents(kit::sysRoot(), image);
        if (!contents.empty() && !fs::exists(kit::sysPath("/Volumes/PelorinDmg"))) fs::remove_all(contents);
        fs::remove(image);
        return t;
    };
    auto direct = [&] {
        std::string folder = out + "/cp-dest";
        fs::remove_all(folder);
        fs::create_directories(folder);
        double t0 = now();
        if (shell("cp -a" + quoteAll(items) + " " + kit::shellQuote(folder)) != 0) std::cerr << "cp failed\n";
        double t = now() - t0;
        fs::remove_all(folder);
        return t;
    };
    double tool;
    double eng = best(5, viaEngine, direct, &tool);
    std::printf("copy %-24s engine %7.3f s   cp -a  %7.3f s   ratio %.3f\n", name.c_str(), eng, tool, eng / tool);
    engine->setMakeDmgDelegate(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    std::string base, tools = fs::path(argv[0]).parent_path().parent_path().string();
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--tools" && i + 1 < argc) tools = argv[++i];
        else base = a;
    }
    if (base.empty()) base = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    std::string work = base + "/pelorin-dmg-bench-" + std::to_string(::getpid());
    std::string root = work + "/root";
    fs::create_directories(root);
    kit::ensureMainThreadApp();

    // The zip route runs the host's zip directly; the image route needs the
    // simulated machine for its disk-image tool and disk tool.
    {
        auto small = makeTree(work + "/zip-small", 4000, 0, 0);
        auto large = makeTree(work + "/zip-large", 0, 2, 40 << 20);
        auto mixed = makeTree(work + "/zip-mixed", 1000, 1, 20 << 20);
        zipBench("4000 small files", small, work);
        zipBench("2 x 40 MB", large, work);
        zipBench("mixed", mixed, work);
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
    copyBench("20000 small files", small, 0, work);
    copyBench("3 x 200 MB", large, 0, work);
    copyBench("mixed", mixed, 0, work);

    ::unsetenv("PELORIN_SYSROOT");
    fs::remove_all(work);
    return 0;
}
