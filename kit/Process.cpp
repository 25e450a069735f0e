#include "kit/Process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "kit/Dispatch.h"
#include "kit/Shell.h"
#include "kit/Spawn.h"
#include "kit/SysPath.h"
#include "kit/System.h"

namespace kit {

struct Process::Impl {
    mutable std::mutex mutex;
    std::condition_variable cv;

    std::string launchPath;
    std::vector<std::string> arguments;
    std::string currentDirectory;
    bool pipeIn = false;
    bool pipeOut = false;
    bool outNull = false;
    bool errNull = false;
    bool endsWithParent = true;
    std::function<void(const std::string&)> outputHandler;
    double batchInterval = 0;
    std::function<void(Process&)> terminationHandler;

    bool launched = false;
    bool running = false;
    bool readerDone = true;
    pid_t pid = 0;
    int status = 0;
    bool signaled = false;

    std::mutex inMutex;  // guards inFd; a blocking write must not hold `mutex`
    int inFd = -1;
    int outFd = -1;      // ours until launch hands it to the reader thread
};

namespace {

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

std::shared_ptr<Process> Process::create() {
    detail::ignoreSigpipe();
    return std::shared_ptr<Process>(new Process());
}

Process::Process() : impl_(std::make_unique<Impl>()) {}

Process::~Process() {
    closeFd(impl_->inFd);
    closeFd(impl_->outFd);
}

void Process::setLaunchPath(const std::string& path) { std::lock_guard<std::mutex> l(impl_->mutex); impl_->launchPath = path; }
void Process::setArguments(const std::vector<std::string>& args) { std::lock_guard<std::mutex> l(impl_->mutex); impl_->arguments = args; }
void Process::setCurrentDirectory(const std::string& dir) { std::lock_guard<std::mutex> l(impl_->mutex); impl_->currentDirectory = dir; }
void Process::setPipeStandardInput(bool on) { std::lock_guard<std::mutex> l(impl_->mutex); impl_->pipeIn = on; }
void Process::setOutputBatchInterval(double seconds) {
    std::lock_guard<std::mutex> l(impl_->mutex);
    impl_->batchInterval = seconds;
}
void Process::setPipeStandardOutput(bool on) { std::lock_guard<std::mutex> l(impl_->mutex); impl_->pipeOut = on; }
void Process::setStandardOutputToNull(bool on) { std::lock_guard<std::mutex> l(impl_->mutex); impl_->outNull = on; }
void Process::setStandardErrorToNull(bool on) { std::lock_guard<std::mutex> l(impl_->mutex); impl_->errNull = on; }
void Process::setEndsWithParent(bool on) { std::lock_guard<std::mutex> l(impl_->mutex); impl_->endsWithParent = on; }

void Process::setOutputHandler(std::function<void(const std::string& chunk)> handler) {
    std::lock_guard<std::mutex> l(impl_->mutex);
    impl_->outputHandler = std::move(handler);
}

void Process::setTerminationHandler(std::function<void(Process&)> handler) {
    std::lock_guard<std::mutex> l(impl_->mutex);
    impl_->terminationHandler = std::move(handler);
}

bool Process::launch(std::string* error) {
    auto fail = [&](const std::string& message) {
        if (error) *error = message;
        systemLog(message);
        return false;
    };
    Impl& d = *impl_;
    std::unique_lock<std::mutex> lock(d.mutex);
    if (d.launched) return fail("process already launched");
    if (d.launchPath.empty()) return fail("no launch path");

    // An output handler needs the output: it implies the pipe.
    const bool wantOut = d.pipeOut || d.outputHandler;
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    if (d.pipeIn && ::pipe2(in, O_CLOEXEC) != 0) return fail(std::string("cannot make a pipe: ") + std::strerror(errno));
    if (wantOut && ::pipe2(out, O_CLOEXEC) != 0) {
        const int e = errno;
        closeFd(in[0]);
        closeFd(in[1]);
        return fail(std::string("cannot make a pipe: ") + std::strerror(e));
    }

    detail::SpawnRequest request;
    request.path = d.launchPath;
    request.argv.push_back(d.launchPath);
    request.argv.insert(request.argv.end(), d.arguments.begin(), d.arguments.end());
    request.cwd = d.currentDirectory;
    request.stdinFd = in[0];
    request.stdoutFd = out[1];
    request.stdoutNull = !wantOut && d.outNull;
    request.stderrNull = d.errNull;
    request.endWithParent = d.endsWithParent;
    int err = 0;
    const pid_t pid = detail::spawn(request, &err);
    closeFd(in[0]);
    closeFd(out[1]);
    if (pid < 0) {
        closeFd(in[1]);
        closeFd(out[0]);
        return fail("cannot launch " + d.launchPath + ": " + std::strerror(err));
    }

    d.launched = true;
    d.running = true;
    d.pid = pid;
    d.outFd = out[0];
    {
        std::lock_guard<std::mutex> inLock(d.inMutex);
        d.inFd = in[1];
    }

    // The threads hold the Process, so it lives while the child runs and until
    // its handlers have been delivered, even if the caller lets it go.
    std::shared_ptr<Process> self = shared_from_this();
    const bool deliver = static_cast<bool>(d.outputHandler);
    if (deliver) {
        d.readerDone = false;
        const int fd = d.outFd;
        d.outFd = -1;  // the reader owns it now
        std::thread([self, fd] { self->readLoop(fd); }).detach();
    }
    lock.unlock();
    std::thread([self] { self->reapLoop(); }).detach();
    return true;
}

// Chunks go to the main queue in the order read; the empty chunk marks the end.
void Process::readLoop(int fd) {
    std::vector<char> buf(65536);
    std::shared_ptr<Process> self = shared_from_this();
    double batch = 0;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        batch = impl_->batchInterval;
    }
    if (batch > 0) {
        // Room for what comes during a pause (the system may grant less).
        constexpr int kBatchPipeBytes = 1 << 20;
        const int size = ::fcntl(fd, F_SETPIPE_SZ, kBatchPipeBytes);
        if (size > 0 && static_cast<size_t>(size) > buf.size()) buf.resize(static_cast<size_t>(size));
    }
    for (;;) {
        const ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        std::string chunk(buf.data(), static_cast<size_t>(n));
        dispatch::async(dispatch::mainQueue(), [self, chunk = std::move(chunk)] { self->deliverOutput(chunk); });
        // A full read leaves more waiting; otherwise let the next lines gather.
        // Waiting for no event still wakes at the writer's end, so the end of
        // the output is not held back.
        if (batch > 0 && static_cast<size_t>(n) < buf.size()) {
            pollfd hangUp{fd, 0, 0};
            ::poll(&hangUp, 1, static_cast<int>(batch * 1000));
        }
    }
    ::close(fd);
    dispatch::async(dispatch::mainQueue(), [self] { self->deliverOutput(std::string()); });
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->readerDone = true;
    impl_->cv.notify_all();
}

void Process::deliverOutput(const std::string& chunk) {
    std::function<void(const std::string&)> handler;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        handler = impl_->outputHandler;
    }
    if (handler) handler(chunk);
}

void Process::reapLoop() {
    const pid_t pid = impl_->pid;
    // Wait without reaping first: while the zombie exists its pid can't be
    // reused, so terminate() under the lock never signals a stranger.
    siginfo_t info {};
    while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    std::shared_ptr<Process> self = shared_from_this();
    {
        std::unique_lock<std::mutex> lock(impl_->mutex);
        const int status = detail::waitForChild(pid);
        if (status >= 0 && WIFSIGNALED(status)) {
            impl_->signaled = true;
            impl_->status = WTERMSIG(status);
        } else if (status >= 0 && WIFEXITED(status)) {
            impl_->status = WEXITSTATUS(status);
        } else {
            impl_->status = -1;
        }
        impl_->running = false;
        impl_->cv.notify_all();
        // The end of the output comes before the termination report.
        impl_->cv.wait(lock, [this] { return impl_->readerDone; });
    }
    dispatch::async(dispatch::mainQueue(), [self] {
        std::function<void(Process&)> handler;
        {
            std::lock_guard<std::mutex> lock(self->impl_->mutex);
            handler = std::move(self->impl_->terminationHandler);
            self->impl_->terminationHandler = nullptr;
        }
        if (handler) handler(*self);
        // Handlers often capture the Process; dropping them breaks the cycle.
        std::lock_guard<std::mutex> lock(self->impl_->mutex);
        self->impl_->outputHandler = nullptr;
    });
}

bool Process::writeInput(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(impl_->inMutex);
    if (impl_->inFd < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(impl_->inFd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EPIPE) closeFd(impl_->inFd);  // the reader is gone for good
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

void Process::closeInput() {
    std::lock_guard<std::mutex> lock(impl_->inMutex);
    closeFd(impl_->inFd);
}

std::string Process::readAllOutput() {
    int fd;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        fd = impl_->outFd;
        impl_->outFd = -1;
    }
    if (fd < 0) return {};
    std::string out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) { out.append(buf, static_cast<size_t>(n)); continue; }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    ::close(fd);
    return out;
}

void Process::terminate() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (impl_->running) ::kill(impl_->pid, SIGTERM);
}

void Process::interrupt() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (impl_->running) ::kill(impl_->pid, SIGINT);
}

bool Process::isRunning() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->running;
}

pid_t Process::processIdentifier() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->pid;
}

int Process::waitUntilExit() {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    impl_->cv.wait(lock, [this] { return !impl_->running; });
    return impl_->status;
}

int Process::terminationStatus() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->status;
}

bool Process::terminatedBySignal() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->signaled;
}

namespace {

// Whether the child has exited, without reaping it: while it is a zombie its
// pid, and so its process group's id, can't be taken by another process.
bool hasExited(pid_t pid) {
    siginfo_t info{};
    for (;;) {
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0) return info.si_pid == pid;
        if (errno != EINTR) return true;  // not our child any more: nothing to wait for
    }
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Whether any process of the group is still alive. Orphans that already exited
// may stay zombies for a while (their new parent reaps them when it gets to it),
// and kill(-group, 0) counts those too; the process table tells them apart.
bool groupHasLiveMembers(pid_t group) {
    if (::kill(-group, 0) != 0) return false;
    DIR* proc = ::opendir("/proc");
    if (!proc) return true;
    bool live = false;
    while (struct dirent* e = ::readdir(proc)) {
        if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
        const std::string path = std::string("/proc/") + e->d_name + "/stat";
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        char buf[512];
        const ssize_t n = ::read(fd, buf, sizeof buf - 1);
        ::close(fd);
        if (n <= 0) continue;
        buf[n] = 0;
        // "pid (comm) state ppid pgrp ...": comm may hold anything, so parse after the last ')'.
        const char* close = std::strrchr(buf, ')');
        if (!close) continue;
        char state = 0;
        long ppid = 0, pgrp = 0;
        if (std::sscanf(close + 1, " %c %ld %ld", &state, &ppid, &pgrp) != 3) continue;
        if (pgrp == group && state != 'Z' && state != 'X') {
            live = true;
            break;
        }
    }
    ::closedir(proc);
    return live;
}

// Ends the family of a shell that leads its own group: SIGTERM to all, SIGKILL to
// whatever is left after a grace period. Reaps the leader; its wait status.
// (A group's id is not given to a new process while any member is left, so
// signalling the group after the leader was reaped reaches only its family.)
int endGroup(pid_t leader) {
    ::kill(-leader, SIGTERM);
    int status = -1;
    bool reaped = false;
    const auto grace = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < grace) {
        if (!reaped && hasExited(leader)) {
            status = detail::waitForChild(leader);
            reaped = true;
        }
        if (reaped && !groupHasLiveMembers(leader)) return status;  // the whole family is gone
        sleepMs(5);
    }
    ::kill(-leader, SIGKILL);
    if (!reaped) status = detail::waitForChild(leader);
    return status;
}

}  // namespace

ShellRunResult runShellLimited(const std::string& line, const ShellRunLimits& limits) {
    ShellRunResult result;
    if (line.size() > kMaxShellLine || line.find('\0') != std::string::npos) {
        logf("shell line refused: %lu bytes, or a NUL byte", static_cast<unsigned long>(line.size()));
        return result;
    }
    detail::ignoreSigpipe();
    int fds[2] = {-1, -1};
    if (limits.captureOutput && ::pipe2(fds, O_CLOEXEC) != 0) return result;
    detail::SpawnRequest request;
    request.path = "/bin/sh";
    request.argv = {"sh", "-c", line};
    request.stdoutFd = fds[1];
    request.newProcessGroup = true;
    int err = 0;
    const pid_t pid = detail::spawn(request, &err);
    closeFd(fds[1]);
    if (pid < 0) {
        closeFd(fds[0]);
        logf("cannot start /bin/sh: %s", std::strerror(err));
        return result;
    }
    result.started = true;

    using Clock = std::chrono::steady_clock;
    const bool bounded = limits.timeoutSeconds > 0;
    const double seconds =
        bounded ? std::min(std::max(scaled(limits.timeoutSeconds), std::min(limits.timeoutSeconds, 5.0)), 1e9) : 0;
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    int outFd = fds[0];
    char buf[65536];
    for (;;) {
        if (outFd >= 0) {
            struct pollfd p{outFd, POLLIN, 0};
            const int n = ::poll(&p, 1, 20);
            if (n > 0) {
                const ssize_t got = ::read(outFd, buf, sizeof buf);
                if (got > 0) result.output.append(buf, static_cast<size_t>(got));
                else if (got == 0 || (errno != EINTR && errno != EAGAIN)) closeFd(outFd);
            }
        } else {
            sleepMs(hasExited(pid) ? 0 : 10);
        }
        // Done when the shell has exited and, when capturing, its output has ended.
        if (outFd < 0 && hasExited(pid)) break;
        if (limits.stop && limits.stop()) {
            result.stopped = true;
            break;
        }
        if (bounded && Clock::now() >= deadline) {
            result.timedOut = true;
            break;
        }
    }
    int status;
    if (result.stopped || result.timedOut) {
        status = endGroup(pid);
        // Whatever the family wrote before it ended is still in the pipe.
        if (outFd >= 0) {
            ::fcntl(outFd, F_SETFL, O_NONBLOCK);
            for (;;) {
                const ssize_t got = ::read(outFd, buf, sizeof buf);
                if (got > 0) result.output.append(buf, static_cast<size_t>(got));
                else if (got < 0 && errno == EINTR) continue;
                else break;
            }
        }
    } else {
        status = detail::waitForChild(pid);
    }
    closeFd(outFd);
    result.status = detail::decodeWaitStatus(status);
    return result;
}

}  // namespace kit
