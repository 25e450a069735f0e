#include "kit/app/RunningApplication.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QVariant>
#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "kit/Bundle.h"
#include "kit/Plist.h"
#include "kit/SysPath.h"
#include "kit/System.h"

namespace kit {

namespace {

// sockaddr_un holds 108 bytes; keep a margin for the terminating zero.
constexpr size_t kMaxSocketPath = 100;

std::string safeName(const std::string& identifier) {
    std::string out;
    for (char c : identifier) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                  c == '-' || c == '_';
        out += ok ? c : '_';
    }
    if (out.empty() || out[0] == '.') out = "_" + out;
    return out;
}

bool makeDirectories(const std::string& path) {
    if (path.empty()) return false;
    std::string cur;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        cur = path.substr(0, pos);
        if (cur.empty()) continue;
        if (mkdir(cur.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool processAlive(pid_t pid) {
    if (pid <= 0) return false;
    return kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace

struct ApplicationRegistry::Impl {
    struct Place {
        std::string bundlePath;
        int lockFd = -1;
        bool holder = false;
        std::unique_ptr<QLocalServer> server;
    };
    std::string dir;
    mutable std::mutex mutex;
    std::map<std::string, Place> places;
    std::function<void()> activationHandler;

    std::string lockPath(const std::string& id) const { return pathJoin(dir, safeName(id) + ".lock"); }
    std::string infoPath(const std::string& id) const { return pathJoin(dir, safeName(id) + ".plist"); }
    // A path in the registry folder when it fits a socket address, else a short
    // name derived from it (the local-socket layer puts it in the temporary folder).
    std::string socketAddress(const std::string& id) const {
        std::string path = pathJoin(dir, safeName(id) + ".sock");
        if (path.size() <= kMaxSocketPath) return path;
        QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(path), QCryptographicHash::Sha1).toHex();
        return "pelorin-app-" + hash.left(24).toStdString();
    }

    // Whether some open file description other than ours holds the lock.
    bool lockHeldElsewhere(const std::string& id) const {
        int fd = open(lockPath(id).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        close(fd);
        return held;
    }

    std::optional<RunningApplication> readInfo(const std::string& id) const {
        auto v = readPlistFile(infoPath(id));
        if (!v || !v->isDict()) return std::nullopt;
        RunningApplication app;
        app.processIdentifier = static_cast<pid_t>(v->getInt("ProcessIdentifier").value_or(0));
        app.bundlePath = v->getString("BundlePath").value_or("");
        app.bundleIdentifier = v->getString("BundleIdentifier").value_or(id);
        if (!processAlive(app.processIdentifier)) return std::nullopt;
        return app;
    }

    void startServer(const std::string& id, Place& place) {
        auto server = std::make_unique<QLocalServer>();
        std::string address = socketAddress(id);
        QLocalServer::removeServer(QString::fromStdString(address));
        if (!server->listen(QString::fromStdString(address))) {
            systemLog("cannot listen for activation requests: " + server->errorString().toStdString());
            return;
        }
        QLocalServer* raw = server.get();
        QObject::connect(raw, &QLocalServer::newConnection, raw, [this, raw] {
            while (QLocalSocket* socket = raw->nextPendingConnection()) {
                QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                    QByteArray request = socket->property("pending").toByteArray() + socket->readAll();
                    int nl = request.indexOf('\n');
                    if (nl < 0) {
                        socket->setProperty("pending", request);
                        return;
                    }
                    socket->setProperty("pending", QByteArray());
                    if (request.left(nl).trimmed() == "activate") {
                        std::function<void()> handler;
                        {
                            std::lock_guard<std::mutex> lock(mutex);
                            handler = activationHandler;
                        }
                        if (handler) handler();
                    }
                });
            }
        });
        place.server = std::move(server);
    }
};

ApplicationRegistry& ApplicationRegistry::shared() {
    // One registry per folder: the system root may change inside one process
    // (tests move between simulated machines). Registries live for the process.
    static std::mutex mutex;
    static std::map<std::string, ApplicationRegistry*> registries;
    std::string dir = defaultDirectory();
    std::lock_guard<std::mutex> lock(mutex);
    ApplicationRegistry*& registry = registries[dir];
    if (!registry) registry = new ApplicationRegistry(dir);
    return *registry;
}

std::string ApplicationRegistry::defaultDirectory() {
    if (!sysRoot().empty()) return sysPath("/.pelorin/apps");
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return pathJoin(runtime, "pelorin-apps");
    return "/tmp/pelorin-apps-" + std::to_string(getuid());
}

ApplicationRegistry::ApplicationRegistry(std::string directory) : impl_(std::make_unique<Impl>()), dir_(std::move(directory)) {
    impl_->dir = dir_;
}

ApplicationRegistry::~ApplicationRegistry() {
    std::vector<std::string> ids;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        for (auto& [id, place] : impl_->places) ids.push_back(id);
    }
    for (auto& id : ids) unregisterApplication(id);
}

bool ApplicationRegistry::registerApplication(const std::string& bundleIdentifier, const std::string& bundlePath) {
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        auto it = impl_->places.find(bundleIdentifier);
        if (it != impl_->places.end()) return it->second.holder;
    }
    Impl::Place place;
    place.bundlePath = bundlePath;
    if (makeDirectories(dir_)) {
        struct stat st {};
        // A folder in a shared place must be ours alone.
        bool ownFolder = stat(dir_.c_str(), &st) == 0 && st.st_uid == getuid();
        int fd = ownFolder ? open(impl_->lockPath(bundleIdentifier).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600) : -1;
        if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) {
            place.lockFd = fd;
            place.holder = true;
            // Listen before publishing: whoever reads the information can reach us.
            impl_->startServer(bundleIdentifier, place);
            Value info = Value::dict();
            info.set("ProcessIdentifier", Value(static_cast<int64_t>(getpid())));
            info.set("BundlePath", Value(bundlePath));
            info.set("BundleIdentifier", Value(bundleIdentifier));
            writePlistFile(impl_->infoPath(bundleIdentifier), info, true);
        } else if (fd >= 0) {
            close(fd);
        }
    }
    bool holder = place.holder;
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->places.emplace(bundleIdentifier, std::move(place));
    return holder;
}

void ApplicationRegistry::unregisterApplication(const std::string& bundleIdentifier) {
    Impl::Place place;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        auto it = impl_->places.find(bundleIdentifier);
        if (it == impl_->places.end()) return;
        place = std::move(it->second);
        impl_->places.erase(it);
    }
    if (place.holder) {
        if (place.server) place.server->close();
        place.server.reset();
        unlink(impl_->infoPath(bundleIdentifier).c_str());
    }
    // The lock file stays: removing it while another process waits on it would
    // let two holders exist at once.
    if (place.lockFd >= 0) {
        flock(place.lockFd, LOCK_UN);
        close(place.lockFd);
    }
}

bool ApplicationRegistry::holds(const std::string& bundleIdentifier) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    auto it = impl_->places.find(bundleIdentifier);
    return it != impl_->places.end() && it->second.holder;
}

void ApplicationRegistry::setActivationHandler(std::function<void()> handler) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->activationHandler = std::move(handler);
}

void ApplicationRegistry::activateSelf() {
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        handler = impl_->activationHandler;
    }
    if (handler) handler();
}

std::vector<RunningApplication> ApplicationRegistry::runningApplications(const std::string& bundleIdentifier) {
    std::vector<RunningApplication> out;
    RunningApplication self;
    self.processIdentifier = getpid();
    self.bundleIdentifier = bundleIdentifier;
    bool registered = false, holder = false;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        auto it = impl_->places.find(bundleIdentifier);
        if (it != impl_->places.end()) {
            registered = true;
            holder = it->second.holder;
            self.bundlePath = it->second.bundlePath;
        }
    }
    if (holder) {
        out.push_back(self);
        return out;
    }
    // The holder publishes its information right after taking the lock; a stale
    // file of a copy that died names a process that is gone and is waited out.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (impl_->lockHeldElsewhere(bundleIdentifier)) {
        if (auto info = impl_->readInfo(bundleIdentifier)) {
            out.push_back(*info);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (registered) out.push_back(self);
    return out;
}

bool ApplicationRegistry::activate(const std::string& bundleIdentifier) {
    if (holds(bundleIdentifier)) return false;
    if (!impl_->lockHeldElsewhere(bundleIdentifier)) return false;
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(impl_->socketAddress(bundleIdentifier)));
    if (!socket.waitForConnected(2000)) return false;
    socket.write("activate\n");
    bool written = socket.waitForBytesWritten(2000);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(500);
    return written;
}

RunningApplication currentApplication() {
    RunningApplication app;
    app.processIdentifier = getpid();
    app.bundlePath = Bundle::main().bundlePath();
    app.bundleIdentifier = Bundle::main().bundleIdentifier();
    return app;
}

std::vector<RunningApplication> runningApplicationsWithBundleIdentifier(const std::string& bundleIdentifier) {
    return ApplicationRegistry::shared().runningApplications(bundleIdentifier);
}

}  // namespace kit
