#include "kit/Shell.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "kit/Spawn.h"
#include "kit/SysPath.h"
#include "kit/System.h"

extern char** environ;

namespace kit {

// Single quotes keep every byte literal; a quote inside is closed, escaped and
// reopened. Words are always quoted, so no character set has to be judged safe.
std::string shellQuote(const std::string& word) {
    std::string out;
    out.reserve(word.size() + 2);
    out += '\'';
    for (char c : word) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    out += '\'';
    return out;
}

std::vector<std::string> childEnvironment() {
    std::vector<std::string> env;
    const std::string root = sysRoot();
    bool sawPath = false;
    for (char** e = environ; e && *e; ++e) {
        std::string entry(*e);
        if (entry.rfind("PATH=", 0) == 0) {
            sawPath = true;
            if (!root.empty()) {
                entry = "PATH=" + root + "/usr/sbin:" + root + "/usr/bin:" + root + "/bin:" + entry.substr(5);
            }
        }
        env.push_back(std::move(entry));
    }
    if (!sawPath) {
        const std::string base = "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin";
        env.push_back(root.empty() ? "PATH=" + base
                                   : "PATH=" + root + "/usr/sbin:" + root + "/usr/bin:" + root + "/bin:" + base);
    }
    return env;
}

namespace detail {

void ignoreSigpipe() {
    static std::once_flag once;
    std::call_once(once, [] { ::signal(SIGPIPE, SIG_IGN); });
}

namespace {

// Starts the child with fork and exec, having asked the kernel to send it
// SIGTERM when its parent dies. Between the two only async-signal-safe calls.
pid_t forkWithParentDeathSignal(const SpawnRequest& request, char* const* argv, char* const* envp, int* err) {
    int status[2];
    if (::pipe2(status, O_CLOEXEC) != 0) {
        *err = errno;
        return -1;
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(127);   // the parent died before the request took
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        for (int signal = 1; signal < NSIG; ++signal) ::sigaction(signal, &byDefault, nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (request.newProcessGroup) ::setpgid(0, 0);
        bool ok = true;
        if (request.stdinFd >= 0) ok = ok && ::dup2(request.stdinFd, 0) == 0;
        if (request.stdoutFd >= 0) ok = ok && ::dup2(request.stdoutFd, 1) == 1;
        const int null = (request.stdoutNull && request.stdoutFd < 0) || request.stderrNull
                             ? ::open("/dev/null", O_WRONLY | O_CLOEXEC)
                             : -1;
        if (request.stdoutNull && request.stdoutFd < 0) ok = ok && ::dup2(null, 1) == 1;
        if (request.stderrNull) ok = ok && ::dup2(null, 2) == 2;
        if (ok && !request.cwd.empty()) ok = ::chdir(request.cwd.c_str()) == 0;
        if (ok) ::execve(request.path.c_str(), argv, envp);
        const int e = errno;
        [[maybe_unused]] ssize_t n = ::write(status[1], &e, sizeof e);
        ::_exit(127);
    }
    const int forkErr = errno;
    ::close(status[1]);
    if (pid < 0) {
        ::close(status[0]);
        *err = forkErr;
        return -1;
    }
    // The pipe closes at the exec; an errno comes through it when that failed.
    int childErr = 0;
    ssize_t n;
    while ((n = ::read(status[0], &childErr, sizeof childErr)) < 0 && errno == EINTR) {
    }
    ::close(status[0]);
    if (n == sizeof childErr) {
        waitForChild(pid);
        *err = childErr;
        return -1;
    }
    return pid;
}

// The kernel sends the parent-death signal when the thread that started the
// child ends, not the process; a pool thread may end any time. Such children
// are started from this thread, which lives as long as the process.
class SpawnThread {
public:
    static SpawnThread& shared() {
        static auto* thread = new SpawnThread();   // never destroyed: it outlives every caller
        return *thread;
    }
    pid_t run(const std::function<pid_t()>& start) {
        std::packaged_task<pid_t()> task(start);
        std::future<pid_t> result = task.get_future();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        cv_.notify_one();
        return result.get();
    }

private:
    SpawnThread() {
        std::thread([this] {
            for (;;) {
                std::unique_lock<std::mutex> lock(mutex_);
                cv_.wait(lock, [this] { return !tasks_.empty(); });
                std::packaged_task<pid_t()> task = std::move(tasks_.front());
                tasks_.pop_front();
                lock.unlock();
                task();
            }
        }).detach();
    }
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::packaged_task<pid_t()>> tasks_;
};

}  // namespace

pid_t spawn(const SpawnRequest& request, int* err) {
    std::vector<char*> argv;
    for (const std::string& a : request.argv) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const std::vector<std::string> env = childEnvironment();
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    if (request.endWithParent) {
        int e = 0;
        const pid_t pid = SpawnThread::shared().run(
            [&] { return forkWithParentDeathSignal(request, argv.data(), envp.data(), &e); });
        if (pid < 0 && err) *err = e;
        return pid;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (request.stdinFd >= 0) posix_spawn_file_actions_adddup2(&actions, request.stdinFd, 0);
    if (request.stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, request.stdoutFd, 1);
    else if (request.stdoutNull) posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (request.stderrNull) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (!request.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, request.cwd.c_str());

    // We ignore SIGPIPE and threads may block signals; a child starts clean.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setsigmask(&attr, &none);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    if (request.newProcessGroup) {
        posix_spawnattr_setpgroup(&attr, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    posix_spawnattr_setflags(&attr, flags);

    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, request.path.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        if (err) *err = rc;
        return -1;
    }
    return pid;
}

int waitForChild(pid_t pid) {
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, 0);
        if (r == pid) return status;
        if (r < 0 && errno == EINTR) continue;
        return -1;
    }
}

int decodeWaitStatus(int status) {
    if (status < 0) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace detail

namespace {

// A line is refused whole rather than cut: a cut line could run a different command.
bool acceptLine(const std::string& line) {
    if (line.size() > kMaxShellLine) {
        logf("shell line refused: %lu bytes is over the limit", static_cast<unsigned long>(line.size()));
        return false;
    }
    if (line.find('\0') != std::string::npos) {
        systemLog("shell line refused: it holds a NUL byte");
        return false;
    }
    return true;
}

}  // namespace

int runShell(const std::string& line) {
    if (!acceptLine(line)) return -1;
    detail::SpawnRequest request;
    request.path = "/bin/sh";
    request.argv = {"sh", "-c", line};
    int err = 0;
    const pid_t pid = detail::spawn(request, &err);
    if (pid < 0) {
        logf("cannot start /bin/sh: %s", std::strerror(err));
        return -1;
    }
    return detail::decodeWaitStatus(detail::waitForChild(pid));
}

std::optional<std::string> runShellCapture(const std::string& line) {
    if (!acceptLine(line)) return std::nullopt;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    detail::SpawnRequest request;
    request.path = "/bin/sh";
    request.argv = {"sh", "-c", line};
    request.stdoutFd = fds[1];
    int err = 0;
    const pid_t pid = detail::spawn(request, &err);
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        logf("cannot start /bin/sh: %s", std::strerror(err));
        return std::nullopt;
    }
    std::string out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n > 0) { out.append(buf, static_cast<size_t>(n)); continue; }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    ::close(fds[0]);
    detail::waitForChild(pid);
    return out;
}

}  // namespace kit
