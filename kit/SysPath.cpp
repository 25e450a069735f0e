#include "kit/SysPath.h"

#include <dirent.h>
#include <ftw.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
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

// Where the temporary folders are made, first choice first.
std::vector<std::string> temporaryBases() {
    std::vector<std::string> bases;
    if (const char* t = std::getenv("TMPDIR"); t && *t) bases.push_back(stripTrailingSlashes(t));
    bases.push_back("/tmp");
    return bases;
}

// A run's folder is "Pelorin-<its process id>-XXXXXX": the process it
// belongs to, if the name is one of ours.
std::optional<pid_t> owningProcess(const std::string& name) {
    static const std::string prefix = "Pelorin-";
    if (name.rfind(prefix, 0) != 0) return std::nullopt;
    const size_t dash = name.find('-', prefix.size());
    if (dash == std::string::npos || dash == prefix.size() || name.size() - dash - 1 != 6) return std::nullopt;
    pid_t pid = 0;
    for (size_t i = prefix.size(); i < dash; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])) || pid > 100000000) return std::nullopt;
        pid = pid * 10 + (name[i] - '0');
    }
    if (pid <= 0) return std::nullopt;
    return pid;
}

}  // namespace

const std::string& temporaryDirectory() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const std::string& base : temporaryBases()) {
            std::string tmpl = base + "/Pelorin-" + std::to_string(::getpid()) + "-XXXXXX";
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

void removeAbandonedTemporaryDirectories() {
    for (const std::string& base : temporaryBases()) {
        DIR* dir = ::opendir(base.c_str());
        if (!dir) continue;
        std::vector<std::string> abandoned;
        while (const struct dirent* e = ::readdir(dir)) {
            const std::optional<pid_t> owner = owningProcess(e->d_name);
            if (!owner || *owner == ::getpid()) continue;
            // Only a folder of this user's whose run has ended: a live run's
            // (or a process's that took over its number) is left alone.
            const std::string path = base + "/" + e->d_name;
            struct stat st {};
            if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) continue;
            if (::kill(*owner, 0) == 0 || errno != ESRCH) continue;
            abandoned.push_back(path);
        }
        ::closedir(dir);
        for (const std::string& path : abandoned) {
            ::nftw(path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
            logf("removed the temporary folder of an ended run: %@", path);
        }
    }
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
