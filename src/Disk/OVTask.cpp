#include "Disk/OVTask.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>

#include <unistd.h>

#include "kit/Dispatch.h"
#include "kit/Plist.h"
#include "kit/Process.h"
#include "kit/RunLoop.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"
#include "kit/System.h"

// ---- the tool runner ----

OVTask& OVTask::OVShareInstance() {
    static OVTask* instance = new OVTask();  // lives for the whole process
    return *instance;
}

OVTask::OVTask() {
    strLaunchPath_.reserve(64);
    arrArguments_.reserve(8);
}

void OVTask::OVSetLaunchPath(const std::optional<std::string>& path) {
    if (!path) return;
    std::lock_guard<std::mutex> lock(mutex_);
    strLaunchPath_ = *path;
}

void OVTask::OVSetArguments(const std::optional<std::vector<std::string>>& args) {
    if (!args) return;
    std::lock_guard<std::mutex> lock(mutex_);
    arrArguments_ = *args;
}

void OVTask::OVSetTimeoutCount(double seconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    dTimeoutCount_ = seconds;
}

std::string OVTask::launchPath() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return strLaunchPath_;
}

std::vector<std::string> OVTask::arguments() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return arrArguments_;
}

double OVTask::timeoutCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dTimeoutCount_;
}

void OVTask::OVStopTask() { bTimerOut_.store(true); }

void OVTask::OVTimerImp() {
    bTimerOut_.store(true);
    kit::systemLog("task timeout");
}

void OVTask::OVStartTask() {
    bTimerOut_.store(false);
    std::string path;
    std::vector<std::string> args;
    double timeout;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (dTimeoutCount_ < 60.0) dTimeoutCount_ = 60.0;  // never shorter than a minute
        timeout = dTimeoutCount_;
        path = strLaunchPath_;
        args = arrArguments_;
    }

    auto child = kit::Process::create();
    child->setLaunchPath(path);
    child->setArguments(args);
    // The runner erases disks: an erase is never cut halfway, not even when
    // the program dies.
    child->setEndsWithParent(false);

    auto timer = kit::Timer::scheduled(timeout, false, [this](kit::Timer&) { OVTimerImp(); });

    std::string error;
    if (!child->launch(&error)) {
        // A program that can't be started ends the run like one that failed.
        kit::logf("OVStartTask launch failed: %@", error);
        timer->invalidate();
        kit::systemLog("OVStartTask return");
        return;
    }

    // The main-loop timer fires only while the main loop runs; the elapsed time
    // is checked here too, so a busy main thread can't hold a run forever.
    const auto start = std::chrono::steady_clock::now();
    const double limit = kit::scaled(timeout);
    while (child->isRunning() && !bTimerOut_.load()) {
        kit::dispatch::sleepFor(1.0);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (elapsed.count() >= limit && child->isRunning() && !bTimerOut_.load()) OVTimerImp();
    }
    if (child->isRunning() && bTimerOut_.load()) child->terminate();

    if (timer->isValid()) timer->invalidate();
    kit::systemLog("OVStartTask return");
}

// ---- captures ----

std::mutex& OVCaptureLock(const std::string& fileName) {
    static std::mutex registryMutex;
    static std::map<std::string, std::unique_ptr<std::mutex>> locks;
    std::lock_guard<std::mutex> lock(registryMutex);
    auto& slot = locks[fileName];
    if (!slot) slot = std::make_unique<std::mutex>();
    return *slot;
}

std::optional<kit::Value> OVCapture::value() const { return kit::parsePlist(output); }

OVCapture OVCaptureLimited(const std::string& command, const std::string& fileName, double timeoutSeconds,
                           const std::function<bool()>& stop, size_t bufferSize) {
    OVCapture capture;
    const std::string path = kit::temporaryDirectory() + fileName;
    if (command.size() + 3 + kit::shellQuote(path).size() + 1 > bufferSize) {
        // Cutting the line would run a different command; refuse it instead.
        kit::logf("capture refused: command line of %d bytes is too long",
                  static_cast<int>(command.size() + 3 + kit::shellQuote(path).size()));
        return capture;
    }
    capture.path = path;
    std::string privatePath = path + ".XXXXXX";
    const int fd = ::mkstemp(privatePath.data());
    if (fd < 0) {
        kit::logf("capture: no private file beside %@", path);
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return capture;
    }
    ::close(fd);

    kit::ShellRunLimits limits;
    limits.timeoutSeconds = timeoutSeconds;
    limits.stop = stop;
    const kit::ShellRunResult run = kit::runShellLimited(command + " > " + kit::shellQuote(privatePath), limits);
    capture.ran = run.started;
    capture.timedOut = run.timedOut;
    capture.stopped = run.stopped;
    capture.status = run.status;
    if (run.timedOut) kit::logf("capture timed out: %@", command);

    std::ifstream in(privatePath, std::ios::binary);
    capture.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    in.close();
    // The fixed name holds the output of the capture that ended last.
    if (::rename(privatePath.c_str(), path.c_str()) != 0) ::unlink(privatePath.c_str());
    return capture;
}

std::optional<std::string> OVRunCapture(const std::string& command, const std::string& fileName, size_t bufferSize) {
    OVCapture capture = OVCaptureLimited(command, fileName, OVCaptureTimeout, {}, bufferSize);
    if (capture.path.empty()) return std::nullopt;
    return capture.path;
}

std::optional<kit::Value> OVCaptureValue(const std::string& command, const std::string& fileName, size_t bufferSize) {
    OVCapture capture = OVCaptureLimited(command, fileName, OVCaptureTimeout, {}, bufferSize);
    if (!capture.ran || capture.timedOut) return std::nullopt;
    return capture.value();
}

std::optional<std::string> OVExecCommand(const char* command) {
    if (!command) return std::nullopt;
    std::lock_guard<std::mutex> lock(OVCaptureLock("OVTemp.plist"));
    return OVRunCapture(command, "OVTemp.plist");
}

bool OVCheckFolderExist(const std::optional<std::string>& path) {
    if (!path) return false;
    std::error_code ec;
    return std::filesystem::is_directory(*path, ec);
}

// ---- the clone text log ----

namespace {
std::mutex& logMutex() {
    static std::mutex m;
    return m;
}
FILE* gLog = nullptr;

int openLogLocked() {
    if (gLog) return 0;
    gLog = std::fopen(OVLogPath().c_str(), "a");
    return gLog ? 0 : -1;
}
}  // namespace

std::string OVLogPath() { return kit::pathJoin(kit::sysPath("/tmp"), "OrvaneBootableDataRecovery.txt"); }

int OVInitLog() {
    std::lock_guard<std::mutex> lock(logMutex());
    return openLogLocked();
}

int OVUninitLog() {
    std::lock_guard<std::mutex> lock(logMutex());
    if (gLog) {
        std::fclose(gLog);
        gLog = nullptr;
    }
    return 0;
}

int OVLogLine(const std::string& message) {
    std::lock_guard<std::mutex> lock(logMutex());
    if (openLogLocked() != 0) return -1;
    char prefix[128] = {0};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(prefix, sizeof prefix - 1, "%Y-%m-%d %H:%M:%S  ", &local);
    // One write per entry, flushed, so the file stays complete if the process dies.
    const std::string entry = std::string(prefix) + message + "\n";
    std::fwrite(entry.data(), 1, entry.size(), gLog);
    std::fflush(gLog);
    return 0;
}
