#include "kit/SysPath.h"

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "kit/System.h"

namespace kit {

namespace {

std::string stripTrailingSlashes(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

}  // namespace

// Read on every call: tests move between roots inside one process.
std::string sysRoot() {
    const char* env = std::getenv("PELORIN_SYSROOT");
    if (!env || !*env) return {};
    std::string root = stripTrailingSlashes(env);
    if (root == "/") return {};  // "/" as a root is no root at all
    return root;
}

std::string sysPath(const std::string& path) {
    const std::string root = sysRoot();
    if (root.empty()) return path;
    if (path.empty() || path[0] != '/') return path;  // not a system path
    if (path == "/") return root;
    return root + path;
}

std::string unSysPath(const std::string& hostPath) {
    const std::string root = sysRoot();
    if (root.empty()) return hostPath;
    if (hostPath == root || hostPath == root + "/") return "/";
    if (hostPath.size() > root.size() && hostPath.compare(0, root.size(), root) == 0 && hostPath[root.size()] == '/')
        return hostPath.substr(root.size());
    return hostPath;
}

std::string machineStatePath() { return sysPath("/.pelorin/machine.plist"); }

namespace {

std::string g_tempDir;
pid_t g_tempOwner = 0;

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    ::remove(path);
    return 0;
}

// Capture files of one run must not pile up in the shared temporary folder.
// Only the process that made the folder removes it (a forked child that exits
// must not take its parent's files away). Work still under way at exit (a
// scan's capture on another thread, the shell it started) may add a file while
// the folder is being emptied, which keeps the folder: it is emptied again
// until it is gone, after which nothing can add to it.
void removeTemporaryDirectory() {
    if (g_tempDir.empty() || ::getpid() != g_tempOwner) return;
    for (int attempt = 0; attempt < 100; ++attempt) {
        ::nftw(g_tempDir.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
        struct stat st {};
        if (::lstat(g_tempDir.c_str(), &st) != 0 && errno == ENOENT) return;
        ::usleep(10000);
    }
}

}  // namespace

const std::string& temporaryDirectory() {
    static std::once_flag once;
    std::call_once(once, [] {
        std::vector<std::string> bases;
        if (const char* t = std::getenv("TMPDIR"); t && *t) bases.push_back(stripTrailingSlashes(t));
        bases.push_back("/tmp");
        for (const std::string& base : bases) {
            std::string tmpl = base + "/Pelorin-XXXXXX";
            if (::mkdtemp(tmpl.data())) {  // mkdtemp makes it 0700
                g_tempDir = tmpl + "/";
                g_tempOwner = ::getpid();
                std::atexit(removeTemporaryDirectory);
                return;
            }
        }
        systemLog("cannot create a private temporary folder; using /tmp");
        g_tempDir = "/tmp/";
    });
    return g_tempDir;
}

void exitProcess(int status) {
    std::fflush(nullptr);
    removeTemporaryDirectory();
    ::_exit(status);
}

double timeScale() {
    const char* env = std::getenv("PELORIN_TIME_SCALE");
    if (!env || !*env) return 1.0;
    char* end = nullptr;
    const double v = std::strtod(env, &end);
    if (end == env || !(v > 0) || v > 1e6) return 1.0;
    return v;
}

double scaled(double seconds) { return seconds * timeScale(); }

std::string pathJoin(const std::string& dir, const std::string& name) {
    size_t start = 0;
    while (start < name.size() && name[start] == '/') ++start;
    const std::string tail = name.substr(start);
    if (dir.empty()) return tail;
    const std::string head = stripTrailingSlashes(dir);
    if (tail.empty()) return head;
    if (head == "/") return "/" + tail;
    return head + "/" + tail;
}

std::string lastPathComponent(const std::string& path) {
    const std::string p = stripTrailingSlashes(path);
    if (p == "/") return p;
    const size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string deletingLastPathComponent(const std::string& path) {
    const std::string p = stripTrailingSlashes(path);
    if (p == "/") return p;
    const size_t slash = p.rfind('/');
    if (slash == std::string::npos) return "";
    if (slash == 0) return "/";
    return stripTrailingSlashes(p.substr(0, slash));
}

}  // namespace kit
