#pragma once
// What the tests of the main window's close share: the program's end stood
// in for, a large file that holds a copy for a while, and whether a process
// still runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>

#include "MainWindowController.h"
#include "support/ScreenTestUtil.h"

namespace closetest {

// What the program's end was asked with; the test stands in for the end.
inline std::optional<int> gExitStatus;
// What a test looks at the moment the program would end.
inline std::function<void()> gAtExit;
inline void recordExit(int status) {
    gExitStatus = status;
    if (gAtExit) gAtExit();
}

// Replaces the program's end for one test and puts it back afterwards.
class ExitWatch {
public:
    explicit ExitWatch(std::function<void()> atExit = nullptr) : saved_(MainWindowController::exitProcess) {
        gExitStatus.reset();
        gAtExit = std::move(atExit);
        MainWindowController::exitProcess = recordExit;
    }
    ~ExitWatch() {
        MainWindowController::exitProcess = saved_;
        gAtExit = nullptr;
    }

private:
    void (*saved_)(int);
};

// A file of `bytes` whose blocks are all allocated (read back as zeros): a
// copy of it writes every byte, which holds the job for a while.
inline void makeLargeFile(const std::string& path, off_t bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::posix_fallocate(fd, 0, bytes), 0) << path;
    ::close(fd);
}

inline constexpr off_t kLarge = off_t(2) << 30;   // 2 GB

// The copy of big.bin into folder has begun: a large file is written under a
// hidden ".part" name and takes its own only once complete.
inline bool bigFileBegun(const std::string& folder) {
    return ::access((folder + "/big.bin").c_str(), F_OK) == 0 || !screentest::filesEndingIn(folder, ".part").empty();
}

// Whether a process still runs: one that has ended but waits to be reaped by
// whoever adopted it (a zombie) runs no more.
inline bool alive(pid_t pid) {
    if (pid <= 0 || ::kill(pid, 0) != 0) return false;
    const std::string stat = screentest::readFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] != 'Z';
}

}  // namespace closetest
