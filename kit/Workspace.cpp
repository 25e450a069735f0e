#include "kit/Workspace.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <set>
#include <vector>

#include "kit/Dispatch.h"
#include "kit/RunLoop.h"
#include "kit/SysPath.h"
#include "kit/System.h"

namespace kit {

namespace {

// The folders directly inside dir (a mount is a folder; links to folders count).
std::set<std::string> foldersIn(const std::string& dir) {
    std::set<std::string> out;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return out;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = pathJoin(dir, name);
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) out.insert(path);
    }
    ::closedir(d);
    return out;
}

}  // namespace

struct Workspace::Impl {
    NotificationCenter center;
    QFileSystemWatcher* watcher = nullptr;  // main thread only, like everything below
    std::string watched;
    std::set<std::string> known;

    // Follows the current root: tests switch roots inside one process.
    void watch() {
        const std::string dir = sysPath("/Volumes");
        if (!watcher) {
            watcher = new QFileSystemWatcher;  // lives as long as the process
            QObject::connect(watcher, &QFileSystemWatcher::directoryChanged, watcher, [this](const QString&) { rescan(); });
        }
        if (dir == watched) return;
        if (!watcher->directories().isEmpty()) watcher->removePaths(watcher->directories());
        // The simulated machine's mount folder may not exist yet; the host's
        // is not ours to make.
        if (!sysRoot().empty() && !QDir().mkpath(QString::fromStdString(dir))) logf("cannot create %@", dir);
        watched = dir;
        known = foldersIn(dir);
        if (!watcher->addPath(QString::fromStdString(dir))) logf("cannot watch %@", dir);
    }

    void rescan() {
        // A watch is lost when the folder itself goes away and comes back.
        if (watcher->directories().isEmpty() && ::access(watched.c_str(), F_OK) == 0)
            watcher->addPath(QString::fromStdString(watched));
        const std::set<std::string> now = foldersIn(watched);
        std::vector<std::string> gone, added;
        for (const auto& p : known)
            if (!now.count(p)) gone.push_back(p);
        for (const auto& p : now)
            if (!known.count(p)) added.push_back(p);
        known = now;
        for (const auto& p : gone) {
            Value info = Value::dict();
            info["DevicePath"] = p;
            center.post(WorkspaceDidUnmountNotification, nullptr, info);
        }
        for (const auto& p : added) {
            Value info = Value::dict();
            info["DevicePath"] = p;
            center.post(WorkspaceDidMountNotification, nullptr, info);
        }
    }
};

Workspace& Workspace::shared() {
    static Workspace* ws = new Workspace;
    return *ws;
}

Workspace::Workspace() : impl_(new Impl) {}

NotificationCenter& Workspace::notificationCenter() {
    if (dispatch::isMainThread()) {
        ensureMainThreadApp();
        impl_->watch();
    } else {
        Impl* impl = impl_;
        dispatch::async(dispatch::mainQueue(), [impl] { impl->watch(); });
    }
    return impl_->center;
}

std::optional<Workspace::FileSystemSize> Workspace::fileSystemSize(const std::string& path) {
    if (path.empty()) return std::nullopt;
    if (auto state = machineState()) {
        // The simulated volume whose mount point is the longest prefix of path.
        const Value* best = nullptr;
        size_t bestLen = 0;
        if (const Value::Array* vols = state->getArray("Volumes")) {
            for (const Value& vol : *vols) {
                const std::string mp = vol.getString("MountPoint").value_or("");
                if (mp.empty()) continue;
                const std::string m = (mp.size() > 1 && mp.back() == '/') ? mp.substr(0, mp.size() - 1) : mp;
                const bool inside = path == m || (path.size() > m.size() && path.compare(0, m.size(), m) == 0 &&
                                                  (path[m.size()] == '/' || m == "/"));
                if (inside && m.size() >= bestLen) {
                    best = &vol;
                    bestLen = m.size();
                }
            }
        }
        if (best) {
            FileSystemSize size;
            size.total = best->getInt("TotalSize").value_or(0);
            size.free = best->getInt("FreeSpace").value_or(0);
            return size;
        }
    }
    struct statvfs vfs {};
    if (::statvfs(path.c_str(), &vfs) != 0) return std::nullopt;
    FileSystemSize size;
    size.total = static_cast<int64_t>(vfs.f_blocks) * static_cast<int64_t>(vfs.f_frsize);
    size.free = static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
    return size;
}

std::string consoleUser() {
    if (!sysRoot().empty()) {
        auto state = machineState();
        return state ? state->getString("ConsoleUser").value_or("") : std::string();
    }
    std::vector<char> buf(16384);
    passwd pw {};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found) return found->pw_name;
    const char* user = std::getenv("USER");
    return user ? user : "";
}

std::string homeFolderForUser(const std::string& user) {
    if (user.empty() || user.find('/') != std::string::npos) return {};
    if (!sysRoot().empty()) return sysPath("/Users/" + user);
    std::vector<char> buf(16384);
    passwd pw {};
    passwd* found = nullptr;
    if (::getpwnam_r(user.c_str(), &pw, buf.data(), buf.size(), &found) == 0 && found) return found->pw_dir;
    return {};
}

}  // namespace kit
