#include "kit/Workspace.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <fcntl.h>

#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
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
            size.type = best->getString("FilesystemType").value_or("");
            return size;
        }
    }
    struct statfs fsInfo {};
    if (::statfs(path.c_str(), &fsInfo) != 0) return std::nullopt;
    FileSystemSize size;
    size.total = static_cast<int64_t>(fsInfo.f_blocks) * static_cast<int64_t>(fsInfo.f_frsize);
    size.free = static_cast<int64_t>(fsInfo.f_bavail) * static_cast<int64_t>(fsInfo.f_frsize);
    // The kinds the platform names; the others stay unnamed.
    switch (static_cast<unsigned long>(fsInfo.f_type)) {
        case 0x5346544eUL: case 0x7366746eUL: size.type = "ntfs"; break;   // the two NTFS drivers
        case 0x4d44UL: size.type = "msdos"; break;
        case 0x2011bab0UL: size.type = "exfat"; break;
        case 0x4244UL: case 0x482bUL: size.type = "hfs"; break;
        default: break;
    }
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

// --- the file manager -------------------------------------------------------

std::string revealedItemsPath() { return sysPath("/.pelorin/revealed-items.txt"); }
std::string openedFilesPath() { return sysPath("/.pelorin/opened-files.txt"); }
std::string trashedItemsPath() { return sysPath("/.pelorin/trashed-items.txt"); }

namespace {

// One whole line appended to a record file of the simulated machine. A path
// holding a line break can't be one line, so it is refused.
bool appendRecord(const std::string& file, const std::string& line) {
    if (line.find('\n') != std::string::npos) return false;
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    ::mkdir(deletingLastPathComponent(file).c_str(), 0755);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const std::string text = line + "\n";
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

bool Workspace::selectFile(const std::string& path, const std::string& inFileViewerRootedAtPath) {
    if (path.empty()) return false;
    if (!sysRoot().empty()) return appendRecord(revealedItemsPath(), path);
    // Paths are arguments, never part of a shell line.
    const QString url = QString::fromUtf8(QUrl::fromLocalFile(QString::fromStdString(path)).toEncoded());
    if (QProcess::startDetached(QStringLiteral("dbus-send"),
                                QStringList{QStringLiteral("--session"), QStringLiteral("--type=method_call"),
                                            QStringLiteral("--dest=org.freedesktop.FileManager1"),
                                            QStringLiteral("/org/freedesktop/FileManager1"),
                                            QStringLiteral("org.freedesktop.FileManager1.ShowItems"),
                                            QStringLiteral("array:string:") + url, QStringLiteral("string:")}))
        return true;
    const std::string folder = deletingLastPathComponent(path);
    return QProcess::startDetached(QStringLiteral("xdg-open"),
                                   QStringList{QString::fromStdString(folder.empty() ? path : folder)});
}

bool Workspace::openFile(const std::string& path) {
    if (path.empty()) return false;
    if (!sysRoot().empty()) return appendRecord(openedFilesPath(), path);
    return QProcess::startDetached(QStringLiteral("xdg-open"), QStringList{QString::fromStdString(path)});
}

bool Workspace::moveItemToTrash(const std::string& path, std::string* error) {
    auto fail = [error](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (path.empty()) return fail("no path");
    if (!exists(path)) return fail(path + ": " + std::strerror(ENOENT));
    if (sysRoot().empty()) {
        QFile file(QString::fromStdString(path));
        if (!file.moveToTrash()) return fail(path + ": " + file.errorString().toStdString());
        return true;
    }
    const std::string user = consoleUser();
    const std::string trash = user.empty() ? sysPath("/.Trash") : pathJoin(homeFolderForUser(user), ".Trash");
    if (!QDir().mkpath(QString::fromStdString(trash))) return fail(trash + ": cannot be made");
    const std::string name = lastPathComponent(path);
    // Never over an item already in the trash: the name is taken only if free
    // at the moment of the move.
    for (int n = 1;; ++n) {
        const std::string target = pathJoin(trash, n == 1 ? name : name + " " + std::to_string(n));
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) break;
        if (errno != EEXIST || n >= 10000) return fail(path + ": " + std::strerror(errno));
    }
    if (!appendRecord(trashedItemsPath(), path)) logf("cannot record the trashed item %@", path);
    return true;
}

}  // namespace kit
