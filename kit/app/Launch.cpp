#include "kit/app/Launch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <mutex>

#include "kit/Bundle.h"
#include "kit/Plist.h"
#include "kit/SysPath.h"
#include "kit/app/RunningApplication.h"

namespace kit {

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

bool launchApplication(const std::string& bundlePath) {
    if (bundlePath.empty()) return false;
    auto info = readPlistFile(pathJoin(bundlePath, "Contents/Info.plist"));
    if (!info || !info->isDict()) return false;
    std::string executable = info->getString("CFBundleExecutable").value_or("");
    std::string identifier = info->getString("CFBundleIdentifier").value_or("");
    if (executable.empty() || executable.find('/') != std::string::npos) return false;
    std::string executablePath = pathJoin(bundlePath, "Contents/MacOS/" + executable);
    if (!isExecutableFile(executablePath)) return false;

    if (!identifier.empty()) {
        ApplicationRegistry& registry = ApplicationRegistry::shared();
        if (registry.holds(identifier)) {
            registry.activateSelf();
            return true;
        }
        if (registry.activate(identifier)) return true;
    }

    QProcess process;
    process.setProgram(QString::fromStdString(executablePath));
    process.setArguments(QStringList{QString::fromLatin1(kLaunchedArgument)});
    process.setWorkingDirectory(QString::fromStdString(pathJoin(bundlePath, "Contents/MacOS")));
    // The started bundle finds itself, not the bundle of the process that started it.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PELORIN_BUNDLE"), QString::fromStdString(bundlePath));
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached();
}

std::string openedURLsPath() { return sysPath("/.pelorin/opened-urls.txt"); }

bool openURL(const std::string& url) {
    if (url.empty() || url.find('\n') != std::string::npos) return false;
    if (!sysRoot().empty()) {
        static std::mutex mutex;
        std::lock_guard<std::mutex> lock(mutex);
        std::string dir = deletingLastPathComponent(openedURLsPath());
        mkdir(dir.c_str(), 0755);
        int fd = open(openedURLsPath().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        std::string line = url + "\n";
        bool ok = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
        close(fd);
        return ok;
    }
    // The address is one argument of the opener, never part of a shell line.
    return QProcess::startDetached(QStringLiteral("xdg-open"), QStringList{QString::fromStdString(url)});
}

void activateCurrentApplication() { ApplicationRegistry::shared().activateSelf(); }

}  // namespace kit
