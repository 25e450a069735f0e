// Times the kit's item copy against `cp -a` on generated trees in the same
// folder (same file system, same cache state), checks both copies are equal and
// prints the ratio engine / cp and files per second.
//
//   copy_bench [-r rounds] [work folder] [tree ...]   trees: small, large, mix (default all)
//
// The work folder defaults to $TMPDIR, else bench-tmp beside the build's bench
// folder. Each copy runs `rounds` times (default 2), the two alternating which
// goes first, and the best time counts.
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
#include <random>
#include <string>
#include <vector>

#include "kit/FileCopy.h"

extern char** environ;

namespace {

std::mt19937_64 rng(20240601);

void die(const std::string& what) {
    std::fprintf(stderr, "copy_bench: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(2);
}

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

struct TreeSpec {
    const char* name;
    std::function<void(const std::string&)> make;
};

// 20,000 small files, 0 to 16 KiB, 100 to a folder, folders three deep.
void makeSmall(const std::string& root) {
    mkdirs(root);
    int made = 0;
    for (int a = 0; a < 10; ++a) {
        std::string pa = root + "/dir " + std::to_string(a);
        mkdirs(pa);
        for (int b = 0; b < 4; ++b) {
            std::string pb = pa + "/sub" + std::to_string(b);
            mkdirs(pb);
            for (int c = 0; c < 5; ++c) {
                std::string pc = pb + "/leaf." + std::to_string(c);
                mkdirs(pc);
                for (int f = 0; f < 100; ++f, ++made)
                    writeFile(pc + "/file " + std::to_string(f) + ".dat", rng() % 16385, f % 7 ? 0644 : 0600);
            }
        }
    }
    if (made != 20000) die("tree size");
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

// Equal trees: same kinds, permission bits, modification times, bytes and link targets.
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
        auto na = names(a), nb = names(b);
        if (na != nb) return why = "entries of " + b, false;
        for (const auto& n : na)
            if (!sameTree(a + "/" + n, b + "/" + n, why)) return false;
    }
    return true;
}

double timed(const std::function<void()>& fn) {
    sync();  // both copies start from the same clean page cache
    auto t0 = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

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

}  // namespace

int main(int argc, char** argv) {
    int rounds = 2;
    int arg = 1;
    if (arg + 1 < argc && std::strcmp(argv[arg], "-r") == 0) {
        rounds = std::max(1, std::atoi(argv[arg + 1]));
        arg += 2;
    }
    std::string work = arg < argc ? argv[arg++] : defaultWorkFolder();
    std::vector<std::string> wanted;
    for (; arg < argc; ++arg) wanted.push_back(argv[arg]);
    mkdirs(work);

    const std::vector<TreeSpec> trees = {{"small", makeSmall}, {"large", makeLarge}, {"mix", makeMix}};
    bool allEqual = true;
    std::printf("%-6s %8s %10s %10s %7s %12s %12s\n", "tree", "files", "engine s", "cp -a s", "ratio",
                "engine f/s", "cp f/s");
    for (const auto& spec : trees) {
        if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), spec.name) == wanted.end()) continue;
        const std::string src = work + "/src-" + spec.name;
        const std::string byEngine = work + "/engine-" + spec.name;
        const std::string byCp = work + "/cp-" + spec.name;
        removeTree(src);
        spec.make(src);
        double bestEngine = 1e30, bestCp = 1e30;
        std::uint64_t files = 0;
        auto runEngine = [&] {
            removeTree(byEngine);
            kit::FileCopyResult r;
            double s = timed([&] { r = kit::copyItem(src, byEngine); });
            if (!r.ok()) {
                for (const auto& f : r.failures) std::fprintf(stderr, "  %s\n", f.describe().c_str());
                die("engine copy failed");
            }
            files = r.files;
            bestEngine = std::min(bestEngine, s);
        };
        auto runCp = [&] {
            removeTree(byCp);
            double s = timed([&] {
                if (run({"cp", "-a", "--", src, byCp}) != 0) die("cp -a failed");
            });
            bestCp = std::min(bestCp, s);
        };
        for (int round = 0; round < rounds; ++round) {
            if (round % 2 == 0) {
                runEngine();
                runCp();
            } else {
                runCp();
                runEngine();
            }
        }
        std::string why;
        const bool equal = sameTree(byCp, byEngine, why) && sameTree(src, byEngine, why);
        allEqual = allEqual && equal;
        std::printf("%-6s %8llu %10.3f %10.3f %7.3f %12.0f %12.0f%s\n", spec.name, (unsigned long long)files,
                    bestEngine, bestCp, bestEngine / bestCp, double(files) / bestEngine, double(files) / bestCp,
                    equal ? "" : ("   DIFFERENT: " + why).c_str());
        std::fflush(stdout);
        removeTree(byEngine);
        removeTree(byCp);
        removeTree(src);
    }
    return allEqual ? 0 : 1;
}
